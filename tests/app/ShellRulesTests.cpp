#include "AppTestSupport.h"

#include "app/ErrorHandler.h"
#include "app/ShellRules.h"
#include "app/theme/Themes.h"
#include "engine/FFmpegException.h"
#include "settings/GlobalObject.h"
#include "settings/IniFile.h"

#include <QRegularExpression>
#include <filesystem>
#include <stdexcept>

namespace tovik::test {
namespace {

class ShellRulesTest : public TAppTest {};

TEST_F(ShellRulesTest, TheStartThemeIsStoredAndTheMenuMarksTheThemeShown) {
    TIniFile settings(SettingsFile());
    EXPECT_EQ(StartupSkinIndex(settings), 0);
    settings.WriteString("settings", "skinIndex", "not a number");
    EXPECT_EQ(StartupSkinIndex(settings), 0);
    settings.WriteInteger("settings", "SKININDEX", 4);
    EXPECT_EQ(StartupSkinIndex(settings), 4);

    for (int shown = 0; shown < kThemeCount; ++shown)
        EXPECT_EQ(SkinMenuCheckIndex(shown), shown);
    // No theme applied: the windows wear the designed look, theme 0's.
    EXPECT_EQ(SkinMenuCheckIndex(kNoTheme), 0);
    EXPECT_EQ(SkinMenuCheckIndex(kThemeCount), 0);
}

TEST_F(ShellRulesTest, CaptionIsTheNameFollowedDirectlyByTheVersionText) {
    EXPECT_EQ(MainCaption("Tovik AVI to MOV Converter", " 3.600 "),
              "Tovik AVI to MOV Converter 3.600 ");
    EXPECT_EQ(MainCaption("Tovik AVI to MOV Converter", " 10.2157 "),
              "Tovik AVI to MOV Converter 10.2157 ");
    // The compiled-in version follows the same form: blank, major ".", the rest, blank.
    const QString version = QString::fromStdString(TGlobalObject::FileVersionText());
    EXPECT_TRUE(QRegularExpression("^ \\d+\\.\\d{3,} $").match(version).hasMatch())
        << version.toStdString();
}

TEST_F(ShellRulesTest, OpticalDiscsAreTheCdRomDrives) {
    const TFileSystemTypeOf types = [](const std::string& path) -> std::string {
        if (path.starts_with("/media/cdrom"))
            return "iso9660";
        if (path.starts_with("/media/bluray"))
            return "udf";
        return "ext4";
    };
    EXPECT_TRUE(IsOnCdRom("/media/cdrom", types));
    EXPECT_TRUE(IsOnCdRom("/media/cdrom/VIDEO_TS", types));
    EXPECT_TRUE(IsOnCdRom("/media/bluray/BDMV", types));
    EXPECT_FALSE(IsOnCdRom("/home/user/videos", types));
    EXPECT_FALSE(IsOnCdRom("", types));
    // A real folder of this machine is no disc.
    EXPECT_FALSE(IsOnCdRom(temp_.Path().string(), [](const std::string&) { return "tmpfs"; }));
}

TEST_F(ShellRulesTest, BrowseOutcomes) {
    const auto writable = [](const std::string& path) { return TGlobalObject::CanWriteDir(path); };
    const std::string shown = (temp_.Path() / "home").string();
    const std::string other = temp_.Path().string();
    EXPECT_EQ(BrowseAction("", shown, writable), TBrowseAction::baKeep);
    EXPECT_EQ(BrowseAction(shown, shown, writable), TBrowseAction::baKeep);
    EXPECT_EQ(BrowseAction("/", shown, writable), TBrowseAction::baInvalidPath);
    EXPECT_EQ(BrowseAction("/ab", shown, writable), TBrowseAction::baInvalidPath);
    EXPECT_EQ(BrowseAction(other, shown, writable), TBrowseAction::baUsePath);
    EXPECT_EQ(BrowseAction(other + "/missing", shown, writable), TBrowseAction::baNoPermission);
    // Checking writability leaves nothing behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temp_.Path()),
                            std::filesystem::directory_iterator()),
              2);
}

TEST_F(ShellRulesTest, ErrorTextsGetAClosingPeriodOnlyAfterLaterCharacters) {
    EXPECT_EQ(WithClosingPeriod("Cannot open file"), "Cannot open file.");
    EXPECT_EQ(WithClosingPeriod("Done."), "Done.");
    EXPECT_EQ(WithClosingPeriod(""), "");
    // "!", ")" and the blank sort before ".", "/" and letters after it.
    EXPECT_EQ(WithClosingPeriod("Failed!"), "Failed!");
    EXPECT_EQ(WithClosingPeriod("(code 5)"), "(code 5)");
    EXPECT_EQ(WithClosingPeriod("trailing "), "trailing ");
    EXPECT_EQ(WithClosingPeriod("path/"), "path/.");
    EXPECT_EQ(WithClosingPeriod("5"), "5.");
    EXPECT_EQ(WithClosingPeriod(QString::fromUtf8("Datei kaputt: ä")),
              QString::fromUtf8("Datei kaputt: ä."));
}

TEST_F(ShellRulesTest, EngineErrorsAreWarningsAndOthersErrors) {
    const TErrorReport engine =
        ReportOfError(std::make_exception_ptr(FFmpegException("Unknown encoder x")));
    EXPECT_TRUE(engine.Show);
    EXPECT_EQ(engine.Icon, TMessageIcon::miWarning);
    EXPECT_EQ(engine.Text, "Unknown encoder x.");
    // A closing quote sorts before ".": the text stays as it is.
    EXPECT_EQ(ReportOfError(std::make_exception_ptr(FFmpegException("Unknown encoder 'x'"))).Text,
              "Unknown encoder 'x'");

    const TErrorReport plain =
        ReportOfError(std::make_exception_ptr(std::runtime_error("Cannot Open while working.")));
    EXPECT_EQ(plain.Icon, TMessageIcon::miError);
    EXPECT_EQ(plain.Text, "Cannot Open while working.");

    const TErrorReport unknown = ReportOfError(std::make_exception_ptr(42));
    EXPECT_EQ(unknown.Icon, TMessageIcon::miError);
    EXPECT_FALSE(unknown.Text.isEmpty());
}

// An object whose event handler fails, as a window's handler might.
class TThrowingObject : public QObject {
public:
    std::function<void()> Fail;
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User)
            Fail();
        return QObject::event(event);
    }
};

TEST_F(ShellRulesTest, ErrorsEscapingAHandlerReachTheApplicationHandler) {
    TConverterApplication* application = TConverterApplication::Instance();
    ASSERT_NE(application, nullptr);
    std::vector<TErrorReport> reports;
    application->SetErrorHandler(
        [&reports](std::exception_ptr error) { reports.push_back(ReportOfError(error)); });

    TThrowingObject object;
    object.Fail = [] { throw FFmpegException("Invalid data found when processing input"); };
    QEvent first(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&object, &first));
    object.Fail = [] { throw std::logic_error("broken"); };
    QEvent second(QEvent::User);
    QCoreApplication::sendEvent(&object, &second);
    application->SetErrorHandler(nullptr);

    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].Text, "Invalid data found when processing input.");
    EXPECT_EQ(reports[0].Icon, TMessageIcon::miWarning);
    EXPECT_EQ(reports[1].Text, "broken.");
    EXPECT_EQ(reports[1].Icon, TMessageIcon::miError);

    // Without a handler the error is logged and the event loop still goes on.
    QEvent third(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&object, &third));
}

} // namespace
} // namespace tovik::test
