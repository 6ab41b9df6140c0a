#include "io/safe_writer.h"

#include <cstdio>
#include <filesystem>
#include <mutex>

namespace talvexhost {

namespace {

// Output reaches the disk in blocks of this size.
constexpr std::size_t kBlock = std::size_t(1) << 20;

std::string pendingPresent(const std::string& path, const std::string& pending) {
    return pending + " exists: another run may be writing " + path + " (remove " + pending +
           " if none is); nothing was written";
}

// The files this run reads, and the one it may replace on purpose.
struct Inputs {
    std::mutex mutex;
    std::vector<FileIdentity> files;
    FileIdentity replaceable;
};

Inputs& inputs() {
    static Inputs registry;
    return registry;
}

bool sameFile(const FileIdentity& a, const FileIdentity& b) {
    const bool identified = (a.device | a.index) != 0 && (b.device | b.index) != 0;
    if (identified && a.device == b.device && a.index == b.index) return true;
    return !a.path.empty() && a.path == b.path;
}

// An input still there under its name: once deleted, its index may be given
// to a new file that has nothing to do with it.
bool stillThere(const FileIdentity& input) {
    FileIdentity now;
    return identifyFile(input.path, now) && now.device == input.device && now.index == input.index;
}

// The target as the writer will replace it, compared with every input.
bool replacesAnInput(const std::string& path, const WriteTarget& target, std::string& error) {
    FileIdentity wanted;
    if (!identifyFile(target.path, wanted)) {
        std::error_code ec;
        wanted = FileIdentity{};
        wanted.path = std::filesystem::absolute(target.path, ec).lexically_normal().string();
    }
    Inputs& registry = inputs();
    std::lock_guard<std::mutex> hold(registry.mutex);
    if (sameFile(wanted, registry.replaceable)) return false;
    for (const FileIdentity& input : registry.files) {
        if (!sameFile(wanted, input)) continue;
        if (wanted.path != input.path && !stillThere(input)) continue;
        const std::string which = input.path == wanted.path && input.path == path
                                      ? "an input of this run"
                                      : "the same file as the input " + input.path;
        error =
            path + ": is " + which + "; an output never replaces an input, so nothing was written";
        return true;
    }
    return false;
}

}  // namespace

void noteInput(const FileIdentity& identity) {
    Inputs& registry = inputs();
    std::lock_guard<std::mutex> hold(registry.mutex);
    for (const FileIdentity& known : registry.files)
        if (sameFile(known, identity) && known.path == identity.path) return;
    registry.files.push_back(identity);
}

void noteInput(const std::string& path) {
    FileIdentity identity;
    if (identifyFile(path, identity)) noteInput(identity);
}

void allowReplacing(const std::string& path) {
    FileIdentity identity;
    if (!identifyFile(path, identity)) identity = FileIdentity{};
    Inputs& registry = inputs();
    std::lock_guard<std::mutex> hold(registry.mutex);
    registry.replaceable = identity;
}

SafeWriter::~SafeWriter() {
    const std::string left = abandon();
    if (!left.empty())
        std::fprintf(stderr, "talvex-host: %s: %s\n", path_.c_str(), left.c_str() + 6);
}

std::string SafeWriter::removePending() noexcept {
    std::string why;
    const bool removed = removeFile(pending_, why);
    unguardPending(guard_);
    guard_ = -1;
    if (removed) return {};
    try {
        return ", but its lock file " + pending_ + " could not be removed (" + why +
               "): delete it by hand once no other run writes " + path_;
    } catch (...) {
        return {};
    }
}

std::string SafeWriter::abandon() noexcept {
    if (file_ == -1) return {};
    behind_.reset();
    abandonFile(file_);
    file_ = -1;
    return removePending();
}

bool SafeWriter::open(const std::string& path, std::string& error) {
    const std::string left = abandon();
    if (!left.empty())
        std::fprintf(stderr, "talvex-host: %s: %s\n", path_.c_str(), left.c_str() + 6);
    path_ = path;
    passed_ = false;
    if (!inspectWriteTarget(path, target_, error)) return false;
    if (replacesAnInput(path, target_, error)) return false;
    pending_ = target_.path + ".lock";
    std::string why;
    file_ = createExclusive(pending_, why);
    if (file_ == -1) {
        const std::filesystem::path pending(pending_);
        error = why == "exists"
                    ? pendingPresent(path, pending_)
                    : path + ": cannot create " + pending.filename().string() + " in " +
                          pending.parent_path().string() + " (" + why + "); nothing was written";
        return false;
    }
    guard_ = guardPending(pending_);
    buffer_.reserve(kBlock);
    buffer_.clear();
    return true;
}

bool SafeWriter::pass(std::vector<char>&& block, std::string& error) {
    std::string why;
    if (!behind_) behind_ = std::make_unique<WriteBehind>(file_);
    if (!behind_->push(std::move(block), why)) {
        error = path_ + ": write failed (" + why + "); nothing was changed";
        error += abandon();
        return false;
    }
    if (!passed_) {
        passed_ = true;
        pauseForTest("writing", target_.path);
    }
    // Any bytes buffered were passed on first; a buffer given away is
    // replaced by a fresh one.
    buffer_.clear();
    if (buffer_.capacity() == 0) buffer_ = behind_->takeSpare();
    if (buffer_.capacity() < kBlock) buffer_.reserve(kBlock);
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
        error += abandon();
        return false;
    }
    const std::intptr_t file = file_;
    file_ = -1;
    if (!finishFile(file, target_, why)) {
        error = path_ + ": write failed (" + why + "); nothing was changed" + removePending();
        return false;
    }
    pauseForTest("replace", target_.path);
    if (beforeReplace && !beforeReplace(error)) {
        error += removePending();
        return false;
    }
    if (!replaceFile(pending_, target_.path, why)) {
        error = path_ + ": cannot replace (" + why + "); nothing was changed" + removePending();
        return false;
    }
    unguardPending(guard_);
    guard_ = -1;
    return true;
}

bool checkWritable(const std::string& path, std::string& error) {
    WriteTarget target;
    if (!inspectWriteTarget(path, target, error)) return false;
    if (replacesAnInput(path, target, error)) return false;
    const std::string pending = target.path + ".lock";
    std::error_code ec;
    if (std::filesystem::symlink_status(pending, ec).type() ==
        std::filesystem::file_type::not_found)
        return true;
    error = pendingPresent(path, pending);
    return false;
}

bool writeFileAtomically(const std::string& path, const std::string& bytes, std::string& error) {
    SafeWriter writer;
    return writer.open(path, error) && writer.write(bytes, error) && writer.commit(error);
}

bool readWholeFile(const std::string& path, std::string& bytes, std::string& error) {
    return readRegularFile(path, bytes, error);
}

}  // namespace talvexhost
