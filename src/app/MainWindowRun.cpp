// The conversion run of the main window: "&Start" builds one engine task per checked row,
// the progress window runs them, and the engine's four events come back here.

#include "app/Desktop.h"
#include "app/MainWindow.h"
#include "app/preference/PreferenceValues.h"
#include "settings/GlobalObject.h"
#include "settings/IniFile.h"
#include "settings/SettingsKeys.h"
#include "workspace/core/TaskPreparation.h"
#include "workspace/picture/SnapshotFiles.h"
#include "workspace/run/ProgressWindow.h"

#include <QMetaObject>
#include <QPushButton>
#include <algorithm>
#include <chrono>

namespace tovik {

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}
} // namespace

void TfrmMain::CreateRunButtons(QWidget* parent) {
    // Hidden: they mirror the progress window's buttons for the main window's own use.
    btnStop = new QPushButton(QStringLiteral("Stop"), parent);
    btnStop->setObjectName(QStringLiteral("btnStop"));
    btnPause = new QPushButton(QStringLiteral("Pause"), parent);
    btnPause->setObjectName(QStringLiteral("btnPause"));
    btnResume = new QPushButton(QStringLiteral("Resume"), parent);
    btnResume->setObjectName(QStringLiteral("btnResume"));
    for (QPushButton* button : {btnStop, btnPause, btnResume}) {
        button->setVisible(false);
        button->setEnabled(false);
    }
    connect(btnStop, &QPushButton::clicked, this, &TfrmMain::StopClick);
    connect(btnPause, &QPushButton::clicked, this, &TfrmMain::PauseClick);
    connect(btnResume, &QPushButton::clicked, this, &TfrmMain::ResumeClick);

    if (!services_.CreateEngine)
        return;
    MediaConverter1 = services_.CreateEngine();
    TRunEvents events;
    events.Progress = [this](PProgressInfo info) { MediaConverter1Progress(info); };
    events.PreviewBitmap = [this](const TPreviewInfo& info) { MediaConverter1PreviewBitmap(info); };
    events.CustomHook = [this](PHookInfo info) { MediaConverter1CustomHook(info); };
    events.Terminate = [this](const TTerminateInfo& info) { MediaConverter1Terminate(info); };
    MediaConverter1->SetEvents(std::move(events));
    // Added files are read through probe tasks of the engine component.
    services_.ProbeSource = [this](const std::string& path, int64_t& durationUs) {
        return MediaConverter1->ProbeTask(path, durationUs);
    };
}

void TfrmMain::SetRunCommands(bool running) {
    btnStop->setEnabled(running);
    btnPause->setEnabled(running);
    btnResume->setEnabled(false);
    btnAdd->setEnabled(!running);
    btnStart->setEnabled(!running);
    mnuStart->setEnabled(!running);
    if (running) {
        btnRemove->setEnabled(false);
        btnClear->setEnabled(false);
        BtnEdit->setEnabled(false);
    } else {
        UpdateListButtons();
    }
}

void TfrmMain::StartClick() {
    if (!global_ || !MediaConverter1 || runActive_)
        return;
    // An empty list and a list of unchecked rows ask for different things of the user.
    if (jobs_.Empty()) {
        services_.Desktop->ShowMessage(
            this, QStringLiteral("Warning"),
            QStringLiteral("There are no files to convert. Please add files first."),
            TMessageIcon::miWarning, TMessageButtons::mbOk);
        return;
    }
    std::string error;
    if (!MediaConverter1->LoadLibraries(error)) {
        services_.Desktop->ShowMessage(this, QStringLiteral("Warning"), Text(error),
                                       TMessageIcon::miWarning, TMessageButtons::mbOk);
        return;
    }
    if (const auto priority =
            PriorityOfSetting(Settings().ReadInteger(kSettingsSection, kPriorityKey, 1)))
        MediaConverter1->SetThreadPriority(*priority);

    const int checked = jobs_.CheckedCount();
    if (checked == 0) {
        services_.Desktop->ShowMessage(
            this, QStringLiteral("Warning"),
            QStringLiteral("Please select a file by clicking the check box!"),
            TMessageIcon::miWarning, TMessageButtons::mbOk);
        return;
    }

    StopPreview();
    RowOfTask_.clear();
    RowOfTask_.reserve(static_cast<size_t>(checked));
    runJobs_.clear();
    taskResults_.clear();
    taskLengths_.clear();
    skippedRows_.clear();
    MediaConverter1->ClearTasks();
    try {
        BuildRunTasks();
    } catch (...) {
        // A setting that refuses the whole start: nothing of it is kept.
        MediaConverter1->ClearTasks();
        RowOfTask_.clear();
        runJobs_.clear();
        ShowStoredOutputDirectory();
        ApplicationException(std::current_exception());
        return;
    }
    ShowStoredOutputDirectory();
    if (RowOfTask_.empty()) {
        services_.Desktop->ShowMessage(
            this, QStringLiteral("Warning"),
            QStringLiteral("None of the checked files can be converted."), TMessageIcon::miWarning,
            TMessageButtons::mbOk);
        return;
    }

    if (!frmProgress) {
        TProgressCommands commands;
        commands.StartRun = [this] { RunStarted(); };
        commands.Pause = [this] { MediaConverter1->Pause(); };
        commands.Resume = [this] { MediaConverter1->Resume(); };
        commands.StopRun = [this] { StopEngineFromProgress(); };
        commands.SaveSnapshot = [this](const TBitmap& full, const TBitmap& small) {
            SaveProgressSnapshot(full, small);
        };
        frmProgress = new TfrmProgress(this, std::move(commands), &conversionPreview_);
        themes_.Follow(frmProgress);
        connect(frmProgress, &TfrmProgress::Paused, this, [this] {
            btnPause->setEnabled(false);
            btnResume->setEnabled(true);
        });
        connect(frmProgress, &TfrmProgress::Resumed, this, [this] {
            btnPause->setEnabled(true);
            btnResume->setEnabled(false);
        });
    }
    runActive_ = true;
    endOfRunPending_ = false;
    SetRunCommands(true);
    frmProgress->Execute();
}

void TfrmMain::BuildRunTasks() {
    TBuildContext context;
    context.SettingsFile = global_->SettingsFile();
    context.ProfileFile = global_->ProfileFile();
    context.AskYesNo = [this](const std::string& question) {
        return services_.Desktop->ShowMessage(this, QStringLiteral("Warning"), Text(question),
                                              TMessageIcon::miQuestion,
                                              TMessageButtons::mbYesNo) == TMessageResult::mrYes;
    };
    const TWarningCallback warn = [this](const std::string& message) {
        services_.Desktop->ShowMessage(this, QStringLiteral("Warning"), Text(message),
                                       TMessageIcon::miWarning, TMessageButtons::mbOk);
    };
    // The facts of the last source the probe could read stand in for one it cannot.
    TSourceFacts lastFacts;
    TTakenNames taken;
    for (int row = 0; row < jobs_.Count(); ++row) {
        if (!jobs_.Checked(row))
            continue;
        const TlvFilesRecord& job = jobs_.Job(row);
        const std::string caption = job.SourceFile;

        TProbedSource probed;
        std::string probedName = caption;
        if (MediaConverter1->LoadProbe(caption, probed)) {
            lastFacts = probed.Facts;
            probedName = probed.FileName.empty() ? caption : probed.FileName;
        }
        TPreparedTask prepared;
        try {
            prepared = PrepareConversionTask(job, probedName, lastFacts, context, warn,
                                             std::nullopt, std::nullopt, &taken);
        } catch (...) {
            MediaConverter1->CloseProbe();
            throw;
        }
        // The format's stored zoom mode replaces the one chosen in the crop dialog.
        jobs_.EditJob(row, [&](TlvFilesRecord& edited) { edited.ZoomMode = prepared.ZoomMode; });

        // The list shows the name this run writes.
        jobs_.SetDestination(row, prepared.Output.FileName);

        const int task = MediaConverter1->AddTask(caption, prepared.Input);
        if (task < 0) {
            // The row gets no task; the tasks made so far keep their rows.
            const std::string reason = MediaConverter1->LastError();
            AppendLog(Text(caption) + QStringLiteral(": ") + Text(reason));
            jobs_.SetProgress(row, OutcomeWord(TFileOutcome::foFailed), reason);
            skippedRows_.push_back(TFileResult{caption, TFileOutcome::foFailed, reason});
            MediaConverter1->CloseProbe();
            continue;
        }
        prepared.Output.CustomHook = NeedsFrameHook(jobs_.Job(row).Effects);
        MediaConverter1->SetTaskEffects(task, jobs_.Job(row).Effects);
        if (!MediaConverter1->SetOutputFile(task, prepared.Output.FileName, prepared.Output))
            // The task stays and fails when it starts; the run goes on with the next one.
            AppendLog(Text(prepared.Output.FileName + ": " + MediaConverter1->LastError()));
        RowOfTask_.push_back(row);
        // A task that never reports was not run: cancelled until it says otherwise.
        taskResults_.push_back(TFileResult{caption, TFileOutcome::foCancelled, {}});
        taskLengths_.push_back(ConvertedLength(jobs_.Row(row)));
        jobs_.SetProgress(row, std::string());
        // The worker's hook draws from this copy: the job may not change under it.
        runJobs_.push_back(TRunJob{jobs_.Job(row).Effects, std::make_unique<TPictureCache>()});
        MediaConverter1->CloseProbe();
    }
}

void TfrmMain::RunStarted() {
    const int simultaneous = ReadSimultaneous(Settings());
    std::vector<std::string> captions;
    for (const TFileResult& result : taskResults_)
        captions.push_back(result.SourceFile);
    timeLeft_.Reset();
    runStart_ = Now();
    batchLeft_.Start(taskLengths_, runStart_, simultaneous);
    runningFiles_.Start(std::move(captions), simultaneous);
    frmProgress->ShowSeveralFiles(runningFiles_.Several());
    conversionPreview_.SetSize(0, 0);
    MediaConverter1->StartTask(simultaneous);
    if (OnProgressShown)
        OnProgressShown(*frmProgress);
}

void TfrmMain::StopEngineFromProgress() {
    if (stopping_ || !MediaConverter1)
        return;
    stopping_ = true;
    MediaConverter1->Stop(true);
    stopping_ = false;
    if (endOfRunPending_) {
        endOfRunPending_ = false;
        FinishRun();
    }
}

void TfrmMain::StopClick() {
    for (QWidget* button : {static_cast<QWidget*>(btnStop), static_cast<QWidget*>(btnPause),
                            static_cast<QWidget*>(btnResume), static_cast<QWidget*>(btnRemove),
                            static_cast<QWidget*>(btnClear), static_cast<QWidget*>(btnStart)})
        button->setEnabled(false);
    btnAdd->setEnabled(true);
    StopEngineFromProgress();
}

void TfrmMain::PauseClick() {
    btnPause->setEnabled(false);
    btnResume->setEnabled(true);
    if (frmProgress)
        frmProgress->ShowPaused(true);
    if (MediaConverter1)
        MediaConverter1->Pause();
}

void TfrmMain::ResumeClick() {
    btnPause->setEnabled(true);
    btnResume->setEnabled(false);
    if (frmProgress)
        frmProgress->ShowPaused(false);
    if (MediaConverter1)
        MediaConverter1->Resume();
}

void TfrmMain::MediaConverter1Progress(PProgressInfo info) {
    if (!info || info->TaskIndex < 0 || static_cast<size_t>(info->TaskIndex) >= RowOfTask_.size())
        return;
    const int row = RowOfTask_[static_cast<size_t>(info->TaskIndex)];
    if (!jobs_.Valid(row) || !frmProgress)
        return;
    // Without a known length the row and the bar keep what they show.
    const auto percent = ProgressPercent(info->CurrentTime, info->TotalDuration);
    if (percent)
        jobs_.SetProgress(row, std::to_string(*percent) + "%");
    const auto now = Now();
    runningFiles_.Progress(info->TaskIndex, percent);
    frmProgress->SetTotalLeftText(
        Text(TotalLeftLabel(batchLeft_.Update(info->TaskIndex, info->CurrentTime, now))));
    if (runningFiles_.Several()) {
        ShowRunningFiles();
        return;
    }
    if (percent)
        frmProgress->SetPosition(*percent);
    frmProgress->SetTimeText(Text(SecondsLabel(info->CurrentTime)));
    frmProgress->SetLengthText(Text(SecondsLabel(info->TotalDuration)));
    frmProgress->SetSizeText(Text(SizeLabel(info->TotalSize)));
    frmProgress->SetProgressText(
        Text(TaskNumberLabel(info->TaskIndex, static_cast<int>(RowOfTask_.size()))));
    frmProgress->SetFileText(Text(FileLabel(jobs_.Job(row).SourceFile)));
    frmProgress->SetTimeLeftText(Text(TimeLeftLabel(
        timeLeft_.Update(info->TaskIndex, info->CurrentTime, info->TotalDuration, now))));
}

void TfrmMain::ShowRunningFiles() {
    frmProgress->SetRunningFiles(runningFiles_.Lines());
    if (const auto percent = batchLeft_.Percent())
        frmProgress->SetPosition(*percent);
}

void TfrmMain::MediaConverter1PreviewBitmap(const TPreviewInfo& info) {
    // Several files at once would take turns in one picture: it shows one of them.
    if (!runningFiles_.ShowsPreviewOf(info.TaskIndex))
        return;
    if (info.Bitmap && info.Bitmap->Width() > 0 && info.Bitmap->Height() > 0)
        conversionPreview_.Assign(*info.Bitmap);
}

void TfrmMain::MediaConverter1CustomHook(PHookInfo info) {
    // Worker thread. The component holds the bitmap's canvas lock while this runs; the job
    // copies are not changed during a run. A picture that cannot be read throws: the engine
    // logs it and keeps that frame as decoded.
    if (!info || !info->Bitmap || info->TaskIndex < 0 ||
        static_cast<size_t>(info->TaskIndex) >= runJobs_.size())
        return;
    TRunJob& job = runJobs_[static_cast<size_t>(info->TaskIndex)];
    RenderJobEffects(*info->Bitmap, job.Effects, info->FrameTime, *job.Pictures);
}

void TfrmMain::MediaConverter1Terminate(const TTerminateInfo& info) {
    // A background thread: the window's part runs later on the main thread, unawaited.
    QMetaObject::invokeMethod(
        this,
        [this, info] {
            if (info.TaskIndex < 0) {
                if (stopping_)
                    endOfRunPending_ = true;
                else
                    FinishRun();
            } else {
                TaskEnded(info);
            }
        },
        Qt::QueuedConnection);
}

void TfrmMain::TaskFinished(int taskIndex) {
    if (taskIndex < 0 || static_cast<size_t>(taskIndex) >= RowOfTask_.size())
        return;
    jobs_.SetProgress(RowOfTask_[static_cast<size_t>(taskIndex)], "100%");
    if (!frmProgress)
        return;
    if (!runningFiles_.Several())
        frmProgress->SetPosition(100);
}

void TfrmMain::AfterLastTaskEnded() {
    // The after-conversion actions follow a run that came to its end without a stop and
    // whose last file converted. Engines report the files a stop left unrun at once, so the
    // last report need not be the last file's.
    if (!frmProgress || taskResults_.empty())
        return;
    const bool stopped =
        std::any_of(taskResults_.begin(), taskResults_.end(), [](const TFileResult& result) {
            return result.Outcome == TFileOutcome::foCancelled;
        });
    if (stopped || taskResults_.back().Outcome != TFileOutcome::foConverted)
        return;
    if (frmProgress->OpenFolderChecked())
        OpenClick();
    if (frmProgress->ShutDownChecked() && services_.ShutDown) {
        std::string error;
        if (!services_.ShutDown(error))
            AppendLog(Text("Cannot shut down: " + error));
    }
}

void TfrmMain::FinishRun() {
    ReportRunEnd();
    runActive_ = false;
    SetRunCommands(false);
    if (MediaConverter1)
        MediaConverter1->ClearTasks();
    runJobs_.clear();
    if (frmProgress && frmProgress->isVisible())
        frmProgress->close();
}

void TfrmMain::SaveProgressSnapshot(const TBitmap& full, const TBitmap& small) {
    if (!global_)
        return;
    TSnapshotContext context;
    context.SettingsFile = global_->SettingsFile();
    context.ShowWarning = [this](const std::string& message) {
        services_.Desktop->ShowMessage(this, QStringLiteral("Warning"), Text(message),
                                       TMessageIcon::miWarning, TMessageButtons::mbOk);
    };
    try {
        SaveSnapshot(full, small, context);
    } catch (...) {
        // The files written before the failing one stay.
        ApplicationException(std::current_exception());
    }
}

} // namespace tovik
