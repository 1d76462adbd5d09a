#include "workspace/core/FormatTable.h"

namespace tovik {

namespace {
const char* const kGroupTexts[kFormatGroupCount] = {
    "Quick Time Video - MOV", "General Video formates", "General Audio formates"};

// Row texts are the program's own, spelling included: settings files store them.
const char* const kRowTexts[kFormatGroupCount][10] = {
    {"MOV - Quick Time Video (*.mov)"},
    {"MPEG-1 Video (*.mpg)", "MPEG-2 Video (*.mpg)", "MPEG-4 Video (*.mp4)",
     "H.264/MPEG-4 AVC Video (*.mp4)", "AVI Video (*.avi)", "WMV Video (*.wmv)",
     "Divx Video (*.avi)", "Xvid Video (*.avi)", "DV - NTSC -Digital Video Format (*.dv)",
     "DV - PAL -Digital Video Format (*.dv)"},
    {"MP3 MPEG Layer-3 Audio (*.mp3)", "AAC Advenced Audio Codec (*.aac)",
     "M4A MPEG-4 Audio (*.m4a)", "WMA - Windows Meida Audio (*.wma)",
     "WAV - Waveform Audio (*.wav)", "OGG Vorbis Audio Codec (*.ogg)", "AC-3 Audio Codec (*.ac3)"},
};

std::vector<TFormatRow> MakeRows() {
    std::vector<TFormatRow> rows;
    for (int group = 0; group < kFormatGroupCount; ++group)
        for (int row = 0; row < 10 && kRowTexts[group][row]; ++row)
            rows.push_back({group, row, FormatCodeOf(group, row), kRowTexts[group][row]});
    return rows;
}
} // namespace

int FormatCodeOf(int group, int row) {
    return group * 100 + row;
}

std::string FormatSection(int code) {
    return "formatInfo" + std::to_string(code);
}

std::string FormatGroupText(int group) {
    if (group < 0 || group >= kFormatGroupCount)
        return {};
    return kGroupTexts[group];
}

const std::vector<TFormatRow>& FormatRows() {
    static const std::vector<TFormatRow> rows = MakeRows();
    return rows;
}

const TFormatRow* FindFormatRow(int code) {
    for (const TFormatRow& row : FormatRows())
        if (row.Code == code)
            return &row;
    return nullptr;
}

} // namespace tovik
