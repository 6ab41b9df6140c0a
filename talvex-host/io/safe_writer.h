// The one writer behind every file the host makes (meshes, PNGs, settings
// files): the bytes go to a pending file, "<target>.lock", created beside the
// target only if none is there, then are flushed to the disk and renamed over
// the target in one step. A failure, or a signal that ends the process,
// removes the pending file and leaves the target as it was; a pending file that
// cannot be removed is named in the message. Targets that are not regular
// files, that the user may not write to, in a folder where the pending file
// cannot be made, that have other hard links, or that are one of the run's
// inputs (see noteInput) are refused before anything is written; a symbolic
// link is followed, so the file it points at is the one replaced; the
// replaced file keeps its permission bits, and its owner where the process
// may set it. The pending file is the writer's claim on the target and the
// place its bytes wait; on disk, and in messages, it is the "lock file"
// users know from other tools. The vertices --lock keeps still are another
// thing, and this code never calls the pending file a lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "io/host_files.h"
#include "io/write_behind.h"

namespace talvexhost {

class SafeWriter {
public:
    SafeWriter() = default;
    // Removes the pending file unless commit() succeeded.
    ~SafeWriter();
    SafeWriter(const SafeWriter&) = delete;
    SafeWriter& operator=(const SafeWriter&) = delete;

    // Checks the target and creates its pending file; false with "PATH: reason".
    bool open(const std::string& path, std::string& error);
    // Appends bytes; they reach the file in large blocks, written by a
    // thread of their own once the file passes one block.
    bool write(const char* data, std::size_t size, std::string& error);
    // Appends a block as it is, without copying it.
    bool write(std::vector<char>&& block, std::string& error);
    bool write(const std::string& text, std::string& error) {
        return write(text.data(), text.size(), error);
    }
    // Flushes, keeps the target's mode and renames the pending file over it.
    // `beforeReplace`, when given, runs just before the rename: it may still
    // refuse (false, with the whole message in `error`), and then the lock
    // file is removed and the target left as it was. A caller that still
    // maps the target lets go of it there: Windows cannot replace a mapped file.
    bool commit(std::string& error,
                const std::function<bool(std::string& error)>& beforeReplace = {});
    // The file that will be replaced, links resolved.
    const std::string& resolvedTarget() const { return target_.path; }

private:
    // Hands the buffered bytes to the writing thread (started on the first call).
    bool pass(std::vector<char>&& block, std::string& error);
    // Closes and removes the pending file; "" or what to add to a message when
    // the pending file stays behind.
    std::string abandon() noexcept;
    std::string removePending() noexcept;

    std::string path_;  // as the caller named it, for messages
    WriteTarget target_;
    std::string pending_;
    std::intptr_t file_ = -1;
    int guard_ = -1;
    bool passed_ = false;
    std::vector<char> buffer_;
    std::unique_ptr<WriteBehind> behind_;
};

// The input a writer may replace on purpose: the mesh an in-place edit
// writes back. Every other input (noteInput) is refused as a target. A path
// that names no file allows none.
void allowReplacing(const std::string& path);

// Refuses now, with the writer's own reason, a target that the writer would
// refuse once the work is done, so a long command fails before it starts.
// The writer checks again when it writes.
bool checkWritable(const std::string& path, std::string& error);

// Writes `bytes` to `path` through a SafeWriter.
bool writeFileAtomically(const std::string& path, const std::string& bytes, std::string& error);

// Reads a whole regular file (readRegularFile): a script, a --lock vertex list.
bool readWholeFile(const std::string& path, std::string& bytes, std::string& error);

}  // namespace talvexhost
