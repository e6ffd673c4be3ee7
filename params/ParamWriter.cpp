#include "ParamStore.h"

#include "FileSystem.h"
#include "ParamLines.h"
#include "ParamWindow.h"

std::vector<std::string> KeptLines;

namespace {

// Message texts, in the ANSI code page; each is followed by the file's path.
constexpr const char *NoFileText = "Ni datoteke ";
constexpr const char *CannotReadText = "Napaka pri odpiranju datoteke: ";
constexpr const char *CannotWriteText = "Ne morem odpreti datoteke ";
constexpr const char *SavedText = "DB parametri so zapisani v ";
// Followed by the entry's name instead of a path.
constexpr const char *TooLongText = "Vrednost je dalj\x9a"
                                    "a od 30 znakov: ";

constexpr const char *LineEnd = "\r\n";

// Empties KeptLines when a save ends, however it ends, so a large file is not held on to.
struct TKeptLinesRelease {
    TKeptLinesRelease() = default;
    TKeptLinesRelease(const TKeptLinesRelease &) = delete;
    TKeptLinesRelease &operator=(const TKeptLinesRelease &) = delete;
    ~TKeptLinesRelease() { std::vector<std::string>().swap(KeptLines); }
};

// The first value that the reader could not give back whole, as its entry's name.
bool FindTooLong(const LogonParams &values, std::string_view &entryName)
{
    const std::string *fields[] = {&values.database, &values.user, &values.password};
    for (std::size_t i = 0; i < 3; ++i) {
        if (fields[i]->size() > ParamLines::MaxValueLength) {
            entryName = ParamLines::Entries[i].key;
            return true;
        }
    }
    return false;
}

void KeepLines(const std::string &content)
{
    ParamLines::ForEachLine(content, [](std::string_view line) {
        if (!ParamLines::IsDroppedLine(line))
            KeptLines.emplace_back(line);
    });
}

std::string NewContent(const LogonParams &values, std::size_t sizeHint)
{
    std::string content;
    content.reserve(sizeHint + 512);
    for (const std::string &line : KeptLines)
        content.append(line).append(LineEnd);
    content.append(ParamLines::Header).append(LineEnd);
    const std::string *fields[] = {&values.database, &values.user, &values.password};
    for (std::size_t i = 0; i < 3; ++i) {
        content.append(ParamLines::Entries[i].key).append("=");
        content.append(EncodeValue(*fields[i], ScrambleKey)).append(LineEnd);
    }
    return content;
}

void WriteParams(const LogonParams &values, const std::string &file, const std::string &folder)
{
    if (!ParamFs::IsRegularFile(file)) {
        ShowParamMessage(NoFileText, file);
        return;
    }
    std::string oldContent;
    if (!ParamFs::ReadWholeFile(file, oldContent)) {
        ShowParamMessage(CannotReadText, file);
        return;
    }
    KeepLines(oldContent);
    const std::string newContent = NewContent(values, oldContent.size());

    // A backup that cannot be made does not hold up the save.
    ParamFs::MakeBackup(file, oldContent, BackupFilePath(file, folder));
    ProcessPendingMessages();

    if (!ParamFs::ReplaceFile(file, newContent)) {
        ShowParamMessage(CannotWriteText, file);
        return;
    }
    ShowParamMessage(SavedText, file);
}

} // namespace

void SaveParams(std::string database, std::string user, std::string password)
{
    TKeptLinesRelease release;
    KeptLines.clear();
    std::string file;
    try {
        const LogonParams values{TrimValue(database), TrimValue(user), TrimValue(password)};
        std::string_view entryName;
        if (FindTooLong(values, entryName)) {
            ShowParamMessage(std::string(TooLongText).append(entryName), std::string());
            return;
        }
        std::string folder;
        ParamFilePath(file, folder);
        WriteParams(values, file, folder);
    } catch (...) {
        // Only memory can run out here, always before the new file is in place.
        ShowParamMessage(CannotWriteText, file);
    }
}
