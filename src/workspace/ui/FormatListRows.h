#pragma once
// The rows of the grouped output-format list: one row per group, followed by its format
// rows while the group is expanded. Plain data and rules; the list box draws them.

#include <functional>
#include <string>
#include <vector>

namespace tovik {

struct TItemInfo {
    bool IsItem = false;    // a format row
    bool IsGroup = false;   // a group row
    bool Collapsed = false; // group rows: its format rows are not in the list
    int Code = 0;           // group number for a group row, format code for a format row
};

class TFormatListRows {
public:
    // Whether group g starts collapsed; the list reads [lstformat] "g" (default true).
    using TCollapsedOf = std::function<bool(int group)>;

    // Builds the list from the format table: every group row, and the format rows of the
    // groups that are not collapsed.
    void Build(const TCollapsedOf& collapsedOf);

    int Count() const { return static_cast<int>(rows_.size()); }
    const TItemInfo& Row(int index) const { return rows_.at(static_cast<size_t>(index)); }
    // The text a row shows: the group's or the format's.
    std::string RowText(int index) const;
    // The row whose text equals text with surrounding blanks removed; -1 when none does.
    int FindRow(const std::string& text) const;

    // Expands a collapsed group row or collapses an expanded one; false for other rows.
    bool Toggle(int index);
    // Every group's number and collapsed state, in list order.
    std::vector<std::pair<int, bool>> GroupStates() const;

private:
    std::vector<TItemInfo> rows_;
};

} // namespace tovik
