// A frame hook module for the "vhook" tests: counts its calls in exported variables.

#include <cstdint>
#include <cstring>

extern "C" {

__attribute__((visibility("default"))) int HookConfigureCount = 0;
__attribute__((visibility("default"))) int HookArgumentCount = 0;
__attribute__((visibility("default"))) char HookLastArgument[256] = {};
__attribute__((visibility("default"))) int HookReleaseCount = 0;

__attribute__((visibility("default"))) int Configure(void** context, int argc, char* argv[]) {
    ++HookConfigureCount;
    HookArgumentCount = argc;
    std::strncpy(HookLastArgument, argv[argc - 1], sizeof HookLastArgument - 1);
    *context = &HookArgumentCount;
    return std::strcmp(argv[argc - 1], "fail") == 0 ? -1 : 0;
}

__attribute__((visibility("default"))) void Process(void*, void*, int, int, int, int64_t) {}

__attribute__((visibility("default"))) void Release(void* context) {
    if (context == &HookArgumentCount)
        ++HookReleaseCount;
}
}
