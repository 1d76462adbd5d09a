#pragma once
// What the processor offers beyond the baseline the program is built for.

namespace tovik {

// True when the processor has the AVX-512 foundation, byte/word, vector-length and byte
// permute (VBMI) instructions the vectorised pixel code is written with.
bool HasAvx512BytePermutes();

} // namespace tovik
