#include "workspace/log/ActivityLog.h"

#include "platform/Environment.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <system_error>

namespace tovik {

std::string FormatActivityLine(const TActivityLine& line) {
    using namespace std::chrono;
    const std::time_t seconds = system_clock::to_time_t(line.Time);
    const auto millis = duration_cast<milliseconds>(line.Time.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char stamp[40];
    const size_t length = std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(stamp + length, sizeof stamp - length, ".%03d  ",
                  static_cast<int>(millis < 0 ? millis + 1000 : millis));
    return stamp + line.Text;
}

TActivityLog::TActivityLog(size_t capacity, TClock clock)
    : capacity_(std::max<size_t>(capacity, 1)),
      clock_(clock ? std::move(clock) : TClock([] { return std::chrono::system_clock::now(); })) {}

TActivityLog::~TActivityLog() = default;

void TActivityLog::Add(const std::string& text) {
    const auto now = clock_();
    std::lock_guard lock(mutex_);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start) {
            TActivityLine line{++lastSequence_, now, text.substr(start, end - start)};
            if (file_)
                file_->WriteLine(FormatActivityLine(line));
            lines_.push_back(std::move(line));
            if (lines_.size() > capacity_)
                lines_.pop_front();
        }
        start = end + 1;
    }
}

std::vector<TActivityLine> TActivityLog::LinesAfter(int64_t after, size_t max) const {
    std::lock_guard lock(mutex_);
    std::vector<TActivityLine> result;
    if (lines_.empty() || after >= lastSequence_)
        return result;
    // Sequence numbers are consecutive, so the first wanted line is found by arithmetic.
    const int64_t first = lines_.front().Sequence;
    const size_t from = static_cast<size_t>(std::max<int64_t>(after + 1 - first, 0));
    const size_t count = std::min(max, lines_.size() - from);
    result.reserve(count);
    for (size_t i = from; i < from + count; ++i)
        result.push_back(lines_[i]);
    return result;
}

int64_t TActivityLog::LastSequence() const {
    std::lock_guard lock(mutex_);
    return lastSequence_;
}

size_t TActivityLog::Count() const {
    std::lock_guard lock(mutex_);
    return lines_.size();
}

std::string TActivityLog::Text() const {
    std::lock_guard lock(mutex_);
    std::string text;
    for (const TActivityLine& line : lines_) {
        text += FormatActivityLine(line);
        text += '\n';
    }
    return text;
}

void TActivityLog::AttachFile(std::unique_ptr<TRotatingLogFile> file) {
    std::lock_guard lock(mutex_);
    file_ = std::move(file);
}

TRotatingLogFile::TRotatingLogFile(std::string directory, std::string name, int64_t maxBytes,
                                   int keep)
    : directory_(std::move(directory)), name_(std::move(name)),
      maxBytes_(std::max<int64_t>(maxBytes, 1)), keep_(std::max(keep, 1)) {}

std::string TRotatingLogFile::Path() const {
    return directory_ + "/" + name_;
}

bool TRotatingLogFile::Open(std::string& error) {
    std::error_code code;
    std::filesystem::create_directories(directory_, code);
    if (code) {
        error = "Cannot create folder \"" + directory_ + "\". " + code.message();
        return false;
    }
    file_.open(Path(), std::ios::binary | std::ios::app);
    if (!file_) {
        error = "Cannot open file \"" + Path() + "\".";
        return false;
    }
    const auto size = std::filesystem::file_size(Path(), code);
    size_ = code ? 0 : static_cast<int64_t>(size);
    return true;
}

void TRotatingLogFile::Rotate() {
    file_.close();
    std::error_code ignored;
    const std::string path = Path();
    std::filesystem::remove(path + "." + std::to_string(keep_ - 1), ignored);
    for (int n = keep_ - 2; n >= 1; --n)
        std::filesystem::rename(path + "." + std::to_string(n), path + "." + std::to_string(n + 1),
                                ignored);
    if (keep_ > 1)
        std::filesystem::rename(path, path + ".1", ignored);
    else
        std::filesystem::remove(path, ignored);
    file_.open(path, std::ios::binary | std::ios::trunc);
    size_ = 0;
}

void TRotatingLogFile::WriteLine(const std::string& line) {
    if (!file_.is_open())
        return;
    const auto bytes = static_cast<int64_t>(line.size()) + 1;
    if (size_ > 0 && size_ + bytes > maxBytes_)
        Rotate();
    file_ << line << '\n';
    file_.flush(); // a crash must not take the last lines with it
    size_ += bytes;
}

std::unique_ptr<TRotatingLogFile> OpenSessionLogFile(std::string& error) {
    auto file = std::make_unique<TRotatingLogFile>(platform::StateDir() + "/tovik", "tovik.log",
                                                   1 << 20, 5);
    if (!file->Open(error))
        return nullptr;
    return file;
}

} // namespace tovik
