// The korrin program, offscreen: a second copy started while the first runs keeps its own
// settings. Each copy's stored link points at a different TCP listener on loopback, so which
// listener a copy connects to shows which settings it read.
#include "common/SettingsStore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

// A listener that counts the connections it accepts. The terminal keeps its TCP port as a
// 16-bit number, so the listener takes a free port below 32768.
struct Listener {
    QTcpServer server;
    std::vector<QTcpSocket*> peers;
    Listener()
    {
        const int base = 20000 + int(::getpid() % 6000);
        for (int i = 0; i < 400 && !server.isListening(); ++i)
            server.listen(QHostAddress::LocalHost, quint16(base + (i * 29) % 12000));
    }
    int port() const { return server.serverPort(); }
    // Waits (bounded in real time) until `count` connections have come.
    bool waitFor(size_t count, int ms = 15000)
    {
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < 1000 && peers.size() < count && !t.hasExpired(ms); ++i) {
            server.waitForNewConnection(50);
            while (QTcpSocket* s = server.nextPendingConnection())
                peers.push_back(s);
        }
        return peers.size() >= count;
    }
};

void storeLink(const QString& configDir, const char* app, int port)
{
    auto s = common::SettingsStore::atPath(app, (configDir + "/tessaro/" + app + ".ini").toStdString());
    s.save("Properties", "Type", "False");
    s.save("Properties", "Address", "127.0.0.1");
    s.save("Properties", "PortNumber", std::to_string(port));
    s.save("Properties", "Direct", "TAV8a");
}

void startKorrin(QProcess& p, const QString& configDir, const QString& runtimeDir, const char* quitAfter)
{
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", configDir);
    env.insert("XDG_RUNTIME_DIR", runtimeDir);
    p.setProcessEnvironment(env);
    p.start(KORRIN_PATH, {"--quit-after", quitAfter});
}

bool endsNormally(QProcess& p)
{
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished(3000);
        return false;
    }
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

TEST(KorrinProgram, ASecondCopyStartedWhileTheFirstRunsUsesTheSecondCopysSettings)
{
    QTemporaryDir cfg, rt;
    ASSERT_TRUE(cfg.isValid());
    ASSERT_TRUE(rt.isValid());
    Listener first, second;
    ASSERT_TRUE(first.server.isListening());
    ASSERT_TRUE(second.server.isListening());
    storeLink(cfg.path(), "KorrinUniv1", first.port());
    storeLink(cfg.path(), "KorrinUniv2", second.port());

    QProcess one, two;
    startKorrin(one, cfg.path(), rt.path(), "4");
    ASSERT_TRUE(one.waitForStarted(10000));
    ASSERT_TRUE(first.waitFor(1)) << "the first copy connects where KorrinUniv1 says";
    // The first copy runs: the next one is the second copy.
    startKorrin(two, cfg.path(), rt.path(), "1");
    ASSERT_TRUE(two.waitForStarted(10000));
    EXPECT_TRUE(second.waitFor(1)) << "the second copy connects where KorrinUniv2 says";
    EXPECT_TRUE(endsNormally(two)) << two.readAllStandardError().toStdString();
    EXPECT_TRUE(endsNormally(one)) << one.readAllStandardError().toStdString();
    EXPECT_EQ(first.peers.size(), 1u);
    EXPECT_EQ(second.peers.size(), 1u);

    // Both ended: a new start is the first copy again.
    QProcess three;
    startKorrin(three, cfg.path(), rt.path(), "1");
    ASSERT_TRUE(three.waitForStarted(10000));
    EXPECT_TRUE(first.waitFor(2));
    EXPECT_TRUE(endsNormally(three));
    EXPECT_EQ(second.peers.size(), 1u);

    // The copies kept to their two stores and took their locks in the runtime folder.
    EXPECT_EQ(QDir(cfg.path() + "/tessaro").entryList(QDir::Files, QDir::Name),
              QStringList({"KorrinUniv1.ini", "KorrinUniv2.ini"}));
    const QString uid = QString::number(::getuid());
    EXPECT_TRUE(QFile::exists(rt.path() + "/korrin-" + uid + "-1.lock"));
    EXPECT_TRUE(QFile::exists(rt.path() + "/korrin-" + uid + "-2.lock"));
}
