#include "config/profile_reader.h"

#include <cassert>
#include <cstdio>
#include <cstring>
#include <string>

#include "config/leading_number.h"
#include "platform/platform.h"

namespace {

const char kBlankRow[] = "BLANK";

// The existence test opens the file through the C library, which takes '/' on
// every platform but '\' only on Windows.
bool fileOpens(const char* path) noexcept {
    char local[kProfileTextSize];
    std::size_t i = 0;
    for (; path[i] != '\0' && i + 1 < sizeof local; ++i) local[i] = path[i] == '\\' ? '/' : path[i];
    local[i] = '\0';
    std::FILE* file = std::fopen(local, "r");
    if (file == nullptr) return false;
    std::fclose(file);
    return true;
}

}  // namespace

ProfileReader::ProfileReader() noexcept : path{}, valueBuffer{}, sectionCount(0), sections{} {
    reset();
}

void ProfileReader::reset() noexcept {
    sectionCount = 0;
    for (TableSection& s : sections) {
        for (TableRow& row : s.rows) std::memset(row.text, 0, sizeof row.text);
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

int ProfileReader::readValue(const char* section, const char* key, char* destination,
                             std::int32_t* size, std::int32_t* found) noexcept {
    assert(size != nullptr && found != nullptr);
    if (destination == nullptr) {
        *found = 0;
        return 0;
    }
    if (*size > 0) std::memset(destination, 0, static_cast<std::size_t>(*size));
    std::memset(valueBuffer, 0, sizeof valueBuffer);
    const auto count = static_cast<std::int32_t>(
        platform::readProfileString(section, key, "", valueBuffer, sizeof valueBuffer, path));
    // Taken only with room for the terminator, so the destination is always a
    // string; a value that fills the whole destination is refused like a longer one.
    if (count > 0 && count < *size) {
        std::memcpy(destination, valueBuffer, static_cast<std::size_t>(count));
        *size = count;
        *found = 1;
        return 1;
    }
    *size = count;
    *found = 0;
    return 0;
}

char* ProfileReader::readString(const char* section, const char* key, char* destination,
                                std::int32_t* size, std::int32_t* found) noexcept {
    readValue(section, key, destination, size, found);
    return destination;
}

std::int32_t ProfileReader::readInteger(const char* section, const char* key, std::int32_t* value,
                                        std::int32_t* found) noexcept {
    char text[kProfileTextSize];
    std::int32_t size = sizeof text;
    readValue(section, key, text, &size, found);
    *value = leadingInteger(text);
    return *value;
}

double ProfileReader::readFloat(const char* section, const char* key, float* value,
                                std::int32_t* found) noexcept {
    char text[kProfileTextSize];
    std::int32_t size = sizeof text;
    readValue(section, key, text, &size, found);
    const double parsed = leadingDouble(text);
    *value = static_cast<float>(parsed);
    return parsed;
}

std::int32_t ProfileReader::loadTable(const char* sectionPrefix, const char* keyPrefix) noexcept {
    sectionCount = 0;
    if (sectionPrefix == nullptr || keyPrefix == nullptr || sectionPrefix[0] == '\0' ||
        keyPrefix[0] == '\0' || path[0] == '\0') {
        return 0;
    }
    // The profile call answers a missing file with silence, so ask first.
    if (!fileOpens(path)) return 0;

    for (int s = 0; s < kProfileTableSections; ++s) {
        TableSection& section = sections[s];
        // Bounded: a long prefix is cut rather than overflowing the name.
        char sectionName[kProfileTextSize];
        std::snprintf(sectionName, sizeof sectionName, "%s%d", sectionPrefix, s + 1);
        section.rowCount = 0;
        for (int r = 0; r < kProfileTableRows; ++r) {
            char keyName[kProfileTextSize];
            std::snprintf(keyName, sizeof keyName, "%s%d", keyPrefix, r + 1);
            char text[kProfileTextSize];
            std::int32_t size = sizeof text;
            std::int32_t found = 0;
            readValue(sectionName, keyName, text, &size, &found);
            if (found == 0) break;
            if (std::strcmp(text, kBlankRow) != 0)
                std::snprintf(section.rows[r].text, sizeof section.rows[r].text, "%s", text);
            ++section.rowCount;
        }
        if (section.rowCount == 0) break;
        ++sectionCount;
    }
    return sectionCount;
}
