#pragma once
// Thin wrapper over the system's shared-library loader (dlopen on Linux).

#include <string>

namespace tovik::platform {

using TModuleHandle = void*;

// Under AddressSanitizer a closed module stays mapped: what a library allocated when it was
// loaded then stays reachable through its own globals, and the leak check reports our leaks
// instead of the libraries' (whose unmapped stacks it could not even name).
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kClosedModulesStayMapped = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kClosedModulesStayMapped = true;
#else
inline constexpr bool kClosedModulesStayMapped = false;
#endif
#else
inline constexpr bool kClosedModulesStayMapped = false;
#endif

// Opens a module by path (or by file name through the system search). Returns null and fills
// error with the system's text on failure.
TModuleHandle OpenModule(const std::string& fileName, std::string& error);
// Looks up an export; null and the system's text on failure.
void* ModuleSymbol(TModuleHandle module, const char* name, std::string& error);
void CloseModule(TModuleHandle module);
// Whether a module of this path or file name is currently mapped into the process.
bool IsModuleMapped(const std::string& fileName);

} // namespace tovik::platform
