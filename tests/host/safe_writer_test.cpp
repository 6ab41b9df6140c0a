// The safe writer's contract: one writer per target, refusals before any
// bytes are written, the target's mode kept and links followed, nothing left
// behind on failure; and the inputs it must never replace.
#include "io/safe_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace talvexhost {
namespace {

namespace fs = std::filesystem;

class SafeWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("safe-writer-test-" + std::to_string(std::random_device()() % 100000000u));
        fs::create_directories(folder_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    std::string file(const std::string& name) const { return (folder_ / name).string(); }
    static void put(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    static std::string get(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    fs::path folder_;
};

TEST_F(SafeWriterTest, OneWriterPerTargetAndNothingLeftWhenNotCommitted) {
    const std::string target = file("out.obj");
    put(target, "old");
    std::string error;
    {
        SafeWriter first;
        ASSERT_TRUE(first.open(target, error)) << error;
        ASSERT_TRUE(first.write(std::string(3u << 20, 'x'), error)) << error;
        EXPECT_TRUE(fs::exists(target + ".lock"));
        // A second writer, and the check before work, see the first one's lock.
        SafeWriter second;
        EXPECT_FALSE(second.open(target, error));
        EXPECT_NE(error.find("out.obj.lock exists"), std::string::npos) << error;
        EXPECT_FALSE(checkWritable(target, error));
        EXPECT_TRUE(fs::exists(target + ".lock")) << "the refused writer removed the other's lock";
    }
    EXPECT_FALSE(fs::exists(target + ".lock"));
    EXPECT_EQ(get(target), "old");

    SafeWriter writer;
    ASSERT_TRUE(writer.open(target, error)) << error;
    ASSERT_TRUE(writer.write("new", error) && writer.commit(error)) << error;
    EXPECT_EQ(get(target), "new");
    EXPECT_FALSE(fs::exists(target + ".lock"));
}

TEST_F(SafeWriterTest, NeverReplacesAnInputUnlessToldTo) {
    const std::string input = file("in.obj");
    const std::string other = file("other.obj");
    put(input, "v 0 0 0\n");
    put(other, "v 1 0 0\n");
    std::string bytes;
    std::string error;
    // Reading a file whole notes it as an input.
    ASSERT_TRUE(readWholeFile(input, bytes, error)) << error;
    EXPECT_EQ(bytes, "v 0 0 0\n");
    noteInput(other);
    EXPECT_TRUE(checkWritable(file("fresh.obj"), error)) << error;
    for (const std::string& target : {input, other}) {
        EXPECT_FALSE(checkWritable(target, error)) << target;
        EXPECT_NE(error.find("an output never replaces an input"), std::string::npos) << error;
        SafeWriter writer;
        EXPECT_FALSE(writer.open(target, error)) << target;
    }
    EXPECT_FALSE(fs::exists(input + ".lock"));
    EXPECT_FALSE(writeFileAtomically(input, "{}", error));
    EXPECT_EQ(get(input), "v 0 0 0\n");
#ifndef _WIN32
    // Through a symbolic link, the file it points at is the input.
    fs::create_symlink(input, file("link.obj"));
    EXPECT_FALSE(checkWritable(file("link.obj"), error));
    EXPECT_NE(error.find("the same file as the input"), std::string::npos) << error;
#endif
    // The one input an in-place edit replaces on purpose; the others stay refused.
    allowReplacing(input);
    EXPECT_TRUE(writeFileAtomically(input, "v 2 0 0\n", error)) << error;
    EXPECT_EQ(get(input), "v 2 0 0\n");
    EXPECT_FALSE(checkWritable(other, error));
    allowReplacing(file("nothing.obj"));
    EXPECT_FALSE(checkWritable(input, error));
}

#ifndef _WIN32
TEST_F(SafeWriterTest, KeepsTheModeAndFollowsLinks) {
    const std::string real = file("real.obj");
    put(real, "old");
    chmod(real.c_str(), 0640);
    fs::create_symlink("real.obj", file("link.obj"));
    std::string error;
    ASSERT_TRUE(writeFileAtomically(file("link.obj"), "new", error)) << error;
    EXPECT_TRUE(fs::is_symlink(file("link.obj")));
    EXPECT_EQ(get(real), "new");
    struct stat info {};
    ASSERT_EQ(stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_FALSE(fs::exists(real + ".lock"));
    EXPECT_FALSE(fs::exists(file("link.obj.lock")));
}

// What open() refuses it refuses before any byte is written; a commit
// refused at the last moment, or a write that fails, leaves the target and
// the folder as they were.
TEST_F(SafeWriterTest, RefusesBeforeWorkAndLeavesNothingOnFailure) {
    const std::string linked = file("linked.obj");
    put(linked, "old");
    fs::create_hard_link(linked, file("other-name.obj"));
    std::string error;
    for (const std::string& target : {linked, folder_.string(), std::string("/dev/null")}) {
        EXPECT_FALSE(checkWritable(target, error)) << target;
        SafeWriter writer;
        EXPECT_FALSE(writer.open(target, error)) << target;
        EXPECT_FALSE(fs::exists(target + ".lock")) << target;
    }
    EXPECT_NE(error.find("/dev/null: is a character device"), std::string::npos) << error;
    EXPECT_FALSE(writeFileAtomically(linked, "new", error));
    EXPECT_NE(error.find("has 2 hard links"), std::string::npos) << error;
    EXPECT_EQ(get(file("other-name.obj")), "old");

    const std::string target = file("out.obj");
    put(target, "old");
    {
        SafeWriter writer;
        ASSERT_TRUE(writer.open(target, error)) << error;
        // Past one block, so the bytes go through the writing thread too.
        ASSERT_TRUE(writer.write(std::string(5u << 20, 'x'), error)) << error;
        EXPECT_FALSE(writer.commit(error, [](std::string& why) {
            why = "out.obj: the input changed while it was read";
            return false;
        }));
        EXPECT_EQ(error, "out.obj: the input changed while it was read");
        EXPECT_EQ(get(target), "old");
        EXPECT_FALSE(fs::exists(target + ".lock"));
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 3)
        << "only linked.obj, other-name.obj and out.obj stay";
}

// The replaced file keeps its owner and group where the process may set
// them (as root), and with them a set-id bit.
TEST_F(SafeWriterTest, KeepsTheOwner) {
    if (geteuid() != 0) GTEST_SKIP() << "only root may give a file another owner";
    const std::string target = file("owned.obj");
    put(target, "old");
    ASSERT_EQ(chown(target.c_str(), 4321, 4322), 0);
    ASSERT_EQ(chmod(target.c_str(), 02750), 0);
    std::string error;
    ASSERT_TRUE(writeFileAtomically(target, "new", error)) << error;
    struct stat info {};
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 4321u);
    EXPECT_EQ(info.st_gid, 4322u);
    EXPECT_EQ(info.st_mode & 07777, 02750u);
    EXPECT_EQ(get(target), "new");
}

TEST_F(SafeWriterTest, InputsReadWholeAreRegularFiles) {
    std::string bytes;
    std::string error;
    EXPECT_FALSE(readWholeFile("/dev/zero", bytes, error));
    EXPECT_NE(error.find("is a character device, not a file"), std::string::npos) << error;
    EXPECT_TRUE(bytes.empty());
    // A FIFO without a writer would block an open for reading: refused
    // without waiting.
    const std::string fifo = file("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(readWholeFile(fifo, bytes, error));
    EXPECT_NE(error.find("named pipe"), std::string::npos) << error;
    EXPECT_FALSE(readWholeFile(folder_.string(), bytes, error));
    EXPECT_NE(error.find("a folder"), std::string::npos) << error;
    // Neither may be written over.
    EXPECT_FALSE(writeFileAtomically(fifo, "x", error));
}

TEST_F(SafeWriterTest, NamesTheFolderWhenTheLockCannotBeMade) {
    const std::string missing = file("no/such/folder/out.obj");
    std::string error;
    EXPECT_FALSE(checkWritable(missing, error));
    EXPECT_NE(error.find("cannot create out.obj.lock in " + file("no/such/folder")),
              std::string::npos)
        << error;
    SafeWriter writer;
    EXPECT_FALSE(writer.open(missing, error));
    EXPECT_NE(error.find("in " + file("no/such/folder")), std::string::npos) << error;
}
#endif

}  // namespace
}  // namespace talvexhost
