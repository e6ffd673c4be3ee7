#include "ParamStore.h"

#include <chrono>
#include <cstdint>
#include <random>

namespace {

constexpr int PrefixLength = 20;
constexpr std::size_t MaxDecodedLength = 100;

// A small generator: the prefix only has to look random, and reseeding must be cheap.
std::minstd_rand &PrefixGenerator()
{
    // NOLINTNEXTLINE(cert-msc32-c,cert-msc51-cpp): RandomPrefix seeds it from the clock before every draw.
    static std::minstd_rand generator;
    return generator;
}

unsigned char KeyByte(const std::string &key, std::size_t &k)
{
    if (key.empty())
        return 0;
    k = k + 1 > key.size() ? 1 : k + 1;
    return static_cast<unsigned char>(key[k - 1]);
}

} // namespace

std::string ByteToHex(int value)
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    const auto byte = static_cast<unsigned>(value) & 0xFFu;
    return {Digits[byte >> 4], Digits[byte & 0xFu]};
}

std::int32_t HexToInt(const std::string &text)
{
    std::uint32_t sum = 0;
    std::uint32_t place = 1;
    for (auto it = text.rbegin(); it != text.rend(); ++it) {
        const char c = *it;
        std::uint32_t digit = 0;
        if (c >= '1' && c <= '9')
            digit = static_cast<std::uint32_t>(c - '0');
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<std::uint32_t>(c - 'A' + 10);
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<std::uint32_t>(c - 'a' + 10);
        sum += digit * place;
        place *= 16;
    }
    return static_cast<std::int32_t>(sum);
}

std::string RandomPrefix(int count)
{
    // The clock alone could repeat between two quick calls; the generator's last state
    // keeps consecutive prefixes apart.
    auto &generator = PrefixGenerator();
    const auto ticks = static_cast<std::uint64_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
    const std::uint64_t previous = generator();
    generator.seed(static_cast<std::minstd_rand::result_type>((ticks ^ (ticks >> 31) ^ (previous * 2654435761u)) %
                                                              std::minstd_rand::modulus));

    std::string prefix;
    if (count <= 0)
        return prefix;
    std::uniform_int_distribution<int> offset(0, 59);
    prefix.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        prefix.push_back(static_cast<char>(60 + offset(generator)));
    return prefix;
}

std::string EncodeValue(const std::string &plain, const std::string &key)
{
    const std::string work = RandomPrefix(PrefixLength) + plain;
    std::string stored;
    stored.reserve(2 * work.size());
    std::size_t k = 0;
    for (const char c : work)
        stored += ByteToHex(static_cast<unsigned char>(c) ^ KeyByte(key, k));
    return stored;
}

std::string DecodeValue(const std::string &stored, const std::string &key)
{
    std::string out;
    out.reserve(stored.size() / 2 + 1);
    std::size_t k = 0;
    for (std::size_t i = 0; i < stored.size(); i += 2) {
        // A lone last digit is the high nibble of a byte whose low nibble is missing.
        const std::string pair = i + 1 < stored.size() ? stored.substr(i, 2) : stored.substr(i, 1) + ' ';
        const auto v = static_cast<std::uint32_t>(HexToInt(pair));
        out.push_back(static_cast<char>((KeyByte(key, k) ^ v) & 0xFFu));
    }
    if (out.size() <= static_cast<std::size_t>(PrefixLength))
        return {};
    return out.substr(PrefixLength, MaxDecodedLength);
}

std::string TrimValue(const std::string &text)
{
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && blank(text[first]))
        ++first;
    while (last > first && blank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}
