#pragma once
// The parameter choices of a format: the choice lists of the format-profile file, the names
// they show mapped to the names stored for the engine, and the "Default" choices written to
// the settings file without any window (used by the command-line program and the tests; the
// window controls use the same mappings).

#include <optional>
#include <string>
#include <vector>

namespace tovik {

class TIniFile;

// Items of a choice list: split at every "," with no trimming. "null" (and, when
// emptyDisables, an empty text) means the control is disabled: no items.
std::vector<std::string> SplitChoiceList(const std::string& text, bool emptyDisables);

// Shown name -> stored "paraVideoEncoder" / "paraAudioEncoder"; nothing when the shown name
// is not in the table (nothing is written then).
std::optional<std::string> VideoEncoderValue(const std::string& shown);
std::optional<std::string> AudioEncoderValue(const std::string& shown);
// "as source" -> "as source", "mono 1 channel" -> "1", "stereo 2 channels" -> "2" (exact).
std::optional<std::string> ChannelValue(const std::string& shown);
// A percentage item such as "100%" -> "256"; other values give nothing.
std::optional<std::string> VolumeValue(const std::string& shown);

// The parameter controls, in the order the "Default" button runs their handlers.
enum class TChoiceControl {
    ccVideoEncoder,
    ccVideoSize,
    ccFrameRate,
    ccVideoBitRate,
    ccAudioEncoder,
    ccAudioBitRate,
    ccSampleRate,
    ccChannel,
    ccVolume,
};
inline constexpr TChoiceControl kChoiceControls[] = {
    TChoiceControl::ccVideoEncoder, TChoiceControl::ccVideoSize,    TChoiceControl::ccFrameRate,
    TChoiceControl::ccVideoBitRate, TChoiceControl::ccAudioEncoder, TChoiceControl::ccAudioBitRate,
    TChoiceControl::ccSampleRate,   TChoiceControl::ccChannel,      TChoiceControl::ccVolume};

// The profile key of the control's choice list ("VideoEncoder", ...).
const char* ChoiceListKey(TChoiceControl control);
// The index key of the control ("iVideoEncoder", ...): the profile's default index and the
// settings file's chosen index.
const char* ChoiceIndexKey(TChoiceControl control);
// Whether an empty list disables the control ("null" always does): all but the frame size
// and frame rate lists.
bool EmptyListDisables(TChoiceControl control);
// The items of the control's list for format code; none when the control is disabled.
std::vector<std::string> ChoiceItems(const TIniFile& profile, int formatCode,
                                     TChoiceControl control);
// Copies the H.264 extras of section from the profile into the settings file: "paraBitExact"
// when it reads "true" (any case), the integer extras when positive, "paraCoder" when 0 or
// more. Empty and other values are skipped.
void CopyH264Extras(TIniFile& settings, const TIniFile& profile, const std::string& section);
// Number of items of the control's list for format code (0: the control is disabled).
int ChoiceCount(const TIniFile& profile, int formatCode, TChoiceControl control);
// Chooses item index of the control's list and writes it by that control's rule: the index
// key, and the value key when the item maps to a stored value (a frame size is made even;
// the encoder shown as H264 also copies the H.264 extras). False when the list has no such
// item or the item is not a valid value; nothing is written then.
bool ApplyChoice(TIniFile& settings, const TIniFile& profile, int formatCode,
                 TChoiceControl control, int index);

// Writes the profile's default choices of format code into its settings section, as the
// "Default" button does: every enabled control takes the profile's default index and its
// value is written by that control's rule (zoom "full"). Disabled controls write nothing.
void ApplyProfileDefaults(TIniFile& settings, const TIniFile& profile, int formatCode);

} // namespace tovik
