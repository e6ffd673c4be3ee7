// Prints the three values of the parameter file named on the command line, one a line.
#include "ParamStore.h"

#include <cstdio>

// cppcheck-suppress constParameter ; main's parameters are as the language gives them.
int main(int argc, char *argv[])
{
    if (argc != 2) {
        // A usage message that cannot be written leaves nowhere else to tell of it.
        (void)std::fprintf(stderr, "usage: read_params FILE\n");
        return 2;
    }
    SelectedFileName = argv[1];
    LogonParams params;
    LoadParams(params.database, params.user, params.password);
    for (const std::string *value : {&params.database, &params.user, &params.password})
        std::printf("%s\n", value->c_str());
    // The caller compares what was printed; output that did not all get out must not pass as whole.
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}
