// Loading a shared library and finding its exports, the way a host does:
// LoadLibrary/GetProcAddress on Windows, dlopen/dlsym elsewhere.
#pragma once

#include <string>

namespace hostsim {

// Null on failure, with a readable reason in `error`.
void* openLibrary(const std::string& path, std::string& error);
void* findSymbol(void* library, const char* name);

}  // namespace hostsim
