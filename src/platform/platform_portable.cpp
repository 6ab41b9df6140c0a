#include "platform/ini_file.h"
#include "platform/platform.h"

namespace platform {

std::uint32_t readProfileString(const char* section, const char* key, const char* fallback,
                                char* buffer, std::uint32_t size, const char* path) noexcept {
    return readIniString(section, key, fallback, buffer, size, path);
}

}  // namespace platform
