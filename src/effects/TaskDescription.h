#pragma once
// One conversion as a description that the command line, a worker process and tests can
// write and read: the input and output option records and the job's effects and layers, as
// one JSON document. Keys are the records' field names; a key that is missing keeps the
// field's reset value and an unknown key is ignored, so a description written by another
// version of the program still reads.

#include "effects/JobEffects.h"
#include "engine/OptionRecords.h"

#include <string>

namespace tovik {

struct TTaskDescription {
    TInputOptions Input;
    TOutputOptions Output;
    TJobEffects Effects;
};

// The description as JSON text (one line, UTF-8).
std::string WriteTaskDescription(const TTaskDescription& task);

// Reads what WriteTaskDescription wrote. Throws std::runtime_error naming the first problem
// ("Task description: ...") when the text is not JSON, not an object, of a newer format
// version, or a key holds a value of the wrong type or out of its range.
TTaskDescription ReadTaskDescription(const std::string& text);

} // namespace tovik
