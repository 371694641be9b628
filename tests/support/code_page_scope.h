// The code page the windows use, set for one scope and given back to the
// locale's afterwards, so that a failing test leaves no other test under it.
#pragma once

#include "toolkit/ansi_text.h"

namespace tallykey::test {

class CodePageScope {
public:
    explicit CodePageScope(int codePage) { toolkit::SetCurrentCodePage(codePage); }
    ~CodePageScope() { toolkit::SetCurrentCodePage(0); }
    CodePageScope(const CodePageScope&) = delete;
    CodePageScope& operator=(const CodePageScope&) = delete;
};

} // namespace tallykey::test
