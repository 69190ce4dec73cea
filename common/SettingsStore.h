#pragma once
// The per-user settings store: one INI file per application name under the XDG config
// directory ($XDG_CONFIG_HOME, else ~/.config), in the folder "tessaro". Every value is text
// under (section, key); the programs use the section "Properties".
#include <map>
#include <string>

namespace common {

class SettingsStore {
public:
    // appName is the store's application name, e.g. "multTAVRemote".
    explicit SettingsStore(std::string appName);
    // Explicit file, for tests and tools.
    static SettingsStore atPath(std::string appName, std::string path);
    // A store read from the text of an INI file and kept in memory only (saves write nothing).
    static SettingsStore inMemory(std::string appName, const std::string& text);

    const std::string& appName() const { return app_; }
    const std::string& path() const { return path_; }

    // Value under (section, key), or def when absent. Re-reads nothing: the file is read once.
    std::string get(const std::string& section, const std::string& key, const std::string& def) const;
    // Store a value and write the file at once (atomically: a crash never leaves half a file).
    // Returns false when the file could not be written; the value is kept in memory regardless.
    bool save(const std::string& section, const std::string& key, const std::string& value);
    bool has(const std::string& section, const std::string& key) const;
    // Text of the last write failure, empty when the last write succeeded.
    const std::string& lastError() const { return error_; }
    // The file's text as a save writes it.
    std::string text() const;

    // Directory holding the stores ($XDG_CONFIG_HOME/tessaro or ~/.config/tessaro).
    static std::string configDir();

private:
    SettingsStore(std::string appName, std::string path, bool fromFile);
    void load();
    void parse(const std::string& text);
    bool write();

    std::string app_;
    std::string path_;
    std::map<std::string, std::map<std::string, std::string>> sections_;
    std::string error_;
};

// Conversions the way the stored texts are read. Blanks around a number are ignored;
// toInt16 gives false when the text is not a whole decimal number in -32768..32767.
bool toInt16(const std::string& text, short& out);
bool toBool(const std::string& text, bool def);
inline const char* boolText(bool b) { return b ? "True" : "False"; }

} // namespace common
