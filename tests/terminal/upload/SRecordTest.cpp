// Reading S-record images: records read strictly, the last data record, the image as the
// version read loads it, the version text, and the SLCD's binary image.
#include "terminal/upload/SRecord.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

using upload::SRecord;

TEST(SRecord, RecordsAreReadStrictly)
{
    struct Case {
        const char* line;
        bool wellFormed;
        char type = 0;
        std::uint32_t address = 0;
        size_t dataBytes = 0;
        bool checksumOk = false;
    };
    const Case cases[] = {
        {"S1130000285F245F2212226A000424290008237C2A", true, '1', 0x0000, 16, true},
        {"S1130000285F245F2212226A000424290008237C2B", true, '1', 0x0000, 16, false}, // checksum off by one
        {"S00600004844521B", true, '0', 0, 3, true},
        {"S9030000FC", true, '9', 0, 0, true},
        {"S208010000112233444C", true, '2', 0x010000, 4, true},
        {"S30900010000AABBCCDDC3", true, '3', 0x00010000, 4, false},
        {"s1130000285F245F2212226A000424290008237C2A", false},  // lower-case "s"
        {"S1130000285F245F2212226A000424290008237C", false},    // count runs past the line
        {"S1130000285F245F2212226A000424290008237C2A00", false}, // longer than its count
        {"S1130000285F245F2212226A00042429000823GC2A", false},   // not hexadecimal
        {"S10", false},
        {"S", false},
        {"", false},
        {"S1020000", false},     // no room for the address and the checksum
        {"SX030000FC", false},   // no type digit
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const auto r = upload::parseRecord(c.line);
        ASSERT_EQ(r.has_value(), c.wellFormed);
        if (!r)
            continue;
        EXPECT_EQ(r->type, c.type);
        EXPECT_EQ(r->address, c.address);
        EXPECT_EQ(r->data.size(), c.dataBytes);
        EXPECT_EQ(r->checksumOk, c.checksumOk);
    }
}

TEST(SRecord, TheLastDataRecordIsTheLineBeforeTheFirstS9)
{
    using L = std::vector<std::string>;
    EXPECT_EQ(upload::lastDataRecord(L{"S0", "S1 a", "S1 b", "S9 end", "S1 after"}), "S1 b");
    EXPECT_EQ(upload::lastDataRecord(L{"S0", "S1 a xxS9xx", "S9"}), "S0") << "\"S9\" anywhere in a line counts";
    EXPECT_EQ(upload::lastDataRecord(L{"S0", "S1 a", "S1 b", "S7 end"}), "S1 b") << "no S9: the line before the last";
    EXPECT_EQ(upload::lastDataRecord(L{"S9 first", "S1 a"}), "");
    EXPECT_EQ(upload::lastDataRecord(L{"only"}), "");
    EXPECT_EQ(upload::lastDataRecord(L{}), "");
}

// The image of the version read, and the version text found in it.
TEST(SRecord, TheVersionIsReadFromTheS1Image)
{
    auto s1 = [](unsigned address, const std::string& text) {
        char head[16];
        std::snprintf(head, sizeof head, "S1%02X%04X", unsigned(text.size() + 3), address);
        std::string line = head;
        for (unsigned char c : text) {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02X", c);
            line += hex;
        }
        return line + "00"; // the checksum is not read
    };
    struct Case {
        const char* what;
        std::vector<std::string> lines;
        std::string version;
    };
    const Case cases[] = {
        {"Ver, a blank, the text", {s1(0x1000, "xxVer 2.31 yy")}, "2.31"},
        {"VER in upper case", {s1(0x2000, "TAV VER 7.12 SIM")}, "7.12"},
        {"no blank within five characters: from p+10", {s1(0x0100, "VER_ABCDEF7.12 x")}, "7.12"},
        {"stops at a byte outside 33..121", {s1(0x0100, "Ver 1.2\x01" "3")}, "1.2"},
        {"six characters at most", {s1(0x0100, "Ver ABCDEFGH")}, "ABCDEF"},
        {"a lower-case v does not start it", {s1(0x0100, "ver 3.0")}, ""},
        {"spread over two records", {s1(0x0010, "Ve"), s1(0x0012, "r 4.5 ")}, "4.5"},
        {"S2 and S3 records are not loaded", {"S2080100005665722033", "S3090001000056657220"}, ""},
        {"reading stops at S9", {"S9030000FC", s1(0x0100, "Ver 9.9 ")}, ""},
        {"bad hex reads as zero", {"S1070100GG56657220"}, ""},
        {"bytes past 65536 are dropped", {s1(0xFFFE, "Ver 5.5 ")}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto image = upload::loadS1Image(c.lines);
        ASSERT_EQ(image.size(), upload::kImageSize);
        EXPECT_EQ(upload::findVersion(image), c.version);
    }
    // The address wraps nowhere: the last two bytes of the image are still written.
    const auto image = upload::loadS1Image({s1(0xFFFF, "AB")});
    EXPECT_EQ(image[0xFFFF], 'A');
    EXPECT_EQ(image[0x10000], 'B');
    EXPECT_EQ(image[0], 0);
}

class TempFile {
public:
    explicit TempFile(const std::string& bytes)
    {
        path = (std::filesystem::temp_directory_path() / ("srecord-" + std::to_string(::getpid()) + "-"
                                                          + std::to_string(++n())))
                   .string();
        std::ofstream(path, std::ios::binary) << bytes;
    }
    ~TempFile() { std::filesystem::remove(path); }
    std::string path;

private:
    static int& n()
    {
        static int k = 0;
        return k;
    }
};

TEST(SRecord, LinesEndAtLfCrLfOrCrAndATextFileIsBounded)
{
    TempFile f("a\r\nb\nc\rd");
    std::vector<std::string> lines;
    std::string error;
    ASSERT_TRUE(upload::readLines(f.path, lines, error)) << error;
    EXPECT_EQ(lines, (std::vector<std::string>{"a", "b", "c", "d"}));

    TempFile binary(std::string(upload::kMaxLineChars + 10, 'x'));
    EXPECT_FALSE(upload::readLines(binary.path, lines, error));
    EXPECT_NE(error.find("not a text file"), std::string::npos) << error;

    EXPECT_FALSE(upload::readLines("/nonexistent/image.s19", lines, error));
    EXPECT_FALSE(error.empty());
}

TEST(SRecord, BinImagesStartWithEbFe)
{
    struct Case {
        std::string bytes;
        bool formatOk;
        std::uint64_t size;
    };
    const Case cases[] = {
        {std::string("\xEB\xFE", 2) + std::string(300, 'x'), true, 302},
        {std::string("\xEB\xFE", 2), true, 2},
        {std::string("\xEB\xFE", 2) + std::string(254, 'x'), true, 256},
        {std::string("\xFE\xEB", 2) + std::string(300, 'x'), false, 128},
        {"", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes.size());
        TempFile f(c.bytes);
        upload::BinImage bin;
        std::string error;
        ASSERT_TRUE(upload::checkBinFile(f.path, bin, error)) << error;
        EXPECT_EQ(bin.formatOk, c.formatOk);
        if (c.formatOk)
            EXPECT_EQ(bin.size, c.size);
    }
}

} // namespace
