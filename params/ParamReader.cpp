#include "ParamStore.h"

#include "FileSystem.h"
#include "ParamLines.h"
#include "ParamWindow.h"

namespace {

void ReadParams(std::string &database, std::string &user, std::string &password)
{
    std::string file;
    std::string folder;
    ParamFilePath(file, folder);
    if (!ParamFs::IsRegularFile(file))
        return;
    SetParamFileLabel(ParamLines::AsciiLower(file));

    // The last matching line wins, wherever it stands.
    LogonParams stored;
    const auto take = [&stored](std::string_view line) {
        if (ParamLines::IsEntryLine(line, ParamLines::Database))
            stored.database = ParamLines::StoredValue(line, ParamLines::Database);
        if (ParamLines::IsEntryLine(line, ParamLines::User))
            stored.user = ParamLines::StoredValue(line, ParamLines::User);
        if (ParamLines::IsEntryLine(line, ParamLines::Password))
            stored.password = ParamLines::StoredValue(line, ParamLines::Password);
    };
    ParamLines::TLineHeads lines(ParamLines::LongestLookedAt);
    if (!ParamFs::ReadInPieces(file, [&](std::string_view piece) { return lines.Feed(piece, take); }))
        return;
    lines.Finish(take);

    LogonParams decoded{DecodeValue(stored.database, ScrambleKey), DecodeValue(stored.user, ScrambleKey),
                        DecodeValue(stored.password, ScrambleKey)};
    database = std::move(decoded.database);
    user = std::move(decoded.user);
    password = std::move(decoded.password);
}

} // namespace

void LoadParams(std::string &database, std::string &user, std::string &password)
{
    try {
        ReadParams(database, user, password);
    } catch (...) {
        // Memory that runs out leaves the outputs as they were, like an unreadable file.
    }
}
