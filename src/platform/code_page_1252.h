// Code page 1252, the ANSI code page the profile API converts through: bytes
// widened to UTF-16 and UTF-16 narrowed back with the API's best-fit choices.
// Used by the portable INI reader, which must convert exactly as the API does.
#pragma once

namespace platform {

// The UTF-16 unit of an ANSI byte; the five bytes 1252 leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for themselves.
char16_t widenAnsi(unsigned char byte) noexcept;

// The ANSI byte the API writes for a UTF-16 unit: the exact byte where 1252
// has the character, a best-fit look-alike for some others (U+0100 gives 'A'),
// '?' for the rest.
unsigned char narrowToAnsi(char16_t unit) noexcept;

}  // namespace platform
