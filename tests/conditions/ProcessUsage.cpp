#include "ProcessUsage.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <dirent.h>

int OpenDescriptorCount()
{
    DIR *dir = ::opendir("/proc/self/fd");
    if (!dir)
        return -1;
    int count = 0;
    while (const dirent *entry = ::readdir(dir)) {
        if (entry->d_name[0] != '.')
            ++count;
    }
    ::closedir(dir);
    // The listing's own descriptor is not one the process holds.
    return count - 1;
}

long ResidentKib()
{
    std::FILE *status = std::fopen("/proc/self/status", "r");
    if (!status)
        return -1;
    long kib = -1;
    char line[256];
    while (std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, "VmRSS:", 6) == 0) {
            kib = std::strtol(line + 6, nullptr, 10);
            break;
        }
    }
    // Nothing was written to it, so its closing cannot lose anything.
    (void)std::fclose(status);
    return kib;
}
