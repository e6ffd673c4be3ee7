// The layout of the lines this program reads and writes in the parameter file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ParamLines {

// The section header and the three entries, with the column (from 1) their values start at.
inline constexpr std::string_view Header = "[DATABASE]";
struct Entry {
    std::string_view key;
    std::size_t valueColumn;
};
inline constexpr Entry Database{"DATABASENAME", 14};
inline constexpr Entry User{"USERNAME", 10};
inline constexpr Entry Password{"PASSWORD", 10};
inline constexpr Entry Entries[] = {Database, User, Password};

// The most characters of a stored value the reader takes.
inline constexpr std::size_t MaxStoredLength = 100;

// How much of a line the reader looks at: the furthest any entry's value reaches.
inline constexpr std::size_t LongestLookedAt = Database.valueColumn - 1 + MaxStoredLength;

// The longest value that comes back whole through the reader's limit.
inline constexpr std::size_t MaxValueLength = 30;

// text with its ASCII letters in lowercase; other bytes are left alone.
std::string AsciiLower(std::string text);

// True when line begins with key in any letter case; nothing is trimmed.
bool StartsWithKey(std::string_view line, std::string_view key);

// True when line is one the reader takes entry from.
bool IsEntryLine(std::string_view line, const Entry &entry);

// True when a save leaves line out: the header or any of the three entries.
bool IsDroppedLine(std::string_view line);

// The stored value an entry line holds: up to MaxStoredLength characters from its column, trimmed.
std::string StoredValue(std::string_view line, const Entry &entry);

// Calls visit(line) for each line of content in order. A line ends at LF or CR LF, a last
// line needs no line end, and a Ctrl-Z ends the content.
template <typename Visit> void ForEachLine(std::string_view content, Visit visit)
{
    const std::size_t end = content.find('\x1A');
    if (end != std::string_view::npos)
        content = content.substr(0, end);
    while (!content.empty()) {
        const std::size_t lf = content.find('\n');
        std::string_view line = content.substr(0, lf);
        if (lf != std::string_view::npos && !line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        visit(line);
        content = lf == std::string_view::npos ? std::string_view{} : content.substr(lf + 1);
    }
}

// Splits content that arrives in pieces into lines by the rules of ForEachLine, and hands on
// the first `keep` characters of each: all that the reader looks at, however long a line is.
class TLineHeads {
public:
    explicit TLineHeads(std::size_t keep) : keep_(keep) {}

    // Takes the next piece of content; false once a Ctrl-Z has ended it.
    template <typename Visit> bool Feed(std::string_view piece, Visit visit)
    {
        if (ended_)
            return false;
        const std::size_t end = piece.find('\x1A');
        if (end != std::string_view::npos)
            piece = piece.substr(0, end);
        for (;;) {
            const std::size_t lf = piece.find('\n');
            Append(piece.substr(0, lf));
            if (lf == std::string_view::npos)
                break;
            EndLine(visit, true);
            piece.remove_prefix(lf + 1);
            if (piece.empty())
                break;
        }
        if (end == std::string_view::npos)
            return true;
        Finish(visit);
        return false;
    }

    // Ends the content, handing on a last line that has no line end.
    template <typename Visit> void Finish(Visit visit)
    {
        if (open_ && !ended_)
            EndLine(visit, false);
        ended_ = true;
    }

private:
    void Append(std::string_view part)
    {
        open_ = open_ || !part.empty();
        if (head_.size() <= keep_)
            head_.append(part.substr(0, keep_ + 1 - head_.size()));
    }

    template <typename Visit> void EndLine(Visit visit, bool byLineFeed)
    {
        // One character is kept beyond keep_: a CR there ends the line only if the LF follows,
        // and beyond keep_ it is cut off anyway.
        std::string_view line = head_;
        if (byLineFeed && !line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        visit(line.substr(0, keep_));
        head_.clear();
        open_ = false;
    }

    std::size_t keep_;
    std::string head_;
    bool open_ = false;
    bool ended_ = false;
};

} // namespace ParamLines
