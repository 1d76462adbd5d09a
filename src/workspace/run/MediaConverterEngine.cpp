#include "workspace/run/MediaConverterEngine.h"

#include "media/FFmpegLoader.h"
#include "media/LibrarySets.h"

namespace tovik {

bool ReadProbedSource(TMediaProbe& probe, const std::string& fileName, TProbedSource& source) {
    if (!probe.LoadFile(fileName))
        return false;
    source.FileName = probe.FileName();
    source.Facts = SourceFactsOf(probe.VideoStreamCount(),
                                 probe.VideoStreamCount() > 0
                                     ? probe.GetVideoStreamInfo(probe.FirstVideoStreamIndex())
                                     : TVideoStreamInfo{});
    return true;
}

bool ReadSourceDuration(const std::string& fileName, int64_t& durationUs) {
    try {
        TMediaProbe probe;
        if (!probe.LoadFile(fileName))
            return false;
        durationUs = probe.GetFileStreamInfo().Duration;
        return true;
    } catch (const std::exception&) {
        return false; // whatever the reason, a file that cannot be read is skipped
    }
}

TMediaConverterEngine::TMediaConverterEngine() {
    // Preview pictures feed the progress window's live picture.
    MediaConverter1.SetPreviewBitmap(true);
}

bool TMediaConverterEngine::LoadLibraries(std::string& error) {
    if (EngineLibrariesLoaded())
        return true;
    if (MediaConverter1.LoadAVLib(DefaultLibraryFolder()))
        return true;
    error = MediaConverter1.LastError();
    return false;
}

void TMediaConverterEngine::SetEvents(TRunEvents events) {
    if (events.CustomHook)
        MediaConverter1.OnCustomHook = [hook = events.CustomHook](TObject*, PHookInfo info) {
            hook(info);
        };
    else
        MediaConverter1.OnCustomHook = nullptr;
    BindRunEvents(MediaConverter1, events);
}

void TMediaConverterEngine::SetThreadPriority(TThreadPriority priority) {
    MediaConverter1.SetThreadPriority(priority);
}

bool TMediaConverterEngine::LoadProbe(const std::string& fileName, TProbedSource& source) {
    return ReadProbedSource(MediaConverter1.Probe(), fileName, source);
}

void TMediaConverterEngine::CloseProbe() {
    MediaConverter1.Probe().CloseFile();
}

bool TMediaConverterEngine::ProbeTask(const std::string& fileName, int64_t& durationUs) {
    try {
        // A run still winding down keeps the task list: a probe of its own reads the file.
        if (MediaConverter1.Working())
            return ReadSourceDuration(fileName, durationUs);
        const int task = MediaConverter1.AddTask(fileName, nullptr);
        if (task < 0)
            return false;
        durationUs = MediaConverter1.TaskProbe(task, 0).GetFileStreamInfo().Duration;
        MediaConverter1.RemoveTask(task);
        return true;
    } catch (const std::exception&) {
        // Whatever the reason, a file that cannot be read is skipped.
        return false;
    }
}

int TMediaConverterEngine::AddTask(const std::string& fileName, const TInputOptions& options) {
    return MediaConverter1.AddTask(fileName, &options);
}

bool TMediaConverterEngine::SetOutputFile(int taskIndex, const std::string& fileName,
                                          const TOutputOptions& options) {
    return MediaConverter1.SetOutputFile(taskIndex, fileName, &options);
}

std::string TMediaConverterEngine::LastError() const {
    return MediaConverter1.LastError();
}

int TMediaConverterEngine::TaskCount() const {
    return MediaConverter1.TaskCount();
}

void TMediaConverterEngine::ClearTasks() {
    MediaConverter1.ClearTasks();
}

void TMediaConverterEngine::StartTask(int n) {
    MediaConverter1.StartTask(n);
}

void TMediaConverterEngine::Pause() {
    MediaConverter1.Pause();
}

void TMediaConverterEngine::Resume() {
    MediaConverter1.Resume();
}

void TMediaConverterEngine::Stop(bool wait) {
    MediaConverter1.Stop(wait);
}

bool TMediaConverterEngine::Working() const {
    return MediaConverter1.Working();
}

} // namespace tovik
