#include "app/MainWindow.h"
#include "settings/SettingsKeys.h"

#include "app/AboutBox.h"
#include "app/Artwork.h"
#include "app/Desktop.h"
#include "app/DirectoryDialog.h"
#include "app/ErrorHandler.h"
#include "app/WindowPlacement.h"
#include "media/FFmpegLoader.h"
#include "media/LibrarySets.h"
#include "media/MediaLogger.h"
#include "media/MediaProbe.h"
#include "platform/FileSystem.h"
#include "settings/GlobalObject.h"
#include "settings/IniFile.h"
#include "workspace/core/FormatProfile.h"
#include "workspace/preview/PreviewPanel.h"
#include "workspace/run/MediaConverterEngine.h"
#include "workspace/run/PowerOff.h"
#include "workspace/run/ProgressWindow.h"
#include "workspace/run/WorkerRunEngine.h"
#include "workspace/ui/FileList.h"
#include "workspace/ui/FormatListBox.h"

#include <QCloseEvent>
#include <QCursor>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <algorithm>

namespace tovik {

namespace {
// What the format box shows before any format was chosen.
constexpr const char* kListFormatName = "Apple iPod Video MPEG-4 Movie (*.mp4)";

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}
} // namespace

TMainWindowServices TMainWindowServices::System(TDesktop& desktop) {
    TMainWindowServices services;
    services.Desktop = &desktop;
    services.LoadPlayerLibraries = [](std::string& error) {
        return PlayerLibrariesLoaded() || tovik::LoadPlayerLibraries(DefaultLibraryFolder(), error);
    };
    services.FileSystemTypeOf = platform::FileSystemTypeOf;
    services.LoadEngineLibraries = [] {
        std::string error;
        return EngineLibrariesLoaded() || tovik::LoadEngineLibraries(DefaultLibraryFolder(), error);
    };
    services.ProbeSource = [](const std::string& path, int64_t& durationUs) {
        // A file the libraries cannot open is skipped, whatever the reason.
        try {
            TMediaProbe probe;
            if (!probe.LoadFile(path))
                return false;
            durationUs = probe.GetFileStreamInfo().Duration;
            return true;
        } catch (const std::exception&) {
            return false;
        }
    };
    services.CreateEngine = []() -> std::unique_ptr<TRunEngine> {
        // Each file converts in a worker process, so that a file that makes a library abort
        // fails alone; without a worker program the files convert in this process.
        const std::string worker = FindWorkerProgram({TOVIK_BUILD_TOOLS_DIR});
        if (!worker.empty())
            return std::make_unique<TWorkerRunEngine>(worker);
        LoggerInstance().Log(nullptr, TLogLevel::llWarning,
                             "No conversion worker found: files are converted in this process");
        return std::make_unique<TMediaConverterEngine>();
    };
    services.ShutDown = [](std::string& error) { return PowerOffComputer(error); };
    services.OpenLogFile = [](std::string& error) { return OpenSessionLogFile(error); };
    return services;
}

TfrmMain::TfrmMain(TMainWindowServices services, QWidget* parent)
    : QMainWindow(parent), services_(std::move(services)) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowIcon(ProgramIcon());

    // The global object and where the two INI files live.
    global_ = std::make_unique<TGlobalObject>();
    global_->SetUpFileLocations();
    if (TConverterApplication* application = TConverterApplication::Instance())
        application->SetTitle(Text(global_->AppName()));
    setWindowTitle(Text(global_->AppName()));

    CreateMenus();
    WireActivityLog();
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 6);
    layout->setSpacing(6);
    layout->addWidget(CreateToolRow());

    auto* body = new QHBoxLayout;
    body->setContentsMargins(8, 0, 8, 0);
    body->setSpacing(8);
    lvFiles = new TFileList(jobs_, central);
    lvFiles->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lvFiles, &TFileList::RowsChanged, this, &TfrmMain::UpdateListButtons);
    connect(lvFiles, &TFileList::FilesDropped, this, &TfrmMain::OpenFiles);
    connect(lvFiles, &QWidget::customContextMenuRequested, this, [this](const QPoint& position) {
        ListMenuPopup();
        pmnFiles->popup(lvFiles->viewport()->mapToGlobal(position));
    });
    body->addWidget(lvFiles, 7);

    // The preview panel: 232 pixels wide at the first size, three tenths of the room in a
    // larger window.
    body->addWidget(CreatePreview(central), 3);
    layout->addLayout(body, 1);
    layout->addWidget(CreateOutputBox());
    layout->addWidget(CreateParameterPanel(central));

    // The drop-down floats over the window, above the format box.
    lst1 = new TFormatListBox(central);
    lst1->hide();
    connect(lst1, &TFormatListBox::FormatChosen, this, &TfrmMain::ChooseFormat);
    // An open list grows and shrinks with its groups, so no row hides behind a scroll bar.
    connect(lst1, &TFormatListBox::RowsToggled, this, [this] {
        if (lst1->isVisible())
            PlaceFormatList();
    });
    qApp->installEventFilter(this);

    cbOutputFormat = new QComboBox(central);
    cbOutputFormat->setObjectName(QStringLiteral("cbOutputFormat"));
    cbOutputFormat->setVisible(false);
    // Keeps [settings] "OutPutFormat" as its index (it has no items of its own).
    connect(cbOutputFormat, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (shownOnce_ && global_)
            Settings().WriteInteger(kSettingsSection, kOutputFormatKey, index);
    });
    CreateRunButtons(central);
    setCentralWidget(central);

    // The stored colour theme; an index outside 0..6 keeps the designed look.
    themes_.Follow(this);
    themes_.ApplyTheme(StartupSkinIndex(Settings()));
    lvFiles->SetRowTint(ListRowTint(themes_.CurrentTheme()));
    connect(&themes_, &TThemeManager::ThemeChanged, this, [this](int index) {
        UpdateToolIcons();
        lvFiles->SetRowTint(ListRowTint(index));
    });
    UpdateToolIcons();

    if (TConverterApplication* application = TConverterApplication::Instance())
        application->SetErrorHandler(
            [this](const std::exception_ptr& error) { ApplicationException(error); });

    WireDialogs();

    std::string error;
    if (services_.LoadPlayerLibraries && !services_.LoadPlayerLibraries(error))
        AppendLog(Text(error));
}

TfrmMain::~TfrmMain() {
    // The component stops and joins its threads while the window still stands; events it
    // still delivers meanwhile find the run state intact.
    MediaConverter1.reset();
    // The views of the jobs go before the jobs; the panel stops its player on the way.
    DeleteEditDialogs();
    delete pnlPreview;
    delete lvFiles;
    if (TConverterApplication* application = TConverterApplication::Instance())
        application->SetErrorHandler(nullptr);
    LoggerInstance().SetOnLog(nullptr);
}

TIniFile TfrmMain::Settings() const {
    return TIniFile(global_ ? global_->SettingsFile() : std::string());
}

void TfrmMain::CreateMenus() {
    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    connect(mnuFile->addAction(QStringLiteral("&Add")), &QAction::triggered, this,
            &TfrmMain::AddClick);
    connect(mnuFile->addAction(QStringLiteral("&Remove")), &QAction::triggered, this,
            &TfrmMain::RemoveClick);
    connect(mnuFile->addAction(QStringLiteral("&Clear")), &QAction::triggered, this,
            &TfrmMain::ClearClick);
    mnuStart = mnuFile->addAction(QStringLiteral("&Start"));
    connect(mnuStart, &QAction::triggered, this, &TfrmMain::StartClick);
    mnuSettings = mnuFile->addAction(QStringLiteral("Se&ttings"));
    mnuSettings->setVisible(false);
    mnuFile->addSeparator();
    connect(mnuFile->addAction(QStringLiteral("&Exit")), &QAction::triggered, this,
            &QWidget::close);

    mnuEdit = menuBar()->addMenu(QStringLiteral("&Edit"));
    mnuEdit->setObjectName(QStringLiteral("mnuEdit"));
    AddEditDialogItems(mnuEdit, editRowItems_);
    mnuEdit->addSeparator();
    const std::pair<const char*, std::function<void()>> checks[] = {
        {"&Check All", [this] { lvFiles->CheckAll(true); }},
        {"&Uncheck All", [this] { lvFiles->CheckAll(false); }},
        {"&Reverse Check", [this] { lvFiles->ReverseCheck(); }},
        {"C&heck", [this] { lvFiles->CheckSelected(true); }},
        {"U&ncheck", [this] { lvFiles->CheckSelected(false); }},
    };
    for (const auto& [caption, command] : checks) {
        QAction* item = mnuEdit->addAction(QString::fromLatin1(caption));
        connect(item, &QAction::triggered, this, command);
        editRowItems_.push_back(item);
    }
    connect(mnuEdit, &QMenu::aboutToShow, this, &TfrmMain::EditMenuPopup);
    CreateListMenu();

    mnuTools = menuBar()->addMenu(QStringLiteral("&Tools"));
    mnuTools->setObjectName(QStringLiteral("mnuTools"));
    mnuPreference = mnuTools->addAction(QStringLiteral("&Preference"));
    mnuSkin = mnuTools->addMenu(QStringLiteral("&Skin"));
    mnuSkin->setObjectName(QStringLiteral("mnuSkin"));
    for (int index = 0; index < kThemeCount; ++index) {
        QAction* item = mnuSkin->addAction(ThemeName(index));
        item->setCheckable(true);
        connect(item, &QAction::triggered, this, [this, index] { SkinItemClick(index); });
        skinItems_[static_cast<size_t>(index)] = item;
    }
    connect(mnuSkin, &QMenu::aboutToShow, this, &TfrmMain::SkinMenuPopup);

    mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    connect(mnuHelp->addAction(QStringLiteral("&Help")), &QAction::triggered, this, [this] {
        if (global_)
            OpenUrl(global_->HelpURL());
    });
    connect(mnuHelp->addAction(QStringLiteral("&Web Site")), &QAction::triggered, this, [this] {
        if (global_)
            OpenUrl(global_->WebSiteURL());
    });
    connect(mnuHelp->addAction(QStringLiteral("&Support and Contact")), &QAction::triggered, this,
            [this] { OpenUrl(kSupportURL); });
    mnuHelp->addSeparator();
    connect(mnuHelp->addAction(QStringLiteral("&About")), &QAction::triggered, this,
            &TfrmMain::ShowAbout);
}

QToolButton* TfrmMain::AddToolButton(QWidget* row, const QString& name, const QString& caption) {
    auto* button = new QToolButton(row);
    button->setObjectName(name);
    button->setText(caption);
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setIconSize(QSize(24, 24));
    button->setMinimumWidth(64);
    button->setAutoRaise(true);
    row->layout()->addWidget(button);
    return button;
}

QWidget* TfrmMain::CreateToolRow() {
    toolRow_ = new QWidget(this);
    toolRow_->setObjectName(QStringLiteral("ToolRow"));
    toolRow_->setAttribute(Qt::WA_StyledBackground);
    auto* row = new QHBoxLayout(toolRow_);
    // The buttons sit 4 pixels below the menu bar.
    row->setContentsMargins(8, 4, 8, 4);
    row->setSpacing(2);
    btnAdd = AddToolButton(toolRow_, QStringLiteral("btnAdd"), QStringLiteral("&Add"));
    btnRemove = AddToolButton(toolRow_, QStringLiteral("btnRemove"), QStringLiteral("&Remove"));
    btnClear = AddToolButton(toolRow_, QStringLiteral("btnClear"), QStringLiteral("&Clear"));
    BtnEdit = AddToolButton(toolRow_, QStringLiteral("BtnEdit"), QStringLiteral("E&dit"));
    btnStart = AddToolButton(toolRow_, QStringLiteral("btnStart"), QStringLiteral("&Start"));
    row->addStretch();
    btnSettings =
        AddToolButton(toolRow_, QStringLiteral("btnSettings"), QStringLiteral("&Settings"));
    btnExit = AddToolButton(toolRow_, QStringLiteral("btnExit"), QStringLiteral("&Exit"));
    // Enabled once the list has rows.
    for (QToolButton* button : {btnRemove, btnClear, BtnEdit})
        button->setEnabled(false);
    connect(btnAdd, &QToolButton::clicked, this, &TfrmMain::AddClick);
    connect(btnStart, &QToolButton::clicked, this, &TfrmMain::StartClick);
    connect(btnExit, &QToolButton::clicked, this, &QWidget::close);
    connect(btnRemove, &QToolButton::clicked, this, &TfrmMain::RemoveClick);
    connect(btnClear, &QToolButton::clicked, this, &TfrmMain::ClearClick);
    // The list's context menu, directly below the button.
    connect(BtnEdit, &QToolButton::clicked, this, [this] {
        ListMenuPopup();
        pmnFiles->popup(BtnEdit->mapToGlobal(QPoint(0, BtnEdit->height())));
    });
    return toolRow_;
}

void TfrmMain::UpdateToolIcons() {
    const QColor glyph(255, 255, 255);
    btnAdd->setIcon(ToolIcon(TToolGlyph::tgAdd, glyph));
    btnRemove->setIcon(ToolIcon(TToolGlyph::tgRemove, glyph));
    btnClear->setIcon(ToolIcon(TToolGlyph::tgClear, glyph));
    BtnEdit->setIcon(ToolIcon(TToolGlyph::tgEdit, glyph));
    btnStart->setIcon(ToolIcon(TToolGlyph::tgStart, glyph));
    btnSettings->setIcon(ToolIcon(TToolGlyph::tgSettings, glyph));
    btnExit->setIcon(ToolIcon(TToolGlyph::tgExit, glyph));
}

QWidget* TfrmMain::CreateOutputBox() {
    auto* box = new QWidget(this);
    box->setObjectName(QStringLiteral("pnlOutput"));
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(8, 0, 8, 0);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);

    edt1 = new QLineEdit(box);
    edt1->setObjectName(QStringLiteral("edt1"));
    edt1->setReadOnly(true);
    // Never a text cursor: the box only shows the chosen format.
    edt1->setFocusPolicy(Qt::NoFocus);
    edt1->setCursor(Qt::PointingHandCursor);
    imgbtn1 = new QToolButton(box);
    imgbtn1->setObjectName(QStringLiteral("imgbtn1"));
    imgbtn1->setArrowType(Qt::UpArrow);
    imgbtn1->setAutoRaise(true);
    grid->addWidget(new QLabel(QStringLiteral("Output Format:"), box), 0, 0);
    auto* format = new QHBoxLayout;
    format->setSpacing(0);
    format->addWidget(edt1, 1);
    format->addWidget(imgbtn1);
    grid->addLayout(format, 0, 1, 1, 2);
    btnSetting = new QPushButton(QStringLiteral("Settings"), box);
    btnSetting->setObjectName(QStringLiteral("btnSetting"));
    grid->addWidget(btnSetting, 0, 3);

    edDirectory = new QLineEdit(box);
    edDirectory->setObjectName(QStringLiteral("edDirectory"));
    btnBrows = new QPushButton(QStringLiteral("Brows"), box);
    btnBrows->setObjectName(QStringLiteral("btnBrows"));
    btnOpen = new QPushButton(QStringLiteral("Open"), box);
    btnOpen->setObjectName(QStringLiteral("btnOpen"));
    grid->addWidget(new QLabel(QStringLiteral("Output Directory:"), box), 1, 0);
    grid->addWidget(edDirectory, 1, 1);
    grid->addWidget(btnBrows, 1, 2);
    grid->addWidget(btnOpen, 1, 3);
    grid->setColumnStretch(1, 1);

    connect(edDirectory, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (shownOnce_ && global_)
            Settings().WriteString(kSettingsSection, kOutputDirKey, text.toStdString());
    });
    connect(imgbtn1, &QToolButton::clicked, this, [this] { OpenFormatList(true); });
    connect(btnBrows, &QPushButton::clicked, this, &TfrmMain::BrowsClick);
    connect(btnOpen, &QPushButton::clicked, this, &TfrmMain::OpenClick);
    return box;
}

QAction* TfrmMain::SkinItem(int index) const {
    return IsThemeIndex(index) ? skinItems_[static_cast<size_t>(index)] : nullptr;
}

void TfrmMain::SkinMenuPopup() {
    if (!global_)
        return;
    skinChecked_ = SkinMenuCheckIndex(themes_.CurrentTheme());
    for (int index = 0; index < kThemeCount; ++index)
        SkinItem(index)->setChecked(index == skinChecked_);
}

void TfrmMain::SkinItemClick(int index) {
    if (!IsThemeIndex(index) || !global_)
        return;
    if (index != skinChecked_) {
        hide();
        themes_.ApplyTheme(index);
        skinChecked_ = index;
        show();
        Settings().WriteInteger(kSettingsSection, kSkinIndexKey, index);
    }
    // A checkable item flips its own mark on a click; the mark follows skinChecked_ only.
    for (int item = 0; item < kThemeCount; ++item)
        SkinItem(item)->setChecked(item == skinChecked_);
}

void TfrmMain::showEvent(QShowEvent* event) {
    if (!shownOnce_) {
        FirstShowing();
        shownOnce_ = true;
    }
    QMainWindow::showEvent(event);
}

void TfrmMain::FirstShowing() {
    if (!global_)
        return;
    // The first size; the place and size of the last session, when stored, win over it.
    resize(kFirstWindowSize);
    TIniFile settings = Settings();
    RestoreWindowPlacement(*this, settings);
    ReadOutputDirectories(settings);
    cbOutputFormat->setCurrentIndex(settings.ReadInteger(kSettingsSection, kOutputFormatKey, 0));
    AdoptUsableFormat(settings, TIniFile(global_->ProfileFile()));
    currentFormatName_ =
        Text(settings.ReadString(kSettingsSection, kFormatNameKey, "iPod Video MPEG-4"));
    currentFormatCode_ = Text(settings.ReadString(kSettingsSection, kFormatCodeKey, "1"));
    lvFiles->SetUpColumns();
    pnlPreview->ReadSettings();
    global_->SetVersionText(TGlobalObject::FileVersionText());
    setWindowTitle(Text(MainCaption(global_->AppName(), global_->VersionText())));
    BuildFormatList();
}

void TfrmMain::BuildFormatList() {
    lst1->hide();
    const TIniFile settings = Settings();
    lst1->Build([&settings](int group) {
        return settings.ReadBool(kGroupSection, std::to_string(group), true);
    });
    edt1->setText(Text(settings.ReadString(kSettingsSection, kFormatNameKey, kListFormatName)));
    lst1->SelectText(edt1->text());
}

void TfrmMain::PlaceFormatList() {
    // Opens upward from the format box, as wide as the box with its button.
    const int height = std::min(lst1->count() * TFormatListBox::kRowHeight + 20, 358);
    const QPoint boxTop = edt1->mapTo(centralWidget(), QPoint(0, 0));
    const int width = imgbtn1->mapTo(centralWidget(), QPoint(imgbtn1->width(), 0)).x() - boxTop.x();
    lst1->setGeometry(boxTop.x(), std::max(0, boxTop.y() - height), width, height);
    lst1->raise();
}

void TfrmMain::OpenFormatList(bool refreshText) {
    if (lst1->isVisible()) {
        lst1->hide();
        return;
    }
    if (!global_)
        return;
    const QString stored =
        Text(Settings().ReadString(kSettingsSection, kFormatNameKey, kListFormatName));
    if (refreshText)
        edt1->setText(stored);
    lst1->SelectText(stored);
    PlaceFormatList();
    lst1->show();
    lst1->setFocus();
}

void TfrmMain::ChooseFormat(const QString& text, int code) {
    if (!global_)
        return;
    TIniFile settings = Settings();
    settings.WriteString(kSettingsSection, kFormatNameKey, text.toStdString());
    settings.WriteString(kSettingsSection, kFormatCodeKey, std::to_string(code));
    currentFormatName_ = text;
    currentFormatCode_ = QString::number(code);
    edt1->setText(text);
    lst1->hide();
    RefreshDestinations();
}

void TfrmMain::StoreFormatGroups() {
    TIniFile settings = Settings();
    for (const auto& [group, collapsed] : lst1->Rows().GroupStates())
        settings.WriteBool(kGroupSection, std::to_string(group), collapsed);
}

bool TfrmMain::IsDropDownPart(const QObject* object) const {
    for (; object; object = object->parent())
        if (object == lst1 || object == imgbtn1 || object == edt1)
            return true;
    return false;
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (watched == edt1 && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            OpenFormatList(false);
            // The pointer goes to the chosen row, ready for the next press.
            if (lst1->isVisible() && lst1->currentItem())
                QCursor::setPos(lst1->viewport()->mapToGlobal(
                    lst1->visualItemRect(lst1->currentItem()).center()));
            return true;
        }
        if (lst1->isVisible() && watched->isWidgetType() && !IsDropDownPart(watched) &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            lst1->hide();
        break;
    case QEvent::MouseButtonDblClick:
        if (watched == edt1) {
            OpenFormatList(true);
            return true;
        }
        break;
    case QEvent::ApplicationDeactivate:
        lst1->hide();
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::ReadOutputDirectories(TIniFile& settings) {
    // A folder that cannot be written is replaced by one in the user's own folder.
    std::string output =
        settings.ReadString(kSettingsSection, kOutputDirKey, DefaultVideoDirectory());
    if (!TGlobalObject::CanWriteDir(output)) {
        output = UserProfileVideoDirectory();
        settings.WriteString(kSettingsSection, kOutputDirKey, output);
    }
    const std::string snapshots =
        settings.ReadString(kSettingsSection, kSnapshotDirKey, DefaultVideoDirectory());
    if (!TGlobalObject::CanWriteDir(snapshots))
        settings.WriteString(kSettingsSection, kSnapshotDirKey, UserProfileVideoDirectory());
    edDirectory->setText(Text(output));
}

void TfrmMain::CreateListMenu() {
    pmnFiles = new QMenu(this);
    pmnFiles->setObjectName(QStringLiteral("pmnFiles"));
    connect(pmnFiles->addAction(QStringLiteral("Add")), &QAction::triggered, this,
            &TfrmMain::AddClick);
    QAction* remove = pmnFiles->addAction(QStringLiteral("Remove"));
    connect(remove, &QAction::triggered, this, &TfrmMain::RemoveClick);
    QAction* clear = pmnFiles->addAction(QStringLiteral("Clear"));
    connect(clear, &QAction::triggered, this, &TfrmMain::ClearClick);
    pmnStart = pmnFiles->addAction(QStringLiteral("Start"));
    connect(pmnStart, &QAction::triggered, this, &TfrmMain::StartClick);
    listRowItems_ = {remove, clear, pmnStart};
    pmnFiles->addSeparator();
    AddEditDialogItems(pmnFiles, listRowItems_);
    pmnFileInfo = pmnFiles->addAction(QStringLiteral("Video Infomation"));
    listRowItems_.push_back(pmnFileInfo);
}

void TfrmMain::EditMenuPopup() {
    const bool enabled = lvFiles->RowCount() > 0 && lvFiles->SelectedRow() >= 0;
    for (QAction* item : editRowItems_)
        item->setEnabled(enabled);
}

void TfrmMain::ListMenuPopup() {
    const bool enabled = lvFiles->RowCount() > 0 && lvFiles->SelectedRow() >= 0;
    for (QAction* item : listRowItems_)
        item->setEnabled(enabled);
}

void TfrmMain::UpdateListButtons() {
    const bool hasRows = lvFiles->RowCount() > 0;
    btnRemove->setEnabled(hasRows);
    btnClear->setEnabled(hasRows);
    BtnEdit->setEnabled(hasRows);
}

void TfrmMain::AddClick() {
    if (!global_ || !services_.LoadEngineLibraries || !services_.LoadEngineLibraries())
        return;
    const QStringList chosen = services_.Desktop->ChooseOpenFiles(this, AddFilesFilters());
    if (!chosen.isEmpty())
        AddFiles(chosen);
}

int TfrmMain::AddFiles(const QStringList& paths) {
    if (!global_)
        return 0;
    TIniFile settings = Settings();
    const TIniFile profile(global_->ProfileFile());
    TAddFilesContext context;
    context.Settings = &settings;
    context.Profile = &profile;
    context.Probe = services_.ProbeSource;
    context.Warn = [this](const std::string& message) {
        services_.Desktop->ShowMessage(this, QStringLiteral("Warning"), Text(message),
                                       TMessageIcon::miWarning, TMessageButtons::mbOk);
    };
    const int added = AddSourceFiles(*lvFiles, paths, context);
    ShowStoredOutputDirectory();
    pnlPreview->FilesAdded();
    return added;
}

void TfrmMain::ShowStoredOutputDirectory() {
    // The output-name rule may have fallen back to the default folder and stored it; the box
    // shows where the files really go.
    const QString stored =
        Text(Settings().ReadString(kSettingsSection, kOutputDirKey, DefaultVideoDirectory()));
    if (stored != edDirectory->text())
        edDirectory->setText(stored);
}

int TfrmMain::OpenFiles(const QStringList& paths) {
    if (!services_.LoadEngineLibraries || !services_.LoadEngineLibraries())
        return 0;
    return AddFiles(WithFolderContents(paths));
}

void TfrmMain::RemoveClick() {
    if (lvFiles->RemoveSelected() && jobs_.Empty())
        StopPreview();
}

void TfrmMain::ClearClick() {
    if (jobs_.Empty())
        return;
    lvFiles->ClearRows();
    StopPreview();
}

void TfrmMain::BrowsClick() {
    if (!global_)
        return;
    if (!fmDirectory) {
        fmDirectory = new TfmDirectory(this, *services_.Desktop, services_.FileSystemTypeOf);
        themes_.Follow(fmDirectory);
    }
    const std::string chosen = fmDirectory->Execute().toStdString();
    std::string used;
    switch (BrowseAction(chosen, edDirectory->text().toStdString(), TGlobalObject::CanWriteDir)) {
    case TBrowseAction::baKeep:
        return;
    case TBrowseAction::baInvalidPath:
        services_.Desktop->ShowMessage(
            this, QStringLiteral("Warning"),
            QStringLiteral("The path %1 is not a valid directory.").arg(Text(chosen)),
            TMessageIcon::miWarning, TMessageButtons::mbOk);
        return;
    case TBrowseAction::baUsePath:
        used = chosen;
        break;
    case TBrowseAction::baNoPermission:
        services_.Desktop->ShowMessage(
            this, QStringLiteral("Warning"),
            QStringLiteral("You login as %1 .You don't have permission to write to directory:%2")
                .arg(Text(TGlobalObject::UserName()).trimmed(), Text(chosen)),
            TMessageIcon::miWarning, TMessageButtons::mbOk);
        used = UserProfileVideoDirectory();
        break;
    }
    Settings().WriteString(kSettingsSection, kOutputDirKey, used);
    edDirectory->setText(Text(used));
}

void TfrmMain::OpenClick() {
    if (!global_ || edDirectory->text().size() <= 2)
        return;
    const std::string directory =
        Settings().ReadString(kSettingsSection, kOutputDirKey, DefaultVideoDirectory());
    services_.Desktop->OpenUrl(QUrl::fromLocalFile(Text(directory)));
}

void TfrmMain::OpenUrl(const std::string& address) {
    // A page that cannot be opened is no error.
    services_.Desktop->OpenUrl(QUrl(Text(address)));
}

void TfrmMain::ShowAbout() {
    if (!global_)
        return;
    if (!frmAbout) {
        frmAbout = new TfrmAbout(this, *global_, *services_.Desktop);
        themes_.Follow(frmAbout);
    }
    frmAbout->exec();
}

void TfrmMain::ApplicationException(const std::exception_ptr& error) {
    const TErrorReport report = ReportOfError(error);
    if (report.Show)
        services_.Desktop->ShowMessage(this, ApplicationTitle(), report.Text, report.Icon,
                                       TMessageButtons::mbOk);
}

bool TfrmMain::CloseQuery() {
    if (closeGranted_)
        return true;
    if (services_.Desktop->ShowMessage(
            this, QStringLiteral("Warning"), QStringLiteral("Do you really want to exit?"),
            TMessageIcon::miQuestion, TMessageButtons::mbYesNo) != TMessageResult::mrYes)
        return false;
    // The engine and the player stop; the global object goes last.
    if (MediaConverter1)
        MediaConverter1->Stop(true);
    StopPreview();
    RowOfTask_.clear();
    StoreFormatGroups();
    TIniFile settings = Settings();
    StoreWindowPlacement(*this, settings);
    if (frmAbout)
        frmAbout->close();
    global_.reset();
    closeGranted_ = true;
    return true;
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    if (CloseQuery())
        event->accept();
    else
        event->ignore();
}

} // namespace tovik
