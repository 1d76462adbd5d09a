#pragma once
// The program's output formats: three groups of rows, each row named by its format code
// (group number x 100 + row within the group). The code names the "formatInfo" + code
// sections of both INI files.

#include <string>
#include <vector>

namespace tovik {

inline constexpr int kFormatGroupCount = 3;

struct TFormatRow {
    int Group = 0;
    int Row = 0;
    int Code = 0;
    const char* Text = "";
};

int FormatCodeOf(int group, int row);
// Section name of a format code: "formatInfo" + code in decimal.
std::string FormatSection(int code);
// Group row text, or empty for an unknown group.
std::string FormatGroupText(int group);
// Every format row, by group and row number.
const std::vector<TFormatRow>& FormatRows();
// The row of a format code, or nullptr when the code names no format.
const TFormatRow* FindFormatRow(int code);

} // namespace tovik
