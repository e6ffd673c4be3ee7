// The stored form of a value: decoding and reading hexadecimal take any bytes, and a value
// encoded and decoded again comes back as its first 100 bytes.
#include "FuzzSupport.h"
#include "ParamStore.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

constexpr std::size_t PrefixBytes = 20;
constexpr std::size_t DecodedLimit = 100;

// HexToInt as its definition reads: uppercase each character, walk from the last one, add
// digit times place and multiply place by 16, all modulo 2^32; a non-digit counts as 0.
std::int32_t ReferenceHexToInt(std::string_view text)
{
    constexpr std::string_view Digits = "0123456789ABCDEF";
    std::uint32_t sum = 0;
    std::uint32_t place = 1;
    for (std::size_t i = text.size(); i > 0; --i) {
        char c = text[i - 1];
        if ('a' <= c && c <= 'z')
            c = static_cast<char>(c - ('a' - 'A'));
        const std::size_t digit = Digits.find(c);
        sum += static_cast<std::uint32_t>(digit == std::string_view::npos ? 0 : digit) * place;
        place *= 16u;
    }
    return static_cast<std::int32_t>(sum);
}

void CheckRoundTrip(const std::string &plain, const std::string &key)
{
    const std::string stored = EncodeValue(plain, key);
    std::string scrambled;
    Require(Unscramble(stored, key, scrambled), "the stored form is uppercase hex pairs", Escaped(stored));
    Require(scrambled.size() == PrefixBytes + plain.size(), "the stored form holds prefix and value", Escaped(stored));
    for (std::size_t i = 0; i < PrefixBytes; ++i)
        Require('<' <= scrambled[i] && scrambled[i] <= 'w', "the prefix is drawn from '<' to 'w'", Escaped(stored));
    Require(std::string_view(scrambled).substr(PrefixBytes) == plain, "the value follows the prefix", Escaped(stored));
    const std::string decoded = DecodeValue(stored, key);
    Require(decoded == plain.substr(0, DecodedLimit), "decoding gives the first 100 bytes back",
            "key " + Escaped(key) + ", plain " + Escaped(plain) + ", decoded " + Escaped(decoded));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char *>(data), size);

    const std::int32_t got = HexToInt(input);
    const std::int32_t expected = ReferenceHexToInt(input);
    Require(got == expected, "HexToInt follows its definition",
            Escaped(input) + ": " + std::to_string(got) + " instead of " + std::to_string(expected));

    Require(DecodeValue(input, ScrambleKey).size() <= DecodedLimit, "a decoded value has at most 100 bytes");
    CheckRoundTrip(input, ScrambleKey);

    // Any key scrambles reversibly, the empty one included.
    CheckRoundTrip(input, input.substr(0, input.empty() ? 0 : static_cast<unsigned char>(input[0]) % 9));
    return 0;
}
