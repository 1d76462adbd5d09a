#pragma once
// The section and key names of the settings file and the format-profile file. These names
// are what users' stored files hold: never rename one.

namespace tovik {

// The settings file's main section.
inline constexpr const char* kSettingsSection = "settings";
inline constexpr const char* kOutputFormatKey = "OutPutFormat"; // index in the format box
inline constexpr const char* kFormatNameKey = "FormatName";
inline constexpr const char* kFormatCodeKey = "FormatCode";
inline constexpr const char* kOutputDirKey = "OutPutDir";
inline constexpr const char* kSnapshotDirKey = "SnapOutPutDir";
inline constexpr const char* kSkinIndexKey = "skinIndex";
inline constexpr const char* kPriorityKey = "priority";
inline constexpr const char* kSnapFullSizeKey = "snapFullSize";
inline constexpr const char* kSnapSmallSizeKey = "snapSmallSize";
inline constexpr const char* kSnapBmpKey = "snapBmp";
inline constexpr const char* kSnapJpgKey = "snapJpg";
inline constexpr const char* kJpgQualityKey = "jpgCmp";
// Whether converted files take the modification date of their source (boolean, default off).
inline constexpr const char* kKeepFileDatesKey = "keepFileDates";
// How many files of a run convert at once (default 1: one after another).
inline constexpr const char* kSimultaneousKey = "simultaneous";
inline constexpr const char* kVolumeKey = "volume";
inline constexpr const char* kMuteKey = "mute";

// The main window's place on the screen at the last granted close: the normal (not
// maximised) geometry of its client area and whether it was maximised.
inline constexpr const char* kMainWindowSection = "mainwindow";
inline constexpr const char* kWindowLeftKey = "left";
inline constexpr const char* kWindowTopKey = "top";
inline constexpr const char* kWindowWidthKey = "width";
inline constexpr const char* kWindowHeightKey = "height";
inline constexpr const char* kWindowMaximizedKey = "maximized";

// Collapsed format groups, one key per group number.
inline constexpr const char* kGroupSection = "lstformat";

// Keys of a format's section ("formatInfo" + code) in the profile file.
inline constexpr const char* kFileExtKey = "FileExt";
inline constexpr const char* kProfileFormatKey = "Format";
// The choice lists of the parameter controls; the same names with "i" before them hold the
// default indexes (the same names as the settings file's index keys below).
inline constexpr const char* kVideoSizeListKey = "VideoSize";
inline constexpr const char* kVideoEncoderListKey = "VideoEncoder";
inline constexpr const char* kVideoBitRateListKey = "VideoBitRate";
inline constexpr const char* kFrameRateListKey = "FrameRate";
inline constexpr const char* kAudioEncoderListKey = "AudioEncoder";
inline constexpr const char* kAudioBitRateListKey = "AudioBitRate";
inline constexpr const char* kSampleRateListKey = "SampleRate";
inline constexpr const char* kChannelListKey = "Channel";
inline constexpr const char* kVolumeListKey = "Volume";

// Keys of a format's section in the settings file (the user's parameters of that format).
inline constexpr const char* kZoomKey = "parazoom";
inline constexpr const char* kVideoEncoderKey = "paraVideoEncoder";
inline constexpr const char* kVideoSizeKey = "paraVideoSize";
inline constexpr const char* kFrameRateKey = "paraFrameRate";
inline constexpr const char* kVideoBitRateKey = "paraVideoBitRate";
inline constexpr const char* kAudioEncoderKey = "paraAudioEncoder";
inline constexpr const char* kAudioBitRateKey = "paraAudioBitRate";
inline constexpr const char* kSampleRateKey = "paraSampleRate";
inline constexpr const char* kChannelKey = "paraChannel";
inline constexpr const char* kVolumeParameterKey = "paraVolume";
inline constexpr const char* kBitExactKey = "paraBitExact";
inline constexpr const char* kCoderKey = "paraCoder";
// The H.264 extras the profile gives and the H264 encoder choice copies.
// Index keys: the chosen row of each parameter's choice list (-1: a typed value).
inline constexpr const char* kVideoSizeIndexKey = "iVideoSize";
inline constexpr const char* kVideoEncoderIndexKey = "iVideoEncoder";
inline constexpr const char* kVideoBitRateIndexKey = "iVideoBitRate";
inline constexpr const char* kFrameRateIndexKey = "iFrameRate";
inline constexpr const char* kAudioEncoderIndexKey = "iAudioEncoder";
inline constexpr const char* kAudioBitRateIndexKey = "iAudioBitRate";
inline constexpr const char* kSampleRateIndexKey = "iSampleRate";
inline constexpr const char* kChannelIndexKey = "iChannel";
inline constexpr const char* kVolumeIndexKey = "iVolume";
// The row text of the format, written by the settings dialog.
inline constexpr const char* kDescriptionKey = "Description";
inline constexpr const char* kH264ExtraKeys[] = {"paraMaxBitrate", "paraBufferSize", "paraLevel",
                                                 "paraQscale", "paraGop"};

} // namespace tovik
