// The host's files on Windows: CreateFileMapping for reading; file types and
// attributes, CREATE_NEW, FlushFileBuffers and MoveFileEx for the safe writer.
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "host_files.h"

namespace talvexhost {

namespace {

std::string reason(DWORD code) {
    char text[256] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() &&
           (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
        message.pop_back();
    return message.empty() ? "error " + std::to_string(code) : message;
}

const char* kindOf(DWORD type) {
    if (type == FILE_TYPE_CHAR) return "a character device";
    if (type == FILE_TYPE_PIPE) return "a pipe";
    return "not a regular file";
}

// The file the path names, with links and junctions followed.
std::string finalPath(HANDLE file, const std::string& fallback) {
    char buffer[MAX_PATH * 4];
    const DWORD length = GetFinalPathNameByHandleA(file, buffer, sizeof buffer,
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= sizeof buffer) return fallback;
    std::string path(buffer, length);
    if (path.rfind("\\\\?\\UNC\\", 0) == 0) return "\\\\" + path.substr(8);
    if (path.rfind("\\\\?\\", 0) == 0) return path.substr(4);
    return path;
}

char gInterruptPath[MAX_PATH * 4];
volatile LONG gInterruptArmed = 0;

BOOL WINAPI removeOnConsoleEvent(DWORD) {
    if (gInterruptArmed) DeleteFileA(gInterruptPath);
    return FALSE;  // the default handler ends the process
}

FileIdentity identityOf(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info)) return {};
    const auto join = [](DWORD high, DWORD low) {
        return (static_cast<std::uint64_t>(high) << 32) | low;
    };
    const std::uint64_t written =
        join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime);
    return {info.dwVolumeSerialNumber, join(info.nFileIndexHigh, info.nFileIndexLow),
            static_cast<std::int64_t>(join(info.nFileSizeHigh, info.nFileSizeLow)),
            static_cast<std::int64_t>(written * 100)};  // the system counts in 100 ns
}

}  // namespace

bool fileIdentity(const std::string& path, FileIdentity& identity) {
    HANDLE file =
        CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    identity = identityOf(file);
    CloseHandle(file);
    return identity.size >= 0;
}

MappedFile::~MappedFile() {
    if (data_ != nullptr) UnmapViewOfFile(data_);
    if (handle_ != 0) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool MappedFile::open(const std::string& path, std::string& error) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error = path + ": is a folder, not a file";
        return false;
    }
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = path + ": cannot open (" + reason(GetLastError()) + ")";
        return false;
    }
    identity_ = identityOf(file);
    const DWORD type = GetFileType(file);
    LARGE_INTEGER size{};
    if (type != FILE_TYPE_DISK || !GetFileSizeEx(file, &size)) {
        CloseHandle(file);
        error = path + ": is " + std::string(kindOf(type)) + ", not a file";
        return false;
    }
    if (static_cast<unsigned long long>(size.QuadPart) >
        static_cast<unsigned long long>(SIZE_MAX)) {
        CloseHandle(file);
        error = path + ": too large for this system's address space";
        return false;
    }
    if (size.QuadPart > 0) {
        HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
        const void* view =
            mapping != nullptr ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
        if (view == nullptr) {
            error = path + ": cannot map (" + reason(GetLastError()) + ")";
            if (mapping != nullptr) CloseHandle(mapping);
            CloseHandle(file);
            return false;
        }
        data_ = static_cast<const char*>(view);
        size_ = static_cast<std::size_t>(size.QuadPart);
        handle_ = reinterpret_cast<std::intptr_t>(mapping);
    }
    CloseHandle(file);
    return true;
}

void MappedFile::releaseBefore(std::size_t) noexcept {
    // A mapped view's clean pages are dropped by the system as it needs them.
}

bool inspectWriteTarget(const std::string& path, WriteTarget& target, std::string& error) {
    target = WriteTarget{};
    target.path = path;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return true;
        // Wine, for one, describes no Unix device or pipe.
        error = path + ": not a regular file, or it cannot be examined (" + reason(code) +
                "); nothing was written";
        return false;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        error = path + ": is a folder, not a regular file; nothing was written";
        return false;
    }
    // Opening with no access right reads nothing and waits for nothing, even
    // on a device or a pipe.
    HANDLE file =
        CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = path + ": not a regular file, or it cannot be opened (" + reason(GetLastError()) +
                "); nothing was written";
        return false;
    }
    const DWORD type = GetFileType(file);
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = GetFileInformationByHandle(file, &info) != 0;
    target.path = finalPath(file, path);
    CloseHandle(file);
    if (type != FILE_TYPE_DISK || (attributes & FILE_ATTRIBUTE_DEVICE)) {
        error = path + ": is " + std::string(kindOf(type)) +
                ", not a regular file; nothing was written";
        return false;
    }
    if (known && info.nNumberOfLinks > 1) {
        error = path + ": has " + std::to_string(info.nNumberOfLinks) +
                " hard links; replacing it would part it from its other names, and writing into it "
                "would "
                "change them all, so nothing was written";
        return false;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        error = path + ": not writable (the file is read-only); nothing was written";
        return false;
    }
    HANDLE writable = CreateFileA(target.path.c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    if (writable == INVALID_HANDLE_VALUE) {
        error = path + ": not writable (" + reason(GetLastError()) + "); nothing was written";
        return false;
    }
    CloseHandle(writable);
    target.exists = true;
    target.mode = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    return true;
}

std::intptr_t createExclusive(const std::string& path, std::string& error) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        error = code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS ? "exists" : reason(code);
        return -1;
    }
    return reinterpret_cast<std::intptr_t>(file);
}

bool writeAll(std::intptr_t file, const char* data, std::size_t size, std::string& error) {
    while (size > 0) {
        const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(reinterpret_cast<HANDLE>(file), data, chunk, &written, nullptr) ||
            written == 0) {
            error = reason(GetLastError());
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// Windows starts writing a file's cached bytes on its own; nothing to ask.
void startWriteback(std::intptr_t) noexcept {}

// The Windows heap hands large blocks back to the system on its own.
void returnLargeBlocksToSystem() noexcept {}

void settleWritten(std::intptr_t file) noexcept {
    (void)FlushFileBuffers(reinterpret_cast<HANDLE>(file));
}

bool finishFile(std::intptr_t file, const WriteTarget&, std::string& error) {
    HANDLE handle = reinterpret_cast<HANDLE>(file);
    const bool flushed = FlushFileBuffers(handle) != 0;
    const DWORD code = GetLastError();
    CloseHandle(handle);
    if (!flushed) error = reason(code);
    return flushed;
}

void abandonFile(std::intptr_t file) noexcept {
    CloseHandle(reinterpret_cast<HANDLE>(file));
}

bool replaceFile(const std::string& from, const std::string& to, std::string& error) {
    if (!MoveFileExA(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = reason(GetLastError());
        return false;
    }
    return true;
}

void removeFile(const std::string& path) noexcept {
    DeleteFileA(path.c_str());
}

void removeOnInterrupt(const std::string& path) {
    gInterruptArmed = 0;
    if (path.empty() || path.size() >= sizeof gInterruptPath) return;
    std::memcpy(gInterruptPath, path.c_str(), path.size() + 1);
    static bool installed = false;
    if (!installed) installed = SetConsoleCtrlHandler(removeOnConsoleEvent, TRUE) != 0;
    gInterruptArmed = 1;
}

std::uint64_t availableMemory() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status)) return 0;
    // A 32-bit process runs out of address space long before a machine runs
    // out of memory.
    return status.ullAvailVirtual < status.ullAvailPageFile ? status.ullAvailVirtual
                                                            : status.ullAvailPageFile;
}

bool stderrIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

}  // namespace talvexhost
