#pragma once
// How an editing dialog gets its player's libraries loaded: the program passes its loader.

#include <functional>
#include <string>

namespace tovik {

// Loads the player's libraries unless loaded; false with the loader's text.
using TLibraryLoader = std::function<bool(std::string& error)>;

} // namespace tovik
