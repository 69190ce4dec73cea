#pragma once
// The N7 parameter of the PCU packs four settings of the conical-scan (Circlex) tracking drive
// into one byte: the scan phase and the drive level of the cross-level, azimuth and elevation
// axes, two bits each:
//
//     value = 64 * phase + 16 * cross-level + 4 * azimuth + elevation      (0..255)
//
// The pure functions below encode and decode the byte and build the commands that read and set
// it. N7Tool is the logic of the "N7 Parameter Tool" window: the option chosen in each group,
// the value box, and Read / Send through the send scheduler.
#include "panel/core/PanelState.h"

#include <array>
#include <functional>
#include <optional>
#include <string>

namespace panel {

namespace n7 {

// The groups in the window's order, and the weight of each group's index in the byte.
enum Group { Phase = 0, CrossLevel = 1, Azimuth = 2, Elevation = 3 };
inline constexpr int kGroups = 4;
inline constexpr int kChoices = 4; // options per group, index 0..3
inline constexpr std::array<int, kGroups> kWeights = {64, 16, 4, 1};

// The option chosen in each group (0..3), by Group.
using Choice = std::array<int, kGroups>;

// The byte for a choice. Indices outside 0..3 are limited to it.
int Encode(const Choice& choice);
// The choice for a whole number. The number is first taken modulo 256 keeping its sign (the
// remainder of -10 is -10); a negative remainder then counts as the byte's two's complement
// (-10 is 246), so every number selects a valid option in each group.
Choice Split(long value);
// The value box as typed: its leading number rounded to an integer (halves to the even
// neighbour), then split as above. Nothing when the text does not start with a number.
std::optional<Choice> Decode(const std::string& text);

// The PCU parameter code of N7 and the commands that read it ("n7999") and set it ("n7" and
// the value as three digits, "n7192"), each ended by the given line terminator.
inline constexpr char kCode = '7';
std::string ReadCommand(const std::string& terminator);
std::string SetCommand(int value, const std::string& terminator);
// Whether a command (as the sent-command ring holds it: a leading "!" and the terminator may be
// there) is the read command.
bool IsReadCommand(const std::string& command);

// The PCU's answer to a read: "n" + the value as three digits + a blank + the code ("n192 7").
// The value field is read as the parameter dump reads it: the answer cut to four characters,
// then its last three. "n###" is the PCU saying it is busy.
struct Reply {
    enum class Kind { Value, Busy, Unreadable } kind = Kind::Unreadable;
    int value = 0; // 0..255 when kind is Value
};
Reply ReadReply(const std::string& line);

} // namespace n7

class N7Tool {
public:
    // Captions of the option buttons, by group and index, and of the group frames.
    static const std::array<const char*, n7::kGroups> kFrameCaptions;
    static const std::array<std::array<const char*, n7::kChoices>, n7::kGroups> kOptionCaptions;

    static constexpr const char* kNoNumber = "Enter n7 as a number from 0 to 255.";
    static constexpr const char* kPortClosed =
        "Error,\rOperation not allowed while port is closed\rClick LED or 'CommPort / Port Open' to connect.";

    // Read and Send go out through shared's one-shot command and typed-text queue.
    explicit N7Tool(PanelShared& shared);

    // ---- what the window shows
    const n7::Choice& choice() const { return choice_; }
    int component(int group) const; // index x weight, the group's box
    int value() const;              // the sum of the four components
    std::string text1;              // the value box ("n7 Parameter")
    std::string status;             // the outcome of the last Read or Send, for the status line
    bool readPending() const { return readPending_; }
    std::function<void()> changed;  // something shown has changed

    // ---- handlers
    // First load of the window: phase "+90 Deg", all drives "Max" (192).
    void Form_Load();
    // Option button index of group clicked: the component and the value box follow. The window
    // then puts the focus in the value box with its whole text selected.
    void Option_Click(int group, int index);
    // Enter in the value box: decodes text1 and selects the options (which rewrites text1 as
    // their sum). Returns a message for text that holds no number (nothing changes then).
    std::string Text1_Enter();
    // "Read": the read command as the one-shot command. The value box is filled when the reply
    // arrives (replyLine). Returns a message when the port is closed.
    std::string Command1_Click();
    // "Send": decodes the value box (as Enter does) and queues the set command for the value
    // the options show in the typed-text queue. Returns a message for a closed port or a value
    // box without a number.
    std::string Command2_Click();
    // Each decoded reply line with the command it answers. While a Read waits, the answer to
    // the read command fills the value box and is decoded. True when the line was taken.
    bool replyLine(const std::string& line, const std::string& command);

private:
    void notify();

    PanelShared& s_;
    n7::Choice choice_{};
    bool readPending_ = false;
};

} // namespace panel
