// The host's files on Windows: CreateFileMapping for reading; file types and
// attributes, CREATE_NEW, FlushFileBuffers and MoveFileEx for the safe writer.
#include <emmintrin.h>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

#include "io/fault_guards.h"
#include "io/host_files.h"

// The C library's memchr, which the mesh readers lean on to find line ends,
// compares a byte at a time in some runtimes (Wine's among them): this one
// compares sixteen. Its loads are aligned, so none crosses into a page past
// the buffer's; bytes outside the buffer that they read are masked off.
extern "C" void* memchr(const void* buffer, int value, std::size_t size) {
    if (size == 0) return nullptr;
    const auto* start = static_cast<const unsigned char*>(buffer);
    const std::size_t skip = reinterpret_cast<std::uintptr_t>(start) & 15;
    const unsigned char* block = start - skip;
    std::size_t left = size + skip;  // from `block` to the buffer's end
    const __m128i wanted = _mm_set1_epi8(static_cast<char>(value));
    unsigned found = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(
                         _mm_load_si128(reinterpret_cast<const __m128i*>(block)), wanted))) &
                     (0xffffu << skip);
    for (;;) {
        if (found != 0) {
            const std::size_t at = static_cast<std::size_t>(__builtin_ctz(found));
            return at < left ? const_cast<unsigned char*>(block + at) : nullptr;
        }
        if (left <= 16) return nullptr;
        block += 16;
        left -= 16;
        found = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_cmpeq_epi8(_mm_load_si128(reinterpret_cast<const __m128i*>(block)), wanted)));
    }
}

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

// Windows refuses to cut short a file that is mapped, so a page error inside
// one means its volume went away. The console handler runs on a thread of its
// own.
using namespace faultguards;

void removeGuardedPending() {
    removeArmedPending(
        [](const char* path) {
            return DeleteFileA(path) || GetLastError() == ERROR_FILE_NOT_FOUND;
        },
        [](const char* path) {
            std::fprintf(stderr,
                         "talvex-host: cannot remove the lock file %s; remove it by hand once no "
                         "other run writes that file\n",
                         path);
        });
}

BOOL WINAPI removeOnConsoleEvent(DWORD) {
    removeGuardedPending();
    return FALSE;  // the default handler ends the process
}

LONG CALLBACK pageError(EXCEPTION_POINTERS* exception) {
    const EXCEPTION_RECORD* record = exception->ExceptionRecord;
    if (record->ExceptionCode != EXCEPTION_IN_PAGE_ERROR || record->NumberParameters < 2)
        return EXCEPTION_CONTINUE_SEARCH;
    const MappingGuard* mapping =
        mappingHolding(reinterpret_cast<const char*>(record->ExceptionInformation[1]));
    if (mapping == nullptr) return EXCEPTION_CONTINUE_SEARCH;
    removeGuardedPending();
    std::fprintf(stderr,
                 "talvex-host: %s: the input changed while it was read (it could not be read "
                 "again); nothing was written\n",
                 mapping->path);
    std::fflush(stderr);
    ExitProcess(1);
}

FileVersion versionOf(HANDLE file) {
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

void installHandlers() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    SetConsoleCtrlHandler(removeOnConsoleEvent, TRUE);
    AddVectoredExceptionHandler(1, pageError);
}

int guardMapping(const std::string& path, const char* data, std::size_t size) {
    installHandlers();
    return armMapping(path, data, size);
}

bool identityOf(HANDLE file, const std::string& path, FileIdentity& identity) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info)) return false;
    identity.device = info.dwVolumeSerialNumber;
    identity.index = (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    identity.path = finalPath(file, path);
    return true;
}

// Standard input to its end; a broken pipe is its end, any other failure is not.
bool readStandardInput(std::string& bytes, std::string& error) {
    _setmode(_fileno(stdin), _O_BINARY);
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    bytes.clear();
    std::size_t used = 0;
    for (;;) {
        if (bytes.size() - used < (std::size_t(1) << 16))
            bytes.resize(bytes.size() < (std::size_t(1) << 20) ? std::size_t(1) << 20
                                                               : bytes.size() * 2);
        DWORD got = 0;
        if (!ReadFile(in, &bytes[used], static_cast<DWORD>(bytes.size() - used), &got, nullptr)) {
            const DWORD code = GetLastError();
            if (code == ERROR_BROKEN_PIPE || code == ERROR_HANDLE_EOF) break;
            error = "standard input: read failed (" + reason(code) + ")";
            return false;
        }
        if (got == 0) break;
        used += got;
    }
    bytes.resize(used);
    bytes.shrink_to_fit();
    return true;
}

// Opens a regular file to read; INVALID_HANDLE_VALUE with "PATH: reason".
HANDLE openRegular(const std::string& path, std::string& error) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error = path + ": is a folder, not a file";
        return INVALID_HANDLE_VALUE;
    }
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = path + ": cannot open (" + reason(GetLastError()) + ")";
        return file;
    }
    const DWORD type = GetFileType(file);
    if (type != FILE_TYPE_DISK) {
        CloseHandle(file);
        error = path + ": is " + std::string(kindOf(type)) + ", not a file";
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

// Whether resetting a view of `mapping` drops its pages and reads them again
// from the file when they are touched. Wine resets a view with the system's
// "drop these pages", which is right where the view maps the file itself but
// would leave zeros where it had to read the file into memory instead (a file
// system that cannot map). A second view of the first page, reset and read
// again, tells them apart; Windows refuses to reset a file's view at all. A
// first page of zeros tells nothing and counts as no.
bool resetRereadsFile(HANDLE mapping, const char* data, std::size_t size) {
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    const std::size_t page = size < system.dwPageSize ? size : system.dwPageSize;
    if (page < system.dwPageSize || std::all_of(data, data + page, [](char c) { return c == 0; }))
        return false;
    void* probe = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, page);
    if (probe == nullptr) return false;
    const bool reread = VirtualAlloc(probe, page, MEM_RESET, PAGE_READONLY) != nullptr &&
                        std::memcmp(probe, data, page) == 0;
    UnmapViewOfFile(probe);
    return reread;
}

}  // namespace

bool fileVersion(const std::string& path, FileVersion& version) {
    HANDLE file =
        CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    version = versionOf(file);
    CloseHandle(file);
    return version.size >= 0;
}

MappedFile::~MappedFile() {
    disarmMapping(guard_);
    if (data_ != nullptr && handle_ != 0) UnmapViewOfFile(data_);
    if (handle_ != 0) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool MappedFile::open(const std::string& path, std::string& error) {
    if (path == "-") {
        if (!readStandardInput(read_, error)) return false;
        data_ = read_.data();
        size_ = read_.size();
        return true;
    }
    HANDLE file = openRegular(path, error);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size)) {
        error = path + ": cannot open (" + reason(GetLastError()) + ")";
        CloseHandle(file);
        return false;
    }
    FileIdentity identity;
    if (identityOf(file, path, identity)) noteInput(identity);
    version_ = versionOf(file);  // the file opened, not the name
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
        name_ = path;
        guard_ = guardMapping(name_, data_, size_);
        droppable_ = resetRereadsFile(mapping, data_, size_);
    }
    CloseHandle(file);
    return true;
}

void MappedFile::releaseBefore(std::size_t offset) noexcept {
    if (handle_ == 0) return;
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    const std::size_t whole = offset / system.dwPageSize * system.dwPageSize;
    if (whole == 0 || whole > size_) return;
    void* start = const_cast<char*>(data_);
    // Resetting drops the pages where the view is the file's own pages and
    // they come back from the file (Wine); Windows refuses it for a file's
    // view, and there taking the pages out of the working set is the way.
    if (droppable_)
        (void)VirtualAlloc(start, whole, MEM_RESET, PAGE_READONLY);
    else
        (void)VirtualUnlock(start, whole);
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

bool removeFile(const std::string& path, std::string& error) noexcept {
    if (DeleteFileA(path.c_str())) return true;
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND) return true;
    try {
        error = reason(code);
    } catch (...) {
    }
    return false;
}

int guardPending(const std::string& path) {
    installHandlers();
    return armPending(path);
}

void unguardPending(int guard) noexcept {
    disarmPending(guard);
}

bool identifyFile(const std::string& path, FileIdentity& identity) {
    HANDLE file =
        CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool known = identityOf(file, path, identity);
    CloseHandle(file);
    return known;
}

bool readRegularFile(const std::string& path, std::string& bytes, std::string& error) {
    if (path == "-") return readStandardInput(bytes, error);
    HANDLE file = openRegular(path, error);
    if (file == INVALID_HANDLE_VALUE) return false;
    FileIdentity identity;
    if (identityOf(file, path, identity)) noteInput(identity);
    bytes.clear();
    char chunk[1 << 16];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr)) {
            error = path + ": read failed (" + reason(GetLastError()) + ")";
            CloseHandle(file);
            return false;
        }
        if (got == 0) break;
        bytes.append(chunk, got);
    }
    CloseHandle(file);
    return true;
}

bool readFileHead(const std::string& path, std::size_t size, std::string& head) {
    std::string error;
    HANDLE file = openRegular(path, error);
    if (file == INVALID_HANDLE_VALUE) return false;
    head.assign(size, '\0');
    std::size_t got = 0;
    while (got < size) {
        DWORD n = 0;
        if (!ReadFile(file, &head[got], static_cast<DWORD>(size - got), &n, nullptr) || n == 0)
            break;
        got += n;
    }
    CloseHandle(file);
    head.resize(got);
    return true;
}

std::string executablePath() {
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &name[0], static_cast<DWORD>(name.size()));
        if (length == 0) return {};
        if (length < name.size()) {
            name.resize(length);
            break;
        }
        name.resize(name.size() * 2);
    }
    // The file the name reaches, links followed, in the code page the rest
    // of the host's file calls use.
    HANDLE file =
        CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        wchar_t final[MAX_PATH * 4];
        const DWORD length = GetFinalPathNameByHandleW(file, final, MAX_PATH * 4,
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        CloseHandle(file);
        if (length > 0 && length < MAX_PATH * 4) {
            name.assign(final, length);
            if (name.rfind(L"\\\\?\\UNC\\", 0) == 0)
                name = L"\\\\" + name.substr(8);
            else if (name.rfind(L"\\\\?\\", 0) == 0)
                name = name.substr(4);
        }
    }
    const int size = WideCharToMultiByte(CP_ACP, 0, name.c_str(), static_cast<int>(name.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string path(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_ACP, 0, name.c_str(), static_cast<int>(name.size()), &path[0], size,
                            nullptr, nullptr);
    return path;
}

void useBinaryStandardStreams() noexcept {
    std::fflush(stdout);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stdin), _O_BINARY);
}

// Windows has no SIGSTOP to pause with; the fault tests that need one are
// POSIX-only.
void pauseForTest(const char*, const std::string&) noexcept {}

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
