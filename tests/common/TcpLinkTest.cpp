// The TCP link against a server on the loopback interface.
#include "TestSupport.h"

#include "common/Link.h"

#include <gtest/gtest.h>

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

using common::TcpLink;
using testsupport::pumpFor;
using testsupport::pumpUntil;

namespace {

std::string allByteValues()
{
    std::string s;
    for (int i = 0; i < 256; ++i)
        s.push_back(char(i));
    return s;
}

// A controller stand-in: accepts one connection at a time on 127.0.0.1, any free port.
struct Server {
    QTcpServer server;
    QTcpSocket* peer = nullptr;
    QByteArray received;

    bool listen() { return server.listen(QHostAddress::LocalHost, 0); }
    int port() const { return server.serverPort(); }
    bool accept()
    {
        if (!pumpUntil([&] { return server.hasPendingConnections(); }))
            return false;
        peer = server.nextPendingConnection();
        QObject::connect(peer, &QTcpSocket::readyRead, [this] { received += peer->readAll(); });
        return peer != nullptr;
    }
};

struct Events {
    std::string data;
    int lost = 0;
    int errors = 0;
    void attach(common::Link& link)
    {
        link.onData = [this](const std::string& d) { data += d; };
        link.onLost = [this] { ++lost; };
        link.onError = [this](int, const std::string&) { ++errors; };
    }
};

} // namespace

TEST(TcpLink, ConnectsAndCarriesBytesBothWaysUnchanged)
{
    Server srv;
    ASSERT_TRUE(srv.listen());
    TcpLink link("127.0.0.1", srv.port());
    Events ev;
    ev.attach(link);
    EXPECT_EQ(link.describe(), "127.0.0.1:" + std::to_string(srv.port()));
    EXPECT_FALSE(link.isOpen());
    EXPECT_FALSE(link.write("too early"));

    std::string error;
    ASSERT_TRUE(link.open(error)) << error;
    ASSERT_TRUE(srv.accept());
    ASSERT_TRUE(pumpUntil([&] { return link.isOpen(); }));

    std::string out = "\x1b" "m012999\r\n";
    out += std::string(1, '\0') + allByteValues() + allByteValues();
    ASSERT_TRUE(link.write(out));
    EXPECT_TRUE(pumpUntil([&] { return srv.received.size() >= qsizetype(out.size()); }));
    EXPECT_EQ(std::string(srv.received.constData(), size_t(srv.received.size())), out);
    EXPECT_TRUE(pumpUntil([&] { return link.outputDrained(); }));

    std::string in = allByteValues();
    std::reverse(in.begin(), in.end());
    in += std::string("\0\r", 2);
    srv.peer->write(in.data(), qint64(in.size()));
    EXPECT_TRUE(pumpUntil([&] { return ev.data.size() >= in.size(); }));
    EXPECT_EQ(ev.data, in);
    EXPECT_EQ(ev.lost, 0);
    EXPECT_EQ(ev.errors, 0);
}

TEST(TcpLink, PeerClosingRaisesLostOnce)
{
    Server srv;
    ASSERT_TRUE(srv.listen());
    TcpLink link("127.0.0.1", srv.port());
    Events ev;
    ev.attach(link);
    std::string error;
    ASSERT_TRUE(link.open(error));
    ASSERT_TRUE(srv.accept());
    ASSERT_TRUE(pumpUntil([&] { return link.isOpen(); }));

    srv.peer->close();
    EXPECT_TRUE(pumpUntil([&] { return ev.lost > 0; }));
    pumpFor(30);
    EXPECT_EQ(ev.lost, 1);
    EXPECT_FALSE(link.isOpen());
    EXPECT_FALSE(link.write("x"));

    // The link can connect again to the same controller.
    ASSERT_TRUE(link.open(error));
    ASSERT_TRUE(srv.accept());
    ASSERT_TRUE(pumpUntil([&] { return link.isOpen(); }));
    ASSERT_TRUE(link.write("ok"));
    EXPECT_TRUE(pumpUntil([&] { return srv.received == "ok"; }));
    EXPECT_EQ(ev.lost, 1);
}

TEST(TcpLink, OurOwnCloseRaisesNoLost)
{
    struct Case {
        const char* what;
        std::function<void(std::unique_ptr<TcpLink>&)> act;
    };
    const std::vector<Case> cases = {
        {"close()", [](std::unique_ptr<TcpLink>& l) { l->close(); }},
        {"close() twice", [](std::unique_ptr<TcpLink>& l) { l->close(); l->close(); }},
        {"destroying an open link", [](std::unique_ptr<TcpLink>& l) { l.reset(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Server srv;
        ASSERT_TRUE(srv.listen());
        auto link = std::make_unique<TcpLink>("127.0.0.1", srv.port());
        Events ev;
        ev.attach(*link);
        std::string error;
        ASSERT_TRUE(link->open(error));
        ASSERT_TRUE(srv.accept());
        ASSERT_TRUE(pumpUntil([&] { return link->isOpen(); }));

        c.act(link);
        if (link) {
            EXPECT_FALSE(link->isOpen());
            ASSERT_TRUE(link->onLost) << "close() keeps the handler for later connections";
        }
        // The controller sees the connection go.
        EXPECT_TRUE(pumpUntil([&] { return srv.peer->state() == QAbstractSocket::UnconnectedState; }));
        pumpFor(30);
        EXPECT_EQ(ev.lost, 0);
    }
}

TEST(TcpLink, OpeningAgainWhileConnectedIsNotALoss)
{
    Server srv;
    ASSERT_TRUE(srv.listen());
    TcpLink link("127.0.0.1", srv.port());
    Events ev;
    ev.attach(link);
    std::string error;
    ASSERT_TRUE(link.open(error));
    ASSERT_TRUE(srv.accept());
    ASSERT_TRUE(pumpUntil([&] { return link.isOpen(); }));
    QTcpSocket* first = srv.peer;

    ASSERT_TRUE(link.open(error));
    ASSERT_TRUE(srv.accept());
    ASSERT_TRUE(pumpUntil([&] { return link.isOpen(); }));
    EXPECT_NE(srv.peer, first);
    EXPECT_EQ(ev.lost, 0);
    ASSERT_TRUE(link.write("second"));
    EXPECT_TRUE(pumpUntil([&] { return srv.received == "second"; }));
}

TEST(TcpLink, NothingListeningNeverOpens)
{
    quint16 port = 0;
    {
        QTcpServer probe; // find a free port, then free it again
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    TcpLink link("127.0.0.1", port);
    Events ev;
    ev.attach(link);
    std::string error;
    EXPECT_TRUE(link.open(error)) << "connecting only begins here";
    pumpFor(100);
    EXPECT_FALSE(link.isOpen());
    EXPECT_FALSE(link.write("x"));
    EXPECT_EQ(ev.lost, 0) << "a connection never made is not lost";
}
