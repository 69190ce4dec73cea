#pragma once
// The terminal screen model: the text of txtTerm, trimmed at 16000 characters by its first
// 4096, a running count of every character ever appended (marks are positions in that count,
// so trimming never spoils an answer length), and the panel display fields that the display
// codes 1 to 6 fill on the panel paths.
#include <cstdint>
#include <string>

namespace term {

class TerminalScreen {
public:
    static constexpr size_t kMaxChars = 16000;
    static constexpr size_t kTrimChars = 4096;

    using Mark = std::uint64_t;

    // Append text at the end of the screen (the caller has trimmed first, see trim()).
    void append(const std::string& text);
    // Removes the first 4096 characters when the screen holds more than 16000 (again, until it
    // holds no more than 16000, after a chunk larger than 4096).
    void trim();
    void clear(); // the running count goes on, so marks stay right
    const std::string& text() const { return text_; }

    // A mark: the position of the end of the screen in the running count.
    Mark mark() const { return total_; }
    // Characters appended since the mark, whatever was trimmed meanwhile.
    std::uint64_t answerLength(Mark m) const { return total_ - m; }
    // The text appended since the mark, as far as it is still on the screen.
    std::string since(Mark m) const;
    std::uint64_t total() const { return total_; }

private:
    std::string text_;
    std::uint64_t total_ = 0;   // characters ever appended
    std::uint64_t trimmed_ = 0; // characters removed from the front
};

// The panel display fields of the panel paths (txtLine1 .. txtLine6T).
struct PanelFields {
    std::string line1, line2, line3, line4, line6U, line6T;
};

// Splits received text into screen text and display-code fields. The state persists between
// calls, so a field may span chunks.
class DisplayCodeDecoder {
public:
    // The longest display line field kept while its CR has not come (its tail is kept).
    static constexpr size_t kMaxDisplayField = 4096;

    // Returns the text outside the codes (for the screen); fills fields.
    std::string feed(const std::string& text, PanelFields& fields);
    int state() const { return state_; }
    size_t pendingField() const { return field_.size(); }
    void reset();

private:
    int state_ = 0;
    std::string field_;
    bool dropNext_ = false; // the character after a field's CR is dropped
};

} // namespace term
