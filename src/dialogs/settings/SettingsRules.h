#pragma once
// What the settings dialog shows and writes, without the window: the dialog's choices of one
// format (the nine choice lists with their selection or typed text, and the zoom index),
// loaded from the two INI files, reset to the profile's defaults, and written at OK.
// The dialog keeps these in its boxes until OK; nothing here writes before WriteChoices.

#include "workspace/core/ProfileChoices.h"

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tovik {

class TIniFile;

// The dialog's audio encoder table: display text (compared in lower case) -> stored name.
// It knows more names than the main window's and differs in "libamr_nb" and "flac".
std::optional<std::string> DialogAudioEncoderValue(const std::string& shown);

// One choice box: its items (none: disabled), the selected item (-1: none or typed) and the
// text it shows.
struct TChoiceBox {
    std::vector<std::string> Items;
    int Index = -1;
    std::string Text;
    bool Enabled() const { return !Items.empty(); }
    // Selects item index (-1 or out of range: no item and an empty text).
    void Select(int index);
};

inline constexpr size_t kChoiceBoxCount = std::size(kChoiceControls);

struct TSettingsChoices {
    int FormatCode = 1;
    std::string FormatName;
    // Indexed by the position of the control in kChoiceControls.
    std::array<TChoiceBox, kChoiceBoxCount> Boxes;
    int ZoomIndex = 0;

    TChoiceBox& Box(TChoiceControl control);
    const TChoiceBox& Box(TChoiceControl control) const;
};

// Whether a control's box takes typed text (frame size, the bit rates, the sample rate).
bool IsEditableChoice(TChoiceControl control);

// The boxes of format code from the profile's lists and the settings' stored choices: each
// box selects its index key (default 0). With textFallback (the dialog being shown), an
// editable box or the frame rate whose stored index is negative shows its value key instead
// ("paraVideoSize" default "320x240", "paraVideoBitRate" "800", "paraFrameRate" "25",
// "paraSampleRate" "44100", "paraAudioBitRate" "96"). Zoom from "paraZoom" (default "full").
void LoadChoices(const TIniFile& settings, const TIniFile& profile, int formatCode,
                 bool textFallback, TSettingsChoices& choices);

// "&Default": every box selects the profile's default index (default 0); zoom index 0.
void ApplyDefaultChoices(const TIniFile& profile, TSettingsChoices& choices);

// The index written for a box: its selection, or the item equal to its typed text, or -1.
int StoredIndex(const TChoiceBox& box);

// OK: writes into [formatInfo<code>] the description, the index and value keys of every
// enabled box that has a value (values map by the tables; a text not in a table leaves its
// key as it was; "gsm" also stores sample rate 8000 and one channel), the zoom mode and the
// H.264 extras with the encoder shown as H264; then the group states to [lstformat] and the
// format's name and code to [settings].
void WriteChoices(TIniFile& settings, const TIniFile& profile, const TSettingsChoices& choices,
                  const std::vector<std::pair<int, bool>>& groupStates);

} // namespace tovik
