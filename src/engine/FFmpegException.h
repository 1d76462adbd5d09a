#pragma once
// The engine's error class. Every failure of a task's options, set-up or loop is raised as
// FFmpegException with a fixed English text; the component turns it into LastError or the
// task's termination report.

#include <stdexcept>
#include <string>

namespace tovik {

class FFmpegException : public std::runtime_error {
public:
    explicit FFmpegException(const std::string& message) : std::runtime_error(message) {}
};

} // namespace tovik
