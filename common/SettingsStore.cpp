#include "SettingsStore.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>

namespace common {

namespace {
std::string_view trimmed(std::string_view s)
{
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string_view::npos)
        return {};
    const auto e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

std::string trim(const std::string& s) { return std::string(trimmed(s)); }

// Blanks at either end of a value would be lost to the trimming of a read, so such values
// (and values that begin with a quote) are written between double quotes; a read removes one
// pair of enclosing quotes.
bool needsQuotes(const std::string& v)
{
    if (v.empty())
        return false;
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    return blank(v.front()) || blank(v.back()) || v.front() == '"';
}

std::string_view unquote(std::string_view v)
{
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
        return v.substr(1, v.size() - 2);
    return v;
}
} // namespace

std::string SettingsStore::configDir()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (xdg && *xdg)
        base = xdg;
    else {
        const char* home = std::getenv("HOME");
        base = std::string(home && *home ? home : ".") + "/.config";
    }
    return base + "/tessaro";
}

SettingsStore::SettingsStore(std::string appName)
    : SettingsStore(appName, configDir() + "/" + appName + ".ini", true)
{
}

SettingsStore::SettingsStore(std::string appName, std::string path, bool fromFile)
    : app_(std::move(appName)), path_(std::move(path))
{
    if (fromFile)
        load();
}

SettingsStore SettingsStore::atPath(std::string appName, std::string path)
{
    return SettingsStore(std::move(appName), std::move(path), true);
}

void SettingsStore::load()
{
    std::ifstream in(path_, std::ios::binary);
    if (!in)
        return; // a missing store reads as all defaults
    // Read through the stream (not its buffer), so a read error, such as a folder in the
    // file's place, ends the reading instead of throwing.
    std::string text;
    char buf[4096];
    while (in.read(buf, sizeof buf) || in.gcount() > 0)
        text.append(buf, size_t(in.gcount()));
    parse(text);
}

SettingsStore SettingsStore::inMemory(std::string appName, const std::string& text)
{
    SettingsStore s(std::move(appName), std::string(), false);
    s.parse(text);
    return s;
}

void SettingsStore::parse(const std::string& text)
{
    const std::string_view all(text);
    std::string section;
    // Anything that is not "[section]" or "key=value" is ignored: a damaged file never stops
    // the program, its readable keys still count. A line ends at LF, CR LF or a lone CR (a file
    // edited with old-style line ends is not one long line).
    for (size_t pos = 0; pos < all.size();) {
        const size_t end = std::min(all.find_first_of("\r\n", pos), all.size());
        const std::string_view line = trimmed(all.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line.front() == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string_view::npos || section.empty())
            continue;
        const std::string_view key = trimmed(line.substr(0, eq));
        if (!key.empty())
            sections_[section][std::string(key)] = std::string(unquote(trimmed(line.substr(eq + 1))));
    }
}

std::string SettingsStore::get(const std::string& section, const std::string& key, const std::string& def) const
{
    auto s = sections_.find(section);
    if (s == sections_.end())
        return def;
    auto k = s->second.find(key);
    return k == s->second.end() ? def : k->second;
}

bool SettingsStore::has(const std::string& section, const std::string& key) const
{
    auto s = sections_.find(section);
    return s != sections_.end() && s->second.count(key);
}

bool SettingsStore::save(const std::string& section, const std::string& key, const std::string& value)
{
    // Line breaks would split the entry; the stored texts are single-line by nature.
    std::string v = value;
    for (char& c : v)
        if (c == '\r' || c == '\n')
            c = ' ';
    sections_[section][key] = v;
    return write();
}

std::string SettingsStore::text() const
{
    std::string out;
    for (const auto& [name, keys] : sections_) {
        out += '[' + name + "]\n";
        for (const auto& [k, val] : keys)
            out += needsQuotes(val) ? k + "=\"" + val + "\"\n" : k + '=' + val + '\n';
        out += '\n';
    }
    return out;
}

bool SettingsStore::write()
{
    namespace fs = std::filesystem;
    error_.clear();
    if (path_.empty())
        return true; // a store in memory only
    std::error_code ec;
    fs::create_directories(fs::path(path_).parent_path(), ec);
    const std::string tmp = path_ + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) {
            error_ = "Cannot write settings file " + tmp + ": " + std::strerror(errno);
            return false;
        }
        out << text();
        out.flush();
        if (!out) {
            error_ = "Cannot write settings file " + tmp;
            out.close();
            fs::remove(tmp, ec);
            return false;
        }
    }
    fs::rename(tmp, path_, ec);
    if (ec) {
        error_ = "Cannot replace settings file " + path_ + ": " + ec.message();
        fs::remove(tmp, ec);
        return false;
    }
    return true;
}

bool toInt16(const std::string& text, short& out)
{
    const std::string t = trim(text);
    if (t.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(t.c_str(), &end, 10);
    if (errno || end == t.c_str() || *end != '\0' || v < -32768 || v > 32767)
        return false;
    out = short(v);
    return true;
}

bool toBool(const std::string& text, bool def)
{
    const std::string t = trim(text);
    if (t == "True" || t == "true" || t == "-1" || t == "1")
        return true;
    if (t == "False" || t == "false" || t == "0")
        return false;
    return def;
}

} // namespace common
