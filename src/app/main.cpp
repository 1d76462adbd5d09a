#include "app/MainWindow.h"
#include "media/MediaKit.h"
#include "platform/Dispatcher.h"

#include <QApplication>
#include <QMetaObject>
#include <QTimer>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tovik Video Converter"));
    QApplication::setApplicationVersion(QStringLiteral(TOVIK_VERSION));

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

    tovik::TfrmMain window;
    window.show();
    // For smoke tests: quit on its own after the given milliseconds.
    if (qEnvironmentVariableIsSet("TOVIK_QUIT_AFTER_MS"))
        QTimer::singleShot(qEnvironmentVariableIntValue("TOVIK_QUIT_AFTER_MS"), &application,
                           &QApplication::quit);
    const int result = QApplication::exec();
    dispatcher.SetWakeUpHandler(nullptr);
    dispatcher.SetHostEventPump(nullptr);
    return result;
}
