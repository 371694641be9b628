// Program entry: the application object, the main window, the message loop.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "database/secure_memory.h"
#include "mainwindow/command_line.h"
#include "mainwindow/main_form.h"
#include "preferences/settings.h"
#include "toolkit/application.h"

namespace {

constexpr int kExitUsage = 64; // as tkf and sysexits.h

} // namespace

int main(int argc, char** argv) {
    const auto started = std::chrono::steady_clock::now();
    tallykey::ProtectProcess();

    using tallykey::ProgramCommandLine;
    ProgramCommandLine commandLine =
        tallykey::ParseProgramCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (commandLine.action == ProgramCommandLine::Action::Help) {
        std::fputs(tallykey::ProgramUsageText().c_str(), stdout);
        return 0;
    }
    if (commandLine.action == ProgramCommandLine::Action::Version) {
        std::fputs(tallykey::ProgramVersionText().c_str(), stdout);
        return 0;
    }
    if (commandLine.action == ProgramCommandLine::Action::WrongUsage) {
        std::fprintf(stderr, "tallyk: %s (try tallyk --help)\n", commandLine.error.c_str());
        return kExitUsage;
    }

    // The window system sees the words before "--" only.
    toolkit::Application app(commandLine.toolkitArguments, tallykey::kAppTitle);
    tallykey::FinishProgramCommandLine(commandLine, app.Arguments());
    if (commandLine.action == ProgramCommandLine::Action::WrongUsage) {
        std::fprintf(stderr, "tallyk: %s (try tallyk --help)\n", commandLine.error.c_str());
        return kExitUsage;
    }
    // Desktops that match windows to their menu entry (Wayland) find it by this name.
    app.SetDesktopEntry("tallykey");

    tallykey::Settings().CommandLineCodePage = commandLine.codePage;
    tallykey::MainForm form;
    if (!commandLine.file.empty())
        form.SetArguments({commandLine.file});
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
