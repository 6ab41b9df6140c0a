// ProfileReader over real files: the found flag and size contract, the
// integer and float reads, and the numbered table.
#include "config/profile_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "support/scratch_folder.h"

namespace {

// The reader is 37 KB: keep it off the stack, as the plug-in object does.
std::unique_ptr<ProfileReader> readerFor(const char* path) {
    auto reader = std::make_unique<ProfileReader>();
    EXPECT_EQ(reader->setPath(path), 1);
    return reader;
}

TEST(ProfileReader, SetPathRefusesNullEmptyAndOverlongPathsAndKeepsThePrevious) {
    auto reader = std::make_unique<ProfileReader>();
    EXPECT_STREQ(reader->storedPath(), "");
    EXPECT_EQ(reader->setPath(".\\a.ini"), 1);
    EXPECT_EQ(reader->setPath(nullptr), 0);
    EXPECT_EQ(reader->setPath(""), 0);
    EXPECT_EQ(reader->setPath(std::string(260, 'p').c_str()), 0);
    EXPECT_STREQ(reader->storedPath(), ".\\a.ini");
    EXPECT_EQ(reader->setPath(std::string(259, 'p').c_str()), 1);
    EXPECT_EQ(std::strlen(reader->storedPath()), 259u);
}

struct ValueCase {
    const char* name;
    const char* section;
    const char* key;
    std::int32_t size;
    int result;
    std::int32_t found;
    std::int32_t sizeAfter;
    const char* value;
};

TEST(ProfileReader, ReadValueTakesOnlyValuesThatFitWhole) {
    ScratchFolder folder("profile_reader_values");
    ScratchFolder::write("p.ini",
                         "[S]\nWORD=hello\nEMPTY=\nBARE\nLONG=" + std::string(300, 'L') + "\n");
    auto reader = readerFor(".\\p.ini");
    const ValueCase cases[] = {
        {"present", "S", "WORD", 260, 1, 1, 5, "hello"},
        {"present, room for the terminator only", "S", "WORD", 6, 1, 1, 5, "hello"},
        {"fills the destination: refused, never unterminated", "S", "WORD", 5, 0, 0, 5, ""},
        {"longer than the destination", "S", "WORD", 3, 0, 0, 5, ""},
        {"empty value", "S", "EMPTY", 260, 0, 0, 0, ""},
        {"line without '='", "S", "BARE", 260, 0, 0, 0, ""},
        {"missing key", "S", "NONE", 260, 0, 0, 0, ""},
        {"missing section", "T", "WORD", 260, 0, 0, 0, ""},
        {"300 characters arrive cut to 259", "S", "LONG", 260, 1, 1, 259, nullptr},
    };
    for (const ValueCase& c : cases) {
        SCOPED_TRACE(c.name);
        char destination[300];
        std::memset(destination, '#', sizeof destination);
        std::int32_t size = c.size;
        std::int32_t found = -1;
        EXPECT_EQ(reader->readValue(c.section, c.key, destination, &size, &found), c.result);
        EXPECT_EQ(found, c.found);
        EXPECT_EQ(size, c.sizeAfter);
        const std::string expected = c.value != nullptr ? c.value : std::string(259, 'L');
        EXPECT_EQ(std::string(destination), expected);
        // The first `size` bytes are zeroed or the value; nothing past them is touched.
        EXPECT_EQ(destination[c.size], '#');
    }
}

TEST(ProfileReader, MissingFileAndNullDestinationGiveNothing) {
    ScratchFolder folder("profile_reader_missing");
    auto reader = readerFor(".\\absent.ini");
    char destination[16] = "untouched";
    std::int32_t size = sizeof destination;
    std::int32_t found = -1;
    EXPECT_EQ(reader->readValue("S", "K", destination, &size, &found), 0);
    EXPECT_EQ(found, 0);
    EXPECT_EQ(size, 0);
    EXPECT_STREQ(destination, "");

    size = 7;
    found = -1;
    EXPECT_EQ(reader->readValue("S", "K", nullptr, &size, &found), 0);
    EXPECT_EQ(found, 0);
    EXPECT_EQ(size, 7);
}

TEST(ProfileReader, ReadIntegerTakesTheLeadingDigits) {
    ScratchFolder folder("profile_reader_integers");
    ScratchFolder::write("p.ini", "[S]\nA=42\nB=x\nC=12px\nD=-7\nE=99999999999\nF=+3\nG=0x1F\n");
    auto reader = readerFor(".\\p.ini");
    const struct {
        const char* key;
        std::int32_t value;
        std::int32_t found;
    } cases[] = {{"A", 42, 1},         {"B", 0, 1}, {"C", 12, 1}, {"D", -7, 1},
                 {"E", 2147483647, 1}, {"F", 3, 1}, {"G", 0, 1},  {"MISSING", 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        std::int32_t value = -1;
        std::int32_t found = -1;
        EXPECT_EQ(reader->readInteger("S", c.key, &value, &found), c.value);
        EXPECT_EQ(value, c.value);
        EXPECT_EQ(found, c.found);
    }
}

TEST(ProfileReader, ReadFloatReturnsTheDoubleAndStoresTheFloat) {
    ScratchFolder folder("profile_reader_floats");
    ScratchFolder::write("p.ini", "[S]\nA=0.01\nB=1e999\nC=abc\n");
    auto reader = readerFor(".\\p.ini");
    float stored = -1.0f;
    std::int32_t found = -1;
    const double a = reader->readFloat("S", "A", &stored, &found);
    EXPECT_EQ(a, 0.01);
    EXPECT_GT(a, double(0.01f));  // why a file value of 0.01 passes "greater than 0.01f"
    EXPECT_EQ(stored, 0.01f);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(reader->readFloat("S", "B", &stored, &found), HUGE_VAL);
    EXPECT_EQ(reader->readFloat("S", "C", &stored, &found), 0.0);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(reader->readFloat("S", "MISSING", &stored, &found), 0.0);
    EXPECT_EQ(stored, 0.0f);
    EXPECT_EQ(found, 0);
}

struct TableCase {
    const char* name;
    std::string file;
    std::int32_t sections;
    std::int32_t rowsOfFirst;
};

TEST(ProfileReader, LoadTableStopsAtTheFirstGap) {
    std::string sixSections;
    for (int s = 1; s <= 6; ++s) sixSections += "[SECTION" + std::to_string(s) + "]\nROWDATA1=x\n";
    std::string thirtyRows = "[SECTION1]\n";
    for (int r = 1; r <= 30; ++r)
        thirtyRows += "ROWDATA" + std::to_string(r) + "=r" + std::to_string(r) + "\n";
    const TableCase cases[] = {
        {"row 2 without row 1", "[SECTION1]\nROWDATA2=b\n", 0, 0},
        {"BLANK keeps an empty row", "[SECTION1]\nROWDATA1=a\nROWDATA2=BLANK\nROWDATA3=c\n", 1, 3},
        {"sections 1 and 3", "[SECTION1]\nROWDATA1=a\n[SECTION3]\nROWDATA1=c\n", 1, 1},
        {"rows stop at an empty value", "[SECTION1]\nROWDATA1=a\nROWDATA2=\nROWDATA3=c\n", 1, 1},
        {"a sixth section is never read", sixSections, 5, 1},
        {"a 29th row is never read", thirtyRows, 1, 28},
    };
    ScratchFolder folder("profile_reader_table");
    for (const TableCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder::write("t.ini", c.file);
        auto reader = readerFor(".\\t.ini");
        EXPECT_EQ(reader->loadTable("SECTION", "ROWDATA"), c.sections);
        EXPECT_EQ(reader->loadedSections(), c.sections);
        EXPECT_EQ(reader->section(0).rowCount, c.rowsOfFirst);
    }
    ScratchFolder::write(
        "t.ini", "[SECTION1]\nROWDATA1=a\nROWDATA2=BLANK\nROWDATA3=c\n[SECTION2]\nROWDATA1=d\n");
    auto reader = readerFor(".\\t.ini");
    EXPECT_EQ(reader->loadTable("SECTION", "ROWDATA"), 2);
    EXPECT_STREQ(reader->section(0).rows[0].text, "a");
    EXPECT_STREQ(reader->section(0).rows[1].text, "");
    EXPECT_STREQ(reader->section(0).rows[2].text, "c");
    EXPECT_STREQ(reader->section(1).rows[0].text, "d");

    // reset empties the rows and the count but leaves the row counts.
    reader->reset();
    EXPECT_EQ(reader->loadedSections(), 0);
    EXPECT_STREQ(reader->section(0).rows[0].text, "");
    EXPECT_EQ(reader->section(0).rowCount, 3);

    // No file, no path or no prefix: nothing loaded.
    EXPECT_EQ(reader->loadTable("", "ROWDATA"), 0);
    EXPECT_EQ(reader->loadTable("SECTION", nullptr), 0);
    EXPECT_EQ(readerFor(".\\absent.ini")->loadTable("SECTION", "ROWDATA"), 0);
    EXPECT_EQ(std::make_unique<ProfileReader>()->loadTable("SECTION", "ROWDATA"), 0);
}

}  // namespace
