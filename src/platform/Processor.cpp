#include "platform/Processor.h"

namespace tovik {

bool HasAvx512BytePermutes() {
#if defined(__x86_64__) && defined(__GNUC__)
    static const bool available =
        __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi");
    return available;
#else
    return false;
#endif
}

} // namespace tovik
