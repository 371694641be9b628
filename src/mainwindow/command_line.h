// The program's command line: an optional database to open, --help,
// --version, --codepage N, and "--" before a file name that begins with "-". The window
// system takes its own options (-style, -platform, ...) from the words before
// "--" only, so that a file after "--" is never read as one of them.
#pragma once

#include <string>
#include <vector>

namespace tallykey {

struct ProgramCommandLine {
    enum class Action { Run, Help, Version, WrongUsage };
    Action action = Action::Run;
    // Words for the window system, which removes the options it knows.
    std::vector<std::string> toolkitArguments;
    // What came after "--": file names only.
    std::vector<std::string> afterOptions;
    // The database to open (the first file named), empty when none.
    std::string file;
    // --codepage N: the Windows code page of this run, 0 when not given.
    int codePage = 0;
    // Why the command line is wrong, for WrongUsage.
    std::string error;
};

// First step, before the window system starts: --help, --version and a
// wrong --codepage need no display. `args` are the words after the program name.
ProgramCommandLine ParseProgramCommandLine(const std::vector<std::string>& args);
// Second step, with the words the window system left of toolkitArguments:
// any that still begins with "-" is an unknown option.
void FinishProgramCommandLine(ProgramCommandLine& commandLine, const std::vector<std::string>& left);

std::string ProgramUsageText();
std::string ProgramVersionText();

} // namespace tallykey
