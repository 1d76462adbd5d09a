#include "app/CoverWindow.h"
#include "app/Desktop.h"
#include "app/ErrorHandler.h"
#include "app/MainWindow.h"
#include "media/MediaKit.h"
#include "platform/Dispatcher.h"

#include <QMetaObject>
#include <QTimer>

int main(int argc, char* argv[]) {
    tovik::TConverterApplication application(argc, argv);
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
    // For smoke tests: end on its own after the given milliseconds, without the close question.
    if (qEnvironmentVariableIsSet("TOVIK_QUIT_AFTER_MS"))
        QTimer::singleShot(qEnvironmentVariableIntValue("TOVIK_QUIT_AFTER_MS"), &application,
                           [] { QCoreApplication::exit(0); });
    const int result = QApplication::exec();
    dispatcher.SetWakeUpHandler(nullptr);
    dispatcher.SetHostEventPump(nullptr);
    return result;
}
