#include "ParamLines.h"

#include "ParamStore.h"

namespace ParamLines {

std::string AsciiLower(std::string text)
{
    for (char &c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool StartsWithKey(std::string_view line, std::string_view key)
{
    if (line.size() < key.size())
        return false;
    for (std::size_t i = 0; i < key.size(); ++i) {
        char c = line[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != key[i])
            return false;
    }
    return true;
}

bool IsEntryLine(std::string_view line, const Entry &entry)
{
    return StartsWithKey(line, entry.key);
}

bool IsDroppedLine(std::string_view line)
{
    return StartsWithKey(line, Header) || IsEntryLine(line, Database) || IsEntryLine(line, User) ||
           IsEntryLine(line, Password);
}

std::string StoredValue(std::string_view line, const Entry &entry)
{
    if (line.size() < entry.valueColumn)
        return {};
    return TrimValue(std::string(line.substr(entry.valueColumn - 1, MaxStoredLength)));
}

} // namespace ParamLines
