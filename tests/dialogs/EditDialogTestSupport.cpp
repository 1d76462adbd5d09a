#include "EditDialogTestSupport.h"

#include "media/LibrarySets.h"
#include "platform/Dispatcher.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <thread>

namespace tovik::test {

void EditDialogTest::SetUp() {
    TAppTest::SetUp();
    auto& dispatcher = TDispatcher::Instance();
    dispatcher.SetMainThread(std::this_thread::get_id());
    dispatcher.SetWakeUpHandler([] {
        QMetaObject::invokeMethod(
            qApp, [] { TDispatcher::Instance().CheckSynchronize(); }, Qt::QueuedConnection);
    });
    dispatcher.SetHostEventPump([] { QCoreApplication::processEvents(); });
    std::string error;
    ASSERT_TRUE(LoadLibraries(error)) << error;
}

void EditDialogTest::TearDown() {
    TDispatcher::Instance().SetWakeUpHandler(nullptr);
    TDispatcher::Instance().SetHostEventPump(nullptr);
    TAppTest::TearDown();
}

int EditDialogTest::AddJob(const std::string& source, int64_t duration) {
    TJobRow row;
    row.Job.SourceFile = source;
    row.Duration = duration;
    row.Destination = "/out/x.mp4";
    return jobs_.Append(std::move(row));
}

bool EditDialogTest::LoadLibraries(std::string& error) {
    return PlayerLibrariesLoaded() || LoadPlayerLibraries(std::string(), error);
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        TDispatcher::Instance().CheckSynchronize();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

void PumpFor(std::chrono::milliseconds duration) {
    const auto until = std::chrono::steady_clock::now() + duration;
    PumpUntil([until] { return std::chrono::steady_clock::now() > until; }, duration * 2);
}

} // namespace tovik::test
