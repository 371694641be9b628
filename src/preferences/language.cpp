#include "preferences/language.h"

#include "mainwindow/main_form.h"

namespace tallykey {

TMessageTexts& MessageTexts() {
    static TMessageTexts texts;
    return texts;
}

std::string ProgramFolder() { return {}; }

LanguageSection::LanguageSection(const std::string& section) : section_(section) {}

std::string LanguageSection::Read(const std::string&, const std::string& defaultText) const {
    return defaultText;
}

void ApplyMainFormTexts(MainForm&) {}

} // namespace tallykey
