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
struct FileVersion {
    std::uint64_t device = 0;
    std::uint64_t file = 0;
    std::int64_t size = -1;
    std::int64_t modifiedNs = 0;  // modification time in nanoseconds since the system's epoch

    bool operator==(const FileVersion& other) const {
        return device == other.device && file == other.file && size == other.size &&
               modifiedNs == other.modifiedNs;
    }
    bool operator!=(const FileVersion& other) const { return !(*this == other); }
};

// The version of the file `path` names now, links followed; false when it
// cannot be looked at (gone, no permission).
bool fileVersion(const std::string& path, FileVersion& version);

// A file's bytes, mapped read-only; an empty file maps to no bytes.
class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // Maps `path`; false with "PATH: reason" when it is not a readable
    // regular file or cannot be mapped. "-" reads standard input to its end
    // into memory instead. The file is noted as an input (noteInput), and
    // should it be cut short while mapped, touching the lost pages ends the
    // process with exit status 1 and "the input changed while it was read"
    // (POSIX; see removeOnInterrupt).
    bool open(const std::string& path, std::string& error);
    std::string_view bytes() const { return {data_, size_}; }
    // The version of the file that was mapped, taken from the open file
    // (size -1 for standard input).
    const FileVersion& version() const { return version_; }
    // The bytes before `offset` will not be read again soon: the system may
    // drop them from memory (they are read again from the file if needed).
    void releaseBefore(std::size_t offset) noexcept;

private:
    const char* data_ = nullptr;
    std::size_t size_ = 0;
    std::intptr_t handle_ = 0;  // the mapping: its address, or the system's mapping object
    int guard_ = -1;            // this mapping's entry in the fault handler's table
    // Windows: resetting the view drops pages the file gives back (unused elsewhere).
    [[maybe_unused]] bool droppable_ = false;
    std::string name_;  // the path, for the fault handler's message
    std::string read_;  // standard input's bytes
    FileVersion version_;
};

// Who a file is, whatever name reaches it: the same file has the same
// device and index under every name and link.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t index = 0;
    std::string path;  // absolute, links resolved
};

// The identity of the file `path` names now; false when nothing is there or
// it cannot be examined.
bool identifyFile(const std::string& path, FileIdentity& identity);

// The inputs of this run: every file it reads, so that no output replaces
// one (safe_writer.cpp keeps the list and its writer consults it).
// MappedFile and readRegularFile note theirs; files only named to someone
// else (the plug-in library) are noted by name.
void noteInput(const FileIdentity& identity);
void noteInput(const std::string& path);

// Reads a whole regular file into `bytes`; "-" reads standard input. False
// with "PATH: reason" for anything else (a folder, a device such as
// /dev/zero, a pipe) and for a read that fails, which is never taken as the
// end of the file.
bool readRegularFile(const std::string& path, std::string& bytes, std::string& error);

// The first `size` bytes of a regular file (fewer when it is shorter), to
// tell its format; false when it cannot be read, which the loading that
// follows reports. Not noted as an input: the loading notes it.
bool readFileHead(const std::string& path, std::size_t size, std::string& head);

// The running program's own file, links followed (/proc/self/exe, the
// module's file name on Windows); empty when the system cannot say.
std::string executablePath();

// Standard input and output pass bytes as they are: on Windows, no CR is
// added before LF, so reports on stdout match the files byte for byte.
void useBinaryStandardStreams() noexcept;

// A test hook. When the environment variable TALVEX_TEST_PAUSE names
// `point`, the process stops itself there (SIGSTOP; nothing on Windows) so
// that a fault test can act at exactly that moment (cut the input short,
// make the folder read-only, send a signal) and resume it with SIGCONT.
// Points: "mapped" (an input mapped, not read yet), "writing" (a pending file
// holds the first block of a large output), "replace" (just before the
// rename over the target). "POINT:END" stops only for a file whose path
// ends in END.
void pauseForTest(const char* point, const std::string& path) noexcept;

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

// Creates `path` only if nothing is there (the pending file); -1 with `error` if
// it cannot ("exists" when something is there). The file is empty and open
// for writing.
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
// Removes a file; false with the reason when it cannot (a missing file
// counts as removed).
bool removeFile(const std::string& path, std::string& error) noexcept;

// While guarded, `path` (a pending file being written) is removed when a signal
// ends the process: Ctrl+C, Ctrl+\, a termination request, a hang-up, a
// broken pipe, a bus error. A file-size limit (SIGXFSZ) is ignored so the
// write fails with its reason and the writer cleans up. A bus error inside
// a mapped input ends the process with exit status 1 and "the input changed
// while it was read". Returns the guard to pass to unguardLock (-1 when the
// path cannot be guarded); a few pending files may be guarded at once.
int guardPending(const std::string& path);
void unguardPending(int guard) noexcept;

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
