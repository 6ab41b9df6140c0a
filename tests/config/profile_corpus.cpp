#include "config/profile_corpus.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/platform.h"

namespace corpus {

namespace {

std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::string::size_type start = 0;
    for (;;) {
        const auto tab = line.find('\t', start);
        fields.push_back(
            line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::string escape(const std::string& raw) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (const char c : raw) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x21 && byte <= 0x7E && byte != '\\') {
            text += c;
        } else {
            text += "\\x";
            text += kHex[byte >> 4];
            text += kHex[byte & 15];
        }
    }
    return text;
}

std::string unescape(const std::string& text) {
    std::string raw;
    for (std::string::size_type i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() + 0 && text[i + 1] == 'x' &&
            hexDigit(text[i + 2]) >= 0 && hexDigit(text[i + 3]) >= 0) {
            raw += static_cast<char>(hexDigit(text[i + 2]) * 16 + hexDigit(text[i + 3]));
            i += 3;
        } else {
            raw += text[i];
        }
    }
    return raw;
}

std::string questionLine(const Lookup& lookup) {
    return lookup.file + '\t' + escape(lookup.section) + '\t' + escape(lookup.key) + '\t' +
           escape(lookup.fallback) + '\t' + std::to_string(lookup.size);
}

std::string answerColumns(const Answer& answer) {
    return std::to_string(answer.count) + '\t' + escape(answer.value) +
           (answer.terminated ? "" : "\\UNTERMINATED");
}

std::vector<Lookup> readLookups(const std::string& path) {
    std::vector<Lookup> lookups;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        const auto fields = splitTabs(line);
        if (fields.size() < 5) continue;
        Lookup lookup;
        lookup.file = fields[0];
        lookup.section = unescape(fields[1]);
        lookup.key = unescape(fields[2]);
        lookup.fallback = unescape(fields[3]);
        lookup.size = static_cast<std::uint32_t>(std::stoul(fields[4]));
        lookups.push_back(lookup);
    }
    return lookups;
}

std::map<std::string, Answer> readAnswers(const std::string& path,
                                          std::map<std::string, std::string>* reasons) {
    std::map<std::string, Answer> answers;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        const auto fields = splitTabs(line);
        if (fields.size() < 7) continue;
        const std::string question =
            fields[0] + '\t' + fields[1] + '\t' + fields[2] + '\t' + fields[3] + '\t' + fields[4];
        Answer answer;
        answer.count = static_cast<std::uint32_t>(std::stoul(fields[5]));
        std::string value = fields[6];
        const std::string unterminated = "\\UNTERMINATED";
        if (value.size() >= unterminated.size() &&
            value.compare(value.size() - unterminated.size(), unterminated.size(), unterminated) ==
                0) {
            answer.terminated = false;
            value.erase(value.size() - unterminated.size());
        }
        answer.value = unescape(value);
        answers[question] = answer;
        if (reasons != nullptr && fields.size() > 7) (*reasons)[question] = fields[7];
    }
    return answers;
}

std::string apiPath(const std::string& fileColumn) {
    const std::string bare = "BARE:";
    if (fileColumn.compare(0, bare.size(), bare) == 0) return fileColumn.substr(bare.size());
    return ".\\" + fileColumn;
}

Answer ask(const Lookup& lookup) {
    constexpr char kPoison = '\x5A';
    std::vector<char> buffer(lookup.size + 16, kPoison);
    const std::string path = apiPath(lookup.file);
    Answer answer;
    answer.count = platform::readProfileString(lookup.section.c_str(), lookup.key.c_str(),
                                               lookup.fallback.c_str(), buffer.data(), lookup.size,
                                               path.c_str());
    const std::uint32_t shown =
        answer.count < buffer.size() ? answer.count : std::uint32_t(buffer.size());
    answer.value.assign(buffer.data(), shown);
    // Past a size of 0 the API must leave the buffer alone; otherwise the
    // answer is terminated.
    answer.terminated =
        lookup.size == 0 ? buffer[0] == kPoison : (shown < buffer.size() && buffer[shown] == '\0');
    return answer;
}

bool makeGeneratedFiles() {
    std::FILE* file = std::fopen("huge.ini", "wb");
    if (file == nullptr) return false;
    std::fputs("[FILLER]\r\n", file);
    char line[64];
    for (int i = 0; i < 360000; ++i) {
        const int length = std::snprintf(line, sizeof line, "KEY%07d=filler value %d\r\n", i, i);
        std::fwrite(line, 1, static_cast<std::size_t>(length), file);
    }
    std::fputs("LONG=", file);
    const std::string megabyte(1 << 20, 'x');
    std::fwrite(megabyte.data(), 1, megabyte.size(), file);
    std::fputs("\r\n[CONFIG]\r\nHUD_POS_X=777\r\nFONT_FACE=Huge\r\n", file);
    const bool written = std::ferror(file) == 0;
    return std::fclose(file) == 0 && written;
}

}  // namespace corpus
