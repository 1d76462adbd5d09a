#pragma once
// The program's main window: its creation and first showing, the menus, the tool button
// row, the colour-theme menu, the close question and the output directory box.

#include "app/ShellRules.h"
#include "app/theme/ThemeManager.h"
#include "effects/OverlayRenderer.h"
#include "media/Bitmap.h"
#include "workspace/core/JobList.h"
#include "workspace/log/ActivityLog.h"
#include "workspace/run/RunEngine.h"
#include "workspace/run/RunSummary.h"
#include "workspace/run/RunTexts.h"
#include "workspace/run/RunningFiles.h"
#include "workspace/ui/AddFiles.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <array>
#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tovik {

class TDesktop;
class TGlobalObject;
class TIniFile;
class TfrmAbout;
class TfrmActivityLog;
class TfmDirectory;
class TFormatListBox;
class TFileList;
class TfrmProgress;
class TfrmFileInfo;
class TfrmPreference;
class TfrmSettings;
class TParameterPanel;
class TfrmTrim;
class TfrmCrop;
class TfrmWaterMark;
class TPreviewPanel;
struct TPreviewHost;

// What the main window asks of the world outside; tests put in their own.
struct TMainWindowServices {
    TDesktop* Desktop = nullptr; // required, not owned
    // Loads the preview player's libraries unless loaded; false with the loader's text.
    std::function<bool(std::string& error)> LoadPlayerLibraries;
    // Loads the libraries that reading source files needs; false stops an add silently.
    std::function<bool()> LoadEngineLibraries;
    // Opens one source and reports its duration (microseconds, negative when unknown); a
    // window with an engine reads sources through the engine's probe tasks instead.
    TProbeSource ProbeSource;
    TFileSystemTypeOf FileSystemTypeOf;
    // The engine component of the conversion run (MediaConverter1); none: Start does nothing.
    std::function<std::unique_ptr<TRunEngine>()> CreateEngine;
    // Switches the computer off after a run; false with a reason. Unset: nothing happens.
    std::function<bool(std::string& error)> ShutDown;
    // The log file the session's log goes to as well; unset or nullptr: none.
    std::function<std::unique_ptr<TRotatingLogFile>(std::string& error)> OpenLogFile;
    // The clock of the run's time-left estimates; unset: the steady clock.
    std::function<std::chrono::steady_clock::time_point()> Now;

    // The real desktop, loader and file systems.
    static TMainWindowServices System(TDesktop& desktop);
};

class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmMain(TMainWindowServices services, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // The application-wide object; nullptr after a granted close.
    const TGlobalObject* GlobalObject() const { return global_.get(); }
    TThemeManager& Themes() { return themes_; }

    // The session's activity log (MainWindowLog.cpp): every line of the libraries, the
    // engine and the run. AppendLog adds one line; LogText is the lines' texts without
    // their times. Tools > "Activity Log" shows it.
    void AppendLog(const QString& line);
    QString LogText() const;
    TActivityLog& ActivityLog() { return *activityLog_; }
    void ActivityLogClick();
    TfrmActivityLog* ActivityLogWindow() const { return frmActivityLog; }

    // The "&Skin" menu: opening it and choosing item index.
    QMenu* SkinMenu() const { return mnuSkin; }
    QAction* SkinItem(int index) const;
    void SkinMenuPopup();
    void SkinItemClick(int index);

    // The close question; true when the close is granted.
    bool CloseQuery();

    // The output directory box.
    QString OutputDirectory() const { return edDirectory->text(); }
    void BrowsClick();
    void OpenClick();

    // Shows what the application-wide handler shows for an error that escaped a handler.
    void ApplicationException(const std::exception_ptr& error);

    // The output format drop-down: the list box, opening it (imgbtn1 and a double click in
    // edt1 also put the stored name into edt1), choosing a format, and the current format.
    TFormatListBox* FormatList() const { return lst1; }
    void OpenFormatList(bool refreshText);
    void ChooseFormat(const QString& text, int code);
    const QString& CurrentFormatName() const { return currentFormatName_; }
    const QString& CurrentFormatCode() const { return currentFormatCode_; }
    QString FormatText() const { return edt1->text(); }

    // The settings dialog: the tool button "&Settings", the button "Settings" and the hidden
    // menu item "Se&ttings" store the format groups, then show it (created on first use).
    void SettingsClick();
    TfrmSettings* SettingsDialog() const { return frmSettings; }
    // Tools > "&Preference" and the list's "Video Infomation" show their dialogs (created on
    // first use); the file information is that of the selected row.
    void PreferenceClick();
    TfrmPreference* PreferenceDialog() const { return frmPreference; }
    void FileInfoClick();
    TfrmFileInfo* FileInfoDialog() const { return frmFileInfo; }
    // The hidden parameter controls of the current format (MainWindowParameters.cpp).
    TParameterPanel* ParameterPanel() const { return pnlParameters; }

    // The jobs of the file list's rows, the list and its commands.
    TJobList& Jobs() { return jobs_; }
    TFileList* FileList() const { return lvFiles; }
    // "&Add": the open dialog, then the chosen files; AddFiles also takes dropped files.
    void AddClick();
    int AddFiles(const QStringList& paths);
    // Files from outside the window: dropped on the list, given on the command line or
    // handed over by a second start. Folders bring in the media files inside them.
    int OpenFiles(const QStringList& paths);
    void RemoveClick();
    void ClearClick();
    // The Edit menu and the list's context menu set their items' enabling as they open.
    void EditMenuPopup();
    void ListMenuPopup();
    QMenu* EditMenu() const { return mnuEdit; }
    QMenu* ListMenu() const { return pmnFiles; }
    // "&Trim" (Edit menu and context menu): the preview stops, then the dialog edits the
    // selected row's job (the first row's when none is selected).
    void TrimClick();
    TfrmTrim* TrimDialog() const { return frmTrim; }
    // "&Crop" (Edit menu and context menu): the preview stops, then a new crop dialog edits
    // the selected row's job (MainWindowCrop.cpp).
    void CropClick();
    TfrmCrop* CropDialog() const { return frmCrop; }
    // "&Video Effect && Water Mark": the preview stops, then a new dialog edits the selected
    // row's effects and layers (MainWindowWaterMark.cpp).
    void WaterMarkClick();
    TfrmWaterMark* WaterMarkDialog() const { return frmWaterMark; }

    // The conversion run: "&Start", the hidden "Stop", "Pause" and "Resume" buttons and the
    // engine's four events.
    void StartClick();
    void StopClick();
    void PauseClick();
    void ResumeClick();
    void MediaConverter1Progress(PProgressInfo info);
    void MediaConverter1PreviewBitmap(const TPreviewInfo& info);
    void MediaConverter1CustomHook(PHookInfo info);
    void MediaConverter1Terminate(const TTerminateInfo& info);
    // The preview panel with the player MediaPlayer.
    TPreviewPanel* PreviewPanel() const { return pnlPreview; }
    // Engine task index -> file-list row of the current run.
    const std::vector<int>& RowOfTask() const { return RowOfTask_; }
    TfrmProgress* ProgressWindow() const { return frmProgress; }
    const TBitmap& ConversionPreview() const { return conversionPreview_; }
    TRunEngine* Engine() const { return MediaConverter1.get(); }
    // Called with the progress window once it is shown (tests drive the run from here).
    std::function<void(TfrmProgress&)> OnProgressShown;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Watches every mouse press of the program: a press outside the drop-down closes it.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateMenus();
    QWidget* CreateToolRow();
    QWidget* CreateOutputBox();
    QToolButton* AddToolButton(QWidget* row, const QString& name, const QString& caption);
    void UpdateToolIcons();
    void FirstShowing();
    void CreateListMenu();
    void UpdateListButtons();
    void ReadOutputDirectories(TIniFile& settings);
    void ShowStoredOutputDirectory();
    void OpenUrl(const std::string& address);
    void ShowAbout();
    void BuildFormatList();
    void PlaceFormatList();
    void StoreFormatGroups();
    bool IsDropDownPart(const QObject* object) const;
    TIniFile Settings() const;
    void CreateRunButtons(QWidget* parent);
    // Connects the commands that open the dialogs (MainWindowDialogs.cpp).
    void WireDialogs();
    void WirePreference(); // MainWindowPreference.cpp
    void WireFileInfo();   // MainWindowFileInfo.cpp
    // The session's log, its file and the log sink (MainWindowLog.cpp).
    void WireActivityLog();
    // The end of a run: the summary into the log, a notice when the program is in the back.
    void ReportRunEnd();
    void TaskEnded(const TTerminateInfo& info);
    // With "Keep the original file dates" on, the row's output takes its source's date.
    void KeepSourceDate(int row);
    std::chrono::steady_clock::time_point Now() const;
    QWidget* CreateParameterPanel(QWidget* parent);
    void ReloadParameters();
    // The editing dialogs' menu items and the dialogs (MainWindowEdit.cpp).
    void AddEditDialogItems(QMenu* menu, std::vector<QAction*>& rowItems);
    int EditedRow();
    void DeleteEditDialogs();
    void AddWaterMarkItem(QMenu* menu, std::vector<QAction*>& rowItems);
    void DeleteWaterMarkDialog();
    // The preview panel and what it asks of the window (MainWindowPreview.cpp).
    TPreviewPanel* CreatePreview(QWidget* parent);
    TPreviewHost PreviewHost();
    void StopPreview();
    // Every row's destination name with the current format's extension.
    void RefreshDestinations();
    void BuildRunTasks();
    void RunStarted();
    void FinishRun();
    void StopEngineFromProgress();
    void TaskFinished(int taskIndex);
    // The open-folder and shut-down boxes' actions, once every task has reported its end.
    void AfterLastTaskEnded();
    // With several files converting at once: their lines and the whole run's bar.
    void ShowRunningFiles();
    void SetRunCommands(bool running);
    void SaveProgressSnapshot(const TBitmap& full, const TBitmap& small);

    TMainWindowServices services_;
    TThemeManager themes_;
    // The rows' jobs; the file list and the preview panel show them and go first.
    TJobList jobs_;
    std::unique_ptr<TGlobalObject> global_;
    bool shownOnce_ = false;
    bool closeGranted_ = false;
    int skinChecked_ = kNoTheme; // the item carrying the check mark

    QMenu* mnuFile = nullptr;
    QMenu* mnuEdit = nullptr;
    QMenu* mnuTools = nullptr;
    QMenu* mnuSkin = nullptr;
    QMenu* mnuHelp = nullptr;
    std::array<QAction*, kThemeCount> skinItems_{};

    QWidget* toolRow_ = nullptr;
    QToolButton* btnAdd = nullptr;
    QToolButton* btnRemove = nullptr;
    QToolButton* btnClear = nullptr;
    QToolButton* BtnEdit = nullptr;
    QToolButton* btnStart = nullptr;
    QToolButton* btnExit = nullptr;
    QToolButton* btnSettings = nullptr;

    TFileList* lvFiles = nullptr;
    TPreviewPanel* pnlPreview = nullptr;
    QMenu* pmnFiles = nullptr;
    // Items that follow the list's rows and selection; the others wait for their dialogs.
    std::vector<QAction*> editRowItems_;
    std::vector<QAction*> listRowItems_;
    QLineEdit* edt1 = nullptr;
    QToolButton* imgbtn1 = nullptr;
    TFormatListBox* lst1 = nullptr;
    QString currentFormatName_;
    QString currentFormatCode_;
    QLineEdit* edDirectory = nullptr;
    QPushButton* btnBrows = nullptr;
    QPushButton* btnOpen = nullptr;
    QComboBox* cbOutputFormat = nullptr;
    // Shared with the log sink's handler, which may still run on a library thread while
    // the window goes.
    std::shared_ptr<TActivityLog> activityLog_;
    TfrmActivityLog* frmActivityLog = nullptr;
    QAction* mnuActivityLog = nullptr;

    TfrmAbout* frmAbout = nullptr;
    TfrmSettings* frmSettings = nullptr;
    TfrmPreference* frmPreference = nullptr;
    TfrmFileInfo* frmFileInfo = nullptr;
    TParameterPanel* pnlParameters = nullptr;
    TfrmTrim* frmTrim = nullptr;
    TfrmCrop* frmCrop = nullptr;
    TfrmWaterMark* frmWaterMark = nullptr;
    QAction* mnuSettings = nullptr;
    QAction* mnuPreference = nullptr;
    QAction* pmnFileInfo = nullptr;
    QPushButton* btnSetting = nullptr;

    // The conversion run. The job copies and RowOfTask_ are built before the run and only
    // read while it lasts (the progress window is modal), so the workers' hooks read them
    // without a lock. Tasks converting at once call the hook from their own threads, each
    // with its own job copy; only the picture caches change, and each locks itself.
    struct TRunJob {
        TJobEffects Effects;
        std::unique_ptr<TPictureCache> Pictures;
    };
    std::unique_ptr<TRunEngine> MediaConverter1;
    std::vector<int> RowOfTask_;
    std::vector<TRunJob> runJobs_;
    TBitmap conversionPreview_; // main thread only
    TTimeLeftEstimate timeLeft_;
    TBatchTimeLeft batchLeft_;
    TRunningFiles runningFiles_;       // main thread only
    std::vector<int64_t> taskLengths_; // microseconds to convert, per task
    // Per task, what became of it (cancelled until it reports), and the rows that got no task.
    std::vector<TFileResult> taskResults_;
    std::vector<TFileResult> skippedRows_;
    std::chrono::steady_clock::time_point runStart_{};
    TfrmProgress* frmProgress = nullptr;
    QPushButton* btnStop = nullptr;
    QPushButton* btnPause = nullptr;
    QPushButton* btnResume = nullptr;
    QAction* mnuStart = nullptr;
    QAction* pmnStart = nullptr;
    bool runActive_ = false;       // from Start until the end-of-run report was handled
    bool stopping_ = false;        // inside the engine's Stop(True)
    bool endOfRunPending_ = false; // the end-of-run report came while stopping
    TfmDirectory* fmDirectory = nullptr;
};

} // namespace tovik
