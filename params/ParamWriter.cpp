#include "ParamStore.h"

#include "FileSystem.h"
#include "ParamLines.h"
#include "ParamWindow.h"

std::vector<std::string_view> KeptLines;

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
    ~TKeptLinesRelease() { std::vector<std::string_view>().swap(KeptLines); }
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
            KeptLines.push_back(line);
    });
}

// The kept lines, each ended with CR LF, then the fresh section. Lines that already stand in
// oldContent as they are to be written are copied in runs rather than one by one.
std::string NewContent(const LogonParams &values, std::string_view oldContent)
{
    std::string content;
    content.reserve(oldContent.size() + 512);
    const char *runStart = nullptr;
    const char *runEnd = nullptr;
    for (const std::string_view line : KeptLines) {
        if (line.data() != runEnd) {
            if (runStart)
                content.append(runStart, runEnd);
            runStart = line.data();
        }
        runEnd = line.data() + line.size();
        const auto rest = static_cast<std::size_t>(oldContent.data() + oldContent.size() - runEnd);
        if (rest >= 2 && runEnd[0] == '\r' && runEnd[1] == '\n') {
            runEnd += 2;
        } else {
            content.append(runStart, runEnd).append(LineEnd);
            runStart = nullptr;
            runEnd = nullptr;
        }
    }
    if (runStart)
        content.append(runStart, runEnd);

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
    const std::string newContent = NewContent(values, oldContent);

    // The new content is on disk before the backup is touched, so a save that cannot be
    // written leaves the older backup as it was.
    ParamFs::TReplacement replacement;
    if (!replacement.Prepare(file, newContent)) {
        ShowParamMessage(CannotWriteText, file);
        return;
    }
    // A backup that cannot be made does not hold up the save.
    ParamFs::MakeBackup(file, oldContent, BackupFilePath(file, folder));
    ProcessPendingMessages();
    if (!replacement.Commit()) {
        ShowParamMessage(CannotWriteText, file);
        return;
    }
    ShowParamMessage(SavedText, file);
}

} // namespace

void SaveParams(const std::string &database, const std::string &user, const std::string &password)
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
