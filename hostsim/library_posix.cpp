#include <dlfcn.h>

#include "hostsim/library.h"

namespace hostsim {

void* openLibrary(const std::string& path, std::string& error) {
    // A bare file name would be searched on the library path; a host loads
    // the file it was given.
    const std::string resolved = path.find('/') == std::string::npos ? "./" + path : path;
    void* library = dlopen(resolved.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* reason = dlerror();
        error = reason != nullptr ? reason : "unknown error";
    }
    return library;
}

void* findSymbol(void* library, const char* name) {
    return dlsym(library, name);
}

}  // namespace hostsim
