#pragma once
// A panel link and a real decoder on virtual time, with a parameter dump hooked into them, a
// fake ACU on the far side of a fake link, file dialogs answered from a script and a progress
// window that records what it was told.
#include "panel/PanelFixture.h"

#include "panel/core/Decoder.h"
#include "panel/params/OutputFile.h"
#include "panel/params/ParamDump.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include <sys/resource.h>

namespace dumptest {

using namespace std::chrono_literals;
using common::Ms;

class FakeFileUi : public panel::FileUi {
public:
    struct Dialog {
        std::string filter;
        std::string fileName;
    };
    // Answers of the coming dialogs (nullopt = Cancel) and questions; Cancel and No once used up.
    std::deque<std::optional<std::string>> paths;
    std::deque<bool> answers;
    std::vector<Dialog> dialogs;
    std::vector<std::string> questions, errors, messages;

    std::optional<std::string> saveFileDialog(const std::string& filter, const std::string& fileName) override
    {
        dialogs.push_back({filter, fileName});
        if (paths.empty())
            return std::nullopt;
        auto p = paths.front();
        paths.pop_front();
        return p;
    }
    bool askYesNo(const std::string& q) override
    {
        questions.push_back(q);
        if (answers.empty())
            return false;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    void showError(const std::string& text) override { errors.push_back(text); }
    void showMessage(const std::string& text) override { messages.push_back(text); }
};

class FakeProgress : public panel::DumpProgress {
public:
    std::vector<std::string> events; // "show Reading..", "progress 5", "caption ...", "hide"
    void show(const std::string& caption) override { events.push_back("show " + caption); }
    void progress(int value) override { events.push_back("progress " + std::to_string(value)); }
    void caption(const std::string& text) override { events.push_back("caption " + text); }
    void hide() override { events.push_back("hide"); }
};

// The ACU as the dump meets it: literal replies of the documented shapes. Parameter values
// come from `values` (by code), else a value of the code's own; a PCU parameter reply carries
// two characters after its value, which the dump cuts off.
struct FakeAcu {
    std::map<unsigned char, int> values;
    std::map<std::string, std::string> replies; // a reply of its own for a command (sent form)
    bool hold = false;                          // keep the replies until deliver()
    int answerFirst = -1;                       // answer only the first n commands (-1: all)
    std::deque<std::string> held;
    int seen = 0;

    static std::string three(int v)
    {
        char b[8];
        std::snprintf(b, sizeof b, "%03d", v % 1000);
        return b;
    }

    int value(unsigned char code) const
    {
        const auto it = values.find(code);
        return it != values.end() ? it->second : code % 20;
    }

    std::string answer(const std::string& sent) const
    {
        if (const auto it = replies.find(sent); it != replies.end())
            return it->second;
        static const std::map<std::string, std::string> fixed = {
            {"V", "TAV ACU VER 4.20"},      {"S", "SHx@@L2550 Ac"},     {"P", "PE0400 1777 0900"},
            {"H", "HR0877 0900"},           {"u", "uG0900V0400 0500"},  {"q", "q1150 6875"},
            {"@", "@N0433E0054"},           {"%", "%L2550"},            {"?   S\r\n", "S@@@@"},
            {"?   V\r\n", "PCU VER 2.10"},  {"[V   \r\n", "COMM IF VER 2.02"},
        };
        if (const auto it = fixed.find(sent); it != fixed.end())
            return it->second;
        if (sent.size() == 7 && sent.compare(2, 5, "999\r\n") == 0) {
            const auto code = static_cast<unsigned char>(sent[1]);
            if (sent[0] == 'm')
                return std::string("m") + char(code) + three(value(code));
            if (sent[0] == 'n')
                return "n" + three(value(code)) + "ok";
        }
        return sent.substr(0, sent.find('\r'));
    }

    // Called for every write of the link; the reply (if any) goes back through `receive`.
    void onWrite(const std::string& sent, const std::function<void(const std::string&)>& receive)
    {
        ++seen;
        if (answerFirst >= 0 && seen > answerFirst)
            return;
        std::string r = answer(sent) + "\r";
        if (hold)
            held.push_back(std::move(r));
        else
            receive(r);
    }
};

// The process may write files only up to `bytes` while this lives (a disk that fills up).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN); // the write fails with EFBIG instead
        rlimit l = old_;
        l.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &l);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

inline std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A file's lines, cut at CR LF; rest gets what follows the last CR LF (a partial line).
inline std::vector<std::string> crlfLines(const std::string& text, std::string* rest = nullptr)
{
    std::vector<std::string> out;
    size_t from = 0;
    for (size_t p; (p = text.find("\r\n", from)) != std::string::npos; from = p + 2)
        out.push_back(text.substr(from, p - from));
    if (rest)
        *rest = text.substr(from);
    return out;
}

class DumpTest : public paneltest::PanelTest {
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        makePanel();
        decoder = std::make_unique<panel::Decoder>(shared, main);
        onDecode = [this](const std::string& line, const std::string& command) { decoder->Decode(line, command); };
        dump = std::make_unique<panel::ParamDump>(shared, *panel, *decoder, files);
        dump->setProgress(&progress);
        panel->Startup(); // the link opens; the scheduler starts 1500 ms later
        ASSERT_TRUE(shared.open);
        link().onWrite = [this](const std::string& sent) {
            acu.onWrite(sent, [this](const std::string& r) { link().receive(r); });
        };
    }

    void TearDown() override
    {
        dump.reset();
        decoder.reset();
        PanelTest::TearDown();
    }

    // A fresh panel, dump, ACU and dialog script, for the next case of a table.
    void restart()
    {
        TearDown();
        shared = {};
        main = {};
        journal = {};
        links.clear();
        ui.messages.clear();
        ui.dumpFilesClosed.clear();
        acu = {};
        files = {};
        progress = {};
        SetUp();
    }

    std::string path(const std::string& name) const { return dir + "/" + name; }

    // The Tools menu dump into a new file of that name.
    void dumpTo(const std::string& name)
    {
        files.paths.push_back(path(name));
        dump->mnuParamDump_Click();
    }

    // Virtual time runs until the dump has ended (at most 30 s).
    void runDump()
    {
        for (int i = 0; i < 600 && dump->running(); ++i)
            clock.advance(50ms);
    }

    // The replies held by the fake ACU, n of them (all with -1).
    void deliver(int n = -1)
    {
        for (; n != 0 && !acu.held.empty(); n = n > 0 ? n - 1 : n) {
            const std::string r = acu.held.front();
            acu.held.pop_front();
            link().receive(r);
        }
    }

    std::vector<std::string> fileLines(const std::string& name, std::string* rest = nullptr) const
    {
        return crlfLines(readAll(path(name)), rest);
    }

    FakeAcu acu;
    FakeFileUi files;
    FakeProgress progress;
    std::unique_ptr<panel::Decoder> decoder;
    std::unique_ptr<panel::ParamDump> dump;
};

} // namespace dumptest
