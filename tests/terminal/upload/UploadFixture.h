#pragma once
// The upload engine on a virtual clock over fake links, with scripted message-box answers and
// file choices, and image files written into a temporary folder of the test's own.
#include "terminal/core/TerminalFixture.h"
#include "terminal/core/ModulePaths.h"
#include "terminal/core/TextSender.h"
#include "terminal/upload/AutoUpload.h"
#include "terminal/upload/UploadEngine.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace uptest {

using common::Ms;
using term::ModulePath;
using Answer = term::TerminalUi::Answer;

inline const std::string CRLF = "\r\n";
inline const std::string ESC(1, '\x1b');

class UploadFixture : public termtest::TerminalFixture {
public:
    UploadFixture() : paths(t, nullptr), sender(t), engine(t, paths, sender)
    {
        char tmpl[] = "/tmp/upload-test-XXXXXX";
        dir = ::mkdtemp(tmpl);
        engine.chooseFile = [this](const std::string& title, const std::string& filter) {
            dialogs.push_back(title + " | " + filter);
            if (files.empty())
                return std::string();
            std::string f = files.front();
            files.pop_front();
            return f;
        };
        engine.onProgressWindow = [this](bool show, const std::string& caption, const std::string& text) {
            progress.push_back(show ? caption + ": " + text : "hidden");
        };
    }
    ~UploadFixture() { std::filesystem::remove_all(dir); }

    // The path chosen (as at start-up: nothing stored, the link left alone) and the link open.
    void onPath(ModulePath p)
    {
        paths.Select(p, false);
        if (!t.linkOpen())
            openSerial();
        journal.writes.clear();
    }
    std::string file(const std::string& name, const std::string& text)
    {
        const std::string path = dir + "/" + name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    // Everything written since the journal was cleared, one string per write.
    std::vector<std::string> writes() const
    {
        std::vector<std::string> w;
        for (const auto& x : journal.writes)
            w.push_back(x.bytes);
        return w;
    }
    std::string sent() const
    {
        std::string s;
        for (const auto& x : journal.writes)
            s += x.bytes;
        return s;
    }
    // The screen's "PT:  " lines and other lines, one string each.
    std::vector<std::string> screenLines() const
    {
        std::vector<std::string> out;
        const std::string& s = t.screen.text();
        size_t from = 0;
        for (size_t at; (at = s.find("\r\n", from)) != std::string::npos; from = at + 2)
            out.push_back(s.substr(from, at - from));
        if (from < s.size())
            out.push_back(s.substr(from));
        return out;
    }
    std::vector<std::string> messages() const
    {
        std::vector<std::string> m;
        for (const auto& x : ui.messages)
            m.push_back(x.text);
        return m;
    }

    std::string dir;
    term::ModulePaths paths;
    term::TextSender sender;
    upload::UploadEngine engine;
    std::deque<std::string> files;     // answers for the coming file dialogs (cancel when used up)
    std::vector<std::string> dialogs;  // each dialog's title and filter
    std::vector<std::string> progress; // the progress window shown and hidden
};

} // namespace uptest
