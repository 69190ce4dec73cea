#pragma once
// The programming terminal's view of a panel path, written out independently of the
// simulator: received chunks have their line ends normalised (every LF removed, an LF put
// after every CR), then the display codes 1 to 6 are taken out into the panel's display
// fields and the rest goes to the terminal screen. The state carries over between chunks,
// so a field may span them.
#include <string>

namespace simtest {

struct PanelDisplay {
    std::string line1, line2, bargraph, brightness, unwrap, tracking;
    std::string screen; // text outside the display codes
    int fields = 0;     // display fields completed (codes 1..6 each count once)

    void receive(const std::string& chunk)
    {
        std::string text;
        for (char c : chunk) {
            if (c == '\n')
                continue;
            text.push_back(c);
            if (c == '\r')
                text.push_back('\n');
        }
        decode(text);
    }

private:
    int state_ = 0;
    std::string field_;
    bool dropNext_ = false; // the character after a field's CR is dropped

    void decode(const std::string& text)
    {
        for (char ch : text) {
            const auto c = static_cast<unsigned char>(ch);
            if (dropNext_) {
                dropNext_ = false;
                continue;
            }
            switch (state_) {
            case 0:
                if (c >= 1 && c <= 6) {
                    state_ = c;
                    field_.clear();
                    if (state_ == 5) {
                        state_ = 0;
                        ++fields;
                    }
                } else {
                    screen.push_back(ch);
                }
                break;
            case 1:
            case 2:
                if (ch == '\r') {
                    (state_ == 1 ? line1 : line2) = field_;
                    dropNext_ = true;
                    state_ = 0;
                    ++fields;
                } else {
                    field_.push_back(ch);
                }
                break;
            case 3:
            case 4:
                field_.push_back(ch);
                if (field_.size() == (state_ == 3 ? 2u : 4u)) {
                    (state_ == 3 ? bargraph : brightness) = field_;
                    state_ = 0;
                    ++fields;
                }
                break;
            case 6:
                unwrap = (c & 4) ? "UNWRAP" : "";
                tracking = (c & 8) ? "TRACKING" : "";
                state_ = 0;
                ++fields;
                break;
            default:
                state_ = 0;
                break;
            }
        }
    }
};

} // namespace simtest
