// The end of each task and of the whole run: what became of every file (the Progress
// column, the run's summary in the activity log, a desktop notice when nobody watches) and
// the source's date on the output when that is asked for.

#include "app/Desktop.h"
#include "app/ErrorHandler.h"
#include "app/MainWindow.h"
#include "dialogs/activitylog/ActivityLogDialog.h"
#include "platform/FileSystem.h"
#include "settings/GlobalObject.h"
#include "settings/IniFile.h"
#include "settings/SettingsKeys.h"

namespace tovik {

namespace {
QString Text(const std::string& text) {
    return QString::fromStdString(text);
}
} // namespace

void TfrmMain::TaskEnded(const TTerminateInfo& info) {
    const auto index = static_cast<size_t>(info.TaskIndex);
    if (index >= RowOfTask_.size() || index >= taskResults_.size())
        return;
    runningFiles_.Ended(info.TaskIndex);
    batchLeft_.Ended(info.TaskIndex);
    if (frmProgress && runningFiles_.Several())
        ShowRunningFiles();
    TFileResult& result = taskResults_[index];
    if (info.Finished && !info.Failed) {
        result.Outcome = TFileOutcome::foConverted;
        KeepSourceDate(RowOfTask_[index]);
        TaskFinished(info.TaskIndex);
    } else {
        // The row says what became of it instead of keeping its last percentage.
        result.Outcome = info.Failed ? TFileOutcome::foFailed : TFileOutcome::foCancelled;
        result.Reason = info.Failed ? info.ErrorMessage : std::string();
        if (info.Failed && result.Reason.empty())
            result.Reason = "The conversion failed.";
        jobs_.SetProgress(RowOfTask_[index], OutcomeWord(result.Outcome), result.Reason);
    }
    if (runningFiles_.AllEnded())
        AfterLastTaskEnded();
}

void TfrmMain::KeepSourceDate(int row) {
    if (!global_ || !jobs_.Valid(row) ||
        !Settings().ReadBool(kSettingsSection, kKeepFileDatesKey, false))
        return;
    const TJobRow& job = jobs_.Row(row);
    std::string error;
    if (!platform::CopyModificationTime(job.Job.SourceFile, job.Destination, error))
        AppendLog(Text(error));
}

void TfrmMain::ReportRunEnd() {
    // A task that never reported did not run to its end: its row is cancelled all the same.
    for (size_t task = 0; task < taskResults_.size() && task < RowOfTask_.size(); ++task)
        if (taskResults_[task].Outcome == TFileOutcome::foCancelled)
            jobs_.SetProgress(RowOfTask_[task], OutcomeWord(TFileOutcome::foCancelled));
    TRunSummary summary;
    summary.Files = skippedRows_;
    summary.Files.insert(summary.Files.end(), taskResults_.begin(), taskResults_.end());
    summary.Elapsed = std::chrono::duration_cast<std::chrono::seconds>(Now() - runStart_);
    const std::vector<std::string> lines = summary.Lines();
    for (const std::string& line : lines)
        AppendLog(Text(line));
    if (frmActivityLog)
        frmActivityLog->ShowSummary(lines);
    // Someone who left for another window hears of the end; one who watches sees it.
    if (!services_.Desktop->ProgramActive())
        services_.Desktop->Notify(global_ ? Text(global_->AppName()) : ApplicationTitle(),
                                  Text(summary.NoticeText()));
}

std::chrono::steady_clock::time_point TfrmMain::Now() const {
    return services_.Now ? services_.Now() : std::chrono::steady_clock::now();
}

} // namespace tovik
