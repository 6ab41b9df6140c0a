// Reads raw strings, integers and floats from one INI file by section and key,
// through the operating system's profile API (or its exact equivalent), and a
// small table of numbered sections with numbered rows. The settings load owns
// one reader and is its only user. A plain value: no heap, no open file.
#pragma once

#include <cstdint>

constexpr int kProfileTextSize = 260;
constexpr int kProfileTableSections = 5;
constexpr int kProfileTableRows = 28;

struct TableRow {
    char text[kProfileTextSize];  // empty when no value was stored
};

struct TableSection {
    TableRow rows[kProfileTableRows];
    std::int32_t rowCount;
};

class ProfileReader {
public:
    // Every row empty, every rowCount 0, then reset(). The path is unset until
    // setPath.
    ProfileReader() noexcept;

    // sectionCount 0 and every row's text emptied; path, valueBuffer and the
    // row counts stay.
    void reset() noexcept;

    // 1 if stored (bounded copy, rest zero-filled), 0 for a null or empty path,
    // which keeps the previous one.
    int setPath(const char* path) noexcept;

    // Copies the key's value into destination when it is non-empty and shorter
    // than *size, so it is always terminated; then *size is its length and
    // *found 1. Otherwise destination (its first *size bytes) is zeroed, *size
    // the length the API reported (0 when missing or empty) and *found 0: a
    // value is refused whole, never cut. A null destination only sets *found
    // to 0. Values arrive cut to 259 characters by the profile API.
    int readValue(const char* section, const char* key, char* destination, std::int32_t* size,
                  std::int32_t* found) noexcept;
    // readValue, returning destination whatever the outcome.
    char* readString(const char* section, const char* key, char* destination, std::int32_t* size,
                     std::int32_t* found) noexcept;
    // The value's leading digits as atol reads them (leadingInteger: beyond
    // the 32-bit range gives its nearest end); 0 when nothing was read.
    std::int32_t readInteger(const char* section, const char* key, std::int32_t* value,
                             std::int32_t* found) noexcept;
    // The value's leading decimal number as atof reads it (leadingDouble):
    // *value receives it rounded to float, the result is the unrounded double,
    // which is what callers compare against ranges. 0 when nothing was read.
    double readFloat(const char* section, const char* key, float* value,
                     std::int32_t* found) noexcept;

    // Loads [<sectionPrefix>1..5] rows <keyPrefix>1..28 until the first missing
    // key; "BLANK" stores an empty row. Sections stop at the first one without
    // row 1. Returns sectionCount (0 when the file cannot be opened, the path is
    // unset or a prefix is null or empty).
    std::int32_t loadTable(const char* sectionPrefix, const char* keyPrefix) noexcept;

    const char* storedPath() const noexcept { return path; }
    std::int32_t loadedSections() const noexcept { return sectionCount; }
    const TableSection& section(int index) const noexcept { return sections[index]; }

private:
    char path[kProfileTextSize];
    char valueBuffer[kProfileTextSize];
    std::int32_t sectionCount;
    TableSection sections[kProfileTableSections];
};
