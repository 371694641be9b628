#include "mainwindow/command_line.h"

namespace tallykey {

ProgramCommandLine ParseProgramCommandLine(const std::vector<std::string>& args) {
    ProgramCommandLine result;
    bool endOfOptions = false;
    for (const std::string& arg : args) {
        if (endOfOptions) {
            result.afterOptions.push_back(arg);
        } else if (arg == "--") {
            endOfOptions = true;
        } else if (arg == "-h" || arg == "--help") {
            result.action = ProgramCommandLine::Action::Help;
        } else if (arg == "--version") {
            if (result.action == ProgramCommandLine::Action::Run)
                result.action = ProgramCommandLine::Action::Version;
        } else {
            result.toolkitArguments.push_back(arg);
        }
    }
    return result;
}

void FinishProgramCommandLine(ProgramCommandLine& commandLine, const std::vector<std::string>& left) {
    std::vector<std::string> files;
    for (const std::string& arg : left) {
        if (arg.size() > 1 && arg.front() == '-') {
            commandLine.action = ProgramCommandLine::Action::WrongUsage;
            commandLine.error = "unknown option " + arg;
            return;
        }
        files.push_back(arg);
    }
    files.insert(files.end(), commandLine.afterOptions.begin(), commandLine.afterOptions.end());
    // As on the desktop it was made for, only the first file counts.
    commandLine.file = files.empty() ? std::string() : files.front();
}

std::string ProgramUsageText() {
    return "Usage: tallyk [OPTIONS] [--] [FILE]\n"
           "\n"
           "Tallykey keeps your logins in an encrypted database file (.tkf). It opens\n"
           "FILE if that exists, or else the database that was open when it last closed.\n"
           "\n"
           "Options:\n"
           "  -h, --help     this text\n"
           "  --version      the program's version\n"
           "  --             ends the options: FILE may begin with \"-\"\n"
           "The window system's own options (-style, -platform, ...) are taken too.\n";
}

std::string ProgramVersionText() { return std::string("Tallykey ") + TALLYKEY_VERSION + "\n"; }

} // namespace tallykey
