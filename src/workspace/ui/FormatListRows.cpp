#include "workspace/ui/FormatListRows.h"

#include "workspace/core/FormatTable.h"

#include <algorithm>

namespace tovik {

namespace {
std::vector<TItemInfo> FormatRowsOf(int group) {
    std::vector<TItemInfo> rows;
    for (const TFormatRow& format : FormatRows())
        if (format.Group == group)
            rows.push_back({true, false, false, format.Code});
    return rows;
}

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}
} // namespace

void TFormatListRows::Build(const TCollapsedOf& collapsedOf) {
    rows_.clear();
    for (int group = 0; group < kFormatGroupCount; ++group) {
        const bool collapsed = collapsedOf ? collapsedOf(group) : true;
        rows_.push_back({false, true, collapsed, group});
        if (!collapsed) {
            const std::vector<TItemInfo> formats = FormatRowsOf(group);
            rows_.insert(rows_.end(), formats.begin(), formats.end());
        }
    }
}

std::string TFormatListRows::RowText(int index) const {
    const TItemInfo& row = Row(index);
    if (row.IsGroup)
        return FormatGroupText(row.Code);
    const TFormatRow* format = FindFormatRow(row.Code);
    return format ? format->Text : std::string();
}

int TFormatListRows::FindRow(const std::string& text) const {
    const std::string wanted = Trimmed(text);
    for (int index = 0; index < Count(); ++index)
        if (RowText(index) == wanted)
            return index;
    return -1;
}

bool TFormatListRows::Toggle(int index) {
    if (index < 0 || index >= Count() || !Row(index).IsGroup)
        return false;
    TItemInfo& group = rows_[static_cast<size_t>(index)];
    const auto following = rows_.begin() + index + 1;
    if (group.Collapsed) {
        const std::vector<TItemInfo> formats = FormatRowsOf(group.Code);
        group.Collapsed = false;
        rows_.insert(following, formats.begin(), formats.end());
    } else {
        group.Collapsed = true;
        const auto end =
            std::find_if(following, rows_.end(), [](const TItemInfo& row) { return !row.IsItem; });
        rows_.erase(following, end);
    }
    return true;
}

std::vector<std::pair<int, bool>> TFormatListRows::GroupStates() const {
    std::vector<std::pair<int, bool>> states;
    for (const TItemInfo& row : rows_)
        if (row.IsGroup)
            states.emplace_back(row.Code, row.Collapsed);
    return states;
}

} // namespace tovik
