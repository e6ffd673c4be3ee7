// ParamStore: the logon parameters kept, scrambled, in the application's VOBERA.INI.
//
// Values, message texts and file contents are byte strings: one byte a character, in the
// ANSI code page the application writes (Windows-1250). Paths are byte strings in the
// file system's own encoding. Nothing here converts code pages, raises exceptions out of
// its functions or links any window toolkit.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The three logon values, always in this order.
struct LogonParams {
    std::string database;
    std::string user;
    std::string password;
};

// The fixed key every stored value is scrambled with.
inline constexpr const char *ScrambleKey = "ruzo";

// Writes value (0-255; higher bits are ignored) as exactly two uppercase hexadecimal digits.
std::string ByteToHex(int value);

// Reads text as hexadecimal, leniently: a-f count as A-F, any other character counts as a
// zero digit in its place, and only the last eight characters can contribute.
std::int32_t HexToInt(const std::string &text);

// Returns count characters drawn uniformly from "<" to "w"; reseeds the generator each call.
std::string RandomPrefix(int count);

// Returns the stored form of plain: a 20-character random prefix and plain, XORed with key,
// two hexadecimal digits a byte.
std::string EncodeValue(const std::string &plain, const std::string &key);

// Returns the plain value of a stored form: its prefix dropped, at most 100 characters.
std::string DecodeValue(const std::string &stored, const std::string &key);

// Removes every character with code 32 or less from both ends of text.
std::string TrimValue(const std::string &text);

// The parameter file chosen by the user; empty means VOBERA.INI beside the executable.
extern std::string SelectedFileName;

// The lines of the old file that the running save carries over, in file order. They point
// into the old content the save holds, so they are valid only while the save runs.
extern std::vector<std::string_view> KeptLines;

// Gives the parameter file and its folder (which ends with a separator unless empty). Beside
// the executable, a VOBERA.INI in any letter case is found; the exact spelling wins.
void ParamFilePath(std::string &file, std::string &folder);

// Gives the name of the backup that a save of file makes, in folder.
std::string BackupFilePath(const std::string &file, const std::string &folder);

// Reads the three values from the parameter file. When the file is missing or cannot be read
// the outputs keep their values; otherwise all three are replaced.
void LoadParams(std::string &database, std::string &user, std::string &password);

// Puts the three values, trimmed and scrambled, into the existing parameter file, keeps its
// other lines, leaves the old file as its backup and reports the outcome in one message.
void SaveParams(const std::string &database, const std::string &user, const std::string &password);
