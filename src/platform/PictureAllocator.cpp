#include "platform/PictureAllocator.h"

#include "platform/Environment.h"

#include <cstdlib>
#include <cstring>
#include <string_view>
#include <sys/auxv.h>
#include <unistd.h>

namespace tovik::platform {

namespace {

constexpr const char* kVariable = "GLIBC_TUNABLES";

// Huge pages on request; blocks below 16 MiB from the heap rather than a mapping of their
// own (mapped blocks are new memory every time); the heap grows 32 MiB at a time, so that
// whole huge pages fit in it, and is given back only past 256 MiB free.
constexpr const char* kHugePages = "glibc.malloc.hugetlb=1";
constexpr const char* kTunables = "glibc.malloc.hugetlb=1"
                                  ":glibc.malloc.mmap_threshold=16777216"
                                  ":glibc.malloc.top_pad=33554432"
                                  ":glibc.malloc.trim_threshold=268435456";
static_assert(std::string_view(kTunables).starts_with(kHugePages));

// Whether `value` begins with the whole entry list `entries`.
bool StartsWithEntries(const std::string& value, const char* entries) {
    const size_t length = std::strlen(entries);
    return value.compare(0, length, entries) == 0 &&
           (value.size() == length || value[length] == ':');
}

bool StartsWithOurs(const std::string& value) {
    return StartsWithEntries(value, kTunables);
}

} // namespace

std::string PictureAllocatorTunables(const std::optional<std::string>& current) {
    if (!current || current->empty())
        return kTunables;
    if (StartsWithOurs(*current))
        return *current;
    return std::string(kTunables) + ":" + *current;
}

std::vector<std::string> EnvironmentForPictureWork(const char* const* environment) {
    const std::string prefix = std::string(kVariable) + "=";
    std::vector<std::string> result;
    std::optional<std::string> current;
    for (const char* const* entry = environment; entry && *entry; ++entry) {
        if (std::strncmp(*entry, prefix.c_str(), prefix.size()) == 0)
            current = *entry + prefix.size();
        else
            result.emplace_back(*entry);
    }
    result.push_back(prefix + PictureAllocatorTunables(current));
    return result;
}

void RestartForPictureWork(char** argv) {
    const std::optional<std::string> current = GetEnv(kVariable);
    // Huge pages asked for already is enough: it is also what a C library that shortens the
    // variable while reading it leaves, and starting again then would never end.
    if ((current && StartsWithEntries(*current, kHugePages)) || ::getauxval(AT_SECURE) != 0)
        return;
    // The program's own file by its name, so that process lists still show the name.
    const std::string program = ExecutablePath();
    if (program.empty())
        return;
    SetEnv(kVariable, PictureAllocatorTunables(current));
    ::execv(program.c_str(), argv);
    // Still here: go on untuned, and leave the environment as it was for children.
    if (current)
        SetEnv(kVariable, *current);
    else
        ::unsetenv(kVariable);
}

} // namespace tovik::platform
