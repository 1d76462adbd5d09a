#pragma once
// Row kernels behind the colour and exposure passes. Each has a portable version and a vector
// version with identical results, which runs on processors with AVX-512 byte permutes (VBMI)
// and falls back to the portable one elsewhere.

#include <cstdint>

namespace tovik::kernels {

// One pass that does the colour adjustment (when Adjust) and then maps every byte through
// Final (the contrast/brightness levels followed by the exposure levels).
struct TColorPass {
    bool Adjust = false;
    int Saturation = 256;
    const int32_t* Weights = nullptr;  // 256 saturation weights
    const int32_t* GrayBase = nullptr; // 768 grey bases, by the sum of a pixel's bytes
    uint8_t Final[256] = {};
};

// width pixels of 3 bytes starting at row.
void ColorRowPortable(uint8_t* row, int width, const TColorPass& pass);
void ColorRowVector(uint8_t* row, int width, const TColorPass& pass);
// Maps count bytes through table.
void LevelBytesPortable(uint8_t* bytes, int count, const uint8_t table[256]);
void LevelBytesVector(uint8_t* bytes, int count, const uint8_t table[256]);

// The vector kernel computes the saturation weight with 16-bit multiplies, which holds for
// saturations in this range; others use the portable kernel.
inline bool VectorSaturation(int saturation) {
    return saturation >= 0 && saturation <= 1024;
}

} // namespace tovik::kernels
