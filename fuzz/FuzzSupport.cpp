#include "FuzzSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <system_error>

namespace {

std::string &FolderName()
{
    static std::string folder;
    return folder;
}

void RemoveScratchFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(FolderName(), ignored);
}

int HexDigitValue(char c)
{
    if ('0' <= c && c <= '9')
        return c - '0';
    if ('A' <= c && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

const std::string &ScratchFolder()
{
    std::string &folder = FolderName();
    if (!folder.empty())
        return folder;
    std::error_code error;
    std::string pattern = (std::filesystem::temp_directory_path(error) / "dbp-fuzz-XXXXXX").string();
    if (error || mkdtemp(pattern.data()) == nullptr)
        Broken("a scratch folder can be made", pattern);
    folder = pattern;
    if (std::atexit(RemoveScratchFolder) != 0)
        Broken("the scratch folder can be removed at exit", folder);
    return folder;
}

bool WriteWhole(const std::string &path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

bool ReadWhole(const std::string &path, std::string &content)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool Unscramble(std::string_view stored, std::string_view key, std::string &bytes)
{
    if (stored.size() % 2 != 0)
        return false;
    bytes.clear();
    for (std::size_t i = 0; i < stored.size(); i += 2) {
        const int high = HexDigitValue(stored[i]);
        const int low = HexDigitValue(stored[i + 1]);
        if (high < 0 || low < 0)
            return false;
        const auto keyByte = key.empty() ? 0u : static_cast<unsigned char>(key[(i / 2) % key.size()]);
        bytes.push_back(static_cast<char>(static_cast<unsigned>(high * 16 + low) ^ keyByte));
    }
    return true;
}

std::string Escaped(std::string_view bytes)
{
    std::string out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 32 && byte < 127 && byte != '\\') {
            out.push_back(c);
            continue;
        }
        static constexpr char Digits[] = "0123456789ABCDEF";
        out.append("\\x").append(1, Digits[byte >> 4]).append(1, Digits[byte & 0xFu]);
    }
    return out;
}

void Broken(const char *property, const std::string &detail)
{
    std::cerr << "Property broken: " << property << '\n';
    if (!detail.empty())
        std::cerr << "  " << detail << '\n';
    std::cerr.flush();
    std::abort();
}

void Require(bool holds, const char *property, const std::string &detail)
{
    if (!holds)
        Broken(property, detail);
}

void TRecordingWindow::ShowMessage(const std::string &text, const std::string &path)
{
    messages.push_back({text, path});
}
