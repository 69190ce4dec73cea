// The per-user settings store: where it lives, how it reads damaged files, how it writes.
#include "TestSupport.h"

#include "common/SettingsStore.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <sstream>
#include <sys/stat.h>

using common::SettingsStore;
using testsupport::EnvVar;
using testsupport::TempDir;

namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool exists(const std::string& path) { return std::filesystem::exists(path); }

} // namespace

TEST(SettingsStore, LivesUnderXdgConfigHomeInTessaroFolder)
{
    TempDir tmp;
    ASSERT_TRUE(tmp.ok());
    EnvVar xdg("XDG_CONFIG_HOME", tmp.path());

    EXPECT_EQ(SettingsStore::configDir(), tmp.path() + "/tessaro");
    SettingsStore store("multTAVRemote");
    EXPECT_EQ(store.appName(), "multTAVRemote");
    EXPECT_EQ(store.path(), tmp.path() + "/tessaro/multTAVRemote.ini");

    // The folder is made on the first save.
    ASSERT_TRUE(store.save("Properties", "Select", "2")) << store.lastError();
    EXPECT_TRUE(exists(tmp.path() + "/tessaro/multTAVRemote.ini"));
    EXPECT_EQ(SettingsStore("multTAVRemote").get("Properties", "Select", "1"), "2");
    // Each application name has its own file.
    EXPECT_EQ(SettingsStore("KorrinUniv1").get("Properties", "Select", "none"), "none");
}

TEST(SettingsStore, FallsBackToHomeDotConfigWhenXdgIsUnsetOrEmpty)
{
    TempDir tmp;
    ASSERT_TRUE(tmp.ok());
    EnvVar home("HOME", tmp.path());
    for (const char* xdgValue : std::initializer_list<const char*>{"", nullptr}) {
        EnvVar xdg("XDG_CONFIG_HOME", "");
        if (!xdgValue)
            ::unsetenv("XDG_CONFIG_HOME");
        EXPECT_EQ(SettingsStore::configDir(), tmp.path() + "/.config/tessaro");
        EXPECT_EQ(SettingsStore("KorrinUniv2").path(), tmp.path() + "/.config/tessaro/KorrinUniv2.ini");
    }
}

TEST(SettingsStore, MissingFileReadsDefaults)
{
    TempDir tmp;
    ASSERT_TRUE(tmp.ok());
    const auto store = SettingsStore::atPath("KorrinUniv1", tmp.file("absent/KorrinUniv1.ini"));
    EXPECT_FALSE(store.has("Properties", "Direct"));
    EXPECT_EQ(store.get("Properties", "Direct", "DATA"), "DATA");
    EXPECT_EQ(store.get("Properties", "Settings", ""), "");
    // Reading creates nothing.
    EXPECT_FALSE(exists(tmp.file("absent")));
}

TEST(SettingsStore, DamagedFileNeverStopsReadingAndKeepsReadableKeys)
{
    const std::string longLine(1 << 20, 'x');
    std::string garbage;
    for (int i = 0; i < 4096; ++i)
        garbage.push_back(char((i * 131 + 7) & 0xFF)); // includes NUL, CR, LF, '=', '['
    garbage += "\n";

    struct Case {
        const char* name;
        std::string content;
        std::vector<std::pair<std::string, std::string>> readable; // key in Properties -> value
        std::vector<std::string> absent;                           // keys in Properties
    };
    const std::vector<Case> cases = {
        {"binary garbage around good lines",
         garbage + "[Properties]\nSelect=3\n" + garbage + "[Properties]\nCaption1=Bridge\n",
         {{"Select", "3"}, {"Caption1", "Bridge"}}, {}},
        {"lines without an equals sign",
         "[Properties]\nSelect\nPort1 2000\nPort2=2001\njust words\n", {{"Port2", "2001"}}, {"Select", "Port1"}},
        {"keys before any section",
         "Select=4\nPort1=7\n[Properties]\nPort2=9\n", {{"Port2", "9"}}, {"Select", "Port1"}},
        {"a one-megabyte line", "[Properties]\nA=1\n" + longLine + "\nB=" + longLine + "\nC=3\n",
         {{"A", "1"}, {"B", longLine}, {"C", "3"}}, {}},
        {"CR LF line ends and blanks", "\r\n[Properties]\r\n  Select = 2 \r\n\r\nMode=1\r\n",
         {{"Select", "2"}, {"Mode", "1"}}, {}},
        {"unterminated last line and broken section header",
         "[Properties\nX=1\n[Properties]\nY=2", {{"Y", "2"}}, {"X"}},
        {"empty key", "[Properties]\n=5\nZ=6\n", {{"Z", "6"}}, {""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir tmp;
        ASSERT_TRUE(tmp.ok());
        const std::string path = tmp.file("store.ini");
        writeFile(path, c.content);

        auto store = SettingsStore::atPath("multTAVRemote", path);
        for (const auto& [k, v] : c.readable) {
            EXPECT_TRUE(store.has("Properties", k)) << k;
            EXPECT_EQ(store.get("Properties", k, "default"), v) << k;
        }
        for (const auto& k : c.absent)
            EXPECT_EQ(store.get("Properties", k, "default"), "default") << k;

        // The damaged file can be written over, and the readable keys survive the rewrite.
        ASSERT_TRUE(store.save("Properties", "Written", "yes")) << store.lastError();
        const auto again = SettingsStore::atPath("multTAVRemote", path);
        EXPECT_EQ(again.get("Properties", "Written", ""), "yes");
        for (const auto& [k, v] : c.readable)
            EXPECT_EQ(again.get("Properties", k, "default"), v) << k;
    }
}

TEST(SettingsStore, SavedValuesReadBackExactly)
{
    const std::vector<std::string> values = {
        "9600,N,8,1",
        "",
        "Antenna 1",
        " leading blank",
        "trailing blanks  ",
        "\ttab\t",
        "a=b=c",
        "[Section]",
        "; not a comment",
        "# not a comment either",
        "\"quoted\"",
        "\"",
        "\"half",
        "half\"",
        std::string("bytes \xE9\x81\xFF\x80 high"),
    };
    TempDir tmp;
    ASSERT_TRUE(tmp.ok());
    const std::string path = tmp.file("tessaro/KorrinUniv1.ini");
    {
        auto store = SettingsStore::atPath("KorrinUniv1", path);
        for (size_t i = 0; i < values.size(); ++i) {
            ASSERT_TRUE(store.save("Properties", "K" + std::to_string(i), values[i])) << store.lastError();
            EXPECT_TRUE(store.lastError().empty());
            EXPECT_EQ(store.get("Properties", "K" + std::to_string(i), "?"), values[i]);
        }
        ASSERT_TRUE(store.save("Devices", "Com1", "/dev/pts/4"));
    }
    const auto reread = SettingsStore::atPath("KorrinUniv1", path);
    for (size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(reread.get("Properties", "K" + std::to_string(i), "?"), values[i]) << "value #" << i;
    EXPECT_EQ(reread.get("Devices", "Com1", ""), "/dev/pts/4");
    EXPECT_EQ(reread.get("Properties", "Com1", "none"), "none"); // sections stay apart

    // Saving writes a new file whole and leaves no temporary file behind.
    EXPECT_FALSE(exists(path + ".tmp"));
}

TEST(SettingsStore, SaveOverStaleTemporaryFileFromACrash)
{
    TempDir tmp;
    ASSERT_TRUE(tmp.ok());
    const std::string path = tmp.file("multTAVRemote.ini");
    writeFile(path, "[Properties]\nSelect=2\n");
    writeFile(path + ".tmp", "[Properties]\nSel"); // a write cut short
    auto store = SettingsStore::atPath("multTAVRemote", path);
    EXPECT_EQ(store.get("Properties", "Select", "1"), "2");
    ASSERT_TRUE(store.save("Properties", "Mode", "3")) << store.lastError();
    const auto reread = SettingsStore::atPath("multTAVRemote", path);
    EXPECT_EQ(reread.get("Properties", "Select", "1"), "2");
    EXPECT_EQ(reread.get("Properties", "Mode", "0"), "3");
    EXPECT_FALSE(exists(path + ".tmp"));
}

// Old-style line ends (a lone CR) end a line as LF and CR LF do, so such a file keeps its keys
// and what is read is what a save writes back (found by fuzzing: a CR inside what was read as
// one value came back as a blank).
TEST(SettingsStore, EveryKindOfLineEndEndsALine)
{
    TempDir tmp;
    ASSERT_TRUE(tmp.ok());
    const std::string path = tmp.file("store.ini");
    writeFile(path, "[Properties]\rSelect=2\rCaption1=Fore\r\nCaption2=\" Aft\rmast\"\nQuery=True\r");
    auto store = SettingsStore::atPath("multTAVRemote", path);
    EXPECT_EQ(store.get("Properties", "Select", ""), "2");
    EXPECT_EQ(store.get("Properties", "Caption1", ""), "Fore");
    EXPECT_EQ(store.get("Properties", "Caption2", ""), "\" Aft");
    EXPECT_EQ(store.get("Properties", "Query", ""), "True");
    ASSERT_TRUE(store.save("Properties", "Caption2", store.get("Properties", "Caption2", "")));
    EXPECT_EQ(SettingsStore::atPath("multTAVRemote", path).get("Properties", "Caption2", ""), "\" Aft");
}

TEST(SettingsStore, LineBreaksInValuesStayOnOneLine)
{
    TempDir tmp;
    ASSERT_TRUE(tmp.ok());
    const std::string path = tmp.file("store.ini");
    auto store = SettingsStore::atPath("multTAVRemote", path);
    ASSERT_TRUE(store.save("Properties", "Caption1", "Fore\r\nmast"));
    ASSERT_TRUE(store.save("Properties", "Caption2", "x\n[Other]\nEvil=1\rSelect=4"));
    ASSERT_TRUE(store.save("Properties", "Caption3", "after"));

    const std::string file = readFile(path);
    int lines = 0;
    for (char c : file)
        lines += c == '\n';
    EXPECT_EQ(file.find('\r'), std::string::npos) << file;
    EXPECT_EQ(file.find("\nEvil"), std::string::npos) << file;
    EXPECT_EQ(file.find("\n[Other]"), std::string::npos) << file;

    const auto reread = SettingsStore::atPath("multTAVRemote", path);
    const std::string c1 = reread.get("Properties", "Caption1", "");
    EXPECT_EQ(c1.find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(c1.substr(0, 4), "Fore");
    EXPECT_EQ(c1.substr(c1.size() - 4), "mast");
    EXPECT_FALSE(reread.has("Other", "Evil"));
    EXPECT_FALSE(reread.has("Properties", "Select"));
    EXPECT_FALSE(reread.has("Properties", "Evil"));
    EXPECT_EQ(reread.get("Properties", "Caption3", ""), "after");
    // What is kept in memory matches what a later start reads.
    EXPECT_EQ(store.get("Properties", "Caption1", ""), c1);
    EXPECT_EQ(store.get("Properties", "Caption2", ""), reread.get("Properties", "Caption2", "?"));
}

TEST(SettingsStore, ReadOnlyFolderFailsSaveWithReasonAndKeepsValueInMemory)
{
    TempDir tmp;
    ASSERT_TRUE(tmp.ok());
    const std::string dir = tmp.file("tessaro");
    std::filesystem::create_directories(dir);
    const std::string path = dir + "/multTAVRemote.ini";
    const std::string before = "[Properties]\nSelect=2\n";
    writeFile(path, before);
    ::chmod(path.c_str(), 0644);
    ::chmod(dir.c_str(), 0555);
    ::chmod(tmp.path().c_str(), 0755);

    auto check = [&] {
        auto store = SettingsStore::atPath("multTAVRemote", path);
        bool ok = true;
        auto expect = [&](bool cond, const char* what) {
            if (!cond) {
                std::cerr << "failed: " << what << " (lastError: " << store.lastError() << ")\n";
                ok = false;
            }
        };
        expect(store.get("Properties", "Select", "1") == "2", "reads the existing file");
        expect(!store.save("Properties", "Select", "3"), "save() reports the failure");
        expect(!store.lastError().empty(), "lastError() gives a reason");
        expect(store.lastError().find(dir) != std::string::npos, "the reason names the folder");
        expect(store.get("Properties", "Select", "1") == "3", "the value is kept in memory");
        expect(readFile(path) == before, "the file is untouched");
        return ok;
    };
    if (::geteuid() != 0) {
        EXPECT_TRUE(check());
        return;
    }
    // Root may write anywhere: check as an ordinary user instead.
    const auto result = testsupport::asUnprivilegedUser(check);
    if (!result)
        GTEST_SKIP() << "running as root and cannot switch to an ordinary user";
    EXPECT_TRUE(*result) << "see the messages of the child process above";
}

TEST(SettingsStore, ErrorClearsAfterNextSuccessfulSave)
{
    TempDir tmp;
    ASSERT_TRUE(tmp.ok());
    // A path whose folder is a plain file cannot be written, whoever runs the test.
    writeFile(tmp.file("blocker"), "not a folder");
    auto store = SettingsStore::atPath("KorrinUniv1", tmp.file("blocker/KorrinUniv1.ini"));
    EXPECT_FALSE(store.save("Properties", "Echo", "True"));
    EXPECT_FALSE(store.lastError().empty());
    EXPECT_EQ(store.get("Properties", "Echo", ""), "True");
    EXPECT_EQ(readFile(tmp.file("blocker")), "not a folder");

    std::filesystem::remove(tmp.file("blocker"));
    EXPECT_TRUE(store.save("Properties", "Type", "False")) << store.lastError();
    EXPECT_TRUE(store.lastError().empty());
    // The value kept in memory during the failure reaches the file with the next save.
    const auto reread = SettingsStore::atPath("KorrinUniv1", tmp.file("blocker/KorrinUniv1.ini"));
    EXPECT_EQ(reread.get("Properties", "Echo", ""), "True");
    EXPECT_EQ(reread.get("Properties", "Type", ""), "False");
}

TEST(SettingsStore, FailedReplaceLeavesNoTemporaryFileAndKeepsTheOldFile)
{
    TempDir tmp;
    ASSERT_TRUE(tmp.ok());
    // The store's own name is taken by a folder: the new file is written but cannot replace it.
    const std::string path = tmp.file("multTAVRemote.ini");
    std::filesystem::create_directories(path + "/inside");
    auto store = SettingsStore::atPath("multTAVRemote", path);
    EXPECT_FALSE(store.save("Properties", "Select", "2"));
    EXPECT_NE(store.lastError().find(path), std::string::npos) << store.lastError();
    EXPECT_EQ(store.get("Properties", "Select", "1"), "2");
    EXPECT_FALSE(exists(path + ".tmp"));
    EXPECT_TRUE(std::filesystem::is_directory(path + "/inside"));
}

TEST(SettingsStore, StoredTextConversions)
{
    struct IntCase {
        const char* text;
        bool ok;
        short value;
    };
    for (const IntCase& c : std::initializer_list<IntCase>{
             {"2000", true, 2000}, {" 2001 ", true, 2001}, {"-32768", true, -32768}, {"32767", true, 32767},
             {"0", true, 0}, {"+7", true, 7},
             {"32768", false, 0}, {"40000", false, 0}, {"-32769", false, 0}, {"99999999999999999999", false, 0},
             {"abc", false, 0}, {"", false, 0}, {"  ", false, 0}, {"12abc", false, 0}, {"0x10", false, 0},
             {"1.5", false, 0}}) {
        short out = 1234;
        EXPECT_EQ(common::toInt16(c.text, out), c.ok) << '"' << c.text << '"';
        EXPECT_EQ(out, c.ok ? c.value : short(1234)) << '"' << c.text << '"';
    }

    struct BoolCase {
        const char* text;
        bool def;
        bool expected;
    };
    for (const BoolCase& c : std::initializer_list<BoolCase>{
             {"True", false, true}, {"False", true, false}, {"true", false, true}, {"false", true, false},
             {"-1", false, true}, {"1", false, true}, {"0", true, false}, {" True ", false, true},
             {"", true, true}, {"", false, false}, {"yes", false, false}, {"TRUE!", true, true}}) {
        EXPECT_EQ(common::toBool(c.text, c.def), c.expected) << '"' << c.text << "\" default " << c.def;
    }
    EXPECT_STREQ(common::boolText(true), "True");
    EXPECT_STREQ(common::boolText(false), "False");
}
