#include "app/CoverWindow.h"
#include "app/Desktop.h"
#include "app/ErrorHandler.h"
#include "app/MainWindow.h"
#include "app/SingleInstance.h"
#include "app/StartArguments.h"
#include "media/MediaKit.h"
#include "platform/Dispatcher.h"
#include "settings/GlobalObject.h"
#include "settings/ProgramFiles.h"

#include <QMetaObject>
#include <QTimer>
#include <cstdio>

int main(int argc, char* argv[]) {
    tovik::TConverterApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tovik Video Converter"));
    QApplication::setApplicationVersion(QStringLiteral(TOVIK_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.tovik.VideoConverter"));
    const QStringList files = tovik::ParseStartArguments(application);

    // A window of this user runs already: it gets the files, this start ends.
    tovik::TSingleInstance instance(tovik::TSingleInstance::DefaultSocketPath());
    if (instance.Start(files) == tovik::TStartRole::srHandedOver)
        return 0;

    // The first start of an installed program gives the settings folder its format profile.
    {
        tovik::TGlobalObject locations;
        locations.SetUpFileLocations();
        std::string error;
        if (!tovik::ProvideProfile(locations.ProfileFile(), tovik::InstalledDataDir(), error))
            std::fprintf(stderr, "tovik-converter: %s\n", error.c_str());
    }

    tovik::TMediaKitScope mediaKit;
    // Calls that media threads hand to the main thread run from Qt's event loop.
    auto& dispatcher = tovik::TDispatcher::Instance();
    dispatcher.SetMainThread(std::this_thread::get_id());
    dispatcher.SetWakeUpHandler([&application] {
        QMetaObject::invokeMethod(
            &application, [] { tovik::TDispatcher::Instance().CheckSynchronize(); },
            Qt::QueuedConnection);
    });
    dispatcher.SetHostEventPump([] { QCoreApplication::processEvents(); });

    // The splash shows and paints before anything slow happens.
    tovik::TfrmCover cover;
    cover.show();
    cover.repaint();
    QCoreApplication::processEvents();
    application.SetTitle(QStringLiteral("Tovik Video Converter"));

    tovik::TQtDesktop desktop;
    tovik::TfrmMain window(tovik::TMainWindowServices::System(desktop));
    cover.SetMainWindow(&window);
    window.show();
    // Later starts hand their files to this window, which comes to the front for them.
    QObject::connect(&instance, &tovik::TSingleInstance::FilesArrived, &window,
                     [&window](const QStringList& arrived) {
                         window.OpenFiles(arrived);
                         window.raise();
                         window.activateWindow();
                     });
    if (!files.isEmpty())
        QTimer::singleShot(0, &window, [&window, files] { window.OpenFiles(files); });
    // For smoke tests: end on its own after the given milliseconds, without the close question.
    if (qEnvironmentVariableIsSet("TOVIK_QUIT_AFTER_MS"))
        QTimer::singleShot(qEnvironmentVariableIntValue("TOVIK_QUIT_AFTER_MS"), &application,
                           [] { QCoreApplication::exit(0); });
    const int result = QApplication::exec();
    dispatcher.SetWakeUpHandler(nullptr);
    dispatcher.SetHostEventPump(nullptr);
    return result;
}
