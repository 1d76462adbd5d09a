#pragma once
// The checks of the typed parameter values, shared by the main window's parameter controls
// and the settings dialog: which keys a box takes, what leaving a frame-size or rate box
// accepts, the even-size correction and the texts of the messages. Also the zoom mode of a
// zoom box index.

#include <optional>
#include <string>

namespace tovik {

inline constexpr const char* kInputErrorCaption = "Input Error!";
inline constexpr const char* kFrameSizeInvalidText = "Frame Size is not a valid value!";
inline constexpr const char* kVideoBitRateInvalidText = "Video BitRate is not a valid value!";
inline constexpr const char* kAudioBitRateInvalidText = "Audio BitRate is not a valid value!";
inline constexpr const char* kSampleRateInvalidText = "Audio SampleRate is not a valid value!";
inline constexpr const char* kEnterNumericalText = "Please enter numerical.";

enum class TFrameSizeCheck {
    fsAccepted,  // "as source", or an even width and height
    fsInvalid,   // not width "x" height with integer parts
    fsCorrected, // an odd or zero part: Text holds the corrected size
};

struct TFrameSizeResult {
    TFrameSizeCheck Check = TFrameSizeCheck::fsInvalid;
    std::string Text; // the value to keep (the corrected one for fsCorrected)
};

// Leaving a frame-size box: "as source" in any case is accepted; otherwise width "x" height
// split at the last "x", both integers; odd parts are lowered toward zero to even and 0
// becomes 2.
TFrameSizeResult CheckFrameSize(const std::string& text);
// "Frame Size must be a multiple of 2.\nThe correct value:" + the corrected size.
std::string FrameSizeCorrectionText(const std::string& corrected);

// Whether a frame-size box takes a typed character: an empty box takes anything; otherwise
// digits and backspace, and "x" while the text holds none.
bool FrameSizeKeyAccepted(const std::string& text, char key);
// Whether a bit-rate or sample-rate box takes a typed character: digits and backspace.
bool NumberKeyAccepted(char key);

enum class TRateBox { rbVideoBitRate, rbSampleRate, rbAudioBitRate };
// Leaving a rate box: an integer or "as source"; the audio bit rate also takes a fraction.
bool IsValidRate(TRateBox box, const std::string& text);
// The message for a rejected rate.
const char* RateInvalidText(TRateBox box);

// Zoom box index 0..3 -> "full", "lbox", "pan", "center"; nothing for other indexes.
std::optional<std::string> ZoomValue(int index);
// The stored zoom mode -> its index; -1 for an unknown value.
int ZoomIndex(const std::string& value);

} // namespace tovik
