#pragma once
// Allocator settings for processes that convert pictures.
//
// A conversion touches tens of megabytes of fresh picture buffers. Where the kernel grants
// transparent huge pages on request (the common "madvise" setting), a heap that grows in
// large steps and asks for huge pages takes one page fault per 2 MiB instead of one per
// 4 KiB, which on a virtual machine is the larger part of the cost of new memory. glibc
// takes these settings only at process start, from GLIBC_TUNABLES, so a process gets them
// through its environment: workers when they are spawned, the engine command by starting
// itself again.

#include <optional>
#include <string>
#include <vector>

namespace tovik::platform {

// GLIBC_TUNABLES with ours in front of `current`, so that what the user set there wins.
// Unchanged when it already starts with ours.
std::string PictureAllocatorTunables(const std::optional<std::string>& current);

// `environment` (NAME=value entries, null-terminated) with GLIBC_TUNABLES merged as above.
std::vector<std::string> EnvironmentForPictureWork(const char* const* environment);

// Starts this program again with the tunables when it was started without them. Returns only
// when it did not: already set, a set-user-ID start (glibc would drop them), or the start
// failed, in which case the program goes on as it is.
void RestartForPictureWork(char** argv);

} // namespace tovik::platform
