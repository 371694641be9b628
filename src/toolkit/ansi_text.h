// 8-bit "ANSI" text and its conversion. The program keeps every text as the
// bytes of a Windows code page; only the window system and the exchange
// formats of the command-line tool see Unicode.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace toolkit {

// The Windows code page that Windows would use for the user's locale
// (LC_ALL, LC_CTYPE, then LANG): ru_RU gives 1251, en_US and de_DE 1252,
// pl_PL 1250, el_GR 1253, tr_TR 1254, zh_CN 936, zh_TW 950, sr_RS@latin
// 1250, ... and "C"/unknown gives 1252.
int SystemCodePage();
int CodePageForLocale(std::string_view locale);
// The languages that the locale table names (each once), for checking it.
std::vector<std::string> LocaleTableLanguages();

// Whether texts in the Windows code page `codePage` can be converted here
// (65001 is UTF-8).
bool CodePageAvailable(int codePage);

// Bytes of the code page to UTF-8. Bytes the code page leaves undefined become U+FFFD.
std::string AnsiToUtf8(std::string_view bytes, int codePage);
// UTF-8 to the code page; characters the code page lacks (and invalid UTF-8) become "?".
std::string Utf8ToAnsi(std::string_view utf8, int codePage);

// The code page in use for everything the windows show (SystemCodePage() unless set).
// It is the one place the windows ask which code page the texts are in.
int CurrentCodePage();
void SetCurrentCodePage(int codePage);

// UTF-8 text split by what the code page can hold: a character counts as held
// when it goes to the code page and back unchanged. `held` keeps the held
// characters in their order, `refused` the others (invalid UTF-8 included).
struct CodePageSplit {
    std::string held;
    std::string refused;
};
CodePageSplit SplitByCodePage(std::string_view utf8, int codePage);

// Text in the system's own encoding (file names and paths, the system's error
// reasons) as text of the current code page, for showing it. On Linux that
// encoding is UTF-8, on Windows the ANSI code page; characters the current
// code page lacks show as "?". Only for
// showing: a file is always opened and saved by the bytes of its path.
std::string SystemTextToAnsi(std::string_view text);

} // namespace toolkit
