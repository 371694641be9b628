// The one application object of a GUI test program, made on first use: on
// Linux on Qt's offscreen platform (unless the test run chose another), on
// Windows with real windows (Wine on an Xvfb of the test run's) that nobody
// looks at, so that what no hook answers never waits, as offscreen.
#pragma once

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "toolkit/application.h"
#include "toolkit/modal_hook.h"

namespace tallykey::test {

inline toolkit::Application& TestApp() {
    static toolkit::Application* app = [] {
#ifndef _WIN32
        // Qt wants a private runtime folder; the tests make their own.
        if (!std::getenv("XDG_RUNTIME_DIR")) {
            static const std::string folder = "/tmp/xdg-tallykey-tests-" + std::to_string(::getuid());
            ::mkdir(folder.c_str(), 0700);
            ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 0);
        }
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
#else
        toolkit::SetNobodyAtTheScreen(true);
#endif
        return new toolkit::Application({}, "Tallykey 0.4");
    }();
    return *app;
}

// Handles the application's events until `done()` holds or `timeoutMs` has
// passed; whether it holds. For events from other processes (a window
// manager, a desktop), which have no exact moment to wait for.
template <class Done>
bool PumpUntil(Done done, int timeoutMs = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        TestApp().ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return done();
}

} // namespace tallykey::test
