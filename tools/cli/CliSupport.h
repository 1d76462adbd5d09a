#pragma once
// Set-up shared by the commands that convert through the engine component.

#include "engine/MediaConverter.h"

namespace tovik::cli {

// Loads what the engine needs to convert (the filter library comes when a conversion first
// builds a filter graph); prints the loader's error when that fails.
bool LoadConverterLibraries();
// Prints the kit's log lines up to level on stderr, each after leading (a line break that
// ends a progress line, for example), from whatever thread logs them.
void PrintKitMessages(TLogLevel level, const char* leading);

} // namespace tovik::cli
