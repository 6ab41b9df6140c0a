// The operating system's side of the host's files: mapping a mesh file for
// reading, and the pieces of the one safe writer every output goes through
// (safe_writer.h). host_files_posix.cpp and host_files_win32.cpp implement it;
// nothing else in the host asks the system about files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace talvexhost {

// What tells one version of a file from another: writing to a file changes
// its size or modification time, replacing it changes its device or file
// number (inode on POSIX, file index on Windows).
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t file = 0;
    std::int64_t size = -1;
    std::int64_t modifiedNs = 0;  // modification time in nanoseconds since the system's epoch

    bool operator==(const FileIdentity& other) const {
        return device == other.device && file == other.file && size == other.size &&
               modifiedNs == other.modifiedNs;
    }
    bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};

// The identity of the file `path` names now, links followed; false when it
// cannot be looked at (gone, no permission).
bool fileIdentity(const std::string& path, FileIdentity& identity);

// A file's bytes, mapped read-only; an empty file maps to no bytes.
class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // Maps `path`; false with "PATH: reason" when it is not a readable
    // regular file or cannot be mapped.
    bool open(const std::string& path, std::string& error);
    std::string_view bytes() const { return {data_, size_}; }
    // The identity of the file that was mapped, taken from the open file.
    const FileIdentity& identity() const { return identity_; }
    // The bytes before `offset` will not be read again soon: the system may
    // drop them from memory (they are read again from the file if needed).
    void releaseBefore(std::size_t offset) noexcept;

private:
    const char* data_ = nullptr;
    std::size_t size_ = 0;
    std::intptr_t handle_ = 0;  // the mapping: its address, or the system's mapping object
    FileIdentity identity_;
};

// What the writer learned about a target before writing it.
struct WriteTarget {
    std::string path;  // the file to replace: the target with links resolved
    bool exists = false;
    std::uint32_t mode = 0;  // permission bits (POSIX) or attributes (Windows) to keep
    std::int64_t owner = -1;
    std::int64_t group = -1;
};

// Looks at `path` before anything is written. Refuses, with "PATH: reason;
// nothing was written", a path that exists but is not a regular file (folder,
// device, pipe, socket), a symbolic link to nothing, a file with more than
// one hard link, and a file this process may not write to.
bool inspectWriteTarget(const std::string& path, WriteTarget& target, std::string& error);

// Creates `path` only if nothing is there (the lock file); -1 with `error` if
// it cannot. The file is empty and open for writing.
std::intptr_t createExclusive(const std::string& path, std::string& error);
bool writeAll(std::intptr_t file, const char* data, std::size_t size, std::string& error);
// Asks the system to start putting what was written on the disk now, so the
// flush at the end has less left to wait for. Only a hint: ignores failure.
void startWriteback(std::intptr_t file) noexcept;
// Waits until what was written so far is on the disk. Only spreads the wait
// of the final flush over the writing; that flush reports failures, so this
// ignores them.
void settleWritten(std::intptr_t file) noexcept;
// Gives the file the target's mode and owner (where the process may), flushes
// it to the disk and closes it.
bool finishFile(std::intptr_t file, const WriteTarget& target, std::string& error);
// Closes without keeping.
void abandonFile(std::intptr_t file) noexcept;
// Renames `from` over `to` in one step.
bool replaceFile(const std::string& from, const std::string& to, std::string& error);
void removeFile(const std::string& path) noexcept;

// While set, `path` (a lock file being written) is removed if the process is
// interrupted (Ctrl+C, a termination request); an empty path clears it.
void removeOnInterrupt(const std::string& path);

// Makes every large block go back to the system as soon as it is freed. By
// default the C library may keep freed blocks of a mesh's size for reuse,
// which leaves a large mesh's peak memory tens of megabytes higher.
void returnLargeBlocksToSystem() noexcept;

// Bytes this process can still allocate: the smaller of the memory the system
// has free and the address space left to the process. 0 when unknown.
std::uint64_t availableMemory();

// True when stderr is a terminal, where progress lines belong.
bool stderrIsTerminal();

}  // namespace talvexhost
