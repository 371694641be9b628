// Where the program finds its own files. A portable copy keeps its language
// files, help and settings beside the executable. An installed program (an
// executable in bin/ with the install's share/tallykey/ beside it) finds the
// language files and help in share/tallykey/ when they are not beside it,
// its HTML help in share/doc/tallykey/html/, and keeps its settings in the
// user's configuration folder, never in the program's folder.
#pragma once

#include <string>
#include <vector>

namespace tallykey {

// The install's data folder for an executable in `programFolder` (with a
// trailing separator), with a trailing separator; empty when the program
// is not installed there.
std::string InstalledDataFolder(const std::string& programFolder);

// Whether the executable at `exePath` belongs to an install (its folder has
// the install's data folder beside it).
bool IsInstalledProgram(const std::string& exePath);

// The folders searched for data files, in order: ProgramFolder(), then the
// install's data folder when there is one.
std::vector<std::string> DataFolders();

// The first of DataFolders() holding `name` as an ordinary file, joined
// with it; when none does, where the file belongs: the install's data
// folder for an installed program, else ProgramFolder().
std::string DataFilePath(const std::string& name);

// The start page of the HTML help: "help/index.html" beside the executable,
// else the installed one; empty when there is none.
std::string HtmlHelpIndex();

} // namespace tallykey
