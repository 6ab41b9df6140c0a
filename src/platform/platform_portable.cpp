#include "platform/platform.h"

namespace platform {

std::uint32_t readProfileString(const char*, const char*, const char* fallback, char* buffer,
                                std::uint32_t size, const char*) noexcept {
    if (size == 0) return 0;
    buffer[0] = '\0';
    (void)fallback;
    return 0;
}

}  // namespace platform
