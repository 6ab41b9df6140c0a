// The host's files on POSIX systems: mmap for reading; lstat, realpath,
// faccessat, O_EXCL, fchmod/fchown, fsync and rename for the safe writer;
// the signal handlers that remove a lock file when the process is ended.
#include <fcntl.h>
#include <malloc.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>

#include "io/fault_guards.h"
#include "io/host_files.h"

namespace talvexhost {

namespace {

std::string reason(int error) {
    return std::strerror(error);
}

const char* kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISFIFO(mode)) return "a named pipe (FIFO)";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

using namespace faultguards;

void say(const char* text) {
    std::size_t length = std::strlen(text);
    while (length > 0) {
        const ssize_t written = ::write(STDERR_FILENO, text, length);
        if (written <= 0) return;
        text += written;
        length -= static_cast<std::size_t>(written);
    }
}

// Only async-signal-safe calls from here on: unlink, write, _exit, raise.
void removeGuardedLocks() {
    removeArmedLocks([](const char* path) { return unlink(path) == 0 || errno == ENOENT; },
                     [](const char* path) {
                         say("talvex-host: cannot remove the lock file ");
                         say(path);
                         say("; remove it by hand once no other run writes that file\n");
                     });
}

extern "C" void removeAndReraise(int signal) {
    removeGuardedLocks();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

extern "C" void busError(int signal, siginfo_t* info, void*) {
    const MappingGuard* mapping = mappingHolding(static_cast<const char*>(info->si_addr));
    if (mapping == nullptr) {
        removeAndReraise(signal);
        return;
    }
    removeGuardedLocks();
    say("talvex-host: ");
    say(mapping->path);
    say(": the input changed while it was read (it was cut short by another program); "
        "nothing was written\n");
    _exit(1);
}

void installHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        sigemptyset(&action.sa_mask);
        action.sa_handler = removeAndReraise;
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) {
            struct sigaction previous {};
            // A signal the caller ignored (nohup, a shell's background job)
            // stays ignored.
            if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
                continue;
            sigaction(signal, &action, nullptr);
        }
        struct sigaction fault {};
        sigemptyset(&fault.sa_mask);
        fault.sa_sigaction = busError;
        fault.sa_flags = SA_SIGINFO;
        sigaction(SIGBUS, &fault, nullptr);
        // Past a file-size limit a write fails with EFBIG instead, which the
        // writer reports and cleans up after.
        std::signal(SIGXFSZ, SIG_IGN);
    });
}

int guardMapping(const std::string& path, const char* data, std::size_t size) {
    installHandlers();
    return armMapping(path, data, size);
}

FileIdentity identityOf(const struct stat& info, const std::string& path) {
    FileIdentity identity;
    identity.device = static_cast<std::uint64_t>(info.st_dev);
    identity.index = static_cast<std::uint64_t>(info.st_ino);
    char* real = realpath(path.c_str(), nullptr);
    identity.path = real != nullptr ? real : path;
    std::free(real);
    return identity;
}

bool readDescriptor(int fd, const std::string& name, std::string& bytes, std::string& error) {
    bytes.clear();
    std::size_t used = 0;
    for (;;) {
        if (bytes.size() - used < (std::size_t(1) << 16))
            bytes.resize(std::max<std::size_t>(bytes.size() * 2, std::size_t(1) << 20));
        const ssize_t got = ::read(fd, &bytes[used], bytes.size() - used);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            error = name + ": read failed (" + reason(errno) + ")";
            return false;
        }
        used += static_cast<std::size_t>(got);
    }
    bytes.resize(used);
    bytes.shrink_to_fit();
    return true;
}

// Opens a file to read only if it is a regular one: the check comes before
// the open (opening a FIFO would wait for a writer) and again after it, on
// what was opened.
int openRegular(const std::string& path, struct stat& info, std::string& error) {
    if (stat(path.c_str(), &info) != 0) {
        error = path + ": cannot open (" + reason(errno) + ")";
        return -1;
    }
    const int fd = S_ISREG(info.st_mode)
                       ? ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)
                       : -1;
    if (S_ISREG(info.st_mode) && fd < 0) {
        error = path + ": cannot open (" + reason(errno) + ")";
        return -1;
    }
    if (fd >= 0 && fstat(fd, &info) != 0) {
        error = path + ": cannot open (" + reason(errno) + ")";
        close(fd);
        return -1;
    }
    if (!S_ISREG(info.st_mode)) {
        error = path + ": is " + kindOf(info.st_mode) + ", not a file";
        if (fd >= 0) close(fd);
        return -1;
    }
    return fd;
}

FileVersion versionOf(const struct stat& info) {
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
            static_cast<std::int64_t>(info.st_size),
            static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

}  // namespace

bool fileVersion(const std::string& path, FileVersion& version) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return false;
    version = versionOf(info);
    return true;
}

MappedFile::~MappedFile() {
    disarmMapping(guard_);
    if (handle_ != 0) munmap(reinterpret_cast<void*>(handle_), size_);
}

bool MappedFile::open(const std::string& path, std::string& error) {
    if (path == "-") {
        if (!readDescriptor(STDIN_FILENO, "standard input", read_, error)) return false;
        data_ = read_.data();
        size_ = read_.size();
        return true;
    }
    struct stat info {};
    const int fd = openRegular(path, info, error);
    if (fd < 0) return false;
    noteInput(identityOf(info, path));
    version_ = versionOf(info);  // the file opened, not the name
    if (info.st_size > 0) {
        if (static_cast<std::uint64_t>(info.st_size) > SIZE_MAX) {
            close(fd);
            error = path + ": too large for this system's address space";
            return false;
        }
        void* p =
            mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (p == MAP_FAILED) {
            error = path + ": cannot map (" + reason(errno) + ")";
            close(fd);
            return false;
        }
        madvise(p, static_cast<std::size_t>(info.st_size), MADV_SEQUENTIAL);
        data_ = static_cast<const char*>(p);
        size_ = static_cast<std::size_t>(info.st_size);
        handle_ = reinterpret_cast<std::intptr_t>(p);
        name_ = path;
        guard_ = guardMapping(name_, data_, size_);
    }
    close(fd);
    pauseForTest("mapped", path);
    return true;
}

void MappedFile::releaseBefore(std::size_t offset) noexcept {
    if (handle_ == 0) return;
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t whole = offset / page * page;
    if (whole > 0 && whole <= size_) madvise(const_cast<char*>(data_), whole, MADV_DONTNEED);
}

// The lock file is made in the target's folder, so the folder must let
// this process create files.
bool folderTakesFiles(const std::string& path, const std::string& target, std::string& error) {
    const std::string::size_type slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    if (faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0) return true;
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    const std::string named = slash == std::string::npos ? "the current folder"
                              : slash == 0               ? "/"
                                                         : target.substr(0, slash);
    error = path + ": cannot create " + name + ".lock in " + named + " (" + reason(errno) +
            "); nothing was written";
    return false;
}

bool inspectWriteTarget(const std::string& path, WriteTarget& target, std::string& error) {
    target = WriteTarget{};
    target.path = path;
    struct stat link {};
    if (lstat(path.c_str(), &link) != 0) {
        if (errno == ENOENT) return folderTakesFiles(path, path, error);  // a new file
        error = path + ": cannot write (" + reason(errno) + ")";
        return false;
    }
    if (S_ISLNK(link.st_mode)) {
        // The file the link points at is the one the user means.
        char* real = realpath(path.c_str(), nullptr);
        if (real == nullptr) {
            error = path + ": is a symbolic link to a missing file; nothing was written";
            return false;
        }
        target.path = real;
        std::free(real);
    }
    struct stat info {};
    if (stat(target.path.c_str(), &info) != 0) {
        error = path + ": cannot write (" + reason(errno) + ")";
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = path + ": is " + std::string(kindOf(info.st_mode)) +
                ", not a regular file; nothing was written";
        return false;
    }
    if (info.st_nlink > 1) {
        error = path + ": has " + std::to_string(info.st_nlink) +
                " hard links; replacing it would part it from its other names, and writing into it "
                "would "
                "change them all, so nothing was written";
        return false;
    }
    // Renaming over a file needs only the folder's permission; the file's
    // own protection is what the user set, so it decides.
    if (faccessat(AT_FDCWD, target.path.c_str(), W_OK, AT_EACCESS) != 0) {
        error = path + ": not writable (" + reason(errno) + "); nothing was written";
        return false;
    }
    if (!folderTakesFiles(path, target.path, error)) return false;
    target.exists = true;
    target.mode = info.st_mode & 07777;
    target.owner = info.st_uid;
    target.group = info.st_gid;
    return true;
}

std::intptr_t createExclusive(const std::string& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) error = reason(errno);
    if (fd < 0 && errno == EEXIST) error = "exists";
    return fd;
}

bool writeAll(std::intptr_t file, const char* data, std::size_t size, std::string& error) {
    while (size > 0) {
        const ssize_t written = ::write(static_cast<int>(file), data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            error = reason(errno);
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

void startWriteback(std::intptr_t file) noexcept {
#ifdef SYNC_FILE_RANGE_WRITE
    (void)sync_file_range(static_cast<int>(file), 0, 0, SYNC_FILE_RANGE_WRITE);
#else
    (void)file;
#endif
}

void returnLargeBlocksToSystem() noexcept {
#ifdef M_MMAP_THRESHOLD
    // A fixed threshold also stops the library from raising it as large
    // blocks are freed, which is what keeps them.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
}

void settleWritten(std::intptr_t file) noexcept {
    (void)fdatasync(static_cast<int>(file));
}

bool finishFile(std::intptr_t file, const WriteTarget& target, std::string& error) {
    const int fd = static_cast<int>(file);
    if (target.exists) {
        // Keep owner and group where allowed (root; or a group the user is
        // in); a set-id bit stays only with its owner.
        bool ownerKept =
            fchown(fd, static_cast<uid_t>(target.owner), static_cast<gid_t>(target.group)) == 0;
        if (!ownerKept)
            ownerKept = fchown(fd, static_cast<uid_t>(-1), static_cast<gid_t>(target.group)) == 0 &&
                        geteuid() == static_cast<uid_t>(target.owner);
        const mode_t mode = ownerKept ? target.mode : (target.mode & 01777);
        if (fchmod(fd, mode) != 0) {
            error = reason(errno);
            close(fd);
            return false;
        }
    }
    if (fsync(fd) != 0) {
        error = reason(errno);
        close(fd);
        return false;
    }
    if (close(fd) != 0) {
        error = reason(errno);
        return false;
    }
    return true;
}

void abandonFile(std::intptr_t file) noexcept {
    close(static_cast<int>(file));
}

bool replaceFile(const std::string& from, const std::string& to, std::string& error) {
    if (rename(from.c_str(), to.c_str()) != 0) {
        error = reason(errno);
        return false;
    }
    return true;
}

bool removeFile(const std::string& path, std::string& error) noexcept {
    if (unlink(path.c_str()) == 0 || errno == ENOENT) return true;
    const int code = errno;
    try {
        error = reason(code);
    } catch (...) {
    }
    return false;
}

int guardLock(const std::string& path) {
    installHandlers();
    return armLock(path);
}

void unguardLock(int guard) noexcept {
    disarmLock(guard);
}

bool identifyFile(const std::string& path, FileIdentity& identity) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return false;
    identity = identityOf(info, path);
    return true;
}

bool readRegularFile(const std::string& path, std::string& bytes, std::string& error) {
    if (path == "-") return readDescriptor(STDIN_FILENO, "standard input", bytes, error);
    struct stat info {};
    const int fd = openRegular(path, info, error);
    if (fd < 0) return false;
    noteInput(identityOf(info, path));
    const bool read = readDescriptor(fd, path, bytes, error);
    close(fd);
    return read;
}

bool readFileHead(const std::string& path, std::size_t size, std::string& head) {
    struct stat info {};
    std::string error;
    const int fd = openRegular(path, info, error);
    if (fd < 0) return false;
    head.assign(size, '\0');
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = read(fd, &head[got], size - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    close(fd);
    head.resize(got);
    return true;
}

std::string executablePath() {
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", &buffer[0], buffer.size());
        if (length < 0) return {};
        if (static_cast<std::size_t>(length) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(length));
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

void useBinaryStandardStreams() noexcept {}

void pauseForTest(const char* point, const std::string& path) noexcept {
    const char* wanted = std::getenv("TALVEX_TEST_PAUSE");
    const std::size_t length = std::strlen(point);
    if (wanted == nullptr || std::strncmp(wanted, point, length) != 0) return;
    const char* end = wanted + length;
    if (*end == ':') {
        const std::size_t tail = std::strlen(++end);
        if (path.size() < tail || path.compare(path.size() - tail, tail, end) != 0) return;
    } else if (*end != '\0') {
        return;
    }
    raise(SIGSTOP);
}

std::uint64_t availableMemory() {
    std::uint64_t available = 0;
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    std::uint64_t kib = 0;
    std::string unit;
    while (meminfo >> key >> kib) {
        std::getline(meminfo, unit);
        if (key == "MemAvailable:" || key == "SwapFree:") available += kib * 1024u;
    }
    // A limit on the address space (ulimit -v) binds before the memory does.
    struct rlimit limit {};
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        std::uint64_t used = 0;
        std::ifstream status("/proc/self/status");
        while (status >> key) {
            if (key == "VmSize:" && status >> kib) used = kib * 1024u;
            std::getline(status, unit);
        }
        const std::uint64_t left = limit.rlim_cur > used ? limit.rlim_cur - used : 0;
        if (available == 0 || left < available) available = left;
    }
    return available;
}

bool stderrIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

}  // namespace talvexhost
