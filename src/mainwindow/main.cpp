// Program entry: the application object, the main window, the message loop.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "mainwindow/main_form.h"
#include "toolkit/application.h"

int main(int argc, char** argv) {
    const auto started = std::chrono::steady_clock::now();

    toolkit::Application app(argc, argv, tallykey::kAppTitle);
    tallykey::MainForm form;
    form.Arguments = app.Arguments();
    form.Initialize();

    // TALLYKEY_EXIT_AFTER_SHOW=1 measures the start-up: the time from entering
    // main to the end of the first show goes to standard error and the program
    // quits at once, without the close prompt and without writing the settings.
    if (const char* exitAfterShow = std::getenv("TALLYKEY_EXIT_AFTER_SHOW");
        exitAfterShow && std::strcmp(exitAfterShow, "1") == 0) {
        form.OnShow = [&form, firstShow = form.OnShow, started] {
            if (firstShow)
                firstShow();
            const auto elapsed = std::chrono::duration<double, std::milli>(
                std::chrono::steady_clock::now() - started);
            std::fprintf(stderr, "first show after %.1f ms\n", elapsed.count());
            form.OnCloseQuery = nullptr;
            form.Close();
        };
    }
    return app.Run(form);
}
