// The one application object of a GUI test program, made on first use on
// Qt's offscreen platform (unless the test run chose another).
#pragma once

#include <cstdlib>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "toolkit/application.h"

namespace tallykey::test {

inline toolkit::Application& TestApp() {
    static toolkit::Application* app = [] {
        // Qt wants a private runtime folder; the tests make their own.
        if (!std::getenv("XDG_RUNTIME_DIR")) {
            static const std::string folder = "/tmp/xdg-tallykey-tests-" + std::to_string(::getuid());
            ::mkdir(folder.c_str(), 0700);
            ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 0);
        }
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "tallykey-tests";
        static char* argv[] = {name, nullptr};
        return new toolkit::Application(argc, argv, "Tallykey 0.4");
    }();
    return *app;
}

} // namespace tallykey::test
