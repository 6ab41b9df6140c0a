// The host's files on POSIX systems: mmap for reading; lstat, realpath,
// faccessat, O_EXCL, fchmod/fchown, fsync and rename for the safe writer.
#include <fcntl.h>
#include <malloc.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "host_files.h"

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

// The lock file to remove on an interrupt; written before the handler can
// run, read only by it.
char gInterruptPath[PATH_MAX + 16];
volatile std::sig_atomic_t gInterruptArmed = 0;

extern "C" void removeAndReraise(int signal) {
    if (gInterruptArmed) unlink(gInterruptPath);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

FileIdentity identityOf(const struct stat& info) {
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
            static_cast<std::int64_t>(info.st_size),
            static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

}  // namespace

bool fileIdentity(const std::string& path, FileIdentity& identity) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return false;
    identity = identityOf(info);
    return true;
}

MappedFile::~MappedFile() {
    if (handle_ != 0) munmap(reinterpret_cast<void*>(handle_), size_);
}

bool MappedFile::open(const std::string& path, std::string& error) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        error = path + ": cannot open (" + reason(errno) + ")";
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = path + ": is " + kindOf(info.st_mode) + ", not a file";
        return false;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = path + ": cannot open (" + reason(errno) + ")";
        return false;
    }
    if (fstat(fd, &info) == 0) identity_ = identityOf(info);  // the file opened, not the name
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
    }
    close(fd);
    return true;
}

void MappedFile::releaseBefore(std::size_t offset) noexcept {
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t whole = offset / page * page;
    if (whole > 0 && whole <= size_) madvise(const_cast<char*>(data_), whole, MADV_DONTNEED);
}

bool inspectWriteTarget(const std::string& path, WriteTarget& target, std::string& error) {
    target = WriteTarget{};
    target.path = path;
    struct stat link {};
    if (lstat(path.c_str(), &link) != 0) {
        if (errno == ENOENT) return true;  // a new file; its folder is checked on creation
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

void removeFile(const std::string& path) noexcept {
    unlink(path.c_str());
}

void removeOnInterrupt(const std::string& path) {
    gInterruptArmed = 0;
    if (path.empty() || path.size() >= sizeof gInterruptPath) return;
    std::memcpy(gInterruptPath, path.c_str(), path.size() + 1);
    static bool installed = false;
    if (!installed) {
        for (int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, removeAndReraise);
        installed = true;
    }
    gInterruptArmed = 1;
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
