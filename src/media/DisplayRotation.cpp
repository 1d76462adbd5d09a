#include "media/DisplayRotation.h"

#include "media/LibraryBindings.h"

#include <cmath>
#include <cstdint>

namespace tovik {

namespace {

const int32_t* DisplayMatrix(const AVStream& stream) {
    size_t size = 0;
    const uint8_t* data = ff::av_stream_get_side_data(&stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (!data || size < 9 * sizeof(int32_t))
        return nullptr;
    return reinterpret_cast<const int32_t*>(data);
}

double Theta(const int32_t* matrix) {
    if (!matrix)
        return 0;
    const double angle = ff::av_display_rotation_get(matrix);
    // A damaged matrix (no scale at all) has no angle: such a picture is shown as stored.
    if (!std::isfinite(angle))
        return 0;
    double theta = -std::round(angle);
    theta -= 360 * std::floor(theta / 360 + 0.9 / 360);
    return theta;
}

} // namespace

int DisplayRotation(const AVStream& stream) {
    return static_cast<int>(Theta(DisplayMatrix(stream))) % 360;
}

std::string UprightFilter(const AVStream& stream) {
    const int32_t* matrix = DisplayMatrix(stream);
    if (!matrix)
        return {};
    const double theta = Theta(matrix);
    if (std::fabs(theta - 90) < 1.0)
        return matrix[3] > 0 ? "transpose=cclock_flip" : "transpose=clock";
    if (std::fabs(theta - 180) < 1.0) {
        std::string chain;
        if (matrix[0] < 0)
            chain = "hflip";
        if (matrix[4] < 0)
            chain += chain.empty() ? "vflip" : ",vflip";
        return chain;
    }
    if (std::fabs(theta - 270) < 1.0)
        return matrix[3] < 0 ? "transpose=clock_flip" : "transpose=cclock";
    if (std::fabs(theta) > 1.0)
        return "rotate=" + std::to_string(theta * M_PI / 180);
    return matrix[4] < 0 ? "vflip" : "";
}

bool RotationSwapsSize(const AVStream& stream) {
    const double theta = Theta(DisplayMatrix(stream));
    return std::fabs(theta - 90) < 1.0 || std::fabs(theta - 270) < 1.0;
}

AVRational StoredSampleAspect(const AVStream& stream) {
    return stream.sample_aspect_ratio.num ? stream.sample_aspect_ratio
                                          : stream.codecpar->sample_aspect_ratio;
}

} // namespace tovik
