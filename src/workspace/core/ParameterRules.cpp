#include "workspace/core/ParameterRules.h"

#include "media/TextFormat.h"
#include "settings/NumberText.h"

namespace tovik {

namespace {
constexpr const char* kAsSource = "as source";
constexpr char kBackspace = '\b';

bool IsDigit(char key) {
    return key >= '0' && key <= '9';
}

int EvenTowardZero(int value) {
    const int even = value / 2 * 2;
    return even == 0 ? 2 : even;
}

const char* const kZoomValues[] = {"full", "lbox", "pan", "center"};
} // namespace

TFrameSizeResult CheckFrameSize(const std::string& text) {
    if (LowerText(text).find(kAsSource) != std::string::npos)
        return {TFrameSizeCheck::fsAccepted, text};
    const size_t x = text.rfind('x');
    if (x == std::string::npos)
        return {TFrameSizeCheck::fsInvalid, text};
    const auto width = ParseInteger(std::string_view(text).substr(0, x));
    const auto height = ParseInteger(std::string_view(text).substr(x + 1));
    if (!width || !height)
        return {TFrameSizeCheck::fsInvalid, text};
    if (*width % 2 == 0 && *height % 2 == 0 && *width != 0 && *height != 0)
        return {TFrameSizeCheck::fsAccepted, text};
    return {TFrameSizeCheck::fsCorrected,
            std::to_string(EvenTowardZero(*width)) + "x" + std::to_string(EvenTowardZero(*height))};
}

std::string FrameSizeCorrectionText(const std::string& corrected) {
    return "Frame Size must be a multiple of 2.\nThe correct value:" + corrected;
}

bool FrameSizeKeyAccepted(const std::string& text, char key) {
    if (text.empty() || key == kBackspace || IsDigit(key))
        return true;
    return key == 'x' && text.find('x') == std::string::npos;
}

bool NumberKeyAccepted(char key) {
    return key == kBackspace || IsDigit(key);
}

bool IsValidRate(TRateBox box, const std::string& text) {
    if (text == kAsSource || ParseInteger(text))
        return true;
    return box == TRateBox::rbAudioBitRate && ParseNumber(text).has_value();
}

const char* RateInvalidText(TRateBox box) {
    switch (box) {
    case TRateBox::rbVideoBitRate:
        return kVideoBitRateInvalidText;
    case TRateBox::rbSampleRate:
        return kSampleRateInvalidText;
    case TRateBox::rbAudioBitRate:
        return kAudioBitRateInvalidText;
    }
    return "";
}

std::optional<std::string> ZoomValue(int index) {
    if (index < 0 || index >= static_cast<int>(std::size(kZoomValues)))
        return std::nullopt;
    return std::string(kZoomValues[index]);
}

int ZoomIndex(const std::string& value) {
    for (int index = 0; index < static_cast<int>(std::size(kZoomValues)); ++index)
        if (value == kZoomValues[index])
            return index;
    return -1;
}

} // namespace tovik
