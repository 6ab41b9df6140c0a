// Feeds arbitrary bytes to the native INI reader as the settings file and
// reads it every way the plug-in does: the raw profile lookup into buffers of
// exactly the size given (so any byte written past one is a sanitizer report),
// the profile reader's values and table, and the whole settings load. Checks
// that every answer fits its buffer and is terminated, that no answer to a
// 260-byte buffer exceeds 259 characters, and that the settings stay in range.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "config/profile_reader.h"
#include "config/settings.h"
#include "platform/ini_file.h"

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

// A private folder holding "Plugins/Startup Plugins/Talvex.ini", made once.
struct Workspace {
    std::string root;
    std::string file;
    std::string home;  // the working folder to come back to

    Workspace() {
        char folder[] = "/tmp/talvex-ini-fuzz.XXXXXX";
        if (mkdtemp(folder) == nullptr) fail("cannot make a scratch folder");
        root = folder;
        if (std::system(("mkdir -p '" + root + "/Plugins/Startup Plugins'").c_str()) != 0)
            fail("mkdir");
        file = root + "/Plugins/Startup Plugins/Talvex.ini";
        char cwd[4096];
        if (getcwd(cwd, sizeof cwd) == nullptr) fail("getcwd");
        home = cwd;
    }
    ~Workspace() {
        std::remove(file.c_str());
        rmdir((root + "/Plugins/Startup Plugins").c_str());
        rmdir((root + "/Plugins").c_str());
        rmdir(root.c_str());
    }
};

Workspace& workspace() {
    static Workspace w;
    return w;
}

// Section and key names that occur in the input, so lookups find something:
// "[name]" lines and the text before '=' on other lines.
void namesIn(const std::uint8_t* data, std::size_t size, std::vector<std::string>& sections,
             std::vector<std::string>& keys) {
    std::size_t start = 0;
    std::size_t taken = 0;  // at most six names, so one input stays quick
    while (start < size && taken < 6) {
        std::size_t end = start;
        while (end < size && data[end] != '\n' && data[end] != '\r') ++end;
        const std::string line(reinterpret_cast<const char*>(data + start), end - start);
        if (!line.empty() && line[0] == '[') {
            const std::size_t close = line.find(']');
            sections.push_back(
                line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            ++taken;
        } else if (line.find('=') != std::string::npos) {
            keys.push_back(line.substr(0, line.find('=')));
            ++taken;
        }
        start = end + 1;
    }
}

// One lookup into a heap buffer of exactly `size` bytes.
void lookUp(const std::string& section, const std::string& key, const char* fallback,
            std::uint32_t size, const char* path) {
    std::unique_ptr<char[]> buffer(new char[size == 0 ? 1 : size]);
    std::memset(buffer.get(), 0x5A, size == 0 ? 1 : size);
    const std::uint32_t n =
        platform::readIniString(section.c_str(), key.c_str(), fallback, buffer.get(), size, path);
    if (size == 0) {
        if (n != 0 || buffer[0] != 0x5A) fail("a zero-sized buffer was answered or touched");
        return;
    }
    if (n > size - 1) fail("answer longer than its buffer");
    if (buffer[n] != '\0') fail("answer not terminated at its count");
    if (size == static_cast<std::uint32_t>(kProfileTextSize) && n > 259)
        fail("answer beyond 259 characters");
}

bool terminated(const char* text, std::size_t size) {
    return std::memchr(text, '\0', size) != nullptr;
}

void readProfile(const std::vector<std::string>& sections, const std::vector<std::string>& keys,
                 const char* path) {
    ProfileReader reader;
    if (reader.setPath(path) != 1) fail("setPath refused the scratch path");
    const std::int32_t loaded = reader.loadTable("SECTION", "ROWDATA");
    if (loaded < 0 || loaded > kProfileTableSections) fail("table section count out of range");
    for (int s = 0; s < kProfileTableSections; ++s) {
        const TableSection& section = reader.section(s);
        if (section.rowCount < 0 || section.rowCount > kProfileTableRows)
            fail("row count out of range");
        for (const TableRow& row : section.rows) {
            if (!terminated(row.text, sizeof row.text)) fail("table row not terminated");
        }
    }
    // Each key once, against the sections in turn, with the destination sizes
    // in turn.
    static const std::int32_t kGiven[] = {kProfileTextSize, 1, 2, 8};
    std::size_t turn = 0;
    for (const std::string& key : keys) {
        const char* section = sections[turn % sections.size()].c_str();
        const std::int32_t given = kGiven[turn++ % 4];
        std::unique_ptr<char[]> destination(new char[static_cast<std::size_t>(given)]);
        std::int32_t size = given;
        std::int32_t found = -1;
        reader.readValue(section, key.c_str(), destination.get(), &size, &found);
        if (found != 0 && found != 1) fail("found flag neither 0 nor 1");
        if (found == 1 && !(size > 0 && size < given && destination[size] == '\0'))
            fail("a found value does not fit its destination");
        if (size < 0 || size > 259) fail("reported length beyond 259");
        std::int32_t integer = 0;
        reader.readInteger(section, key.c_str(), &integer, &found);
        float single = 0.0f;
        reader.readFloat(section, key.c_str(), &single, &found);
    }
}

bool inUnit(const Rgb& c) {
    return c.red >= 0.0f && c.red <= 1.0f && c.green >= 0.0f && c.green <= 1.0f && c.blue >= 0.0f &&
           c.blue <= 1.0f;
}

void loadWholeSettings() {
    Workspace& w = workspace();
    if (chdir(w.root.c_str()) != 0) fail("chdir into the scratch folder");
    ProfileReader reader;
    Settings settings = defaultSettings();
    ToleranceSettings tolerances{};
    loadSettings(reader, settings, tolerances);
    if (chdir(w.home.c_str()) != 0) fail("chdir back");
    if (!terminated(settings.fontFace, sizeof settings.fontFace)) fail("font face not terminated");
    if (!inUnit(settings.hudColor) || !inUnit(settings.searchColor) ||
        !inUnit(settings.foundColor) || !inUnit(settings.toleranceColor))
        fail("a colour outside 0..1");
    if (settings.fontSize < 1 || settings.fontSize > 64) fail("font size out of range");
    const float checked[] = {settings.hudPosX,
                             settings.hudPosY,
                             settings.hudStepY,
                             settings.lineWidth,
                             settings.toleranceLineWidth,
                             settings.pointSize,
                             settings.oversizePercentage,
                             tolerances.toleranceA,
                             tolerances.toleranceB,
                             tolerances.modifier};
    for (float v : checked) {
        if (!std::isfinite(v)) fail("a setting is not finite");
    }
    for (float t : {tolerances.toleranceA, tolerances.toleranceB, tolerances.modifier}) {
        if (!(t >= 0.01f && t <= 1024.0f))
            fail("a tolerance outside its range");  // 0.01 < v in double may round to 0.01f
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Workspace& w = workspace();
    std::FILE* file = std::fopen(w.file.c_str(), "wb");
    if (file == nullptr) fail("cannot write the scratch file");
    if (size > 0 && std::fwrite(data, 1, size, file) != size) fail("short write");
    std::fclose(file);

    std::vector<std::string> sections = {"CONFIG", "SECTION1", ""};
    std::vector<std::string> keys = {"TOLERANCE_A", "ROWDATA1", "FONT_FACE", ""};
    namesIn(data, size, sections, keys);

    const std::uint32_t sizes[] = {
        static_cast<std::uint32_t>(kProfileTextSize), 1, 2, 5, 0, 259, 300};
    std::size_t pick = size;
    for (const std::string& section : sections) {
        for (const std::string& key : keys) {
            if (pick++ % 2 == 0)
                lookUp(section, key, "", static_cast<std::uint32_t>(kProfileTextSize),
                       w.file.c_str());
            else
                lookUp(section, key, " 'fallback' ", sizes[pick % (sizeof sizes / sizeof sizes[0])],
                       w.file.c_str());
        }
    }
    readProfile(sections, keys, w.file.c_str());
    loadWholeSettings();
    return 0;
}
