// The system's side of the host's files (io/host_files.h): a mapped input
// whose pages are let go behind the reader still reads back the file's bytes
// however often it is read again, and memchr (the Windows build brings its
// own) finds the first match, never one before or past the range it is given.
#include "io/host_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace talvexhost {
namespace {

namespace fs = std::filesystem;

TEST(MappedFile, BytesLetGoBehindTheReaderReadBackTheSame) {
    const fs::path path =
        fs::temp_directory_path() /
        ("host-files-test-" + std::to_string(std::random_device()() % 100000000u) + ".obj");
    std::string text;
    std::mt19937 random(7);
    while (text.size() < 300000)
        text += "v " + std::to_string(random() % 100000) + " " + std::to_string(random()) + "\n";
    std::ofstream(path, std::ios::binary) << text;
    {
        MappedFile file;
        std::string error;
        ASSERT_TRUE(file.open(path.string(), error)) << error;
        ASSERT_EQ(file.bytes(), text);
        // As a reader does: let go as it goes, then of everything, then
        // read it all again (the writer copies the unchanged lines).
        for (std::size_t offset = 1; offset < text.size(); offset += 40000)
            file.releaseBefore(offset);
        file.releaseBefore(text.size());
        EXPECT_EQ(file.bytes(), text);
        file.releaseBefore(text.size() / 2);
        EXPECT_EQ(file.bytes(), text);
    }
    std::error_code ignored;
    fs::remove(path, ignored);
}

TEST(Memchr, FindsTheFirstMatchInsideTheRangeOnly) {
    // Every start alignment and length over a buffer with the wanted byte
    // scattered in it, before and past the range too, against a plain loop.
    unsigned char buffer[160];
    std::mt19937 random(11);
    for (unsigned char& byte : buffer) byte = random() % 4 == 0 ? '\n' : 0x80 + random() % 100;
    for (int value : {int('\n'), 0x80 + 5, 0x100 + '\n', 0, -1}) {
        for (std::size_t start = 0; start < 40; ++start) {
            for (std::size_t size = 0; start + size <= sizeof buffer; ++size) {
                const unsigned char* expected = nullptr;
                for (std::size_t i = start; i < start + size && !expected; ++i)
                    if (buffer[i] == static_cast<unsigned char>(value)) expected = buffer + i;
                ASSERT_EQ(std::memchr(buffer + start, value, size), expected)
                    << "value " << value << ", start " << start << ", size " << size;
            }
        }
    }
}

}  // namespace
}  // namespace talvexhost
