// One window per user: a second start hands its files to the running window.
#include "AppTestSupport.h"

#include "app/MainWindow.h"
#include "app/SingleInstance.h"
#include "workspace/ui/FileList.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QProcess>
#include <QThread>
#include <filesystem>
#include <functional>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace tovik::test {
namespace {

namespace fs = std::filesystem;

// Runs the event loop until condition holds; false when it did not within the time.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 30000) {
    QElapsedTimer waited;
    waited.start();
    while (!condition()) {
        if (waited.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

TEST(FileMessageTest, NamesOfAnyKindComeBackAndOnlyAWholeMessageCounts) {
    const QStringList names = {"/videos/a b.avi", "/videos/line\nbreak.mov",
                               QString::fromUtf8("/vid\xc3\xa9os/\xe2\x82\xac.mp4")};
    const QByteArray message = EncodeFileMessage(names + QStringList{""});
    QStringList files;
    ASSERT_TRUE(DecodeFileMessage(message, files));
    EXPECT_EQ(files, names);
    // Cut anywhere before its end, the message is not whole yet.
    for (qsizetype size = 0; size < message.size(); ++size)
        EXPECT_FALSE(DecodeFileMessage(message.left(size), files)) << size;
    // No files at all is a message too.
    ASSERT_TRUE(DecodeFileMessage(EncodeFileMessage({}), files));
    EXPECT_TRUE(files.isEmpty());
}

TEST(FileMessageTest, RelativeNamesAreDroppedAndNamesAreCleaned) {
    QStringList files;
    ASSERT_TRUE(
        DecodeFileMessage(QByteArray("relative.avi\0/a/./b/../c.avi\0\0trailing", 40), files));
    EXPECT_EQ(files, QStringList({"/a/c.avi"}));
}

class SingleInstanceTest : public TAppTest {
protected:
    void SetUp() override {
        TAppTest::SetUp();
        runtime_ = temp_.Path() / "runtime";
        fs::create_directories(runtime_);
        fs::permissions(runtime_, fs::perms::owner_all);
        media_ = temp_.Path() / "media";
        fs::create_directories(media_ / "folder" / "sub");
        for (const char* name : {"a.avi", "folder/sub/c.mkv", "folder/b.mp4", "folder/x.txt"})
            WriteTextFile((media_ / name).string(), "not really media");
        socket_ = QString::fromStdString((runtime_ / "tovik-converter.socket").string());
    }
    QString Media(const std::string& name) const {
        return QString::fromStdString((media_ / name).string());
    }

    fs::path runtime_;
    fs::path media_;
    QString socket_;
};

TEST_F(SingleInstanceTest, TheSocketIsInTheUsersRuntimeFolder) {
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime_.string()));
    EXPECT_EQ(TSingleInstance::DefaultSocketPath(), socket_);
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString((runtime_ / "missing").string()));
    EXPECT_TRUE(TSingleInstance::DefaultSocketPath().endsWith(
        QStringLiteral("/tovik-converter-%1.socket").arg(::geteuid())));
    qputenv("XDG_RUNTIME_DIR", saved);
}

TEST_F(SingleInstanceTest, ASecondStartOfTheProgramHandsItsFilesToTheRunningWindow) {
    TMainWindowServices services = WindowServices();
    services.LoadEngineLibraries = [] { return true; };
    services.ProbeSource = [](const std::string& path, int64_t& durationUs) {
        durationUs = 1'000'000;
        return fs::is_regular_file(path);
    };
    TfrmMain window(std::move(services));
    window.show();
    TSingleInstance instance(socket_);
    ASSERT_EQ(instance.Start({}), TStartRole::srListening) << instance.ErrorText().toStdString();
    QObject::connect(&instance, &TSingleInstance::FilesArrived, &window,
                     [&window](const QStringList& files) { window.OpenFiles(files); });
    // The socket is the user's alone.
    EXPECT_EQ(fs::status(socket_.toStdString()).permissions() &
                  (fs::perms::group_all | fs::perms::others_all),
              fs::perms::none);

    // The real program, started from the media folder with a relative name and a folder.
    QProcess second;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime_.string()));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    // Should it open a window of its own after all, it ends by itself.
    environment.insert("TOVIK_QUIT_AFTER_MS", "15000");
    second.setProcessEnvironment(environment);
    second.setWorkingDirectory(QString::fromStdString(media_.string()));
    second.setProcessChannelMode(QProcess::ForwardedChannels);
    second.start(TOVIK_CONVERTER_PROGRAM, {"a.avi", Media("folder")});
    ASSERT_TRUE(second.waitForStarted(10000));
    ASSERT_TRUE(WaitUntil([&] { return second.state() == QProcess::NotRunning; }, 60000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    ASSERT_TRUE(WaitUntil([&] { return window.FileList()->RowCount() == 3; }, 10000))
        << window.FileList()->RowCount() << " rows";
    EXPECT_EQ(window.FileList()->Row(0)->text(0), Media("a.avi"));
    EXPECT_EQ(window.FileList()->Row(1)->text(0), Media("folder/b.mp4"));
    EXPECT_EQ(window.FileList()->Row(2)->text(0), Media("folder/sub/c.mkv"));
}

TEST_F(SingleInstanceTest, WhatArrivesIsOnlyTakenWhenWholeAndSmallEnough) {
    TSingleInstance instance(socket_);
    ASSERT_EQ(instance.Start({}), TStartRole::srListening);
    std::vector<QStringList> arrived;
    QObject::connect(&instance, &TSingleInstance::FilesArrived,
                     [&arrived](const QStringList& files) { arrived.push_back(files); });
    const auto send = [&](const QByteArray& bytes) {
        QLocalSocket client;
        client.connectToServer(socket_);
        EXPECT_TRUE(client.waitForConnected(5000));
        client.write(bytes);
        // The server answers a whole message and closes; others it never answers.
        QByteArray answer;
        WaitUntil(
            [&] {
                answer += client.readAll();
                return client.bytesToWrite() == 0 &&
                       (answer.size() >= 3 || client.state() != QLocalSocket::ConnectedState);
            },
            2000);
        return answer;
    };
    // A message cut short, then garbage bigger than a message may be: nothing is taken.
    EXPECT_EQ(send(QByteArray("/a/half.avi\0/a/never", 20)), "");
    EXPECT_EQ(send(QByteArray(TSingleInstance::kMaxMessageBytes + 4096, 'x')), "");
    QCoreApplication::processEvents();
    EXPECT_TRUE(arrived.empty());
    // A whole one: the absolute names are taken, the relative one is not.
    EXPECT_EQ(send(QByteArray("rel.avi\0/a/b.avi\0\0", 19)), "ok\n");
    ASSERT_TRUE(WaitUntil([&] { return !arrived.empty(); }, 5000));
    EXPECT_EQ(arrived.front(), QStringList({"/a/b.avi"}));
}

TEST_F(SingleInstanceTest, ASocketLeftBehindByAWindowThatEndedIsReplaced) {
    // A bound socket nobody listens on, as a killed window leaves it.
    const int stale = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(stale, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = socket_.toStdString();
    ASSERT_LT(path.size(), sizeof address.sun_path);
    std::copy(path.begin(), path.end(), address.sun_path);
    ASSERT_EQ(::bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(stale);
    ASSERT_TRUE(fs::exists(path));

    TSingleInstance instance(socket_);
    EXPECT_FALSE(instance.HandOver({"/a/b.avi"}, 1000));
    EXPECT_EQ(instance.Start({"/a/b.avi"}, 1000), TStartRole::srListening)
        << instance.ErrorText().toStdString();
    EXPECT_TRUE(instance.IsListening());
}

} // namespace
} // namespace tovik::test
