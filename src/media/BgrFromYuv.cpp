#include "media/BgrFromYuv.h"

#include "platform/Processor.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#if !defined(__clang__)
// GCC 12 reports the deliberately undefined lanes inside its own AVX-512 intrinsics.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#define TOVIK_VECTOR_BGR 1
#endif

namespace tovik {

namespace {

// Coefficients scaled by 2^13: 255/219 for luma, then the colour differences of BT.601.
constexpr int kScaleBits = 13;
constexpr int kY = 9539;
constexpr int kRV = 13075;
constexpr int kGU = -3209;
constexpr int kGV = -6660;
constexpr int kBU = 16525;
constexpr int kRound = 1 << (kScaleBits - 1);

inline uint8_t Clamp(int value) {
    return static_cast<uint8_t>(std::clamp(value >> kScaleBits, 0, 255));
}

void ConvertRowPortable(const uint8_t* luma, const uint8_t* u, const uint8_t* v, int count,
                        uint8_t* out) {
    for (int x = 0; x < count; ++x, out += 3) {
        const int y = (luma[x] - 16) * kY + kRound;
        const int cu = u[x / 2] - 128;
        const int cv = v[x / 2] - 128;
        out[0] = Clamp(y + kBU * cu);
        out[1] = Clamp(y + kGU * cu + kGV * cv);
        out[2] = Clamp(y + kRV * cv);
    }
}

#ifdef TOVIK_VECTOR_BGR

#define TOVIK_TARGET __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi")))

struct TIndexes {
    uint8_t Chroma[64] = {};     // lane j: U of pixel j in the low word, V in the high word
    uint8_t Interleave[64] = {}; // B, G and R blocks of 16 bytes into BGR triples
    constexpr TIndexes() {
        for (int j = 0; j < 16; ++j) {
            Chroma[4 * j] = static_cast<uint8_t>(j / 2);
            Chroma[4 * j + 2] = static_cast<uint8_t>(8 + j / 2);
            for (int c = 0; c < 3; ++c)
                Interleave[3 * j + c] = static_cast<uint8_t>(4 * j + c);
        }
    }
};
constexpr TIndexes kIndexes;
constexpr uint64_t kChromaMask = 0x5555555555555555ULL; // bytes 4j and 4j + 2
constexpr uint64_t kStoreMask = (uint64_t{1} << 48) - 1;

TOVIK_TARGET inline __m512i Pair(int low, int high) {
    return _mm512_set1_epi32(
        static_cast<int>((static_cast<uint32_t>(high) << 16) | static_cast<uint16_t>(low)));
}

// One channel of 16 pixels, clamped to 0..255, in the low byte of each 32-bit lane.
TOVIK_TARGET inline __m512i Channel(__m512i luma, __m512i chroma) {
    const __m512i value = _mm512_srai_epi32(_mm512_add_epi32(luma, chroma), kScaleBits);
    return _mm512_min_epi32(_mm512_max_epi32(value, _mm512_setzero_si512()),
                            _mm512_set1_epi32(255));
}

TOVIK_TARGET void ConvertRowAvx512(const uint8_t* luma, const uint8_t* u, const uint8_t* v,
                                   int width, uint8_t* out) {
    const __m512i chromaIndex = _mm512_loadu_si512(kIndexes.Chroma);
    const __m512i interleave = _mm512_loadu_si512(kIndexes.Interleave);
    const __m512i lumaScale = _mm512_set1_epi32(kY);
    const __m512i lumaOffset = _mm512_set1_epi32(16);
    const __m512i round = _mm512_set1_epi32(kRound);
    const __m512i chromaOffset = _mm512_set1_epi16(128);
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m512i y = _mm512_add_epi32(
            _mm512_mullo_epi32(_mm512_sub_epi32(_mm512_cvtepu8_epi32(_mm_loadu_si128(
                                                    reinterpret_cast<const __m128i*>(luma + x))),
                                                lumaOffset),
                               lumaScale),
            round);
        const __m128i uv =
            _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(u + x / 2)),
                               _mm_loadl_epi64(reinterpret_cast<const __m128i*>(v + x / 2)));
        const __m512i chroma = _mm512_sub_epi16(
            _mm512_maskz_permutexvar_epi8(kChromaMask, chromaIndex, _mm512_castsi128_si512(uv)),
            chromaOffset);
        const __m512i b = Channel(y, _mm512_madd_epi16(chroma, Pair(kBU, 0)));
        const __m512i g = Channel(y, _mm512_madd_epi16(chroma, Pair(kGU, kGV)));
        const __m512i r = Channel(y, _mm512_madd_epi16(chroma, Pair(0, kRV)));
        // B, G, R and a spare byte per lane, then the spare bytes squeezed out.
        const __m512i lanes =
            _mm512_or_si512(_mm512_or_si512(b, _mm512_slli_epi32(g, 8)), _mm512_slli_epi32(r, 16));
        const __m512i pixels = _mm512_permutexvar_epi8(interleave, lanes);
        _mm512_mask_storeu_epi8(out + 3 * x, kStoreMask, pixels);
    }
    if (x < width)
        ConvertRowPortable(luma + x, u + x / 2, v + x / 2, width - x, out + 3 * x);
}

#endif

// Row y of the picture, pixels first .. first + count - 1 (first even), into out.
void ConvertRow(const uint8_t* const planes[], const int lineSizes[], int y, int first, int count,
                uint8_t* out, bool vector) {
    const uint8_t* luma = planes[0] + static_cast<ptrdiff_t>(y) * lineSizes[0] + first;
    const uint8_t* u = planes[1] + static_cast<ptrdiff_t>(y / 2) * lineSizes[1] + first / 2;
    const uint8_t* v = planes[2] + static_cast<ptrdiff_t>(y / 2) * lineSizes[2] + first / 2;
#ifdef TOVIK_VECTOR_BGR
    if (vector) {
        ConvertRowAvx512(luma, u, v, count, out);
        return;
    }
#endif
    ConvertRowPortable(luma, u, v, count, out);
}

} // namespace

void Yuv420pToBgr(const uint8_t* const planes[], const int lineSizes[], int width, int height,
                  TBitmap& bitmap, bool allowVector) {
    const bool vector = allowVector && HasAvx512BytePermutes();
    for (int y = 0; y < height; ++y)
        ConvertRow(planes, lineSizes, y, 0, width, bitmap.ScanLine(y), vector);
}

bool Yuv420pRowMatches(const uint8_t* const planes[], const int lineSizes[], int width, int y,
                       const uint8_t* bgrRow, bool allowVector) {
    const bool vector = allowVector && HasAvx512BytePermutes();
    // A piece at a time, so a changed row is usually told by its first piece.
    constexpr int kPiece = 64;
    uint8_t piece[kPiece * 3];
    for (int x = 0; x < width; x += kPiece) {
        const int count = std::min(kPiece, width - x);
        ConvertRow(planes, lineSizes, y, x, count, piece, vector);
        if (std::memcmp(piece, bgrRow + 3 * x, static_cast<size_t>(count) * 3) != 0)
            return false;
    }
    return true;
}

} // namespace tovik
