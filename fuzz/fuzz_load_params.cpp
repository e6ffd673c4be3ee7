// Reading the parameter file: any content is read without a crash, and each value it gives
// has at most 100 bytes.
#include "FuzzSupport.h"
#include "ParamStore.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

constexpr std::size_t DecodedLimit = 100;

const std::string &ParamFile()
{
    static const std::string file = ScratchFolder() + "/VOBERA.INI";
    return file;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view content(reinterpret_cast<const char *>(data), size);
    Require(WriteWhole(ParamFile(), content), "the scratch file can be written");
    SelectedFileName = ParamFile();

    // Longer than any value read can be, so each output shows whether it was replaced.
    const std::string untouched(DecodedLimit + 1, '#');
    std::string database = untouched;
    std::string user = untouched;
    std::string password = untouched;
    LoadParams(database, user, password);

    Require(database.size() <= DecodedLimit, "a readable file replaces the database name", Escaped(database));
    Require(user.size() <= DecodedLimit, "a readable file replaces the user name", Escaped(user));
    Require(password.size() <= DecodedLimit, "a readable file replaces the password", Escaped(password));
    return 0;
}
