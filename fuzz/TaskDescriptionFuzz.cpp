// The task description reader on any text: it either refuses with its error or gives a task
// that, written again and read again, is the same task.

#include "effects/TaskDescription.h"

#include <cstdlib>
#include <stdexcept>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    tovik::TTaskDescription task;
    try {
        task = tovik::ReadTaskDescription(text);
    } catch (const std::runtime_error&) {
        return 0;
    }
    const std::string written = tovik::WriteTaskDescription(task);
    if (tovik::WriteTaskDescription(tovik::ReadTaskDescription(written)) != written)
        std::abort(); // a description that does not survive its own round trip
    return 0;
}
