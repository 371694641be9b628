// Message boxes and file dialogs: who answers them, and what they offer.
#include "toolkit/dialogs.h"

#include <cstdio>

#include "toolkit/dispatch.h"
#include "toolkit/native.h"

namespace toolkit {

std::vector<int> MessageBoxAnswers(unsigned flags) {
    switch (flags & MB_TYPEMASK) {
    case MB_OKCANCEL: return {IDOK, IDCANCEL};
    case MB_YESNO: return {IDYES, IDNO};
    case MB_YESNOCANCEL: return {IDYES, IDNO, IDCANCEL};
    default: return {IDOK};
    }
}

int ClosingAnswer(unsigned flags) {
    const std::vector<int> answers = MessageBoxAnswers(flags);
    for (int answer : answers)
        if (answer == IDCANCEL)
            return answer;
    return answers.front();
}

std::vector<FileDialogType> FileDialogTypes(const std::string& filter) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : filter) {
        if (c == '|') {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(part);
    std::vector<FileDialogType> types;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        FileDialogType type{parts[i], {}};
        std::string pattern;
        for (char c : parts[i + 1] + ';') {
            if (c != ';') {
                pattern += c;
            } else if (!pattern.empty()) {
                type.patterns.push_back(pattern);
                pattern.clear();
            }
        }
        if (!type.patterns.empty())
            types.push_back(std::move(type));
    }
    return types;
}

int MessageBox(const Window* owner, const std::string& text, const std::string& caption, unsigned flags) {
    const MessageBoxRequest request{owner, text, caption, flags};
    if (!NobodyToAnswer())
        return native::ShowMessageBox(request);
    ModalHook* hook = GetModalHook();
    if (hook && hook->onMessageBox) {
        Dispatch d;
        return hook->onMessageBox(request);
    }
    if (!hook)
        std::fprintf(stderr, "toolkit: message box \"%s\" shown with nobody to answer it\n", caption.c_str());
    return MessageBoxAnswers(flags).front();
}

void FileDialog::SetFilter(const std::string& filter) { filter_ = filter; }

bool FileDialog::Execute(Mode mode) {
    const FileDialogRequest request{mode == Mode::Save, filter_, fileName_, options_, owner_};
    std::optional<std::string> answer;
    if (!NobodyToAnswer()) {
        answer = native::ShowFileDialog(request);
    } else {
        ModalHook* hook = GetModalHook();
        if (hook && hook->onFileDialog) {
            Dispatch d;
            answer = hook->onFileDialog(request);
        } else if (!hook) {
            std::fprintf(stderr, "toolkit: file dialog shown with nobody to answer it\n");
        }
    }
    if (!answer)
        return false;
    fileName_ = *answer;
    return true;
}

} // namespace toolkit
