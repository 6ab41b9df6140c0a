#include "safe_writer.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace talvexhost {

namespace {

// Output reaches the disk in blocks of this size.
constexpr std::size_t kBlock = std::size_t(1) << 20;

std::string lockPresent(const std::string& path, const std::string& lock) {
    return lock + " exists: another run may be writing " + path + " (remove " + lock +
           " if none is); nothing was written";
}

}  // namespace

SafeWriter::~SafeWriter() {
    abandon();
}

void SafeWriter::abandon() noexcept {
    if (file_ == -1) return;
    behind_.reset();
    abandonFile(file_);
    file_ = -1;
    removeFile(lock_);
    removeOnInterrupt({});
}

bool SafeWriter::open(const std::string& path, std::string& error) {
    abandon();
    path_ = path;
    if (!inspectWriteTarget(path, target_, error)) return false;
    lock_ = target_.path + ".lock";
    std::string why;
    removeOnInterrupt({});
    file_ = createExclusive(lock_, why);
    if (file_ == -1) {
        error = why == "exists" ? lockPresent(path, lock_) : path + ": cannot write (" + why + ")";
        return false;
    }
    removeOnInterrupt(lock_);
    buffer_.reserve(kBlock);
    buffer_.clear();
    return true;
}

bool SafeWriter::pass(std::vector<char>&& block, std::string& error) {
    std::string why;
    if (!behind_) behind_ = std::make_unique<WriteBehind>(file_);
    if (!behind_->push(std::move(block), why)) {
        error = path_ + ": write failed (" + why + "); nothing was changed";
        abandon();
        return false;
    }
    // Any bytes buffered were passed on first; a buffer given away is
    // replaced by a fresh one.
    buffer_.clear();
    if (buffer_.capacity() == 0) buffer_.reserve(kBlock);
    return true;
}

bool SafeWriter::write(const char* data, std::size_t size, std::string& error) {
    if (file_ == -1) {
        error = path_ + ": not open for writing";
        return false;
    }
    while (size > 0) {
        const std::size_t room = kBlock - buffer_.size();
        const std::size_t part = size < room ? size : room;
        buffer_.insert(buffer_.end(), data, data + part);
        data += part;
        size -= part;
        if (buffer_.size() == kBlock && !pass(std::move(buffer_), error)) return false;
    }
    return true;
}

bool SafeWriter::write(std::vector<char>&& block, std::string& error) {
    if (file_ == -1) {
        error = path_ + ": not open for writing";
        return false;
    }
    if (!buffer_.empty() && !pass(std::move(buffer_), error)) return false;
    return pass(std::move(block), error);
}

bool SafeWriter::commit(std::string& error,
                        const std::function<bool(std::string& error)>& beforeReplace) {
    if (file_ == -1) {
        error = path_ + ": not open for writing";
        return false;
    }
    std::string why;
    bool written = true;
    if (behind_) {
        written =
            (buffer_.empty() || behind_->push(std::move(buffer_), why)) && behind_->finish(why);
        behind_.reset();
    } else {
        written = writeAll(file_, buffer_.data(), buffer_.size(), why);
    }
    buffer_ = {};
    if (!written) {
        error = path_ + ": write failed (" + why + "); nothing was changed";
        abandon();
        return false;
    }
    const std::intptr_t file = file_;
    file_ = -1;
    if (!finishFile(file, target_, why)) {
        removeFile(lock_);
        removeOnInterrupt({});
        error = path_ + ": write failed (" + why + "); nothing was changed";
        return false;
    }
    if (beforeReplace && !beforeReplace(error)) {
        removeFile(lock_);
        removeOnInterrupt({});
        return false;
    }
    if (!replaceFile(lock_, target_.path, why)) {
        removeFile(lock_);
        removeOnInterrupt({});
        error = path_ + ": cannot replace (" + why + "); nothing was changed";
        return false;
    }
    removeOnInterrupt({});
    return true;
}

bool checkWritable(const std::string& path, std::string& error) {
    WriteTarget target;
    if (!inspectWriteTarget(path, target, error)) return false;
    const std::string lock = target.path + ".lock";
    std::error_code ec;
    if (std::filesystem::symlink_status(lock, ec).type() == std::filesystem::file_type::not_found)
        return true;
    error = lockPresent(path, lock);
    return false;
}

bool writeFileAtomically(const std::string& path, const std::string& bytes, std::string& error) {
    SafeWriter writer;
    return writer.open(path, error) && writer.write(bytes, error) && writer.commit(error);
}

// Scripts and lock files may come through a pipe, so this reads a stream.
bool readWholeFile(const std::string& path, std::string& bytes, std::string& error) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        error = path + ": is a folder, not a file";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot open (" + std::strerror(errno) + ")";
        return false;
    }
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) {
        error = path + ": read error";
        return false;
    }
    bytes = content.str();
    return true;
}

}  // namespace talvexhost
