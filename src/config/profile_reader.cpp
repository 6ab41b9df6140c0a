#include "config/profile_reader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

ProfileReader::ProfileReader() noexcept : path{}, valueBuffer{}, sectionCount(0), sections{} { reset(); }

void ProfileReader::reset() noexcept {
    sectionCount = 0;
    for (TableSection& s : sections) {
        for (TableRow& row : s.rows) row.text[0] = '\0';
    }
}

int ProfileReader::setPath(const char* newPath) noexcept {
    if (newPath == nullptr || newPath[0] == '\0') return 0;
    // A path that would fill the field leaves no room for its terminator:
    // refuse it rather than read the file name past the field later.
    const std::size_t length = std::strlen(newPath);
    if (length >= sizeof path) return 0;
    std::memset(path, 0, sizeof path);
    std::memcpy(path, newPath, length);
    return 1;
}

int ProfileReader::readValue(const char*, const char*, char* destination, std::int32_t* size,
                             std::int32_t* found) noexcept {
    *found = 0;
    if (destination != nullptr) *size = 0;
    return 0;
}

char* ProfileReader::readString(const char* section, const char* key, char* destination, std::int32_t* size,
                                std::int32_t* found) noexcept {
    readValue(section, key, destination, size, found);
    return destination;
}

std::int32_t ProfileReader::readInteger(const char*, const char*, std::int32_t* value,
                                        std::int32_t* found) noexcept {
    *found = 0;
    *value = 0;
    return 0;
}

double ProfileReader::readFloat(const char*, const char*, float* value, std::int32_t* found) noexcept {
    *found = 0;
    *value = 0.0f;
    return 0.0;
}

std::int32_t ProfileReader::loadTable(const char*, const char*) noexcept {
    sectionCount = 0;
    return 0;
}
