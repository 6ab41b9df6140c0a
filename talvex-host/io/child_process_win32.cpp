#include <windows.h>

#include <mutex>

#include "io/child_process.h"

namespace talvexhost {

namespace {

// One argument as the C runtime of the started program splits it again:
// quoted when it holds a blank or a quote, with backslashes before a quote
// doubled.
std::string quoted(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') backslashes = backslashes * 2 + 1;
        out.append(backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    return out + "\"";
}

HANDLE inheritable(const std::string& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, TRUE};
    return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &attributes,
                       disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

int runChildProcess(const std::string& program, const std::vector<std::string>& args,
                    const std::string& outPath, const std::string& errPath, std::string& error) {
    // Handles made inheritable for one process must not leak into another
    // started at the same time from another thread.
    static std::mutex starting;
    std::unique_lock<std::mutex> lock(starting);
    std::string line = quoted(program);
    for (const std::string& arg : args) line += " " + quoted(arg);
    HANDLE in = inheritable("NUL", GENERIC_READ, OPEN_EXISTING);
    HANDLE out = inheritable(outPath, GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE err = inheritable(errPath, GENERIC_WRITE, CREATE_ALWAYS);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    const bool started = in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE &&
                         err != INVALID_HANDLE_VALUE &&
                         CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
    const DWORD why = GetLastError();
    for (HANDLE handle : {in, out, err})
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    lock.unlock();
    if (!started) {
        error = program + ": cannot start (error " + std::to_string(why) + ")";
        return -1;
    }
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hProcess);
    // Exceptions end a Windows process with their code (0xC0000005 ...) as its status.
    if (status > 255) {
        error = "ended by exception 0x" + [&] {
            char hex[16];
            wsprintfA(hex, "%08lX", status);
            return std::string(hex);
        }();
        return -1;
    }
    return static_cast<int>(status);
}

}  // namespace talvexhost
