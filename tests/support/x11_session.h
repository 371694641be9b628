// A private X server for tests that need a real X11 desktop, and running the
// small X tools (xdotool, xclip) against it.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

extern char** environ;

namespace tallykey::test {

// True when `name` is an executable somewhere on PATH.
inline bool HaveProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!dir.empty() && ::access((dir + "/" + name).c_str(), X_OK) == 0)
            return true;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return false;
}

// A child process with its standard output (and error) read through a pipe.
class Process {
public:
    // `env` entries "NAME=value" replace or add to this process's environment.
    Process(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
            int extraFd = -1) {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0)
            return;
        std::vector<std::string> environment;
        for (char** e = environ; *e; ++e) {
            std::string entry = *e;
            bool replaced = false;
            for (const std::string& add : env)
                if (entry.compare(0, add.find('=') + 1, add, 0, add.find('=') + 1) == 0)
                    replaced = true;
            if (!replaced)
                environment.push_back(entry);
        }
        environment.insert(environment.end(), env.begin(), env.end());
        std::vector<char*> args, envp;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        for (const std::string& e : environment)
            envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, out[1], 2);
        if (extraFd >= 0)
            posix_spawn_file_actions_adddup2(&actions, extraFd, 9);
        if (posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), envp.data()) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        out_ = out[0];
    }
    ~Process() {
        if (Running()) {
            ::kill(pid_, SIGTERM);
            Wait();
        }
        if (out_ >= 0)
            ::close(out_);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool Started() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }
    bool Running() {
        if (pid_ <= 0 || exited_)
            return false;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            exited_ = true;
            status_ = status;
        }
        return !exited_;
    }
    // Exit code, or -1 when it did not exit normally.
    int Wait() {
        if (pid_ > 0 && !exited_) {
            int status = 0;
            while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
            }
            exited_ = true;
            status_ = status;
        }
        return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
    }
    // Reads what is waiting on the output pipe, waiting at most `ms` for some.
    void ReadOutput(int ms) {
        if (out_ < 0)
            return;
        pollfd p{out_, POLLIN, 0};
        if (::poll(&p, 1, ms) <= 0)
            return;
        char buffer[4096];
        ssize_t n = ::read(out_, buffer, sizeof buffer);
        if (n > 0)
            output_.append(buffer, static_cast<std::size_t>(n));
    }
    // Runs `pump` (the caller's event processing) until the process ends,
    // collecting its output; kills it after `timeoutMs`.
    int WaitPumping(const std::function<void()>& pump, int timeoutMs = 20000) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (Running() && std::chrono::steady_clock::now() < deadline) {
            if (pump)
                pump();
            ReadOutput(5);
        }
        if (Running())
            ::kill(pid_, SIGKILL);
        int code = Wait();
        for (int i = 0; i < 100 && out_ >= 0; ++i) {
            std::size_t before = output_.size();
            ReadOutput(0);
            if (output_.size() == before)
                break;
        }
        return code;
    }
    const std::string& Output() const { return output_; }
    // Collects output until `text` has appeared in it (false after `timeoutMs`
    // or when the process ends without it).
    bool WaitForOutput(const std::string& text, int timeoutMs = 20000) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (output_.find(text) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
            bool running = Running();
            ReadOutput(20);
            if (!running && output_.find(text) == std::string::npos) {
                ReadOutput(0);
                break;
            }
        }
        return output_.find(text) != std::string::npos;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    bool exited_ = false;
    int status_ = 0;
    std::string output_;
};

// Xvfb on a free display of its own, ready when constructed.
class Xvfb {
public:
    Xvfb() {
        if (!HaveProgram("Xvfb"))
            return;
        for (int attempt = 0; attempt < 40 && display_.empty(); ++attempt) {
            int number = 100 + static_cast<int>((::getpid() + attempt * 7) % 400);
            if (::access(("/tmp/.X" + std::to_string(number) + "-lock").c_str(), F_OK) == 0)
                continue;
            int ready[2];
            if (::pipe2(ready, O_CLOEXEC) != 0)
                return;
            // Xvfb writes the display number to fd 9 once it accepts clients.
            auto server = std::make_unique<Process>(
                std::vector<std::string>{"Xvfb", ":" + std::to_string(number), "-displayfd", "9", "-nolisten",
                                         "tcp", "-screen", "0", "1024x768x24"},
                std::vector<std::string>{}, ready[1]);
            ::close(ready[1]);
            std::string answer;
            char c;
            pollfd p{ready[0], POLLIN, 0};
            while (::poll(&p, 1, 10000) > 0 && ::read(ready[0], &c, 1) == 1 && c != '\n')
                answer += c;
            ::close(ready[0]);
            if (answer == std::to_string(number)) {
                display_ = ":" + answer;
                server_ = std::move(server);
            }
        }
    }
    bool Started() const { return !display_.empty(); }
    const std::string& Display() const { return display_; }
    // "DISPLAY=:n" for a child's environment.
    std::string DisplayEnv() const { return "DISPLAY=" + display_; }
    // Runs an X tool on this display and returns its exit code.
    int Run(std::vector<std::string> argv, std::string* output = nullptr) const {
        Process tool(argv, {DisplayEnv()});
        int code = tool.WaitPumping(nullptr);
        if (output)
            *output = tool.Output();
        return code;
    }

private:
    std::string display_;
    std::unique_ptr<Process> server_;
};

// This test program's own path, to run one of its tests in a child process
// (one with another Qt platform than the offscreen one).
inline std::string SelfPath() {
    char buffer[4096];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

// Whether this process is an X11Child: a test that needs the X server runs
// its body only there (the offscreen run of the whole program skips it).
inline bool InX11Child() { return std::getenv("TALLYKEY_X11_CHILD") != nullptr; }

// One test of this program in a child process on the private X server, with
// Qt's xcb platform; `extraEnv` adds to its environment.
class X11Child : public Process {
public:
    X11Child(const Xvfb& x, const std::string& test, const std::vector<std::string>& extraEnv = {})
        : Process({SelfPath(), "--gtest_filter=" + test}, Environment(x, extraEnv)) {}

private:
    static std::vector<std::string> Environment(const Xvfb& x, const std::vector<std::string>& extraEnv) {
        std::vector<std::string> env = {x.DisplayEnv(), "QT_QPA_PLATFORM=xcb", "TALLYKEY_X11_CHILD=1"};
        env.insert(env.end(), extraEnv.begin(), extraEnv.end());
        return env;
    }
};

} // namespace tallykey::test
