#pragma once
// The panel's output text files (file slot 1 the data log, slot 2 a screen-data or parameter
// dump file), and the one way every file command picks and creates its file.
#include <optional>
#include <string>
#include <string_view>

namespace panel {

// One output text file. Lines are written as 8-bit bytes ended by CR LF, and each line is on
// the disk before writeLine returns (written and synced: there is no buffer in between), so a
// crash or a power cut loses at most the line being written.
//
// A failure (the disk full, the device gone) closes the file: what was written before stays
// in it, error() holds the system's error text and failed() is true until the next open().
// Writing to a closed file does nothing and returns false, so the caller reports a failure
// once, when the call that met it returns false while the file was open.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the file, or truncates an existing one. False with error() on failure.
    bool open(const std::string& path);
    bool writeLine(std::string_view text);
    // False with error() when closing reported a failure (the file is closed anyway).
    bool close();

    bool isOpen() const { return fd_ >= 0; }
    bool failed() const { return failed_; }
    const std::string& error() const { return error_; }
    const std::string& path() const { return path_; }

private:
    void fail(int err);

    int fd_ = -1;
    bool failed_ = false;
    std::string error_;
    std::string path_;
};

// What a file command needs from the windows.
class FileUi {
public:
    virtual ~FileUi() = default;
    // The save-file dialog with its filter text and initial file name; nullopt = Cancel.
    virtual std::optional<std::string> saveFileDialog(const std::string& filter, const std::string& fileName) = 0;
    // A Yes/No question with the question icon; true = Yes.
    virtual bool askYesNo(const std::string& question) = 0;
    // A message with the exclamation icon (errors).
    virtual void showError(const std::string& text) = 0;
    // A plain message.
    virtual void showMessage(const std::string& text) = 0;
};

inline constexpr const char* kFileInUseText = "Error,\rThis file is open for the data log\rChoose another file name.";

// The save dialog, the question "Replace existing file - " + path + "?" for a file that
// exists (No shows the dialog again), then the file created. Returns the path of the file now
// open; nullopt when the dialog was cancelled (silently) or the file could not be created
// (the system's error text shown with the exclamation icon). inUse, when given, is a file that
// stays open meanwhile: choosing it again is refused and the dialog comes back, so it is
// never truncated under its writer.
std::optional<std::string> createFromDialog(FileUi& ui, OutputFile& file, const std::string& filter,
                                            const std::string& fileName, const OutputFile* inUse = nullptr);

} // namespace panel
