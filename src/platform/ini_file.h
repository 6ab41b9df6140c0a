// The profile API's string lookup for systems that lack it: answers
// "[section] key" from an INI file exactly as the Windows profile API answers
// for the same bytes. platform_portable.cpp forwards readProfileString here;
// the differential test holds it to the real API under Wine.
#pragma once

#include <cstdint>

namespace platform {

// Copies the value of `key` in the first section named `section` of the INI
// file at `path` into `buffer` and returns the count of characters copied.
// As the API does:
// - The file is ANSI (code page 1252), or UTF-16 when it starts with a UTF-16
//   byte-order mark; a UTF-8 mark is three ordinary characters, as on Windows.
//   Values come back in code page 1252, with the API's best-fit letters or
//   '?' for what it cannot show.
// - Lines end at LF or CR. Names and values lose surrounding blanks (ASCII
//   white space and ^Z); a NUL byte ends a name or value.
// - Names match without regard to the case of ASCII letters. Only the first
//   section of a name is searched and the first matching key wins, even a
//   line without '='. Lines before the first section header belong to no
//   section; an empty section name finds "[]" and an empty key "=value".
// - One pair of matching quotes around a value is removed (with the API's
//   quirk when the value only just fits, see copyEntry).
// - A missing file, section or key, or a key without '=' gives `fallback`
//   (trailing spaces removed, quotes removed as for a value).
// - The answer is cut to size - 1 characters and always terminated; size 0
//   leaves the buffer untouched and returns 0.
// - `path` uses '\' or '/' between folders and is relative to the current
//   directory; a bare file name means the Windows folder, which does not exist
//   here, so it reads as a missing file.
// Null section or key (the API's listing modes) answer as a missing key.
std::uint32_t readIniString(const char* section, const char* key, const char* fallback,
                            char* buffer, std::uint32_t size, const char* path) noexcept;

}  // namespace platform
