#pragma once
// A table of names for a set of values (start states, streams), as tavsim's options spell
// them: a value by its name, and the names in table order for the option's help.
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace sim {

template <class T>
using NameTable = std::vector<std::pair<std::string_view, T>>;

template <class T>
std::optional<T> named(const NameTable<T>& table, std::string_view name)
{
    for (const auto& [n, v] : table)
        if (n == name)
            return v;
    return std::nullopt;
}

template <class T>
std::vector<std::string_view> namesOf(const NameTable<T>& table)
{
    std::vector<std::string_view> v;
    for (const auto& entry : table)
        v.push_back(entry.first);
    return v;
}

} // namespace sim
