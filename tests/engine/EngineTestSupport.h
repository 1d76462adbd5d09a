#pragma once
// A task with loaded libraries and a capture of the log lines it writes.

#include "engine/FFmpeg.h"
#include "media/MediaLogger.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

namespace tovik::test {

struct TLogLine {
    TLogLevel Level;
    std::string Text;
};

class EngineOptionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        LoadEngineLibrariesOrFail();
        LoggerInstance().SetTriggerEventInMainThread(false);
        LoggerInstance().SetLogLevel(TLogLevel::llDebug);
        LoggerInstance().SetOnLog(
            [this](TObject*, uint32_t, TLogLevel level, const std::string& text) {
                std::lock_guard<std::mutex> lock(logMutex_);
                log_.push_back({level, text});
            });
        task_.ResetEngine();
    }
    void TearDown() override {
        LoggerInstance().SetOnLog(nullptr);
        LoggerInstance().SetTriggerEventInMainThread(true);
        LoggerInstance().SetLogLevel(TLogLevel::llInfo);
    }
    bool Logged(TLogLevel level, const std::string& text) {
        std::lock_guard<std::mutex> lock(logMutex_);
        return std::any_of(log_.begin(), log_.end(), [&](const TLogLine& line) {
            return line.Level == level && line.Text == text;
        });
    }
    // The message SetOption raises, empty when it raises nothing.
    std::string ErrorOf(const std::string& name, const std::string& value) {
        try {
            task_.SetOption(name, value);
        } catch (const std::exception& error) {
            return error.what();
        }
        return {};
    }
    const TEngineSettings& Settings() const { return task_.Settings(); }
    AVCodecContext* VideoDefaults() const {
        return task_.DefaultOptions()->CodecContext(AVMEDIA_TYPE_VIDEO);
    }

    TFFmpeg task_;
    std::mutex logMutex_;
    std::vector<TLogLine> log_; // guarded by logMutex_
};

} // namespace tovik::test
