// The discovery logic with real UDP sockets on loopback, against controllers stood in by
// loopback sockets and against the simulated controller's responder, in-process. The
// "broadcast" address is injected as 127.0.0.1 and every socket is bound to a 127.x address.
#include "DiscoverySupport.h"
#include "TestSupport.h"

#include "common/Discovery.h"
#include "sim/DiscoveryResponder.h"

#include <QUdpSocket>
#include <gtest/gtest.h>

#include <algorithm>

using common::Discovery;
using testsupport::LoopbackLan;
using testsupport::pumpFor;
using testsupport::pumpUntil;

namespace {

const Discovery::Network kLoopback{"127.0.0.1", "127.0.0.1"};
constexpr int kAnswerWaitMs = 3000;
constexpr int kQuietMs = 150; // how long nothing must arrive to count as "nothing arrived"

struct Searcher {
    Discovery discovery{kLoopback};
    std::vector<std::string> errors;
    Searcher()
    {
        discovery.onError = [this](const std::string& t) { errors.push_back(t); };
    }
    bool waitFor(size_t count)
    {
        return pumpUntil([&] { return discovery.found().size() >= count; }, kAnswerWaitMs);
    }
    std::vector<std::string> sorted() const
    {
        auto v = discovery.found();
        std::sort(v.begin(), v.end());
        return v;
    }
};

} // namespace

TEST(DiscoveryLoopback, FindAllSendsTheRequestFromTheAnswerPortAndListsEveryController)
{
    const struct {
        const char* name;
        std::vector<std::string> controllers;
        int answersEach;
        std::vector<std::string> listed; // sorted
    } cases[] = {
        {"one controller", {"127.0.0.2"}, 1, {"127.0.0.2"}},
        {"two controllers give two lines", {"127.0.0.2", "127.0.0.3"}, 1, {"127.0.0.2", "127.0.0.3"}},
        {"one controller answering twice gives two identical lines", {"127.0.0.4"}, 2, {"127.0.0.4", "127.0.0.4"}},
        {"three controllers", {"127.0.0.7", "127.0.0.5", "127.0.0.6"}, 1, {"127.0.0.5", "127.0.0.6", "127.0.0.7"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackLan lan;
        ASSERT_TRUE(lan.ok());
        lan.controllers = c.controllers;
        lan.answersEach = c.answersEach;
        Searcher s;
        ASSERT_TRUE(s.discovery.findAll(std::to_string(lan.port())));
        EXPECT_EQ(s.discovery.answerPort(), lan.port() + 3);
        ASSERT_TRUE(s.waitFor(c.listed.size())) << s.discovery.found().size();
        pumpFor(kQuietMs); // and no more than that
        EXPECT_EQ(s.sorted(), c.listed);
        ASSERT_EQ(lan.requests().size(), 1u);
        EXPECT_EQ(lan.requests()[0].bytes, common::discoveryRequest());
        EXPECT_EQ(lan.requests()[0].senderPort, lan.port() + 3) << "sent from the socket the answers arrive on";
        EXPECT_TRUE(s.errors.empty());
    }
}

TEST(DiscoveryLoopback, FindSpecificReachesTheGivenAddressAndListsTheSender)
{
    LoopbackLan lan;
    ASSERT_TRUE(lan.ok());
    lan.controllers = {"127.0.0.1"};
    Searcher s;
    // Blanks around the texts are accepted, as typed into the boxes.
    ASSERT_TRUE(s.discovery.findSpecific(" 127.0.0.1 ", " " + std::to_string(lan.port()) + " "));
    ASSERT_TRUE(s.waitFor(1));
    EXPECT_EQ(s.discovery.found(), std::vector<std::string>{"127.0.0.1"});
    EXPECT_EQ(s.discovery.lastTarget(), "127.0.0.1:" + std::to_string(lan.port()));
}

TEST(DiscoveryLoopback, AnswersAreListedWheneverTheyArriveUntilTheSocketCloses)
{
    LoopbackLan lan;
    ASSERT_TRUE(lan.ok());
    lan.controllers = {"127.0.0.2"};
    Searcher s;
    ASSERT_TRUE(s.discovery.findAll(std::to_string(lan.port())));
    ASSERT_TRUE(s.waitFor(1));
    // No time-out: a late answer, unasked, still counts.
    pumpFor(kQuietMs);
    ASSERT_TRUE(lan.answerFrom("127.0.0.9"));
    ASSERT_TRUE(s.waitFor(2));
    EXPECT_EQ(s.discovery.found(), (std::vector<std::string>{"127.0.0.2", "127.0.0.9"}));

    // Closed: the answer port is given back and nothing more is listed.
    s.discovery.close();
    EXPECT_TRUE(testsupport::udpPortFree(QHostAddress::LocalHost, lan.answerPort()));
    ASSERT_TRUE(lan.answerFrom("127.0.0.10"));
    pumpFor(kQuietMs);
    EXPECT_EQ(s.discovery.found().size(), 2u);
}

TEST(DiscoveryLoopback, ANewSearchDropsAnswersToTheEarlierOne)
{
    LoopbackLan first;
    ASSERT_TRUE(first.ok());
    first.controllers = {"127.0.0.2"};
    Searcher s;
    ASSERT_TRUE(s.discovery.findAll(std::to_string(first.port())));
    ASSERT_TRUE(s.waitFor(1));

    LoopbackLan second;
    ASSERT_TRUE(second.ok());
    second.controllers = {"127.0.0.3", "127.0.0.4"};
    ASSERT_TRUE(s.discovery.findAll(std::to_string(second.port())));
    EXPECT_TRUE(s.discovery.found().empty());
    // An answer on the first search's port is no longer heard.
    ASSERT_TRUE(first.answerFrom("127.0.0.2"));
    ASSERT_TRUE(s.waitFor(2));
    pumpFor(kQuietMs);
    EXPECT_EQ(s.sorted(), (std::vector<std::string>{"127.0.0.3", "127.0.0.4"}));
}

TEST(DiscoveryLoopback, AnAnswerPortHeldByAnotherProgramShowsTheMessage)
{
    LoopbackLan lan;
    ASSERT_TRUE(lan.ok());
    QUdpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress::LocalHost, quint16(lan.answerPort()), QAbstractSocket::DontShareAddress));
    Searcher s;
    EXPECT_FALSE(s.discovery.findAll(std::to_string(lan.port())));
    EXPECT_EQ(s.errors, std::vector<std::string>{"Error, incorrect IP address / Port. "});
    pumpFor(kQuietMs);
    EXPECT_TRUE(lan.requests().empty()) << "nothing is sent when the answer port cannot be had";
    EXPECT_TRUE(s.discovery.found().empty());
}

TEST(DiscoveryLoopback, TheSimulatedControllerAnswersTheRequestOnly)
{
    sim::DiscoveryOptions o;
    o.port = 0;
    // Bounded retries: the answer port beside a free request port may be taken.
    std::unique_ptr<sim::DiscoveryResponder> acu;
    for (int i = 0; i < 20 && !acu; ++i) {
        auto r = std::make_unique<sim::DiscoveryResponder>(o);
        QString error;
        if (r->start(error) && r->port() <= 65532 && testsupport::udpPortFree(QHostAddress::LocalHost, r->port() + 3))
            acu = std::move(r);
    }
    ASSERT_TRUE(acu);
    const int port = acu->port();

    // Other datagrams get no answer.
    {
        QUdpSocket other;
        ASSERT_TRUE(other.bind(QHostAddress::LocalHost, quint16(port + 3), QAbstractSocket::DontShareAddress));
        for (const QByteArray& d : {QByteArray("hello"), QByteArray("\x01\0\0\0\0\0\0", 7),
                                    QByteArray("\x01\0\0\0\0\0\0\0\0", 9), QByteArray("\x02\0\0\0\0\0\0\0", 8)})
            ASSERT_EQ(other.writeDatagram(d, QHostAddress::LocalHost, quint16(port)), d.size());
        pumpFor(kQuietMs);
        EXPECT_FALSE(other.hasPendingDatagrams());
        EXPECT_EQ(acu->answered(), 0);

        // The request sent from some other port is still answered on the request port + 3.
        QUdpSocket asker;
        ASSERT_TRUE(asker.bind(QHostAddress::LocalHost, 0));
        const QByteArray request(common::discoveryRequest().data(), 8);
        ASSERT_EQ(asker.writeDatagram(request, QHostAddress::LocalHost, quint16(port)), 8);
        ASSERT_TRUE(pumpUntil([&] { return other.hasPendingDatagrams(); }, kAnswerWaitMs));
        EXPECT_FALSE(asker.hasPendingDatagrams());
        EXPECT_EQ(acu->answered(), 1);
    }

    Searcher s;
    ASSERT_TRUE(s.discovery.findSpecific("127.0.0.1", std::to_string(port)));
    ASSERT_TRUE(s.waitFor(1));
    EXPECT_EQ(s.discovery.found(), std::vector<std::string>{"127.0.0.1"});
    EXPECT_EQ(acu->answered(), 2);
}
