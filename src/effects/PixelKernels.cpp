#include "effects/PixelKernels.h"

#include "platform/Processor.h"

#include <algorithm>
#include <array>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#if !defined(__clang__)
// GCC 12 reports the deliberately undefined lanes inside its own AVX-512 intrinsics.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#define TOVIK_VECTOR_KERNELS 1
#endif

namespace tovik::kernels {

void ColorRowPortable(uint8_t* row, int width, const TColorPass& pass) {
    if (!pass.Adjust) {
        LevelBytesPortable(row, width * 3, pass.Final);
        return;
    }
    for (int x = 0; x < width; ++x, row += 3) {
        const int32_t base = pass.GrayBase[row[0] + row[1] + row[2]];
        for (int c = 0; c < 3; ++c)
            row[c] = pass.Final[std::clamp(base + pass.Weights[row[c]], 0, 255)];
    }
}

void LevelBytesPortable(uint8_t* bytes, int count, const uint8_t table[256]) {
    for (int i = 0; i < count; ++i)
        bytes[i] = table[bytes[i]];
}

#ifdef TOVIK_VECTOR_KERNELS

namespace {

#define TOVIK_TARGET __attribute__((target("avx512f,avx512bw,avx512vbmi")))

using TIndex = std::array<uint8_t, 64>;

// Byte i of plane k of 64 interleaved pixels (192 bytes in three registers) is byte 3i + k:
// the first two registers through a two-source permute, the rest from the third.
constexpr TIndex PlaneFirst(int k) {
    TIndex index{};
    for (int i = 0; i < 64; ++i)
        index[i] = static_cast<uint8_t>((3 * i + k) & 127);
    return index;
}
constexpr TIndex PlaneThird(int k) {
    TIndex index{};
    for (int i = 0; i < 64; ++i)
        index[i] = static_cast<uint8_t>(3 * i + k >= 128 ? 3 * i + k - 128 : 0);
    return index;
}
constexpr uint64_t PlaneThirdMask(int k) {
    uint64_t mask = 0;
    for (int i = 0; i < 64; ++i)
        if (3 * i + k >= 128)
            mask |= uint64_t{1} << i;
    return mask;
}

// Output register m holds bytes 64m .. 64m + 63: planes 0 and 1 through a two-source
// permute, plane 2 masked in from the third.
constexpr TIndex MergeFirstTwo(int m) {
    TIndex index{};
    for (int j = 0; j < 64; ++j) {
        const int p = 64 * m + j;
        index[j] = static_cast<uint8_t>(p % 3 == 1 ? 64 + p / 3 : p / 3);
    }
    return index;
}
constexpr TIndex MergeThird(int m) {
    TIndex index{};
    for (int j = 0; j < 64; ++j)
        index[j] = static_cast<uint8_t>((64 * m + j) / 3);
    return index;
}
constexpr uint64_t MergeThirdMask(int m) {
    uint64_t mask = 0;
    for (int j = 0; j < 64; ++j)
        if ((64 * m + j) % 3 == 2)
            mask |= uint64_t{1} << j;
    return mask;
}

// The low bytes of 2 x 32 words.
constexpr TIndex LowBytes() {
    TIndex index{};
    for (int j = 0; j < 64; ++j)
        index[j] = static_cast<uint8_t>(2 * j);
    return index;
}

struct TShuffles {
    TIndex First[3] = {PlaneFirst(0), PlaneFirst(1), PlaneFirst(2)};
    TIndex Third[3] = {PlaneThird(0), PlaneThird(1), PlaneThird(2)};
    uint64_t ThirdMask[3] = {PlaneThirdMask(0), PlaneThirdMask(1), PlaneThirdMask(2)};
    TIndex MergeTwo[3] = {MergeFirstTwo(0), MergeFirstTwo(1), MergeFirstTwo(2)};
    TIndex MergeLast[3] = {MergeThird(0), MergeThird(1), MergeThird(2)};
    uint64_t MergeMask[3] = {MergeThirdMask(0), MergeThirdMask(1), MergeThirdMask(2)};
    TIndex Low = LowBytes();
};
constexpr TShuffles kShuffles;

TOVIK_TARGET inline __m512i Load(const TIndex& index) {
    return _mm512_loadu_si512(index.data());
}

// A 256-entry byte table in four registers.
struct TTable {
    __m512i Part[4];
};

TOVIK_TARGET inline TTable LoadTable(const uint8_t table[256]) {
    TTable loaded;
    for (int i = 0; i < 4; ++i)
        loaded.Part[i] = _mm512_loadu_si512(table + 64 * i);
    return loaded;
}

TOVIK_TARGET inline __m512i Lookup(const TTable& table, __m512i bytes) {
    const __m512i low = _mm512_permutex2var_epi8(table.Part[0], bytes, table.Part[1]);
    const __m512i high = _mm512_permutex2var_epi8(table.Part[2], bytes, table.Part[3]);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(bytes), low, high);
}

// ((level + 1) * saturation) >> 8 for 32 words of levels, as a 16-bit high multiply:
// ((level + 1) << 7) * (saturation << 1) >> 16.
TOVIK_TARGET inline __m512i Weight(__m512i levels, __m512i saturationTwice) {
    const __m512i scaled = _mm512_slli_epi16(_mm512_add_epi16(levels, _mm512_set1_epi16(1)), 7);
    return _mm512_mulhi_epu16(scaled, saturationTwice);
}

// The clamped table indexes of one half (32 pixels) of the three planes, in place.
TOVIK_TARGET inline void AdjustHalf(__m512i planes[3], __m512i saturationTwice) {
    const __m512i sum = _mm512_add_epi16(_mm512_add_epi16(planes[0], planes[1]), planes[2]);
    // sum / 3, exact for sums up to 765.
    const __m512i third = _mm512_mulhi_epu16(sum, _mm512_set1_epi16(21846));
    const __m512i base = _mm512_sub_epi16(third, Weight(third, saturationTwice));
    const __m512i zero = _mm512_setzero_si512();
    const __m512i top = _mm512_set1_epi16(255);
    for (int c = 0; c < 3; ++c) {
        const __m512i level = _mm512_add_epi16(base, Weight(planes[c], saturationTwice));
        planes[c] = _mm512_min_epi16(_mm512_max_epi16(level, zero), top);
    }
}

TOVIK_TARGET void ColorRowAvx512(uint8_t* row, int width, const TColorPass& pass) {
    const TTable table = LoadTable(pass.Final);
    const __m512i saturationTwice = _mm512_set1_epi16(static_cast<int16_t>(pass.Saturation * 2));
    const __m512i lowBytes = Load(kShuffles.Low);
    int x = 0;
    for (; x + 64 <= width; x += 64, row += 192) {
        const __m512i in[3] = {_mm512_loadu_si512(row), _mm512_loadu_si512(row + 64),
                               _mm512_loadu_si512(row + 128)};
        __m512i planes[3];
        for (int k = 0; k < 3; ++k) {
            const __m512i firstTwo =
                _mm512_permutex2var_epi8(in[0], Load(kShuffles.First[k]), in[1]);
            planes[k] = _mm512_mask_permutexvar_epi8(firstTwo, kShuffles.ThirdMask[k],
                                                     Load(kShuffles.Third[k]), in[2]);
        }
        if (pass.Adjust) {
            __m512i low[3];
            __m512i high[3];
            for (int k = 0; k < 3; ++k) {
                low[k] = _mm512_cvtepu8_epi16(_mm512_castsi512_si256(planes[k]));
                high[k] = _mm512_cvtepu8_epi16(_mm512_extracti64x4_epi64(planes[k], 1));
            }
            AdjustHalf(low, saturationTwice);
            AdjustHalf(high, saturationTwice);
            for (int k = 0; k < 3; ++k)
                planes[k] = _mm512_permutex2var_epi8(low[k], lowBytes, high[k]);
        }
        for (int k = 0; k < 3; ++k)
            planes[k] = Lookup(table, planes[k]);
        for (int m = 0; m < 3; ++m) {
            const __m512i firstTwo =
                _mm512_permutex2var_epi8(planes[0], Load(kShuffles.MergeTwo[m]), planes[1]);
            const __m512i merged = _mm512_mask_permutexvar_epi8(
                firstTwo, kShuffles.MergeMask[m], Load(kShuffles.MergeLast[m]), planes[2]);
            _mm512_storeu_si512(row + 64 * m, merged);
        }
    }
    if (x < width)
        ColorRowPortable(row, width - x, pass);
}

TOVIK_TARGET void LevelBytesAvx512(uint8_t* bytes, int count, const uint8_t table[256]) {
    const TTable loaded = LoadTable(table);
    int i = 0;
    for (; i + 64 <= count; i += 64)
        _mm512_storeu_si512(bytes + i, Lookup(loaded, _mm512_loadu_si512(bytes + i)));
    LevelBytesPortable(bytes + i, count - i, table);
}

} // namespace

void ColorRowVector(uint8_t* row, int width, const TColorPass& pass) {
    if (HasAvx512BytePermutes() && VectorSaturation(pass.Saturation))
        ColorRowAvx512(row, width, pass);
    else
        ColorRowPortable(row, width, pass);
}

void LevelBytesVector(uint8_t* bytes, int count, const uint8_t table[256]) {
    if (HasAvx512BytePermutes())
        LevelBytesAvx512(bytes, count, table);
    else
        LevelBytesPortable(bytes, count, table);
}

#else

void ColorRowVector(uint8_t* row, int width, const TColorPass& pass) {
    ColorRowPortable(row, width, pass);
}

void LevelBytesVector(uint8_t* bytes, int count, const uint8_t table[256]) {
    LevelBytesPortable(bytes, count, table);
}

#endif

} // namespace tovik::kernels
