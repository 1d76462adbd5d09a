#pragma once
// What the preferences dialog shows and stores, without the window: the snapshot folder,
// sizes and formats, the JPEG quality, the work priority of conversions, how many files
// convert at once and whether converted files keep their source's dates.

#include <functional>
#include <string>

namespace tovik {

class TIniFile;

inline constexpr int kJpgQualityMin = 1;
inline constexpr int kJpgQualityMax = 100;
inline constexpr int kDefaultPriority = 1; // "Normal"
inline constexpr int kPriorityCount = 4;   // Idle, Normal, Lower, Lowest

struct TPreferenceValues {
    std::string SnapshotDir;
    bool FullSize = true;
    bool SmallSize = true;
    bool Bmp = true;
    bool Jpg = true;
    int JpgQuality = 30;
    int Priority = kDefaultPriority;
    int Simultaneous = 1; // conversions at once, 1..SimultaneousLimit()
    bool KeepFileDates = false;
};

// The stored preferences. A snapshot folder that cannot be written is replaced by the one in
// the user's own folder, and that is written back. A stored pair with both boxes off shows
// its first box on (one of each pair is always on); a priority outside 0..3 reads as Normal;
// a count of simultaneous conversions outside its range reads as the nearest one in it.
TPreferenceValues ReadPreferences(TIniFile& settings,
                                  const std::function<bool(const std::string&)>& canWriteDir);

// The stored count of simultaneous conversions, held within its range: what a run starts.
int ReadSimultaneous(const TIniFile& settings);

// "&Default": the default folder, full-size BMP snapshots of quality 20, Normal priority, one
// conversion at a time, file dates not kept.
TPreferenceValues DefaultPreferences();

// "&Ok": every value; an empty folder stores the default folder, and a quality outside
// 1..100 keeps the stored one.
void WritePreferences(TIniFile& settings, const TPreferenceValues& values);

} // namespace tovik
