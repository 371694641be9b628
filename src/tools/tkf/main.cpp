// tkf: the command-line companion for Tallykey database files.
#include "database/aes.h"
#include "database/database_file.h"
#include "system/file_guard.h"
#include "database/secure_memory.h"
#include "database/secure_wipe.h"
#include "database/stream.h"
#include "editors/password_generator.h"
#include "tools/tkf/console.h"
#include "tools/tkf/exchange.h"
#include "tools/tkf/lookup.h"
#include "tools/tkf/import_presets.h"
#include "tools/tkf/password_input.h"
#include "toolkit/ansi_text.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using tallykey::ReadStatus;
using tallykey::TDatabase;

// Exit codes; check documents 0..3 as its answer.
constexpr int ExitOk = 0;
constexpr int ExitFailure = 1;       // cannot read or write a file, bad input
constexpr int ExitWrongPassword = 2;
constexpr int ExitDamaged = 3;
constexpr int ExitNoMatch = 4;       // get, ls: no item or group of the name given
constexpr int ExitSeveralMatch = 5;  // get: the name fits several items
constexpr int ExitUsage = 64;

// generate without --length: about 95 bits, and as long as a database password can use.
constexpr int DefaultGeneratedLength = 16;

// The commands, each with the options that apply to it.
enum OptionBit : unsigned {
    OptReveal = 1u << 0,
    OptFormat = 1u << 1,
    OptForce = 1u << 2,
    OptPasswordFd = 1u << 3,
    OptNewPasswordFd = 1u << 4,
    OptCodePage = 1u << 5,
    OptReplaceUnmappable = 1u << 6,
    OptField = 1u << 7,
    OptLength = 1u << 8,
    OptFrom = 1u << 9,
    OptDropExtra = 1u << 10,
};

struct OptionInfo {
    unsigned bit;
    const char* usage; // the option as it is written, with its value
    const char* text;  // what it does; further lines indented to the text column
};

const OptionInfo kOptions[] = {
    {OptReveal, "--reveal", "show: print the passwords too"},
    {OptFormat, "--format F",
     "export: required, json, csv or bitwarden-json (Bitwarden's\n"
     "unencrypted JSON, without icons); import: json or csv,\n"
     "overrides the detection"},
    {OptFrom, "--from SOURCE",
     "import: read INPUT as an export of SOURCE: keepassxc,\n"
     "bitwarden, chrome, firefox, 1password, passwordsafe or\n"
     "tallykey (default: recognised from the header or keys)"},
    {OptDropExtra, "--drop-extra",
     "import: leave out the fields that have no place (TOTP, further\n"
     "URIs, custom fields, ...) instead of appending them to the\n"
     "comment as \"Name: value\" lines"},
    {OptForce, "--force", "import: replace OUT.tkf if it exists"},
    {OptPasswordFd, "--password-fd N",
     "read the file's password from descriptor N (on Windows a\n"
     "handle value; 0 and - are standard input): its first line,\n"
     "without the line break (an empty line is the empty password)"},
    {OptNewPasswordFd, "--new-password-fd N",
     "import, passwd: read the new password from descriptor N (its\n"
     "first line). Without it the new password is the next line\n"
     "of --password-fd (for import, whose file has no password\n"
     "yet, its first line); without either it is asked twice on\n"
     "the terminal"},
    {OptCodePage, "--codepage N",
     "the Windows code page of the database's texts (default: the\n"
     "one Windows uses for this locale, from LC_ALL/LC_CTYPE/LANG)"},
    {OptReplaceUnmappable, "--replace-unmappable",
     "import: store \"?\" for characters the code page cannot hold\n"
     "and name each field so changed on standard error (without\n"
     "it such a file is refused)"},
    {OptField, "--field F", "get: the field to print: login, password (the default),\nweblink or comment"},
    {OptLength, "--length N", "generate: the number of characters, 1 to 4096 (default 16)"},
};

struct CommandInfo {
    const char* name;
    const char* operands; // after the name in the usage line
    const char* text;     // what it does, as in the command list
    unsigned options;
};

const CommandInfo kCommands[] = {
    {"show", "FILE", "print the groups and items of FILE (passwords hidden)",
     OptReveal | OptPasswordFd | OptCodePage},
    {"ls", "FILE [GROUP]", "list the names of FILE's groups, or the titles of GROUP's\nitems, one a line",
     OptPasswordFd | OptCodePage},
    {"get", "FILE GROUP/TITLE",
     "print one field of the item TITLE in the group GROUP (the\n"
     "password unless --field names another)",
     OptField | OptPasswordFd | OptCodePage},
    {"export", "FILE --format F",
     "write FILE's contents to standard output as F: json, csv or\n"
     "bitwarden-json",
     OptFormat | OptPasswordFd | OptCodePage},
    {"import", "INPUT OUT.tkf",
     "make the database OUT.tkf from a JSON or CSV file: tkf's\n"
     "own export or another manager's (see --from); the format\n"
     "is taken from --format, INPUT's extension or its content;\n"
     "INPUT \"-\" is standard input. A summary goes to standard\n"
     "error",
     OptFormat | OptForce | OptPasswordFd | OptNewPasswordFd | OptCodePage | OptReplaceUnmappable | OptFrom |
         OptDropExtra},
    {"check", "FILE",
     "only test the password: exit 0 right, 2 wrong, 3 damaged\n"
     "file, 1 cannot read the file",
     OptPasswordFd | OptCodePage},
    {"passwd", "FILE", "encrypt FILE again under a new password",
     OptPasswordFd | OptNewPasswordFd | OptCodePage},
    {"generate", "", "print a random password of digits and Latin letters,\nas the item editor makes them",
     OptLength},
};

const char* const kHelpFooter = R"(
Passwords are never taken from the command line. On a terminal they are asked without
echo; a file whose password is empty opens without asking. Passwords typed as UTF-8
are converted to the code page, as the program on Windows sees them; only their first
16 bytes make the key.
JSON and CSV are UTF-8. CSV has no icons, branch states or groups without items.
In GROUP/TITLE the title follows the last "/", so a group's name may hold "/" as it
is; in a title it is written "\/", and a backslash is written "\\" in both. ls writes
names so.
Exit codes: 0 success, 1 failure, 2 wrong password, 3 damaged file, 4 no group or
item of that name (ls, get), 5 several items of that name (get), 64 wrong usage.
)";

const CommandInfo* FindCommand(const std::string& name) {
    for (const CommandInfo& c : kCommands)
        if (name == c.name)
            return &c;
    return nullptr;
}

// "  left" padded to the text column, then the text with its further lines indented.
void HelpEntry(std::ostream& out, const std::string& left, const char* text) {
    constexpr std::size_t kColumn = 28;
    out << "  " << left;
    out << std::string(left.size() + 2 < kColumn ? kColumn - left.size() - 2 : 1, ' ');
    for (const char* c = text; *c; ++c) {
        out << *c;
        if (*c == '\n')
            out << std::string(kColumn, ' ');
    }
    out << "\n";
}

// "name operands", as the usage shows a command.
std::string Synopsis(const CommandInfo& command) {
    return *command.operands ? std::string(command.name) + " " + command.operands : std::string(command.name);
}

// The whole help, or one command's when `command` names one.
std::string HelpText(const CommandInfo* command) {
    std::ostringstream out;
    if (command) {
        out << "Usage: tkf " << Synopsis(*command) << " [OPTIONS]\n\n";
        HelpEntry(out, Synopsis(*command), command->text);
    } else {
        out << "Usage: tkf COMMAND [OPTIONS]\n       tkf COMMAND --help\n       tkf --version\n\nCommands:\n";
        for (const CommandInfo& c : kCommands)
            HelpEntry(out, Synopsis(c), c.text);
    }
    out << "\nOptions:\n";
    for (const OptionInfo& option : kOptions)
        if (!command || (command->options & option.bit))
            HelpEntry(out, option.usage, option.text);
    HelpEntry(out, "-h, --help", command ? "this text" : "this text; after a command, that command's");
    if (!command)
        HelpEntry(out, "--version", "the version of tkf");
    HelpEntry(out, "--", "ends the options: what follows are files and names,\neven those that begin with \"-\"");
    out << kHelpFooter;
    return out.str();
}

struct Options {
    std::string command;
    bool help = false;
    bool version = false;
    unsigned used = 0; // OptionBit of every option given
    std::vector<std::string> files;
    bool reveal = false;
    bool force = false;
    bool replaceUnmappable = false;
    bool dropExtra = false;
    std::optional<tkf::Source> from;
    std::optional<std::string> format;
    std::optional<tkf::Field> field;
    std::optional<int> length;
    int passwordFd = -1;
    int newPasswordFd = -1;
    std::optional<int> codePage;
};

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Failure : public std::runtime_error {
public:
    Failure(int code, const std::string& what) : std::runtime_error(what), code(code) {}
    int code;
};

int Number(const std::string& option, const std::string& text, int minimum, int maximum) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < minimum || value > maximum)
        throw UsageError(option + " needs a number from " + std::to_string(minimum) + " to " +
                         std::to_string(maximum) + ", not \"" + text + "\"");
    return value;
}

int PasswordSource(const std::string& option, const std::string& text) {
    if (const std::optional<int> source = tkf::ParsePasswordSource(text))
        return *source;
    throw UsageError(option + " needs " + tkf::kPasswordSourceForm + ", not \"" + text + "\"");
}

Options Parse(int argc, char** argv) {
    Options o;
    bool endOfOptions = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (endOfOptions || arg == "-" || arg.empty() || arg[0] != '-') {
            if (o.command.empty())
                o.command = arg;
            else
                o.files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            endOfOptions = true;
            continue;
        }
        std::optional<std::string> inlineValue;
        if (arg.rfind("--", 0) == 0) {
            const std::size_t eq = arg.find('=');
            if (eq != std::string::npos) {
                inlineValue = arg.substr(eq + 1);
                arg.resize(eq);
            }
        }
        const auto value = [&]() -> std::string {
            if (inlineValue)
                return *inlineValue;
            if (i + 1 >= argc)
                throw UsageError(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "-h" || arg == "--help") {
            o.help = true;
        } else if (arg == "--version") {
            o.version = true;
        } else if (arg == "--reveal") {
            o.reveal = true;
            o.used |= OptReveal;
        } else if (arg == "--force") {
            o.force = true;
            o.used |= OptForce;
        } else if (arg == "--replace-unmappable") {
            o.replaceUnmappable = true;
            o.used |= OptReplaceUnmappable;
        } else if (arg == "--format") {
            o.format = value();
            o.used |= OptFormat;
            if (*o.format != "json" && *o.format != "csv" && *o.format != "bitwarden-json")
                throw UsageError("--format is json, csv or bitwarden-json, not \"" + *o.format + "\"");
        } else if (arg == "--from") {
            const std::string source = value();
            o.from = tkf::SourceByName(source);
            o.used |= OptFrom;
            if (!o.from)
                throw UsageError("--from is keepassxc, bitwarden, chrome, firefox, 1password, passwordsafe or "
                                 "tallykey, not \"" +
                                 source + "\"");
        } else if (arg == "--drop-extra") {
            o.dropExtra = true;
            o.used |= OptDropExtra;
        } else if (arg == "--field") {
            const std::string name = value();
            o.field = tkf::FieldNamed(name);
            o.used |= OptField;
            if (!o.field)
                throw UsageError("--field is login, password, weblink or comment, not \"" + name + "\"");
        } else if (arg == "--length") {
            o.length = Number(arg, value(), 1, tallykey::kMaxPasswordLength);
            o.used |= OptLength;
        } else if (arg == "--password-fd") {
            o.passwordFd = PasswordSource(arg, value());
            o.used |= OptPasswordFd;
        } else if (arg == "--new-password-fd") {
            o.newPasswordFd = PasswordSource(arg, value());
            o.used |= OptNewPasswordFd;
        } else if (arg == "--codepage") {
            o.codePage = Number(arg, value(), 1, 65535);
            o.used |= OptCodePage;
        } else if (arg == "--password" || arg == "-p") {
            throw UsageError("passwords are not taken from the command line; use --password-fd N");
        } else {
            throw UsageError("unknown option " + arg + " (try tkf --help)");
        }
    }
    return o;
}

void NeedFiles(const Options& o, std::size_t count, const char* what) {
    if (o.files.size() != count)
        throw UsageError(o.command + " needs " + what);
}

// Every option given must be one of the command's.
void RefuseOthers(const Options& o, const CommandInfo& command) {
    for (const OptionInfo& option : kOptions) {
        if ((o.used & option.bit) && !(command.options & option.bit)) {
            const std::string usage = option.usage;
            throw UsageError(usage.substr(0, usage.find(' ')) + " does not apply to " + o.command);
        }
    }
}

// The program reads a file too short to hold one encrypted block as one with a wrong
// password (it decrypts to nothing, so no marker). No password opens it, so it is named
// for what it is, before any password is asked.
void RefuseTooShort(const std::string& path) {
    constexpr std::uintmax_t Smallest = 4 + tallykey::AesBlockSize; // length field, one block
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size >= Smallest)
        return;
    throw Failure(ExitDamaged, path + ": damaged file: " +
                                   (size == 0 ? std::string("it is empty")
                                              : "only " + std::to_string(size) + " byte" + (size == 1 ? "" : "s") +
                                                    ", too short for a database"));
}

// Opens FILE as the program does: the empty password first when none is given on a
// descriptor, then the password asked for. `read` reads the file with a password; it
// hands nothing on unless the read succeeds. A damaged file opens with what it holds:
// the result tells how much is missing and which file was read.
template <typename Read>
tallykey::ReadResult Open(const std::string& path, tkf::PasswordInput& passwords, Read read) {
    tallykey::ReadResult r;
    if (passwords.FromTerminal()) {
        r = read(std::string_view());
        if (r.status == ReadStatus::WrongPassword) {
            RefuseTooShort(path);
            const tallykey::SecretText password = passwords.Current(path);
            r = read(password);
        }
    } else {
        const tallykey::SecretText password = passwords.Current(path);
        r = read(password);
    }
    switch (r.status) {
    case ReadStatus::Success:
        return r;
    case ReadStatus::WrongPassword:
        RefuseTooShort(path);
        throw Failure(ExitWrongPassword, path + ": wrong password");
    case ReadStatus::DecryptionError:
        throw Failure(ExitDamaged, path + ": damaged file: " + r.message);
    case ReadStatus::ReadError:
        break;
    }
    throw Failure(ExitFailure, path + ": " + r.message);
}

// `text` with `prefix` before each of its lines.
std::string Lines(const std::string& prefix, const std::string& text) {
    std::string out = prefix;
    for (const char c : text)
        out += c == '\n' ? "\n" + prefix : std::string(1, c);
    return out;
}

// The failure of a file whose length field promises more than it holds.
Failure Damaged(const std::string& path, std::uint64_t missing) {
    return Failure(ExitDamaged, path + ": damaged file: " + std::to_string(missing) + " byte" +
                                    (missing == 1 ? "" : "s") + " missing at its end");
}

// Takes the lock that writers of `path` share; a file that is not there has none.
void LockForWriting(tallykey::FileLock& lock, const std::string& path) {
    switch (lock.Acquire(path, tallykey::WriterPatience)) {
    case tallykey::FileLock::Status::Locked:
    case tallykey::FileLock::Status::NoFile: return;
    case tallykey::FileLock::Status::Busy: throw Failure(ExitFailure, path + ": " + tallykey::FileBusyText);
    case tallykey::FileLock::Status::Failed:
        throw Failure(ExitFailure, path + ": " + tallykey::OpenErrorText(lock.Error()));
    }
}

TDatabase OpenModel(const std::string& path, tkf::PasswordInput& passwords, tallykey::ReadResult& read) {
    TDatabase db;
    read = Open(path, passwords, [&](std::string_view password) { return tallykey::ReadDatabase(db, password, path); });
    return db;
}

// Reads FILE record by record into `visitor` (nothing is kept in memory).
tallykey::ReadResult OpenVisiting(const std::string& path, tkf::PasswordInput& passwords,
                                  tallykey::PlaintextVisitor& visitor) {
    return Open(path, passwords,
                [&](std::string_view password) { return tallykey::ReadDatabase(visitor, password, path); });
}

void WriteOut(std::string_view text) {
    std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!std::cout)
        throw Failure(ExitFailure, std::string("cannot write the output: ") + std::strerror(errno));
}

void FlushOut() {
    std::cout.flush();
    if (!std::cout)
        throw Failure(ExitFailure, std::string("cannot write the output: ") + std::strerror(errno));
}

// The text form of FILE written to standard output as its records are read.
void WriteTextOf(const std::string& path, tkf::PasswordInput& passwords, tkf::TextForm form, int codePage,
                 bool reveal) {
    tkf::TextWriter writer(form, codePage, reveal, WriteOut);
    const tallykey::ReadResult read = OpenVisiting(path, passwords, writer);
    writer.Finish();
    FlushOut();
    // What a damaged file holds is written out whole; the failure comes after it.
    if (read.damaged())
        throw Damaged(path, read.missingBytes);
}

std::string ReadInput(const std::string& path) {
    if (path == "-") {
        std::ostringstream s;
        s << std::cin.rdbuf();
        if (std::cin.bad())
            throw Failure(ExitFailure, "cannot read standard input");
        return s.str();
    }
    int error = 0;
    const int fd = tallykey::OpenRegularFile(path, error);
    if (fd < 0)
        throw Failure(ExitFailure, path + ": " + tallykey::OpenErrorText(error) +
                                       (error == 0 ? " (use - to read standard input)" : ""));
    tallykey::FileStream file;
    file.Attach(fd); // closed with the stream
    // Read straight into one string: the input is the largest thing an import holds.
    std::string text;
    text.reserve(static_cast<std::size_t>(file.Size()));
    char buffer[64 * 1024];
    std::size_t n;
    while ((n = file.Read(buffer, sizeof buffer)) > 0)
        text.append(buffer, n);
    if (file.LastError() != 0)
        throw Failure(ExitFailure, path + ": " + std::strerror(file.LastError()));
    return text;
}

void WriteDatabaseFile(const TDatabase& db, std::string_view password, const std::string& path,
                       const tallykey::WriteOptions& options) {
    if (password.size() > tallykey::AesKeySize)
        std::cerr << "tkf: note: only the first 16 bytes of the password make the key\n";
    const tallykey::WriteResult w = tallykey::WriteDatabase(db, password, path, options);
    if (w.changed)
        throw Failure(ExitFailure, path + ": changed by another program meanwhile; nothing written");
    if (!w.ok)
        throw Failure(ExitFailure, path + ": cannot write: " + w.message);
}

int Run(const Options& o) {
    const int codePage = o.codePage ? *o.codePage : toolkit::SystemCodePage();
    tkf::PasswordInput passwords(o.passwordFd, o.newPasswordFd, codePage);
    const std::string& command = o.command;
    if (command.empty())
        throw UsageError("no command given (try tkf --help)");
    const CommandInfo* info = FindCommand(command);
    if (!info)
        throw UsageError("unknown command \"" + command + "\" (try tkf --help)");
    RefuseOthers(o, *info);

    if (command == "show") {
        NeedFiles(o, 1, "one database file");
        WriteTextOf(o.files[0], passwords, tkf::TextForm::Show, codePage, o.reveal);
        return ExitOk;
    }
    if (command == "ls") {
        if (o.files.empty() || o.files.size() > 2)
            throw UsageError("ls needs a database file and at most one group");
        const std::string& path = o.files[0];
        std::optional<std::string> group;
        if (o.files.size() == 2)
            group = tkf::ParseGroupName(o.files[1]);
        tkf::Lister lister(group, codePage, WriteOut);
        const tallykey::ReadResult read = OpenVisiting(path, passwords, lister);
        FlushOut();
        if (read.damaged())
            throw Damaged(path, read.missingBytes);
        if (group && !lister.GroupFound())
            throw Failure(ExitNoMatch, path + ": no group \"" + tkf::Printable(o.files[1]) + "\"");
        return ExitOk;
    }
    if (command == "get") {
        NeedFiles(o, 2, "a database file and an item's GROUP/TITLE");
        const std::string& path = o.files[0];
        tkf::EntryFinder finder(tkf::ParseEntryPath(o.files[1]), o.field.value_or(tkf::Field::Password), codePage);
        const tallykey::ReadResult read = OpenVisiting(path, passwords, finder);
        // The field of a file cut short may itself be cut, or read as empty, and another
        // item of the name may be in what is missing: nothing is printed.
        if (read.damaged())
            throw Damaged(path, read.missingBytes);
        const std::vector<std::string>& matches = finder.Matches();
        if (matches.size() > 1) {
            std::string list = path + ": " + std::to_string(matches.size()) + " items have this name:";
            for (const std::string& match : matches)
                list += "\n  " + match;
            throw Failure(ExitSeveralMatch, list);
        }
        if (matches.empty())
            throw Failure(ExitNoMatch, path + ": no item \"" + tkf::Printable(o.files[1]) + "\"");
        WriteOut(finder.Value().view());
        WriteOut("\n");
        FlushOut();
        return ExitOk;
    }
    if (command == "generate") {
        if (!o.files.empty())
            throw UsageError("generate takes no file");
        tallykey::SecretText password;
        password = tallykey::RandomPassword(o.length.value_or(DefaultGeneratedLength), toolkit::SystemRandom());
        WriteOut(password.view());
        WriteOut("\n");
        FlushOut();
        return ExitOk;
    }
    if (command == "export") {
        NeedFiles(o, 1, "one database file");
        if (!o.format)
            throw UsageError("export needs --format json, --format csv or --format bitwarden-json");
        WriteTextOf(o.files[0], passwords,
                    *o.format == "json"  ? tkf::TextForm::Json
                    : *o.format == "csv" ? tkf::TextForm::Csv
                                         : tkf::TextForm::BitwardenJson,
                    codePage, false);
        return ExitOk;
    }
    if (command == "check") {
        NeedFiles(o, 1, "one database file");
        // Only the password and the file's soundness are tested: no record is kept.
        struct : tallykey::PlaintextVisitor {
            void Group(const tallykey::TGroup&, std::size_t) override {}
            void Item(const tallykey::TItem&) override {}
        } nothing;
        if (const tallykey::ReadResult read = OpenVisiting(o.files[0], passwords, nothing); read.damaged())
            throw Damaged(o.files[0], read.missingBytes);
        WriteOut(o.files[0] + ": the password is right\n");
        FlushOut();
        return ExitOk;
    }
    if (command == "import") {
        NeedFiles(o, 2, "an input file and the database file to make");
        const std::string& input = o.files[0];
        const std::string& output = o.files[1];
        std::error_code unknown; // a path that cannot be looked at is made or refused later
        if (!o.force && std::filesystem::exists(output, unknown))
            throw Failure(ExitFailure, output + ": exists; add --force to replace it");
        if (o.format == "bitwarden-json")
            throw UsageError("import reads Bitwarden's JSON with --format json (or --from bitwarden)");
        // A new password on standard input comes before the data that follows it there;
        // its line is read without taking any of the data.
        std::optional<tallykey::SecretText> password;
        if (input == "-" && passwords.NewReadsStandardInput())
            password = passwords.New();
        const std::string text = ReadInput(input);
        const tkf::Format format = o.format ? (*o.format == "json" ? tkf::Format::Json : tkf::Format::Csv)
                                            : tkf::DetectFormat(input == "-" ? "" : input, text);
        TDatabase db;
        tkf::TextConversion conversion(codePage, o.replaceUnmappable);
        tkf::ImportSummary summary;
        try {
            db = tkf::ImportText(text, format, conversion, {o.from, o.dropExtra}, summary);
        } catch (const tkf::ImportError& e) {
            throw Failure(ExitFailure, Lines(input + ": ", e.what()));
        }
        if (!password)
            password = passwords.New();
        // Without --force an existing file is never replaced, also one made meanwhile.
        tallykey::FileLock lock;
        if (o.force)
            LockForWriting(lock, output);
        tallykey::WriteOptions options;
        options.heldLock = &lock;
        options.mustNotExist = !o.force;
        WriteDatabaseFile(db, *password, output, options);
        for (const std::string& field : conversion.Replaced())
            std::cerr << "tkf: " << input << ": " << field << ": characters that code page " << codePage
                      << " cannot hold were stored as \"?\"\n";
        std::cerr << Lines("tkf: " + input + ": ", summary.Text()) << "\n";
        return ExitOk;
    }
    if (command == "passwd") {
        NeedFiles(o, 1, "one database file");
        // Held from the reading to the renaming, so that no other writer's change falls
        // between them.
        tallykey::FileLock lock;
        LockForWriting(lock, o.files[0]);
        tallykey::ReadResult read;
        const TDatabase db = OpenModel(o.files[0], passwords, read);
        if (read.damaged())
            throw Failure(ExitDamaged, Damaged(o.files[0], read.missingBytes).what() +
                                           std::string("; not rewritten, which would lose the rest for good"));
        const tallykey::SecretText password = passwords.New();
        tallykey::WriteOptions options;
        options.expected = &read.fingerprint;
        options.heldLock = &lock;
        WriteDatabaseFile(db, password, o.files[0], options);
        return ExitOk;
    }
    throw UsageError("unknown command \"" + command + "\" (try tkf --help)");
}

} // namespace

int main(int argc, char** argv) {
    tallykey::ProtectProcess();
    tkf::UseBinaryStandardStreams();
    try {
        const Options o = Parse(argc, argv);
        if (o.help) {
            const CommandInfo* command = FindCommand(o.command);
            if (!command && !o.command.empty())
                throw UsageError("unknown command \"" + o.command + "\" (try tkf --help)");
            std::cout << HelpText(command);
            return ExitOk;
        }
        if (o.version) {
            std::cout << "tkf (Tallykey) " << TALLYKEY_VERSION << "\n";
            return ExitOk;
        }
        return Run(o);
    } catch (const UsageError& e) {
        std::cerr << "tkf: " << e.what() << "\n";
        return ExitUsage;
    } catch (const tkf::NameError& e) {
        std::cerr << "tkf: " << e.what() << "\n";
        return ExitUsage;
    } catch (const Failure& e) {
        std::cerr << Lines("tkf: ", e.what()) << "\n";
        return e.code;
    } catch (const tkf::PasswordError& e) {
        std::cerr << "tkf: " << e.what() << "\n";
        return ExitFailure;
    } catch (const std::exception& e) {
        std::cerr << "tkf: " << e.what() << "\n";
        return ExitFailure;
    }
}
