#pragma once
// Set-up shared by the commands that convert through the engine component.

#include "engine/MediaConverter.h"

namespace tovik::cli {

// Loads the engine's libraries for the converter; prints the loader's error when that fails.
bool LoadConverterLibraries(TMediaConverter& converter);
// Prints the kit's log lines up to level on stderr, each after leading (a line break that
// ends a progress line, for example), from whatever thread logs them.
void PrintKitMessages(TLogLevel level, const char* leading);

} // namespace tovik::cli
