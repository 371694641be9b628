// Runs a built program as users run it, without a terminal (on Windows without
// a console): its standard input from bytes, its output and errors collected.
#pragma once

#include "support/files.h"

#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tallykey::test {

struct ProgramRun {
    int code = -1; // the exit code; 128 + the signal's number for a POSIX program killed by one
    std::string out;
    std::string err;
};

// Where "{extra}" stands in the arguments, the number of the extra input: a
// descriptor on POSIX, a handle value on Windows.
inline const std::string kExtraInput = "{extra}";

namespace detail {

#ifdef _WIN32
// One argument quoted as the C runtime's parser reads it back.
inline std::string Quote(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos)
        return arg;
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}

inline HANDLE OpenInherited(const std::filesystem::path& path, bool write) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return ::CreateFileW(path.wstring().c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                         write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}
#endif

} // namespace detail

// Runs `program` with `args` in `folder` (relative names are the folder's).
// `input` is its standard input; `extra`, when given, is one more input the
// program can read, whose number replaces each kExtraInput in `args`.
inline ProgramRun RunProgram(const std::string& program, std::vector<std::string> args,
                             const std::filesystem::path& folder, const std::string& input = "",
                             const std::string* extra = nullptr) {
    const auto inPath = folder / ".stdin", outPath = folder / ".stdout", errPath = folder / ".stderr",
               extraPath = folder / ".extra";
    WriteFile(inPath.string(), input);
    if (extra)
        WriteFile(extraPath.string(), *extra);
    ProgramRun run;
#ifdef _WIN32
    const HANDLE extraHandle = extra ? detail::OpenInherited(extraPath, false) : INVALID_HANDLE_VALUE;
    const std::string extraNumber = std::to_string(reinterpret_cast<std::intptr_t>(extraHandle));
#else
    const std::string extraNumber = "3";
#endif
    for (std::string& a : args)
        if (a == kExtraInput)
            a = extraNumber;
#ifdef _WIN32
    const HANDLE in = detail::OpenInherited(inPath, false), out = detail::OpenInherited(outPath, true),
                 err = detail::OpenInherited(errPath, true);
    std::string commandLine = detail::Quote(program);
    for (const std::string& a : args)
        commandLine += " " + detail::Quote(a);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    const std::string where = folder.string();
    // No console: a program that would ask on one finds none.
    if (::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, DETACHED_PROCESS, nullptr, where.c_str(),
                         &startup, &process)) {
        ::WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        ::GetExitCodeProcess(process.hProcess, &code);
        run.code = static_cast<int>(code);
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    } else {
        run.err = "CreateProcess failed with error " + std::to_string(::GetLastError()) + "\n";
    }
    for (HANDLE h : {in, out, err, extraHandle})
        if (h != INVALID_HANDLE_VALUE)
            ::CloseHandle(h);
#else
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setsid(); // no terminal to fall back on
        if (::chdir(folder.c_str()) != 0)
            ::_exit(126);
        ::dup2(::open(inPath.c_str(), O_RDONLY), 0);
        ::dup2(::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
        ::dup2(::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
        if (extra)
            ::dup2(::open(extraPath.c_str(), O_RDONLY), 3);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
#endif
    run.out = ReadFile(outPath.string());
    run.err += ReadFile(errPath.string());
    std::error_code ignored;
    for (const auto& p : {inPath, outPath, errPath, extraPath})
        std::filesystem::remove(p, ignored);
    return run;
}

} // namespace tallykey::test
