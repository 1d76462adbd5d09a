#include "media/YuvFromBgr.h"

#include "platform/Processor.h"

#include <algorithm>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#if !defined(__clang__)
// GCC 12 reports the deliberately undefined lanes inside its own AVX-512 intrinsics.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#define TOVIK_VECTOR_YUV 1
#endif

namespace tovik {

namespace {

// BT.601 studio-range coefficients scaled by 2^15. Y = 16 + 219/255 * luma; U and V are
// 224/255 of the colour differences around 128. Chroma takes the sum of four pixels, hence
// the two extra bits of shift.
constexpr int kYR = 8414;
constexpr int kYG = 16519;
constexpr int kYB = 3208;
constexpr int kUR = -4857;
constexpr int kUG = -9535;
constexpr int kUB = 14392;
constexpr int kVR = 14392;
constexpr int kVG = -12052;
constexpr int kVB = -2340;
constexpr int kLumaShift = 15;
constexpr int kChromaShift = 17;
constexpr int kLumaOffset = (16 << kLumaShift) + (1 << (kLumaShift - 1));
constexpr int kChromaOffset = (128 << kChromaShift) + (1 << (kChromaShift - 1));

inline uint8_t Luma(const uint8_t* bgr) {
    return static_cast<uint8_t>((kYR * bgr[2] + kYG * bgr[1] + kYB * bgr[0] + kLumaOffset) >>
                                kLumaShift);
}

// Y of count pixels and U, V of (count + 1) / 2 blocks from the two rows (row1 may equal
// row0). A last odd column pairs with itself.
void ConvertPortable(const uint8_t* row0, const uint8_t* row1, int count, uint8_t* y0, uint8_t* y1,
                     uint8_t* u, uint8_t* v, int width) {
    for (int x = 0; x < count; ++x) {
        y0[x] = Luma(row0 + 3 * x);
        if (y1)
            y1[x] = Luma(row1 + 3 * x);
    }
    for (int x = 0; x < count; x += 2) {
        const int right = std::min(x + 1, width - 1) * 3;
        const int left = x * 3;
        int sum[3];
        for (int c = 0; c < 3; ++c)
            sum[c] = row0[left + c] + row0[right + c] + row1[left + c] + row1[right + c];
        u[x / 2] = static_cast<uint8_t>(
            (kUR * sum[2] + kUG * sum[1] + kUB * sum[0] + kChromaOffset) >> kChromaShift);
        v[x / 2] = static_cast<uint8_t>(
            (kVR * sum[2] + kVG * sum[1] + kVB * sum[0] + kChromaOffset) >> kChromaShift);
    }
}

#ifdef TOVIK_VECTOR_YUV

#define TOVIK_TARGET __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi")))

// 16 pixels (48 bytes) spread into 32-bit lanes: R in the low word, G in the high word; and
// B alone. Word pairs then go through the multiply-add instruction.
struct TSpread {
    __m512i RedGreen;
    __m512i Blue;
};

constexpr uint64_t kRedGreenMask = 0x5555555555555555ULL; // bytes 4j and 4j + 2
constexpr uint64_t kBlueMask = 0x1111111111111111ULL;     // bytes 4j
constexpr uint64_t kLoadMask = (uint64_t{1} << 48) - 1;

struct TSpreadIndex {
    uint8_t RedGreen[64] = {};
    uint8_t Blue[64] = {};
    constexpr TSpreadIndex() {
        for (int j = 0; j < 16; ++j) {
            RedGreen[4 * j] = static_cast<uint8_t>(3 * j + 2);
            RedGreen[4 * j + 2] = static_cast<uint8_t>(3 * j + 1);
            Blue[4 * j] = static_cast<uint8_t>(3 * j);
        }
    }
};
constexpr TSpreadIndex kSpreadIndex;

TOVIK_TARGET inline TSpread Spread(const uint8_t* bgr, __m512i redGreenIndex, __m512i blueIndex) {
    const __m512i bytes = _mm512_maskz_loadu_epi8(kLoadMask, bgr);
    return {_mm512_maskz_permutexvar_epi8(kRedGreenMask, redGreenIndex, bytes),
            _mm512_maskz_permutexvar_epi8(kBlueMask, blueIndex, bytes)};
}

TOVIK_TARGET inline __m512i Pair(int low, int high) {
    return _mm512_set1_epi32(
        static_cast<int>((static_cast<uint32_t>(high) << 16) | static_cast<uint16_t>(low)));
}

TOVIK_TARGET inline __m128i LumaOf(const TSpread& pixels) {
    const __m512i sum = _mm512_add_epi32(_mm512_madd_epi16(pixels.RedGreen, Pair(kYR, kYG)),
                                         _mm512_madd_epi16(pixels.Blue, Pair(kYB, 0)));
    return _mm512_cvtepi32_epi8(
        _mm512_srai_epi32(_mm512_add_epi32(sum, _mm512_set1_epi32(kLumaOffset)), kLumaShift));
}

// 8 chroma bytes from block sums held in the even 32-bit lanes.
TOVIK_TARGET inline __m128i ChromaOf(__m512i redGreen, __m512i blue, int r, int g, int b) {
    const __m512i sum = _mm512_add_epi32(_mm512_madd_epi16(redGreen, Pair(r, g)),
                                         _mm512_madd_epi16(blue, Pair(b, 0)));
    const __m512i shifted =
        _mm512_srai_epi32(_mm512_add_epi32(sum, _mm512_set1_epi32(kChromaOffset)), kChromaShift);
    return _mm256_cvtepi32_epi8(_mm512_cvtepi64_epi32(shifted));
}

TOVIK_TARGET void ConvertRowPairAvx512(const uint8_t* row0, const uint8_t* row1, int width,
                                       uint8_t* y0, uint8_t* y1, uint8_t* u, uint8_t* v) {
    const __m512i redGreenIndex = _mm512_loadu_si512(kSpreadIndex.RedGreen);
    const __m512i blueIndex = _mm512_loadu_si512(kSpreadIndex.Blue);
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        const TSpread top = Spread(row0 + 3 * x, redGreenIndex, blueIndex);
        const TSpread bottom = Spread(row1 + 3 * x, redGreenIndex, blueIndex);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(y0 + x), LumaOf(top));
        if (y1)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(y1 + x), LumaOf(bottom));
        // Sums of each 2x2 block: the rows, then each lane with its right neighbour. Sums
        // stay below 1021, so the red and green words never carry into each other.
        __m512i redGreen = _mm512_add_epi32(top.RedGreen, bottom.RedGreen);
        __m512i blue = _mm512_add_epi32(top.Blue, bottom.Blue);
        redGreen = _mm512_add_epi32(redGreen, _mm512_srli_epi64(redGreen, 32));
        blue = _mm512_add_epi32(blue, _mm512_srli_epi64(blue, 32));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(u + x / 2),
                         ChromaOf(redGreen, blue, kUR, kUG, kUB));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(v + x / 2),
                         ChromaOf(redGreen, blue, kVR, kVG, kVB));
    }
    if (x < width)
        ConvertPortable(row0 + 3 * x, row1 + 3 * x, width - x, y0 + x, y1 ? y1 + x : nullptr,
                        u + x / 2, v + x / 2, width - x);
}

#endif

} // namespace

void BgrRowsToYuv420p(const TBitmap& bitmap, int firstRow, int rowCount, uint8_t* const planes[],
                      const int lineSizes[], bool allowVector) {
    const int width = bitmap.Width();
    const int end = std::min(bitmap.Height(), firstRow + rowCount);
    [[maybe_unused]] const bool vector = allowVector && HasAvx512BytePermutes();
    for (int y = std::max(0, firstRow); y < end; y += 2) {
        const bool paired = y + 1 < end;
        const uint8_t* row0 = bitmap.ScanLine(y);
        const uint8_t* row1 = paired ? bitmap.ScanLine(y + 1) : row0;
        uint8_t* y0 = planes[0] + static_cast<ptrdiff_t>(y) * lineSizes[0];
        uint8_t* y1 = paired ? y0 + lineSizes[0] : nullptr;
        uint8_t* u = planes[1] + static_cast<ptrdiff_t>(y / 2) * lineSizes[1];
        uint8_t* v = planes[2] + static_cast<ptrdiff_t>(y / 2) * lineSizes[2];
#ifdef TOVIK_VECTOR_YUV
        if (vector) {
            ConvertRowPairAvx512(row0, row1, width, y0, y1, u, v);
            continue;
        }
#endif
        ConvertPortable(row0, row1, width, y0, y1, u, v, width);
    }
}

} // namespace tovik
