// Files that come from outside the window: a folder dropped on the list, the command line.
#include "AppTestSupport.h"

#include "app/MainWindow.h"
#include "app/StartArguments.h"
#include "workspace/ui/AddFiles.h"
#include "workspace/ui/FileList.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <filesystem>
#include <set>

namespace tovik::test {
namespace {

namespace fs = std::filesystem;

class OpenFilesTest : public TAppTest {
protected:
    void SetUp() override {
        TAppTest::SetUp();
        root_ = temp_.Path() / "media";
        fs::create_directories(root_ / "b-sub" / "deeper");
        fs::create_directories(root_ / ".hidden-folder");
        fs::create_directories(temp_.Path() / "out");
        for (const char* name : {"b-sub/deeper/z.mkv", "b-sub/two.MP4", "a.avi", "notes.txt",
                                 ".hidden.avi", ".hidden-folder/inside.avi", "song.mp3"})
            Make(root_ / name);
        // A link to a folder above would otherwise be walked for ever.
        fs::create_directory_symlink(temp_.Path(), root_ / "b-sub" / "loop");
    }
    QString Make(const fs::path& path) {
        WriteTextFile(path.string(), "not really media");
        return QString::fromStdString(path.string());
    }
    QString Path(const std::string& relative) const {
        return QString::fromStdString((root_ / relative).string());
    }
    std::unique_ptr<TfrmMain> Window() {
        TMainWindowServices services = WindowServices();
        services.LoadEngineLibraries = [] { return true; };
        // Every existing file opens, with a 3 s duration.
        services.ProbeSource = [this](const std::string& path, int64_t& durationUs) {
            probed_.insert(path);
            durationUs = 3'000'000;
            return fs::is_regular_file(path);
        };
        auto window = std::make_unique<TfrmMain>(std::move(services));
        window->show();
        return window;
    }
    static QStringList Sources(const TFileList& list) {
        QStringList sources;
        for (int row = 0; row < list.RowCount(); ++row)
            sources.append(list.Row(row)->text(0));
        return sources;
    }

    fs::path root_;
    std::set<std::string> probed_;
};

TEST_F(OpenFilesTest, AFolderGivesItsMediaFilesSubFoldersIncludedInNameOrder) {
    const QStringList expanded = WithFolderContents({Path("a.avi"), Path(""), Path("notes.txt")});
    EXPECT_EQ(expanded, QStringList({Path("a.avi"), Path("a.avi"), Path("b-sub/deeper/z.mkv"),
                                     Path("b-sub/two.MP4"), Path("song.mp3"), Path("notes.txt")}))
        << expanded.join('\n').toStdString();
    // A folder without media gives nothing; a missing path stays for the add to skip.
    EXPECT_EQ(WithFolderContents({Path("missing")}), QStringList({Path("missing")}));
    fs::create_directories(root_ / "empty");
    EXPECT_TRUE(WithFolderContents({Path("empty")}).isEmpty());
    EXPECT_TRUE(MediaFilePatterns().contains("*.avi"));
    EXPECT_TRUE(MediaFilePatterns().contains("*.flac"));
}

TEST_F(OpenFilesTest, AFolderDroppedOnTheListAddsTheMediaInsideIt) {
    auto window = Window();
    TFileList* list = window->FileList();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(Path("b-sub"))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list->viewport(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list->viewport(), &drop);
    EXPECT_EQ(Sources(*list), QStringList({Path("b-sub/deeper/z.mkv"), Path("b-sub/two.MP4")}));
    // Dropping the parent adds what is new only.
    EXPECT_EQ(window->OpenFiles({Path("")}), 2);
    EXPECT_EQ(list->RowCount(), 4);
    EXPECT_EQ(probed_.count((root_ / "notes.txt").string()), 0u) << "a text file was probed";
}

TEST_F(OpenFilesTest, FilesGivenOnTheCommandLineAppearInTheList) {
    // As main() passes them: made absolute against the working folder first.
    const QStringList given =
        AbsoluteFileNames({"a.avi", "./b-sub/../song.mp3", "file://" + Path("b-sub/two.MP4"),
                           "https://example.org/x.avi", "", "missing.avi"},
                          Path(""));
    EXPECT_EQ(given, QStringList({Path("a.avi"), Path("song.mp3"), Path("b-sub/two.MP4"),
                                  Path("missing.avi")}));
    auto window = Window();
    EXPECT_EQ(window->OpenFiles(given), 3);
    EXPECT_EQ(Sources(*window->FileList()),
              QStringList({Path("a.avi"), Path("song.mp3"), Path("b-sub/two.MP4")}));
}

} // namespace
} // namespace tovik::test
