#include "ParamLines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The lines of content as the whole-content splitter gives them, cut to keep characters.
std::vector<std::string> WholeLines(const std::string &content, std::size_t keep)
{
    std::vector<std::string> lines;
    ParamLines::ForEachLine(content, [&](std::string_view line) { lines.emplace_back(line.substr(0, keep)); });
    return lines;
}

// The lines of content fed in the given pieces.
std::vector<std::string> PieceLines(const std::vector<std::string_view> &pieces, std::size_t keep)
{
    std::vector<std::string> lines;
    const auto take = [&](std::string_view line) { lines.emplace_back(line); };
    ParamLines::TLineHeads heads(keep);
    for (const std::string_view piece : pieces)
        if (!heads.Feed(piece, take))
            break;
    heads.Finish(take);
    return lines;
}

TEST(TLineHeads, AgreesWithTheWholeContentSplitterWhereverThePiecesBreak)
{
    const std::string contents[] = {
        "",
        "\n",
        "\r\n",
        "a",
        "a\n",
        "a\r",
        "a\r\n\r\nb",
        "abc\rdef\r\r\nxyz",
        "12345\r\n123456\r\n1234\r\n",
        "abcdef\r\nabcde\r\n",
        std::string("ab\x1A") + "cd\r\nef",
        "ab\r\n\x1A\r\n",
        std::string("a\0b\r\n\0\r\n", 8),
    };
    for (const std::size_t keep : {std::size_t{5}, std::size_t{100}}) {
        for (const std::string &content : contents) {
            const std::vector<std::string> expected = WholeLines(content, keep);
            for (std::size_t first = 0; first <= content.size(); ++first) {
                for (std::size_t second = first; second <= content.size(); ++second) {
                    const std::string_view all(content);
                    const std::vector<std::string_view> pieces = {
                        all.substr(0, first), all.substr(first, second - first), all.substr(second)};
                    ASSERT_EQ(PieceLines(pieces, keep), expected) << "keep " << keep << ", pieces at " << first
                                                                  << " and " << second << " of \"" << content << '"';
                }
            }
        }
    }
}

TEST(TLineHeads, LongLinesAreCutButCounted)
{
    const std::string longLine(1000, 'x');
    const std::vector<std::string> lines = PieceLines({longLine + "\r", "\n", "short\r\n", longLine}, 8);
    EXPECT_EQ(lines, (std::vector<std::string>{"xxxxxxxx", "short", "xxxxxxxx"}));
}

TEST(TLineHeads, CtrlZEndsTheContentForGood)
{
    std::vector<std::string> lines;
    const auto take = [&](std::string_view line) { lines.emplace_back(line); };
    ParamLines::TLineHeads heads(100);
    EXPECT_TRUE(heads.Feed("a\r\nb", take));
    EXPECT_FALSE(heads.Feed("c\x1A"
                            "d\r\n",
                            take));
    EXPECT_FALSE(heads.Feed("e\r\n", take));
    heads.Finish(take);
    EXPECT_EQ(lines, (std::vector<std::string>{"a", "bc"}));
}

} // namespace
