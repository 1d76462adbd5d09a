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
inline constexpr const char* kVolumeKey = "volume";
inline constexpr const char* kMuteKey = "mute";

// Collapsed format groups, one key per group number.
inline constexpr const char* kGroupSection = "lstformat";

// Keys of a format's section ("formatInfo" + code) in the profile file.
inline constexpr const char* kFileExtKey = "FileExt";
inline constexpr const char* kProfileFormatKey = "Format";

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
inline constexpr const char* kH264ExtraKeys[] = {"paraMaxBitrate", "paraBufferSize", "paraLevel",
                                                 "paraQscale", "paraGop"};

} // namespace tovik
