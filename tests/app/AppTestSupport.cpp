#include "AppTestSupport.h"

#include "app/ErrorHandler.h"
#include "platform/Environment.h"

#include <QWidget>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace tovik::test {

void EnsureApplication() {
    static int argc = 1;
    static char name[] = "tovik-app-tests";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr) {
        // Lives until the process ends; gtest_main owns no place to free it earlier.
        static TConverterApplication* application = new TConverterApplication(argc, argv);
        application->setQuitOnLastWindowClosed(false);
    }
}

TMessageResult TFakeDesktop::ShowMessage(QWidget* /*parent*/, const QString& caption,
                                         const QString& text, TMessageIcon icon,
                                         TMessageButtons buttons) {
    Messages.push_back({caption, text, icon, buttons});
    return buttons == TMessageButtons::mbOk ? TMessageResult::mrOk : Answer;
}

QStringList TFakeDesktop::ChooseOpenFiles(QWidget* /*parent*/, const QStringList& filters) {
    ++OpenDialogs;
    LastFilters = filters;
    return ChosenFiles;
}

QString TFakeDesktop::ChooseSaveFile(QWidget* /*parent*/, const QString& suggested,
                                     const QString& /*filter*/) {
    SuggestedSaveFile = suggested;
    return SaveFile;
}

bool TFakeDesktop::Notify(const QString& summary, const QString& body) {
    Notices.emplace_back(summary, body);
    return true;
}

bool TFakeDesktop::OpenUrl(const QUrl& url) {
    OpenedUrls.push_back(url);
    return true;
}

int AppendTestRow(TJobList& jobs, const QString& source, int64_t seconds,
                  const QString& destination, const std::string& zoomMode) {
    TJobRow row;
    row.Job.SourceFile = source.toStdString();
    row.Job.ZoomMode = zoomMode;
    row.Duration = seconds * 1000000 + 250000;
    row.Destination = "/out/" + destination.toStdString();
    return jobs.Append(std::move(row));
}

namespace {
void Restore(const char* name, const std::optional<std::string>& value) {
    if (value)
        platform::SetEnv(name, *value);
    else
        ::unsetenv(name);
}
} // namespace

void TAppTest::SetUp() {
    EnsureApplication();
    oldConfig_ = platform::GetEnv("XDG_CONFIG_HOME");
    oldHome_ = platform::GetEnv("HOME");
    oldProfile_ = platform::GetEnv("USERPROFILE");
    oldState_ = platform::GetEnv("XDG_STATE_HOME");
    std::filesystem::create_directories(temp_.Path() / "config");
    std::filesystem::create_directories(temp_.Path() / "home");
    platform::SetEnv("XDG_CONFIG_HOME", (temp_.Path() / "config").string());
    platform::SetEnv("HOME", (temp_.Path() / "home").string());
    ::unsetenv("USERPROFILE");
    platform::SetEnv("XDG_STATE_HOME", (temp_.Path() / "state").string());
}

void TAppTest::TearDown() {
    Restore("XDG_CONFIG_HOME", oldConfig_);
    Restore("HOME", oldHome_);
    Restore("USERPROFILE", oldProfile_);
    Restore("XDG_STATE_HOME", oldState_);
}

TMainWindowServices TAppTest::WindowServices() {
    TMainWindowServices services;
    services.Desktop = &desktop_;
    services.FileSystemTypeOf = [](const std::string&) { return std::string("ext4"); };
    return services;
}

std::unique_ptr<TfrmMain> TAppTest::MakeWindow() {
    auto window = std::make_unique<TfrmMain>(WindowServices());
    window->show();
    return window;
}

std::string TAppTest::SettingsFile() const {
    return (temp_.Path() / "config" / "tovikavimovconverter.ini").string();
}

std::string TAppTest::ReadSettingsText() const {
    std::ifstream file(SettingsFile());
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace tovik::test
