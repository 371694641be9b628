// The time from starting the program to its main window appearing on an X
// server, as a user waits for it: process start, the toolkit, the settings
// (none yet: a first start), the window built and mapped.
//
// Needs an X server in DISPLAY (bench/run_startup.sh starts Xvfb) and the
// program's executable: TALLYKEY_EXE, else "tallyk" beside the bench folder.
// With TALLYKEY_RUNNER set the executable is started through it (tallyk.exe
// through scripts/wine-run.sh, on a Wine server already running). Each run
// copies the executable into an empty folder, so that it finds no settings
// file and starts as on a new machine.
#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xlib.h>

namespace {

namespace fs = std::filesystem;

fs::path ProgramPath() {
    if (const char* exe = std::getenv("TALLYKEY_EXE"))
        return exe;
    return fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "tallyk";
}

// True for a window whose caption names the program.
bool IsProgramWindow(Display* dpy, Window window) {
    char* name = nullptr;
    if (!XFetchName(dpy, window, &name) || !name)
        return false;
    const bool ours = std::string(name).find("Tallykey") != std::string::npos;
    XFree(name);
    return ours;
}

// Waits until the program's main window is mapped; false after `timeout` or
// when the program has ended (`ended` is then true).
bool WaitForMap(Display* dpy, pid_t child, std::chrono::milliseconds timeout, bool& ended) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    ended = false;
    while (std::chrono::steady_clock::now() < deadline) {
        if (::waitpid(child, nullptr, WNOHANG) == child) {
            ended = true;
            return false;
        }
        while (XPending(dpy) > 0) {
            XEvent event;
            XNextEvent(dpy, &event);
            if (event.type == MapNotify && IsProgramWindow(dpy, event.xmap.window))
                return true;
        }
        pollfd fd{ConnectionNumber(dpy), POLLIN, 0};
        ::poll(&fd, 1, 5);
    }
    return false;
}

void BM_StartToFirstShow(benchmark::State& state) {
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        state.SkipWithError("no X server in DISPLAY");
        return;
    }
    const fs::path program = ProgramPath();
    if (!fs::exists(program)) {
        XCloseDisplay(dpy);
        state.SkipWithError(("program not found: " + program.string()).c_str());
        return;
    }
    const fs::path folder = fs::temp_directory_path() / ("tk-bench-start-" + std::to_string(::getpid()));
    const char* runner = std::getenv("TALLYKEY_RUNNER");
    XSelectInput(dpy, DefaultRootWindow(dpy), SubstructureNotifyMask);
    XSync(dpy, True);
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(folder);
        fs::create_directories(folder);
        const fs::path copy = folder / program.filename();
        fs::copy_file(program, copy);
        fs::permissions(copy, fs::perms::owner_all);
        XSync(dpy, True); // forget the events of the run before
        state.ResumeTiming();

        const auto start = std::chrono::steady_clock::now();
        const pid_t child = ::fork();
        if (child == 0) {
            ::setpgid(0, 0); // the program and whatever starts it end together
            if (runner && *runner)
                ::execl(runner, runner, copy.c_str(), static_cast<char*>(nullptr));
            else
                ::execl(copy.c_str(), copy.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        bool ended = false;
        const bool shown = WaitForMap(dpy, child, std::chrono::seconds(20), ended);
        const auto end = std::chrono::steady_clock::now();

        state.PauseTiming();
        if (!ended) {
            ::kill(-child, SIGKILL);
            ::waitpid(child, nullptr, 0);
        }
        if (!shown) {
            state.SkipWithError(ended ? "the program ended before its main window appeared"
                                      : "the main window did not appear within 20 s");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        state.ResumeTiming();
    }
    fs::remove_all(folder);
    XCloseDisplay(dpy);
}

BENCHMARK(BM_StartToFirstShow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

BENCHMARK_MAIN();
