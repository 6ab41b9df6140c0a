// The INI corpus asked of the profile API: its list of lookups, the answers
// recorded from the real API under Wine, the few places where Windows is
// known to answer otherwise, and the files made at test time. Used by the
// differential test and by ini_probe, which records the answers.
#pragma once

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace corpus {

// One question: the file column as written in lookups.txt, and the raw bytes
// of section, key and fallback.
struct Lookup {
    std::string file;
    std::string section;
    std::string key;
    std::string fallback;
    std::uint32_t size = 0;
};

// The API's answer: the count it returned and the bytes before the count.
struct Answer {
    std::uint32_t count = 0;
    std::string value;
    bool terminated = true;  // buffer[count] was 0 (always true when size > count)
    bool operator==(const Answer& other) const {
        return count == other.count && value == other.value && terminated == other.terminated;
    }
};

// For test failure messages: "count<TAB>escaped value".
std::string answerColumns(const Answer& answer);
inline void PrintTo(const Answer& answer, std::ostream* out) {
    *out << answerColumns(answer);
}

// "\xNN" for every byte outside 0x21..0x7E and for the backslash.
std::string escape(const std::string& raw);
std::string unescape(const std::string& text);

// The question as one tab-separated line (file, section, key, fallback, size),
// which is also the key of the answer tables.
std::string questionLine(const Lookup& lookup);

// Reads lookups.txt; an empty list when the file cannot be read.
std::vector<Lookup> readLookups(const std::string& path);

// Reads answers.txt or windows_answers.txt: question line -> answer. Extra
// columns after the answer (a reason) are kept in `reasons` when given.
std::map<std::string, Answer> readAnswers(const std::string& path,
                                          std::map<std::string, std::string>* reasons = nullptr);

// The path handed to the API for a file column: ".\name" for a corpus file,
// the bare name after "BARE:" (which the API looks for in the Windows folder).
std::string apiPath(const std::string& fileColumn);

// Asks the platform seam, as the profile reader does, with a buffer poisoned
// past the answer so a missing terminator shows.
Answer ask(const Lookup& lookup);

// Writes the files the corpus makes at test time into the current directory:
// huge.ini, a little over 10 MB. False when it cannot be written.
bool makeGeneratedFiles();

}  // namespace corpus
