#pragma once
// The korrin program run from a test: its own settings and data folders in a temporary folder,
// standard output and error together, every wait bounded.
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace korrintest {

struct Outcome {
    int exitCode = -1; // -1: killed, or it did not exit normally
    QString out;
};

class KorrinRun : public ::testing::Test {
protected:
    QString path(const char* name) const { return dir.path() + "/" + name; }

    void start(QProcess& p, const QStringList& args)
    {
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", path("config"));
        env.insert("XDG_DATA_HOME", path("data"));
        env.insert("XDG_RUNTIME_DIR", dir.path());
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(KORRIN_PATH, args);
    }
    Outcome finish(QProcess& p)
    {
        Outcome r;
        if (!p.waitForFinished(90000)) {
            p.kill();
            p.waitForFinished(3000);
        } else if (p.exitStatus() == QProcess::NormalExit) {
            r.exitCode = p.exitCode();
        }
        r.out = QString::fromLatin1(p.readAll());
        return r;
    }

    QTemporaryDir dir;
};

} // namespace korrintest
