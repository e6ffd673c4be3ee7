// Prints the three values of the parameter file named on the command line, one a line.
#include "ParamStore.h"

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: read_params FILE\n");
        return 2;
    }
    SelectedFileName = argv[1];
    LogonParams params;
    LoadParams(params.database, params.user, params.password);
    for (const std::string *value : {&params.database, &params.user, &params.password})
        std::printf("%s\n", value->c_str());
    return 0;
}
