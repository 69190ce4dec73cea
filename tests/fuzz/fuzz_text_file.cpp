// A text file sent line by line ("Send Text File", and the parameter upload that cleans each
// line): whatever the file holds, every write is one line ended by CR LF with no other line
// end inside it, a file with a zero byte sends nothing, and the parameter upload sends no Tab
// and nothing from a comment mark on.
//
// Input: byte 0 bit 0 chooses the parameter upload; the rest is the file.
#include "FuzzSupport.h"
#include "panel/FakeLink.h"
#include "terminal/core/TextSender.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const bool parameters = data[0] & 1;
    const std::string file(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string path = fuzzsupport::memoryFile(file.data(), file.size());

    common::VirtualClock clock;
    clock.waitStep = common::Ms{1000}; // a pacing wait is one jump of virtual time
    fuzzsupport::AnsweringUi ui;
    paneltest::LinkJournal journal;
    term::Terminal t(clock, ui, [&](const term::Terminal&) -> std::unique_ptr<common::Link> {
        return std::make_unique<paneltest::FakeLink>(paneltest::FakeLink::Kind::Serial, clock, &journal);
    });
    t.mnuOpen_Click();
    term::TextSender sender(t);
    sender.choosePacing(0);
    const auto result = parameters ? sender.ParameterUpload(path) : sender.SendTextFile(path);

    if (file.find('\0') != std::string::npos && !journal.writes.empty())
        std::abort();
    if (result == term::TextSender::Result::Done && file.find('\0') != std::string::npos)
        std::abort();
    for (const auto& w : journal.writes) {
        const std::string& b = w.bytes;
        if (b.size() < 2 || b.compare(b.size() - 2, 2, "\r\n") != 0)
            std::abort();
        const std::string body = b.substr(0, b.size() - 2);
        if (body.find_first_of("\r\n") != std::string::npos)
            std::abort();
        if (parameters && body.find_first_of("\t'") != std::string::npos)
            std::abort();
        if (!parameters && !body.empty() && body[0] == '\'')
            std::abort(); // comment lines are shown, never sent
    }
    return 0;
}
