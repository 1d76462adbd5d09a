#pragma once
// The workspace's jobs: one row per source file, each with its job record, the facts the list
// shows (length, destination, progress) and its check mark. The file list shows it, the
// editing dialogs and the conversion run read and write it; nothing reads a job back from a
// window. No Qt, so the command line and tests use it headless.
//
// Main thread only: the list and its observers are not locked. A conversion run copies what
// its worker threads need before it starts.

#include "workspace/core/FilesRecord.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tovik {

struct TJobRow {
    TlvFilesRecord Job;
    int64_t Duration = 0;     // of the source, microseconds; 0 when the probe gave none
    std::string Destination;  // the output path, unique in the list; Start names it anew
    bool Checked = true;      // checked rows are converted
    std::string Progress;     // "", the run's percentage with "%", "failed" or "cancelled"
    std::string ProgressNote; // why the row failed (the Progress cell's tooltip), else ""
};

// Hears every change of a job list, after it happened.
class TJobListObserver {
public:
    virtual ~TJobListObserver() = default;
    virtual void JobInserted(int index) = 0;
    virtual void JobRemoved(int index) = 0;
    virtual void JobsCleared() = 0;
    // The row's record, facts or check mark changed.
    virtual void JobChanged(int index) = 0;
    // The row at from now stands at to; the rows between moved up or down by one.
    virtual void JobMoved(int from, int to) = 0;
};

class TJobList {
public:
    TJobList() = default;
    TJobList(const TJobList&) = delete;
    TJobList& operator=(const TJobList&) = delete;

    int Count() const { return static_cast<int>(rows_.size()); }
    bool Empty() const { return rows_.empty(); }
    bool Valid(int index) const { return index >= 0 && index < Count(); }
    const TJobRow& Row(int index) const { return *rows_.at(static_cast<size_t>(index)); }
    const TlvFilesRecord& Job(int index) const { return Row(index).Job; }
    // The row whose source is exactly sourceFile (letter case counts), or -1.
    int IndexOf(const std::string& sourceFile) const;

    // Appends a row; returns its index.
    int Append(TJobRow row);
    void Remove(int index);
    void Clear();
    void Move(int from, int to);

    // Edits one row's job record: edit is called with the record, then observers hear of
    // the change. Returns false for an index out of range.
    template <typename Edit> bool EditJob(int index, Edit&& edit) {
        if (!Valid(index))
            return false;
        edit(rows_[static_cast<size_t>(index)]->Job);
        Changed(index);
        return true;
    }
    void SetChecked(int index, bool checked);
    bool Checked(int index) const { return Valid(index) && Row(index).Checked; }
    int CheckedCount() const;
    void SetDestination(int index, const std::string& destination);
    // The Progress cell and its note; a new percentage clears an old note.
    void SetProgress(int index, const std::string& progress, const std::string& note = {});

    // Observers are not owned; remove one before it goes.
    void AddObserver(TJobListObserver* observer);
    void RemoveObserver(TJobListObserver* observer);

private:
    void Changed(int index);

    // Rows by pointer, so a record a dialog holds stays put while rows are added.
    std::vector<std::unique_ptr<TJobRow>> rows_;
    std::vector<TJobListObserver*> observers_;
};

// The whole seconds of the row's source (truncated), and of the part that will be converted:
// the trim length once a trim is set, else the source's.
int64_t SourceSeconds(const TJobRow& row);
int64_t TrimmedSeconds(const TJobRow& row);
// The same length in microseconds, not truncated.
int64_t ConvertedLength(const TJobRow& row);

} // namespace tovik
