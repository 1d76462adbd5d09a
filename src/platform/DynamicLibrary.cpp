#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

namespace tovik::platform {

namespace {
std::string LastDlError() {
    const char* text = dlerror();
    return text ? text : "unknown error";
}
} // namespace

TModuleHandle OpenModule(const std::string& fileName, std::string& error) {
    dlerror();
    // RTLD_GLOBAL so that a library loaded from the program's own folder satisfies the
    // dependencies of the libraries loaded after it.
    void* handle = dlopen(fileName.c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (!handle)
        error = LastDlError();
    return handle;
}

void* ModuleSymbol(TModuleHandle module, const char* name, std::string& error) {
    dlerror();
    void* symbol = dlsym(module, name);
    if (!symbol)
        error = LastDlError();
    return symbol;
}

void CloseModule(TModuleHandle module) {
    if (module && !kClosedModulesStayMapped)
        dlclose(module);
}

bool IsModuleMapped(const std::string& fileName) {
    void* handle = dlopen(fileName.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!handle)
        return false;
    dlclose(handle);
    return true;
}

} // namespace tovik::platform
