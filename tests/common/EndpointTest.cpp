// Link endpoints given on the command line, serial settings strings, and serial event texts.
#include "common/Endpoint.h"
#include "common/Link.h"

#include <gtest/gtest.h>

using common::Endpoint;
using common::LineSettings;

TEST(Endpoint, ReadsTcpAndSerialEndpoints)
{
    struct Case {
        const char* text;
        Endpoint expected;
    };
    const Case cases[] = {
        {"tcp:127.0.0.1:2000", {false, "", "", "127.0.0.1", 2000}},
        {"tcp:[::1]:2001", {false, "", "", "::1", 2001}},
        {"tcp:acu.local:1", {false, "", "", "acu.local", 1}},
        {"tcp:10.0.0.2:65535", {false, "", "", "10.0.0.2", 65535}},
        {"serial:/dev/pts/3", {true, "/dev/pts/3", "", "", 0}},
        {"serial:/dev/ttyUSB0:19200,N,8,1", {true, "/dev/ttyUSB0", "19200,N,8,1", "", 0}},
        {"serial:/dev/ttyS0:9600,n,8,1.5", {true, "/dev/ttyS0", "9600,n,8,1.5", "", 0}},
        {"serial:/dev/ttyUSB1:", {true, "/dev/ttyUSB1", "", "", 0}},
        // Stable names of USB adapters carry colons of their own.
        {"serial:/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0",
         {true, "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0", "", "", 0}},
        {"serial:/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0:38400,E,7,2",
         {true, "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0", "38400,E,7,2", "", 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string error;
        const auto e = common::parseEndpoint(c.text, error);
        ASSERT_TRUE(e.has_value()) << error;
        EXPECT_EQ(e->serial, c.expected.serial);
        EXPECT_EQ(e->device, c.expected.device);
        EXPECT_EQ(e->settings, c.expected.settings);
        EXPECT_EQ(e->host, c.expected.host);
        EXPECT_EQ(e->port, c.expected.port);
    }
}

TEST(Endpoint, RejectsMalformedEndpointsWithAMessage)
{
    const char* cases[] = {
        "tcp:host",                       // no port
        "tcp:h:0",                        // port 0
        "tcp:h:70000",                    // above 65535
        "tcp:h:65536",
        "tcp:h:99999999999999999999",
        "tcp:h:",                         // empty port
        "tcp::2000",                      // empty host
        "tcp:h:20x0",
        "tcp:h:-1",
        "tcp:h:+5",
        "serial:",                        // empty device
        "serial::9600,N,8,1",
        "serial:/dev/x:9600,Q,8,1",       // parity letter
        "serial:/dev/x:9600,N,9,1",       // data bits
        "serial:/dev/x:9600,N,8",         // too few fields
        "serial:/dev/x:9600",             // a speed alone is not a settings string
        "udp:127.0.0.1:2000",             // unknown scheme
        "TCP:127.0.0.1:2000",
        "/dev/ttyUSB0",
        "",
    };
    for (const char* text : cases) {
        std::string error;
        const auto e = common::parseEndpoint(text, error);
        EXPECT_FALSE(e.has_value()) << '"' << text << '"';
        EXPECT_FALSE(error.empty()) << '"' << text << '"';
    }
    std::string error;
    common::parseEndpoint("udp:x:1", error);
    EXPECT_NE(error.find("tcp:HOST:PORT"), std::string::npos) << error;
    common::parseEndpoint("serial:/dev/x:9600,Q,8,1", error);
    EXPECT_NE(error.find("9600,Q,8,1"), std::string::npos) << error;
}

TEST(LineSettings, ParsesSettingsStrings)
{
    struct Case {
        const char* text;
        int baud;
        char parity;
        int dataBits;
        const char* stopBits;
    };
    const Case cases[] = {
        {"9600,N,8,1", 9600, 'N', 8, "1"},   {"9600,n,8,1.5", 9600, 'N', 8, "1.5"},
        {"115200,E,7,2", 115200, 'E', 7, "2"}, {"1200,o,5,1", 1200, 'O', 5, "1"},
        {"38400,M,8,1", 38400, 'M', 8, "1"}, {"4800,s,6,2", 4800, 'S', 6, "2"},
        {"2400,e,4,1", 2400, 'E', 4, "1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        LineSettings s;
        ASSERT_TRUE(common::parseSettings(c.text, s));
        EXPECT_EQ(s.baud, c.baud);
        EXPECT_EQ(s.parity, c.parity);
        EXPECT_EQ(s.dataBits, c.dataBits);
        EXPECT_EQ(s.stopBits, c.stopBits);
    }
}

TEST(LineSettings, RejectsBadSettingsStringsAndLeavesTheOutputAlone)
{
    const char* cases[] = {
        "",           "9600",          "9600,N,8",      "9600,N,8,1,",  "9600,N,8,1,1", ",N,8,1",
        "abc,N,8,1",  "0,N,8,1",       "-9600,N,8,1",   "96x0,N,8,1",   "99999999999,N,8,1",
        "9600,Q,8,1", "9600,,8,1",     "9600,NN,8,1",   "9600,None,8,1",
        "9600,N,9,1", "9600,N,3,1",    "9600,N,,1",     "9600,N,8x,1",
        "9600,N,8,3", "9600,N,8,1.0",  "9600,N,8,",     "9600,N,8,0",   "9600;N;8;1",
    };
    for (const char* text : cases) {
        LineSettings s;
        s.baud = 4321;
        s.parity = 'Z';
        s.dataBits = 3;
        s.stopBits = "x";
        EXPECT_FALSE(common::parseSettings(text, s)) << '"' << text << '"';
        EXPECT_EQ(s.baud, 4321) << text;
        EXPECT_EQ(s.parity, 'Z') << text;
        EXPECT_EQ(s.dataBits, 3) << text;
        EXPECT_EQ(s.stopBits, "x") << text;
    }
}

TEST(SerialEvents, EventTexts)
{
    const std::pair<int, const char*> cases[] = {
        {1001, "Break Received"},
        {1002, "CTS Timeout"},
        {1003, "DSR Timeout"},
        {1004, "Framing Error"},
        {1005, "Unknown error or event"},
        {1006, "Overrun Error"},
        {1007, "Carrier Detect Timeout"},
        {1008, "Receive Buffer Overflow"},
        {1009, "Parity Error"},
        {1010, "Transmit Buffer Full"},
        {1011, "Error retrieving DCB"},
        {1012, "Unknown error or event"},
        {0, "Unknown error or event"},
        {8, "Unknown error or event"},
        {-1, "Unknown error or event"},
        {9999, "Unknown error or event"},
        {common::comEventDeviceLost, "Unknown error or event"},
    };
    for (const auto& [code, text] : cases)
        EXPECT_EQ(common::serialEventText(code), text) << code;
    // Line and buffer changes (send, CTS, DSR, CD, ring, end of file) show nothing.
    for (int code = 1; code <= 7; ++code)
        EXPECT_EQ(common::serialEventText(code), "") << code;
}
