#include "ParamStore.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string AllBytes()
{
    std::string bytes;
    for (int c = 0; c < 256; ++c)
        bytes.push_back(static_cast<char>(c));
    return bytes;
}

// Scrambles plain with a known prefix, so stored forms can be written out in a test.
std::string StoredWithPrefix(const std::string &prefix, const std::string &plain, const std::string &key)
{
    std::string stored;
    const std::string work = prefix + plain;
    for (std::size_t i = 0; i < work.size(); ++i)
        stored += ByteToHex(static_cast<unsigned char>(work[i]) ^ static_cast<unsigned char>(key[i % key.size()]));
    return stored;
}

TEST(ByteToHex, WritesTwoUppercaseDigits)
{
    const struct {
        int value;
        const char *hex;
    } cases[] = {{0, "00"}, {5, "05"}, {10, "0A"}, {163, "A3"}, {255, "FF"}, {256 + 0x3C, "3C"}};
    for (const auto &c : cases)
        EXPECT_EQ(ByteToHex(c.value), c.hex) << c.value;
}

TEST(HexToInt, ReadsDigitsLeniently)
{
    const struct {
        const char *text;
        std::int32_t value;
    } cases[] = {
        {"", 0},
        {"0", 0},
        {"A3", 0xA3},
        {"a3", 0xA3},
        {"fF", 0xFF},
        {"1 2", 0x102}, // a stray blank is a zero digit in its place
        {"G1", 0x01},   // so is any other non-digit
        {"7FFFFFFF", 0x7FFFFFFF},
        {"FFFFFFFF", -1},          // wraps at 32 bits
        {"123456789", 0x23456789}, // only the last eight places count
        {"\xC1\xE1"
         "1",
         1}, // ANSI letters outside a-f are no digits
    };
    for (const auto &c : cases)
        EXPECT_EQ(HexToInt(c.text), c.value) << '"' << c.text << '"';
}

TEST(RandomPrefix, DrawsCountCharactersFromTheAlphabet)
{
    EXPECT_EQ(RandomPrefix(0), "");
    EXPECT_EQ(RandomPrefix(-3), "");
    const std::string prefix = RandomPrefix(5000);
    ASSERT_EQ(prefix.size(), 5000u);
    bool seen[60] = {};
    for (const char c : prefix) {
        ASSERT_GE(c, '<');
        ASSERT_LE(c, 'w');
        seen[c - '<'] = true;
    }
    for (int i = 0; i < 60; ++i)
        EXPECT_TRUE(seen[i]) << "never drew " << static_cast<char>('<' + i);
}

TEST(RandomPrefix, QuickCallsDiffer)
{
    const std::string first = RandomPrefix(20);
    EXPECT_NE(RandomPrefix(20), first);
}

TEST(EncodeValue, MakesTheStoredForm)
{
    const std::string stored = EncodeValue("scott", ScrambleKey);
    ASSERT_EQ(stored.size(), 2u * (20 + 5));
    for (const char c : stored)
        EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) << c;
    // The key runs on from the prefix without a reset: the value's first byte meets key[1].
    const std::string value = stored.substr(40);
    const std::string key = ScrambleKey;
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_EQ(HexToInt(value.substr(2 * i, 2)), ("scott"[i] ^ key[i % 4])) << i;
}

TEST(EncodeValue, PrefixIsXoredWithTheKey)
{
    const std::string stored = EncodeValue("", ScrambleKey);
    ASSERT_EQ(stored.size(), 40u);
    const std::string key = ScrambleKey;
    for (std::size_t i = 0; i < 20; ++i) {
        const int plain = HexToInt(stored.substr(2 * i, 2)) ^ key[i % 4];
        EXPECT_GE(plain, '<');
        EXPECT_LE(plain, 'w');
    }
}

TEST(EncodeValue, SameValueTwiceGivesTwoFormsOfIt)
{
    const std::string first = EncodeValue("tiger", ScrambleKey);
    const std::string second = EncodeValue("tiger", ScrambleKey);
    EXPECT_NE(first, second);
    EXPECT_EQ(DecodeValue(first, ScrambleKey), "tiger");
    EXPECT_EQ(DecodeValue(second, ScrambleKey), "tiger");
}

TEST(DecodeValue, RoundTripsEveryByte)
{
    const std::string values[] = {"",
                                  " lead and trail ",
                                  "\t",
                                  std::string(1, '\0'),
                                  AllBytes().substr(0, 100),
                                  AllBytes().substr(100, 100),
                                  AllBytes().substr(156)};
    for (const std::string &value : values)
        EXPECT_EQ(DecodeValue(EncodeValue(value, ScrambleKey), ScrambleKey), value);
}

TEST(DecodeValue, KeepsAtMostHundredCharacters)
{
    const std::string value = AllBytes();
    EXPECT_EQ(DecodeValue(EncodeValue(value, ScrambleKey), ScrambleKey), value.substr(0, 100));
}

TEST(DecodeValue, ShortFormsGiveNothing)
{
    for (const std::string &stored : {std::string(), std::string("41"), std::string(40, '7')})
        EXPECT_EQ(DecodeValue(stored, ScrambleKey), "") << stored;
    // 41 digits: the lone last digit forms a 21st byte, the first of the value.
    EXPECT_EQ(DecodeValue(std::string(40, '0') + "7", "").size(), 1u);
}

TEST(DecodeValue, ReadsMalformedFormsAsTheRulesSay)
{
    const std::string prefix(20, 'A');
    const std::string key = ScrambleKey;
    const std::string stored = StoredWithPrefix(prefix, "ab", key);
    const std::string lower = [&] {
        std::string s = stored;
        for (char &c : s)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    }();
    EXPECT_EQ(DecodeValue(lower, key), "ab");

    // A blank in place of the first value digit is a zero nibble; the pairs after it hold.
    std::string blanked = stored;
    blanked[40] = ' ';
    const char firstByte = static_cast<char>((HexToInt(stored.substr(40, 2)) & 0x0F) ^ key[0]);
    EXPECT_EQ(DecodeValue(blanked, key), std::string(1, firstByte) + "b");

    // An odd last digit is the high nibble of a last byte.
    const std::string odd = stored.substr(0, 41);
    const char highOnly = static_cast<char>((HexToInt(stored.substr(40, 1)) << 4) ^ key[0]);
    EXPECT_EQ(DecodeValue(odd, key), std::string(1, highOnly));
}

TEST(DecodeValue, ZeroResultsStillCount)
{
    // Bytes equal to the key decode to code 0, which is kept.
    const std::string key = ScrambleKey;
    const std::string stored = StoredWithPrefix(std::string(20, 'x'), key, key);
    EXPECT_EQ(DecodeValue(stored, key), key);
    const std::string zeros = StoredWithPrefix(std::string(20, 'x'), std::string(4, '\0'), key);
    EXPECT_EQ(DecodeValue(zeros, key), std::string(4, '\0'));
}

TEST(Scrambling, EmptyKeyLeavesBytesAsTheyAre)
{
    const std::string stored = EncodeValue("ab", "");
    EXPECT_EQ(stored.substr(40), "6162");
    EXPECT_EQ(DecodeValue(stored, ""), "ab");
}

TEST(TrimValue, RemovesControlsAndBlanksAtBothEnds)
{
    EXPECT_EQ(TrimValue(" \t\r\n\x01"
                        "a b\x1F "),
              "a b");
    EXPECT_EQ(TrimValue("   "), "");
    EXPECT_EQ(TrimValue("\xA0x\xA0"), "\xA0x\xA0"); // bytes above 127 are characters
}

} // namespace
