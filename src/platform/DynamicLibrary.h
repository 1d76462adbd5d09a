#pragma once
// Thin wrapper over the system's shared-library loader (dlopen on Linux).

#include <string>

namespace tovik::platform {

using TModuleHandle = void*;

// Opens a module by path (or by file name through the system search). Returns null and fills
// error with the system's text on failure.
TModuleHandle OpenModule(const std::string& fileName, std::string& error);
// Looks up an export; null and the system's text on failure.
void* ModuleSymbol(TModuleHandle module, const char* name, std::string& error);
void CloseModule(TModuleHandle module);
// Whether a module of this path or file name is currently mapped into the process.
bool IsModuleMapped(const std::string& fileName);

} // namespace tovik::platform
