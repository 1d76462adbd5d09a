#include "workspace/core/JobList.h"

#include <algorithm>

namespace tovik {

int TJobList::IndexOf(const std::string& sourceFile) const {
    for (int index = 0; index < Count(); ++index)
        if (Job(index).SourceFile == sourceFile)
            return index;
    return -1;
}

int TJobList::Append(TJobRow row) {
    rows_.push_back(std::make_unique<TJobRow>(std::move(row)));
    const int index = Count() - 1;
    for (TJobListObserver* observer : observers_)
        observer->JobInserted(index);
    return index;
}

void TJobList::Remove(int index) {
    if (!Valid(index))
        return;
    rows_.erase(rows_.begin() + index);
    for (TJobListObserver* observer : observers_)
        observer->JobRemoved(index);
}

void TJobList::Clear() {
    if (rows_.empty())
        return;
    rows_.clear();
    for (TJobListObserver* observer : observers_)
        observer->JobsCleared();
}

void TJobList::Move(int from, int to) {
    if (!Valid(from) || !Valid(to) || from == to)
        return;
    std::unique_ptr<TJobRow> row = std::move(rows_[static_cast<size_t>(from)]);
    rows_.erase(rows_.begin() + from);
    rows_.insert(rows_.begin() + to, std::move(row));
    for (TJobListObserver* observer : observers_)
        observer->JobMoved(from, to);
}

void TJobList::SetChecked(int index, bool checked) {
    if (!Valid(index) || rows_[static_cast<size_t>(index)]->Checked == checked)
        return;
    rows_[static_cast<size_t>(index)]->Checked = checked;
    Changed(index);
}

int TJobList::CheckedCount() const {
    return static_cast<int>(
        std::count_if(rows_.begin(), rows_.end(), [](const auto& row) { return row->Checked; }));
}

void TJobList::SetDestination(int index, const std::string& destination) {
    if (!Valid(index) || rows_[static_cast<size_t>(index)]->Destination == destination)
        return;
    rows_[static_cast<size_t>(index)]->Destination = destination;
    Changed(index);
}

void TJobList::SetProgress(int index, const std::string& progress, const std::string& note) {
    if (!Valid(index))
        return;
    TJobRow& row = *rows_[static_cast<size_t>(index)];
    if (row.Progress == progress && row.ProgressNote == note)
        return;
    row.Progress = progress;
    row.ProgressNote = note;
    Changed(index);
}

void TJobList::AddObserver(TJobListObserver* observer) {
    if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
        observers_.push_back(observer);
}

void TJobList::RemoveObserver(TJobListObserver* observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void TJobList::Changed(int index) {
    for (TJobListObserver* observer : observers_)
        observer->JobChanged(index);
}

int64_t SourceSeconds(const TJobRow& row) {
    return row.Duration > 0 ? row.Duration / 1000000 : 0;
}

int64_t TrimmedSeconds(const TJobRow& row) {
    return ConvertedLength(row) / 1000000;
}

int64_t ConvertedLength(const TJobRow& row) {
    if (row.Job.TrimLength > 0)
        return row.Job.TrimLength;
    // A start without a length converts the rest of the file.
    const int64_t start = std::max<int64_t>(row.Job.TrimStart, 0);
    return row.Duration > start ? row.Duration - start : 0;
}

} // namespace tovik
