// Message boxes and the open and save dialogs of the system, owned by the
// program's window that asked (the hidden application window when none),
// with the program's other windows disabled while they are open.
#include "toolkit/dialogs.h"
#include "toolkit/native.h"
#include "toolkit/win32/backend.h"

// After windows.h, which it needs.
#include <commdlg.h>

#include <algorithm>

namespace toolkit {

namespace {

HWND OwnerWindow(const Window* owner) {
    if (owner && owner->impl() && owner->impl()->hwnd)
        return owner->impl()->hwnd;
    return win32::ApplicationWindow();
}

// "Name|*.a;*.b|..." as the dialog takes it: name NUL patterns NUL ... NUL.
std::wstring NativeFilter(const std::string& filter) {
    std::wstring out;
    for (const FileDialogType& type : FileDialogTypes(filter)) {
        out += win32::Wide(type.name);
        out += L'\0';
        for (size_t i = 0; i < type.patterns.size(); ++i) {
            if (i)
                out += L';';
            out += win32::WidePath(type.patterns[i]);
        }
        out += L'\0';
    }
    out += L'\0';
    return out;
}

} // namespace

namespace native {

int ShowMessageBox(const MessageBoxRequest& request) {
    HWND owner = OwnerWindow(request.owner);
    win32::OtherWindowsDisabled disabled(nullptr);
    const std::wstring text = win32::WideLines(request.text);
    const std::wstring caption = win32::Wide(request.caption);
    int answer = 0;
    {
        Dispatch d;
        // The box disables its owner itself; the owner is enabled for it to do so.
        ::EnableWindow(owner, TRUE);
        answer = ::MessageBoxW(owner, text.c_str(), caption.c_str(), request.flags);
    }
    return answer ? answer : ClosingAnswer(request.flags);
}

std::optional<std::string> ShowFileDialog(const FileDialogRequest& request) {
    HWND owner = OwnerWindow(request.owner);
    const std::wstring filter = NativeFilter(request.filter);
    std::vector<wchar_t> name(32768, L'\0');
    const std::wstring initial = win32::WidePath(request.initialName);
    std::copy(initial.begin(), initial.begin() + std::min(initial.size(), name.size() - 1), name.begin());

    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter.size() > 1 ? filter.c_str() : nullptr;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = name.data();
    ofn.nMaxFile = static_cast<DWORD>(name.size());
    ofn.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_ENABLESIZING;
    if (request.options & FileDialog::FileMustExist)
        ofn.Flags |= OFN_FILEMUSTEXIST;
    if (request.options & FileDialog::PathMustExist)
        ofn.Flags |= OFN_PATHMUSTEXIST;
    if (request.options & FileDialog::HideReadOnly)
        ofn.Flags |= OFN_HIDEREADONLY;
    if (request.options & FileDialog::OverwritePrompt)
        ofn.Flags |= OFN_OVERWRITEPROMPT;

    win32::OtherWindowsDisabled disabled(nullptr);
    BOOL chosen = FALSE;
    {
        Dispatch d;
        ::EnableWindow(owner, TRUE);
        chosen = request.save ? ::GetSaveFileNameW(&ofn) : ::GetOpenFileNameW(&ofn);
    }
    if (!chosen)
        return std::nullopt;
    const std::wstring path(name.data());
    std::string bytes = win32::PathFromWide(path);
    if (win32::WidePath(bytes) == path)
        return bytes;
    // A name the program's code page cannot hold: its short (8.3) form, which
    // it can, where the file system keeps one.
    std::vector<wchar_t> shortName(32768, L'\0');
    const DWORD length = ::GetShortPathNameW(path.c_str(), shortName.data(), static_cast<DWORD>(shortName.size()));
    if (length > 0 && length < shortName.size()) {
        bytes = win32::PathFromWide(shortName.data());
        if (win32::WidePath(bytes) == std::wstring(shortName.data()))
            return bytes;
    }
    const std::wstring message = L"The name \"" + path +
                                 L"\" has characters that the program's code page cannot hold. "
                                 L"Please choose a name without them.";
    ::MessageBoxW(owner, message.c_str(), win32::Wide(request.save ? "Save As" : "Open").c_str(),
                  MB_OK | MB_ICONEXCLAMATION);
    return std::nullopt;
}

} // namespace native
} // namespace toolkit
