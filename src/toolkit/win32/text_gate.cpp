// What the user puts into an edit box: the box holds exactly what will be
// stored. Characters the code page in use cannot hold are refused where they
// come in (typed, or pasted) rather than turned into "?" unseen when the text
// is read; the rest is kept. A one-line box takes pasted text up to its first
// line break, as it does by itself. A refusal is told by a notice at the box
// (a balloon tip naming the characters, gathered while it shows) and a beep.
#include <algorithm>
#include <cwctype>

#include "toolkit/ansi_text.h"
#include "toolkit/services.h"
#include "toolkit/win32/backend.h"

namespace toolkit {

namespace {

constexpr UINT_PTR kGateId = 0x47415445; // the gate's subclass of an edit box
constexpr int kBeepFrequency = 800;
constexpr int kBeepMilliseconds = 60;
constexpr size_t kMostNamed = 24; // a long paste names its first refused characters only

struct NoticeState {
    HWND box = nullptr;
    std::wstring refused; // distinct, in the order they came
    bool shown = false;
};

NoticeState& Notice() {
    static NoticeState notice;
    return notice;
}

std::wstring Title() { return L"Characters not accepted"; }

std::wstring Body() {
    std::wstring names;
    size_t count = 0;
    for (wchar_t c : Notice().refused) {
        if (!names.empty())
            names += L' ';
        if (++count > kMostNamed) {
            names += L"...";
            break;
        }
        if (std::iswgraph(static_cast<wint_t>(c)))
            names += c;
        else {
            wchar_t code[8];
            ::wsprintfW(code, L"U+%04X", static_cast<unsigned>(c));
            names += code;
        }
    }
    return L"Code page " + std::to_wstring(CurrentCodePage()) + L" cannot hold them, so they were left out: " + names;
}

void EndNotice() {
    NoticeState& n = Notice();
    if (n.shown && n.box && ::IsWindow(n.box))
        ::SendMessageW(n.box, EM_HIDEBALLOONTIP, 0, 0);
    n = {};
}

void TellRefused(HWND box, const std::wstring& refused) {
    NoticeState& n = Notice();
    if (n.box != box || !n.shown)
        EndNotice();
    n.box = box;
    for (wchar_t c : refused)
        if (n.refused.find(c) == std::wstring::npos)
            n.refused += c;
    n.shown = true;
    const std::wstring title = Title(), body = Body();
    EDITBALLOONTIP tip{};
    tip.cbStruct = sizeof tip;
    tip.pszTitle = title.c_str();
    tip.pszText = body.c_str();
    tip.ttiIcon = TTI_WARNING;
    ::SendMessageW(box, EM_SHOWBALLOONTIP, 0, reinterpret_cast<LPARAM>(&tip));
    if (Sound* sound = Platform().sound)
        sound->Beep(kBeepFrequency, kBeepMilliseconds);
}

bool IsLineBreak(wchar_t c) { return c == L'\n' || c == L'\r' || c == 0x2028 || c == 0x2029; }

std::wstring ClipboardText(HWND owner) {
    std::wstring text;
    if (!::OpenClipboard(owner))
        return text;
    if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT))
        if (auto* chars = static_cast<const wchar_t*>(::GlobalLock(data))) {
            text = chars;
            ::GlobalUnlock(data);
        }
    ::CloseClipboard();
    return text;
}

LRESULT CALLBACK GateProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR singleLine) {
    switch (message) {
    case WM_CHAR: {
        const auto c = static_cast<wchar_t>(wParam);
        if (c >= 0x20 && !win32::AdmitsCharacter(c)) {
            TellRefused(box, std::wstring(1, c));
            return 0;
        }
        // A key the code page holds ends the notice.
        if (Notice().box == box)
            EndNotice();
        break;
    }
    case WM_PASTE: {
        if (::GetWindowLongPtrW(box, GWL_STYLE) & ES_READONLY)
            return 0;
        std::wstring text = ClipboardText(box);
        if (singleLine) {
            const auto end = std::find_if(text.begin(), text.end(), IsLineBreak);
            text.erase(end, text.end());
        }
        // Every line break goes in as the class's own CR LF: it takes no other.
        std::wstring kept, refused;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const wchar_t c = text[i];
            if (IsLineBreak(c)) {
                if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
                    ++i;
                kept += L"\r\n";
            } else {
                (c == L'\t' || win32::AdmitsCharacter(c) ? kept : refused) += c;
            }
        }
        ::SendMessageW(box, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(kept.c_str()));
        if (!refused.empty())
            TellRefused(box, refused);
        return 0;
    }
    case WM_KILLFOCUS:
    case WM_DESTROY:
        if (Notice().box == box)
            EndNotice();
        if (message == WM_DESTROY)
            ::RemoveWindowSubclass(box, GateProc, kGateId);
        break;
    case WM_NCDESTROY: ::RemoveWindowSubclass(box, GateProc, kGateId); break;
    default: break;
    }
    return ::DefSubclassProc(box, message, wParam, lParam);
}

} // namespace

namespace win32 {

void GuardEdit(HWND edit, bool singleLine) {
    if (edit)
        ::SetWindowSubclass(edit, GateProc, kGateId, singleLine ? 1 : 0);
}

std::wstring ShownNotice() {
    const NoticeState& n = Notice();
    return n.shown ? Title() + L"\n" + Body() : std::wstring();
}

} // namespace win32
} // namespace toolkit
