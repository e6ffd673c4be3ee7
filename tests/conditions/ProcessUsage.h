// What the running process holds, read from /proc, to tell a leak across many saves.
#pragma once

// The number of file descriptors the process has open; -1 when /proc cannot say.
int OpenDescriptorCount();

// The process's resident memory in KiB (VmRSS); -1 when /proc cannot say.
long ResidentKib();
