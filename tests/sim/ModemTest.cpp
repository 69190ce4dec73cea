// The modems and the motor driver on their own ports, and the NMEA checksum check.
#include "ModuleTestUtil.h"

#include "sim/Modems.h"
#include "sim/Nmea.h"

#include <gtest/gtest.h>

using namespace simtest;

namespace {
const std::string P = "\r\n>";
}

TEST(ModemModule, AnswersTheModemMenuCommandsExactly)
{
    const struct {
        std::string sent;
        std::string want;
    } cases[] = {
        {"<0411\r\n", "BDE VER 3.30 SIM" + P},
        {"<0000\r\n", "BDE STATUS 0000 OK" + P},
        {"<0273\r\n", "BDE TEMP +41.5C" + P},
        {"<1234\r\n", "BDE SN 20417733" + P},
        {">0411\r\n", "ADE VER 3.30 SIM" + P},
        {">0000\r\n", "ADE STATUS 0000 OK" + P},
        {">0273\r\n", "ADE TEMP +38.0C" + P},
        {">1234\r\n", "ADE SN 20417734" + P},
        {"<0411  \r\n", "BDE VER 3.30 SIM" + P}, // trailing blanks allowed
        {"<0001\r\n", "<0001" + P},               // other codes acknowledged
        {"<12x4\r\n", "ERR <12x4" + P},
        {">041\r\n", "ERR >041" + P},
        {"]0411\r\n", ""},                         // not a modem command
        {ESC + "<0411\r\n", "BDE VER 3.30 SIM" + P},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sent);
        sim::ModuleModel m("modem");
        EXPECT_EQ(ask(m, c.sent), c.want);
        sim::ModuleModel slow("modem");
        EXPECT_EQ(askByteByByte(slow, c.sent), c.want);
    }
}

TEST(ModemModule, CountsTheTuneSyncStreamWithoutAnswering)
{
    sim::ModuleModel m("modem");
    const std::string sync(250, 'U');
    EXPECT_EQ(ask(m, sync), "");
    EXPECT_EQ(ask(m, sync), "");
    EXPECT_EQ(m.as<sim::ModemLink>().syncBytes(), 500);
    EXPECT_TRUE(m.module().received().empty()) << "the sync stream is not kept in the record";
    EXPECT_EQ(ask(m, "<0000\r\n"), "BDE STATUS 0000 OK" + P) << "commands still answered after it";
    EXPECT_EQ(m.module().received().size(), 1u);
}

TEST(ModemModule, StatusAndTemperatureFollowTheUnit)
{
    sim::ModuleModel m("modem");
    auto& link = m.as<sim::ModemLink>();
    link.ade().setStatusWord(0xA001);
    link.bde().setTemperature(-123);
    EXPECT_EQ(ask(m, ">0000\r\n"), "ADE STATUS A001 FAULT" + P);
    EXPECT_EQ(ask(m, "<0273\r\n"), "BDE TEMP -12.3C" + P);
    EXPECT_EQ(ask(m, "<0000\r\n"), "BDE STATUS 0000 OK" + P);
}

TEST(MotorDriverModule, AnswersTheMotorDriverCommandsExactly)
{
    const struct {
        std::string sent;
        std::string want;
    } cases[] = {
        {"]0411\r\n", "MDE VER 1.12 SIM" + P},
        {"]6000\r\n", "MDE STATUS 0000 OK" + P},
        {"]0273\r\n", "MDE TEMP +45.0C" + P},
        {"]6008\r\n", "MDE RELATIVE USB ON" + P},
        {"*\r\n", "MDE VER 1.12 SIM" + P}, // the USB port's version command
        {"]1111\r\n", "]1111" + P},
        {"]60\r\n", "ERR ]60" + P},
        {"*x\r\n", "ERR *x" + P},
        {"<0411\r\n", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sent);
        sim::ModuleModel m("mde");
        EXPECT_EQ(ask(m, c.sent), c.want);
    }
    sim::ModuleModel m("mde");
    EXPECT_FALSE(m.as<sim::MotorDriverLink>().mde().relativeUsb());
    ask(m, "]6008\r\n");
    EXPECT_TRUE(m.as<sim::MotorDriverLink>().mde().relativeUsb());
}

TEST(Nmea, ChecksumIsCheckedWhenPresent)
{
    const struct {
        const char* sentence;
        sim::NmeaChecksum want;
    } cases[] = {
        {"$GPGLL,3746.000,N,12213.000,W,0,00000,A", sim::NmeaChecksum::Absent},
        {"$GPGLL,3746.000,N,12213.000,W,0,00000,A*11", sim::NmeaChecksum::Good},
        {"$GPGLL,4916.45,N,12311.12,W,225444,A*31", sim::NmeaChecksum::Good},
        {"$GPGLL,4916.45,N,12311.12,W,225444,A*32", sim::NmeaChecksum::Bad},
        {"$HDHDT,123.4,T*00", sim::NmeaChecksum::Bad},
        {"$HDHDT,123.4,T*2A", sim::NmeaChecksum::Good},
        {"$HDHDT,274.1,T*2e", sim::NmeaChecksum::Good}, // lower-case digits
        {"$HDHDT,274.1,T*2", sim::NmeaChecksum::Bad},
        {"$HDHDT,274.1,T*2EX", sim::NmeaChecksum::Bad},
        {"$HDHDT,274.1,T*ZZ", sim::NmeaChecksum::Bad},
        // The terminal's sentence without a heading: its "*00" happens to be right.
        {"$HDHDT,,T*00", sim::NmeaChecksum::Good},
        {"$HDHDT,,T*01", sim::NmeaChecksum::Bad},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sentence);
        EXPECT_EQ(sim::checkNmea(c.sentence), c.want);
    }
}

TEST(Nmea, PositionAndHeadingSentencesAreKnownByType)
{
    const struct {
        const char* sentence;
        bool position, heading;
    } cases[] = {
        {"$GPGLL,3746.000,N,12213.000,W,0,00000,A", true, false},
        {"$HDHDT,123.4,T*00", false, true},
        {"$HEHDT,123.4,T", false, true},
        {"$GPGGA,1", false, false},
        {"$GPGLLX,1", false, false},
        {"GPGLL,1", false, false},
        {"$", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sentence);
        EXPECT_EQ(sim::isPositionSentence(c.sentence), c.position);
        EXPECT_EQ(sim::isHeadingSentence(c.sentence), c.heading);
    }
}
