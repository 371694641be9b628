#include "mainwindow/command_line.h"

#include <charconv>

#include "toolkit/ansi_text.h"

namespace tallykey {

namespace {

// The value of --codepage: a code page that this system can convert, else 0.
int CodePageArgument(const std::string& text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !toolkit::CodePageAvailable(value))
        return 0;
    return value;
}

} // namespace

ProgramCommandLine ParseProgramCommandLine(const std::vector<std::string>& args) {
    ProgramCommandLine result;
    bool endOfOptions = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (endOfOptions) {
            result.afterOptions.push_back(arg);
        } else if (arg == "--") {
            endOfOptions = true;
        } else if (arg == "-h" || arg == "--help") {
            result.action = ProgramCommandLine::Action::Help;
        } else if (arg == "--version") {
            if (result.action == ProgramCommandLine::Action::Run)
                result.action = ProgramCommandLine::Action::Version;
        } else if (arg == "--codepage" || arg.starts_with("--codepage=")) {
            const bool joined = arg != "--codepage";
            if (!joined && i + 1 == args.size()) {
                if (result.action == ProgramCommandLine::Action::Run) {
                    result.action = ProgramCommandLine::Action::WrongUsage;
                    result.error = "--codepage needs a value";
                }
                continue;
            }
            const std::string value = joined ? arg.substr(arg.find('=') + 1) : args[++i];
            result.codePage = CodePageArgument(value);
            if (result.codePage == 0 && result.action == ProgramCommandLine::Action::Run) {
                result.action = ProgramCommandLine::Action::WrongUsage;
                result.error = "--codepage needs a Windows code page number that this system can convert "
                               "(1252, 1251, 65001, ...), not \"" +
                               value + "\"";
            }
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
           "  --codepage N   the Windows code page of the database texts, the master\n"
           "                 password and the language files for this run (as the\n"
           "                 CodePage setting; default: the one for this locale)\n"
           "  --             ends the options: FILE may begin with \"-\"\n"
           "The window system's own options (-style, -platform, ...) are taken too.\n";
}

std::string ProgramVersionText() { return std::string("Tallykey ") + TALLYKEY_VERSION + "\n"; }

} // namespace tallykey
