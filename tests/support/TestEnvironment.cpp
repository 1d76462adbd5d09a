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

#if defined(__SANITIZE_THREAD__)
// The FFmpeg libraries are not built for the race checker: the atomic reference counts of
// the frame buffers they share with their own decoding threads are invisible to it, so
// every buffer handed between those threads and ours looks like a race.
extern "C" const char* __tsan_default_suppressions() {
    return "race:libavutil.so\n"
           "race:libavcodec.so\n"
           "race:libavformat.so\n"
           "race:libavfilter.so\n"
           "race:libswscale.so\n"
           "race:libswresample.so\n";
}
#endif
