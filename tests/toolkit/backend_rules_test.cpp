// The rules every backend takes from the neutral toolkit rather than making
// its own: the buttons of a message box, the file types of a filter, the
// program's arguments.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/native.h"

using namespace toolkit;

namespace {

TEST(BackendRules, MessageBoxButtonsAndTheAnswerOfClosingIt) {
    EXPECT_EQ(MessageBoxAnswers(MB_OK | MB_ICONSTOP), (std::vector<int>{IDOK}));
    EXPECT_EQ(MessageBoxAnswers(MB_OKCANCEL), (std::vector<int>{IDOK, IDCANCEL}));
    EXPECT_EQ(MessageBoxAnswers(MB_YESNO | MB_ICONQUESTION), (std::vector<int>{IDYES, IDNO}));
    EXPECT_EQ(MessageBoxAnswers(MB_YESNOCANCEL | MB_SETFOREGROUND), (std::vector<int>{IDYES, IDNO, IDCANCEL}));
    // Closing answers Cancel where the box has it, else its only or first button.
    EXPECT_EQ(ClosingAnswer(MB_OK), IDOK);
    EXPECT_EQ(ClosingAnswer(MB_OKCANCEL | MB_ICONWARNING), IDCANCEL);
    EXPECT_EQ(ClosingAnswer(MB_YESNO), IDYES);
    EXPECT_EQ(ClosingAnswer(MB_YESNOCANCEL), IDCANCEL);
}

TEST(BackendRules, FilterGivesItsTypesWithEachPattern) {
    const std::vector<FileDialogType> types =
        FileDialogTypes("Text files (*.txt;*.csv)|*.txt;*.csv|Nothing||All files (*.*)|*.*|Odd name");
    ASSERT_EQ(types.size(), 2u) << "a type without patterns, and a name without its pair, are left out";
    EXPECT_EQ(types[0].name, "Text files (*.txt;*.csv)");
    EXPECT_EQ(types[0].patterns, (std::vector<std::string>{"*.txt", "*.csv"}));
    EXPECT_EQ(types[1].name, "All files (*.*)");
    EXPECT_EQ(types[1].patterns, (std::vector<std::string>{"*.*"}));
    EXPECT_TRUE(FileDialogTypes("").empty());
}

TEST(BackendRules, QuotedArgumentsLoseTheirQuotesOnly) {
    EXPECT_EQ(ProgramArguments({"\"C:\\My Files\\a.tkf\"", "plain", "\"", "\"\"", "a\"b\"", "\"x"}),
              (std::vector<std::string>{"C:\\My Files\\a.tkf", "plain", "\"", "", "a\"b\"", "\"x"}));
}

} // namespace
