// The program's command line, parsed and tried on the real program.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include <sys/wait.h>

#include "mainwindow/command_line.h"

using namespace tallykey;

namespace {

using Action = ProgramCommandLine::Action;

ProgramCommandLine Parse(const std::vector<std::string>& args, const std::vector<std::string>& toolkitLeaves) {
    ProgramCommandLine c = ParseProgramCommandLine(args);
    if (c.action == Action::Run)
        FinishProgramCommandLine(c, toolkitLeaves);
    return c;
}

TEST(ProgramCommandLine, OptionsFilesAndTheEndOfOptions) {
    // Words after "--" never reach the window system, which would take "-style" as its own.
    ProgramCommandLine c = ParseProgramCommandLine({"-reverse", "--", "-style", "--help"});
    EXPECT_EQ(c.action, Action::Run);
    EXPECT_EQ(c.toolkitArguments, std::vector<std::string>{"-reverse"});
    FinishProgramCommandLine(c, {});
    EXPECT_EQ(c.file, "-style");

    EXPECT_EQ(Parse({"a.tkf", "b.tkf"}, {"a.tkf", "b.tkf"}).file, "a.tkf");
    EXPECT_EQ(Parse({"--", "-x.tkf"}, {}).file, "-x.tkf");
    EXPECT_EQ(Parse({}, {}).file, "");
    EXPECT_EQ(Parse({"--version", "--help"}, {}).action, Action::Help);
    EXPECT_EQ(Parse({"x.tkf", "--version"}, {}).action, Action::Version);

    const ProgramCommandLine unknown = Parse({"-x.tkf"}, {"-x.tkf"});
    EXPECT_EQ(unknown.action, Action::WrongUsage);
    EXPECT_EQ(unknown.error, "unknown option -x.tkf");
}

TEST(ProgramCommandLine, CodePageForOneRun) {
    ProgramCommandLine c = Parse({"--codepage", "1251", "a.tkf"}, {"a.tkf"});
    EXPECT_EQ(c.action, Action::Run);
    EXPECT_EQ(c.codePage, 1251);
    EXPECT_EQ(c.file, "a.tkf");
    EXPECT_EQ(Parse({"--codepage=65001"}, {}).codePage, 65001);
    EXPECT_EQ(Parse({}, {}).codePage, 0);
    EXPECT_EQ(Parse({"--", "--codepage"}, {}).file, "--codepage");
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--codepage", "12345"}, {"--codepage=1251x"}, {"--codepage="}, {"--codepage", "0"}, {"--codepage"}}) {
        c = Parse(args, {});
        EXPECT_EQ(c.action, Action::WrongUsage) << args.back();
        EXPECT_EQ(c.error.rfind("--codepage needs a", 0), 0u) << c.error;
    }
    EXPECT_EQ(Parse({"--codepage", "x", "--help"}, {}).action, Action::Help);
}

// --version and --help answer without a display, where the window system
// would refuse to start; an unknown option is wrong usage.
TEST(ProgramCommandLine, TheProgramAnswersWithoutADisplay) {
    const std::string program = std::string(TALLYKEY_BINARY_DIR) + "/tallyk";
    auto run = [&](const std::string& args, std::string& out) {
        const std::string command =
            "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb '" + program + "' " + args + " 2>&1";
        FILE* pipe = ::popen(command.c_str(), "r");
        out.clear();
        char buffer[512];
        while (pipe && std::fgets(buffer, sizeof buffer, pipe))
            out += buffer;
        const int status = pipe ? ::pclose(pipe) : -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    std::string out;
    EXPECT_EQ(run("--version", out), 0);
    EXPECT_EQ(out, std::string("Tallykey ") + TALLYKEY_VERSION + "\n");
    EXPECT_EQ(run("--help", out), 0);
    EXPECT_EQ(out.rfind("Usage: tallyk [OPTIONS] [--] [FILE]\n", 0), 0u) << out;
    EXPECT_EQ(run("-platform offscreen --bogus", out), 64);
    EXPECT_NE(out.find("tallyk: unknown option --bogus"), std::string::npos) << out;
    EXPECT_EQ(run("--codepage 99999", out), 64);
    EXPECT_NE(out.find("tallyk: --codepage needs a Windows code page number"), std::string::npos) << out;
}

} // namespace
