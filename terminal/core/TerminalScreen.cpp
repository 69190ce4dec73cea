#include "TerminalScreen.h"

namespace term {

// ---------------------------------------------------------------- screen

void TerminalScreen::append(const std::string& text)
{
    text_ += text;
    total_ += text.size();
}

void TerminalScreen::trim()
{
    // One cut of 4096 is enough for the chunks a port delivers; a chunk larger than the cut
    // (a TCP read can bring many kilobytes at once) would otherwise let the screen creep up
    // without end, so cut again until the screen is back within the limit.
    while (text_.size() > kMaxChars) {
        text_.erase(0, kTrimChars);
        trimmed_ += kTrimChars;
    }
}

void TerminalScreen::clear()
{
    // The running count goes on: a mark taken before the clear still measures what came after.
    trimmed_ += text_.size();
    text_.clear();
}

std::string TerminalScreen::since(Mark m) const
{
    if (m >= total_)
        return {};
    // Characters from the mark that were trimmed away are gone; return what is left of them.
    const std::uint64_t from = m > trimmed_ ? m - trimmed_ : 0;
    return text_.substr(size_t(from));
}

// ---------------------------------------------------------------- display codes

void DisplayCodeDecoder::reset()
{
    state_ = 0;
    field_.clear();
    dropNext_ = false;
}

std::string DisplayCodeDecoder::feed(const std::string& text, PanelFields& fields)
{
    std::string screen;
    size_t pos = 0;
    const size_t n = text.size();
    // Every pass of the loop consumes at least one character or changes state to 0 from 5,
    // so it ends; the bound only guards against a mistake here.
    for (size_t guard = 0; guard <= 2 * n + 2; ++guard) {
        if (dropNext_ && pos < n) {
            // The character after a line field's CR, even when it came in this later chunk.
            dropNext_ = false;
            ++pos;
        }
        if (state_ == 5) {
            state_ = 0; // a code 5 shows nothing
            continue;
        }
        if (pos >= n)
            break;
        switch (state_) {
        case 0: {
            size_t i = pos;
            while (i < n && !(text[i] >= 1 && text[i] <= 6))
                ++i;
            screen.append(text, pos, i - pos);
            if (i == n) {
                pos = n;
                break;
            }
            state_ = text[i];
            field_.clear();
            pos = i + 1;
            break;
        }
        case 1:
        case 2: {
            const size_t cr = text.find('\r', pos);
            const size_t end = cr == std::string::npos ? n : cr;
            field_.append(text, pos, end - pos);
            // A display line is a few dozen characters; one that runs on without a CR is
            // garbage (a wrong speed), and only its tail is kept.
            if (field_.size() > kMaxDisplayField)
                field_.erase(0, field_.size() - kMaxDisplayField);
            if (cr == std::string::npos) {
                pos = n;
                break;
            }
            (state_ == 1 ? fields.line1 : fields.line2) = field_;
            field_.clear();
            state_ = 0;
            pos = cr + 1;
            dropNext_ = true;
            break;
        }
        case 3:
        case 4: {
            const size_t want = state_ == 3 ? 2 : 4;
            while (pos < n && field_.size() < want)
                field_.push_back(text[pos++]);
            if (field_.size() == want) {
                (state_ == 3 ? fields.line3 : fields.line4) = field_;
                field_.clear();
                state_ = 0;
            }
            break;
        }
        case 6: {
            const auto flags = static_cast<unsigned char>(text[pos++]);
            fields.line6U = (flags & 4) ? "UNWRAP" : "";
            fields.line6T = (flags & 8) ? "TRACKING" : "";
            state_ = 0;
            break;
        }
        default:
            state_ = 0;
            break;
        }
    }
    return screen;
}

} // namespace term
