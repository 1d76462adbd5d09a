#pragma once
// An engine component with loaded libraries, a record of its OnTerminate reports and helpers
// that pump the main-thread dispatcher while waiting.

#include "engine/MediaConverter.h"
#include "media/MediaLogger.h"
#include "media/MediaProbe.h"
#include "platform/Dispatcher.h"
#include "platform/FileSystem.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tovik::test {

class ComponentTest : public ::testing::Test {
protected:
    using TClock = std::chrono::steady_clock;
    static constexpr const char* kLongClip = "long.avi"; // 4 s

    void SetUp() override {
        LoadEngineLibrariesOrFail();
        LoggerInstance().SetTriggerEventInMainThread(false);
        converter_ = std::make_unique<TMediaConverter>();
        converter_->OnTerminate = [this](TObject*, const TTerminateInfo& info) {
            std::lock_guard lock(mutex_);
            reports_.push_back(info);
            reportThreads_.push_back(std::this_thread::get_id());
        };
    }
    void TearDown() override {
        converter_.reset();
        LoggerInstance().SetTriggerEventInMainThread(true);
    }

    // A task converting source into out with the given option text; its index. The long
    // clip is read at its own pace, so that a test can act while it converts.
    int AddConversion(const std::string& source, const std::string& out,
                      const std::string& optionText = "vcodec=mpeg4<CRLF>acodec=mp2",
                      bool hook = false) {
        TInputOptions input;
        if (source == kLongClip)
            input.OptionText = "re=1";
        const int index = converter_->AddTask(MediaFile(source), &input);
        EXPECT_GE(index, 0) << converter_->LastError();
        TOutputOptions options;
        options.OptionText = optionText;
        options.CustomHook = hook;
        EXPECT_TRUE(converter_->SetOutputFile(index, out, &options)) << converter_->LastError();
        return index;
    }

    // Clears the tasks and the reports of the previous run.
    void NewRun() {
        converter_->ClearTasks();
        std::lock_guard lock(mutex_);
        reports_.clear();
        reportThreads_.clear();
    }

    // Pumps the dispatcher until the condition holds; false after the timeout.
    bool PumpUntil(const std::function<bool()>& condition,
                   std::chrono::seconds timeout = std::chrono::seconds(120)) {
        const auto end = TClock::now() + timeout;
        while (!condition()) {
            if (TClock::now() > end)
                return false;
            TDispatcher::Instance().WaitAndCheckSynchronize(std::chrono::milliseconds(10));
        }
        return true;
    }
    void PumpFor(std::chrono::milliseconds duration) {
        const auto end = TClock::now() + duration;
        while (TClock::now() < end)
            TDispatcher::Instance().WaitAndCheckSynchronize(std::chrono::milliseconds(10));
    }
    bool RunEnded() {
        std::lock_guard lock(mutex_);
        return !reports_.empty() && reports_.back().TaskIndex == -1;
    }
    // A task marks itself terminated on its worker just before it makes its end report there.
    bool WaitForTaskReport(const TCustomFFmpeg& task) {
        return PumpUntil([&] { return task.Terminated() && !Reports().empty(); });
    }
    bool WaitForRunEnd() {
        return PumpUntil([this] { return RunEnded(); });
    }
    std::vector<TTerminateInfo> Reports() {
        std::lock_guard lock(mutex_);
        return reports_;
    }
    std::vector<int> ReportedIndices() {
        std::vector<int> indices;
        for (const TTerminateInfo& info : Reports())
            indices.push_back(info.TaskIndex);
        return indices;
    }
    // Duration of a media file in microseconds; -1 when it cannot be read.
    static int64_t MediaDuration(const std::string& fileName) {
        TMediaProbe probe;
        if (!probe.LoadFile(fileName))
            return -1;
        return probe.GetFileStreamInfo().Duration;
    }

    TTempDir temp_;
    std::unique_ptr<TMediaConverter> converter_;
    std::mutex mutex_;
    std::vector<TTerminateInfo> reports_;        // guarded by mutex_
    std::vector<std::thread::id> reportThreads_; // guarded by mutex_
};

} // namespace tovik::test
