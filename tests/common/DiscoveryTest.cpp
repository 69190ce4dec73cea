// The discovery logic with a scripted socket: what a search binds and sends for each port and
// address text, which texts are refused with the message, and how answers fill the list.
// Nothing here touches the network.
#include "common/Discovery.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

using common::Discovery;

namespace {

// What the scripted sockets were asked to do, and the sockets still alive.
struct SocketJournal {
    std::vector<std::string> events; // "bind 127.0.0.1:3003", "send 127.0.0.1:3000 <8 bytes>"
    std::string lastSent;
    bool failBind = false;
    bool failSend = false;
    class Scripted* live = nullptr;
    int made = 0;
};

class Scripted : public common::DatagramSocket {
public:
    explicit Scripted(SocketJournal& j) : j_(j) { j_.live = this; ++j_.made; }
    ~Scripted() override
    {
        if (j_.live == this)
            j_.live = nullptr;
    }
    bool bind(const std::string& address, int port, std::string& error) override
    {
        j_.events.push_back("bind " + address + ":" + std::to_string(port));
        if (j_.failBind)
            error = "Address already in use";
        return !j_.failBind;
    }
    bool send(const std::string& host, int port, const std::string& bytes, std::string& error) override
    {
        j_.events.push_back("send " + host + ":" + std::to_string(port));
        j_.lastSent = bytes;
        if (j_.failSend)
            error = "Network unreachable";
        return !j_.failSend;
    }
    // Called through a copy, as the real socket does: the handler may destroy this socket.
    void deliver(const std::string& from, const std::string& bytes = "TAV")
    {
        auto h = onDatagram;
        h(from, bytes);
    }
    void failRead() { onReadError("read failed"); }

private:
    SocketJournal& j_;
};

struct Bench {
    SocketJournal journal;
    std::vector<std::string> errors;
    int changes = 0;
    Discovery discovery;

    explicit Bench(Discovery::Network net = {"127.0.0.1", "127.0.0.1"})
        : discovery(std::move(net), [this] { return std::make_unique<Scripted>(journal); })
    {
        discovery.onError = [this](const std::string& t) { errors.push_back(t); };
        discovery.onChanged = [this] { ++changes; };
    }
};

} // namespace

TEST(DiscoveryRequest, IsTheByteOneFollowedBySevenZeros)
{
    const std::string r = common::discoveryRequest();
    EXPECT_EQ(r, std::string("\x01\x00\x00\x00\x00\x00\x00\x00", 8));
}

TEST(DiscoveryText, PortTextsGiveTheRequestPortOrNothing)
{
    const struct {
        const char* text;
        std::optional<int> port;
    } cases[] = {
        {"3000", 3000},    {"2000", 2000},       {" 2000 ", 2000},      {"1", 1},
        {"65532", 65532},  {"65533", std::nullopt}, {"65535", std::nullopt}, {"0", std::nullopt},
        {"", std::nullopt}, {"   ", std::nullopt}, {"30x0", std::nullopt}, {"3000a", std::nullopt},
        {"-3000", std::nullopt}, {"+3000", std::nullopt}, {"3000.5", std::nullopt}, {"999999", std::nullopt},
        {"3 000", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(common::requestPort(c.text), c.port) << '"' << c.text << '"';
}

TEST(DiscoveryText, AddressTextsGiveAPlainIPv4AddressOrNothing)
{
    const struct {
        const char* text;
        std::optional<std::string> address;
    } cases[] = {
        {"192.168.0.195", "192.168.0.195"},
        {" 10.0.0.1 ", "10.0.0.1"},
        {"192.168.000.010", "192.168.0.10"},
        {"0.0.0.0", "0.0.0.0"},
        {"255.255.255.254", "255.255.255.254"},
        {"256.1.1.1", std::nullopt},
        {"1.2.3", std::nullopt},
        {"1.2.3.4.5", std::nullopt},
        {"1..2.3", std::nullopt},
        {"1.2.3.4.", std::nullopt},
        {".1.2.3", std::nullopt},
        {"1234.1.1.1", std::nullopt},
        {"a.b.c.d", std::nullopt},
        {"localhost", std::nullopt},
        {"", std::nullopt},
        {"1.2.3.-4", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(common::ipv4Address(c.text), c.address) << '"' << c.text << '"';
}

TEST(DiscoveryText, WebPageIsHttpAddressSlash)
{
    EXPECT_EQ(common::webPageUrl("192.168.0.7"), "http://192.168.0.7/");
    EXPECT_EQ(common::webPageUrl(""), "http:///");
}

TEST(DiscoverySearch, BindsTheAnswerPortAndSendsTheRequestToThePort)
{
    const struct {
        const char* name;
        bool all;
        const char* address;
        const char* port;
        std::vector<std::string> events;
        int answerPort;
    } cases[] = {
        {"find all, default port", true, "", "3000", {"bind 127.0.0.1:3003", "send 127.0.0.1:3000"}, 3003},
        {"find all, port 2000", true, "", "2000", {"bind 127.0.0.1:2003", "send 127.0.0.1:2000"}, 2003},
        {"find specific", false, "127.0.0.9", "2000", {"bind 127.0.0.1:2003", "send 127.0.0.9:2000"}, 2003},
        {"specific, blanks", false, " 127.000.0.9 ", " 4500 ", {"bind 127.0.0.1:4503", "send 127.0.0.9:4500"}, 4503},
        {"highest port", false, "127.0.0.9", "65532", {"bind 127.0.0.1:65535", "send 127.0.0.9:65532"}, 65535},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bench b;
        const bool ok = c.all ? b.discovery.findAll(c.port) : b.discovery.findSpecific(c.address, c.port);
        EXPECT_TRUE(ok);
        EXPECT_EQ(b.journal.events, c.events);
        EXPECT_EQ(b.journal.lastSent, common::discoveryRequest());
        EXPECT_TRUE(b.discovery.listening());
        EXPECT_EQ(b.discovery.answerPort(), c.answerPort);
        EXPECT_TRUE(b.errors.empty());
    }
}

TEST(DiscoverySearch, TheInjectedBroadcastAndBindAddressesAreUsed)
{
    Bench b({"127.0.0.200", "127.0.0.100"});
    ASSERT_TRUE(b.discovery.findAll("3000"));
    EXPECT_EQ(b.journal.events, (std::vector<std::string>{"bind 127.0.0.100:3003", "send 127.0.0.200:3000"}));
    // The production default is the limited broadcast, answers on every interface.
    const Discovery::Network production;
    EXPECT_EQ(production.broadcast, common::kLimitedBroadcast);
    EXPECT_EQ(production.bind, common::kAnyIPv4);
}

TEST(DiscoverySearch, BadTextsAndSocketFailuresShowTheMessageAndListNothing)
{
    const struct {
        const char* name;
        bool all;
        const char* address;
        const char* port;
        bool failBind, failSend;
        std::vector<std::string> events;
    } cases[] = {
        {"port not a number", true, "", "30x0", false, false, {}},
        {"port empty", false, "127.0.0.9", "", false, false, {}},
        {"answer port past 65535", false, "127.0.0.9", "65533", false, false, {}},
        {"address incomplete", false, "127.0.0", "3000", false, false, {}},
        {"address a name", false, "tav-acu", "3000", false, false, {}},
        {"answer port taken", true, "", "3000", true, false, {"bind 127.0.0.1:3003"}},
        {"send refused", false, "127.0.0.9", "3000", false, true, {"bind 127.0.0.1:3003", "send 127.0.0.9:3000"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bench b;
        // A list from an earlier search is cleared by the failed one.
        ASSERT_TRUE(b.discovery.findAll("3000"));
        b.journal.live->deliver("127.0.0.5");
        ASSERT_EQ(b.discovery.found().size(), 1u);
        b.journal.events.clear();
        b.journal.failBind = c.failBind;
        b.journal.failSend = c.failSend;

        const bool ok = c.all ? b.discovery.findAll(c.port) : b.discovery.findSpecific(c.address, c.port);
        EXPECT_FALSE(ok);
        EXPECT_EQ(b.errors, std::vector<std::string>{"Error, incorrect IP address / Port. "});
        EXPECT_EQ(b.journal.events, c.events);
        EXPECT_TRUE(b.discovery.found().empty());
        EXPECT_FALSE(b.discovery.listening());
        EXPECT_EQ(b.discovery.answerPort(), 0);
        EXPECT_EQ(b.journal.live, nullptr) << "no socket stays open after a failed search";
    }
}

TEST(DiscoveryAnswers, EveryAnswerAddsItsSenderDuplicatesIncluded)
{
    Bench b;
    ASSERT_TRUE(b.discovery.findAll("3000"));
    const int changesAfterSearch = b.changes;
    auto* s = b.journal.live;
    ASSERT_NE(s, nullptr);
    s->deliver("127.0.0.2", "anything");
    s->deliver("127.0.0.3", std::string("\0\xff", 2));
    s->deliver("127.0.0.2", "");
    EXPECT_EQ(b.discovery.found(), (std::vector<std::string>{"127.0.0.2", "127.0.0.3", "127.0.0.2"}));
    EXPECT_EQ(b.changes, changesAfterSearch + 3);
    EXPECT_TRUE(b.errors.empty());
}

TEST(DiscoveryAnswers, ANewSearchClearsTheListAndClosesTheOldSocket)
{
    Bench b;
    ASSERT_TRUE(b.discovery.findAll("3000"));
    b.journal.live->deliver("127.0.0.2");
    ASSERT_TRUE(b.discovery.findSpecific("127.0.0.9", "2000"));
    EXPECT_TRUE(b.discovery.found().empty());
    EXPECT_EQ(b.journal.made, 2);
    b.journal.live->deliver("127.0.0.9");
    EXPECT_EQ(b.discovery.found(), std::vector<std::string>{"127.0.0.9"});

    b.discovery.close();
    EXPECT_EQ(b.journal.live, nullptr);
    EXPECT_FALSE(b.discovery.listening());
    EXPECT_EQ(b.discovery.found(), std::vector<std::string>{"127.0.0.9"}) << "closing keeps the list";
}

TEST(DiscoveryAnswers, AReadFailureShowsTheReceiveMessage)
{
    Bench b;
    ASSERT_TRUE(b.discovery.findAll("3000"));
    b.journal.live->failRead();
    EXPECT_EQ(b.errors, std::vector<std::string>{"Error-Rcv, incorrect IP address / Port. "});
    EXPECT_TRUE(b.discovery.found().empty());
    // Still listening: a later answer is listed.
    b.journal.live->deliver("127.0.0.2");
    EXPECT_EQ(b.discovery.found(), std::vector<std::string>{"127.0.0.2"});
}

TEST(DiscoveryAnswers, AHandlerMayStartANewSearchWhileAnAnswerIsBeingListed)
{
    Bench b;
    ASSERT_TRUE(b.discovery.findAll("3000"));
    bool again = true;
    b.discovery.onChanged = [&] {
        if (again && !b.discovery.found().empty()) {
            again = false;
            b.discovery.findSpecific("127.0.0.9", "2000"); // destroys the socket that delivered
        }
    };
    b.journal.live->deliver("127.0.0.2");
    EXPECT_TRUE(b.discovery.found().empty());
    EXPECT_EQ(b.journal.made, 2);
    EXPECT_TRUE(b.discovery.listening());
}
