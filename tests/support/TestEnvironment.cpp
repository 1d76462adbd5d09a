// Linked into every test program: the environment the tests need whatever runs them (ctest,
// a shell, a debugger), and the leak checker's list of what is not ours.
#include <cstdlib>

namespace {

// Before main: no test ever needs a display or a sound card.
const bool g_environmentReady = [] {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("SDL_AUDIODRIVER", "dummy", 0);
    return true;
}();

} // namespace

#if defined(__SANITIZE_ADDRESS__)
// Allocations that system libraries make when loaded and never free; once the loader
// unloads the media libraries they show up as leaks although no code of ours made them.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libgomp.so\n"
           "leak:libicudata.so\n"
           "leak:libicuuc.so\n"
           "leak:libdbus-1.so\n"
           "leak:libfontconfig.so\n";
}
#endif
