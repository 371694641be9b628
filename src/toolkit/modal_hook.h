// The modal hook lets tests answer modal windows, message boxes and file
// dialogs. With a hook installed, nothing waits for a person.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace toolkit {

class Window;

struct MessageBoxRequest {
    const Window* owner = nullptr; // null: the application object
    std::string text;
    std::string caption;
    unsigned flags = 0;
};

struct FileDialogRequest {
    bool save = false;
    std::string filter;
    std::string initialName;
    unsigned options = 0;
    const Window* owner = nullptr;
};

struct ModalHook {
    // Runs once the modal window is shown and its loop has started. It fills
    // the controls and ends the window (a button click or EndModal). A window
    // the hook leaves open ends with ResultClosed.
    std::function<void(Window& window)> onModal;
    // Returns the answer (IDOK, IDYES, ...). Unset: the first button.
    std::function<int(const MessageBoxRequest& request)> onMessageBox;
    // Returns the chosen path, or nothing for Cancel. Unset: Cancel.
    std::function<std::optional<std::string>(const FileDialogRequest& request)> onFileDialog;
};

// Installs the hook (null removes it). The caller keeps it alive.
void SetModalHook(ModalHook* hook);
ModalHook* GetModalHook();

// For unattended runs (the tests): nobody looks at the screen, whatever the
// platform shows. Modal windows, message boxes and file dialogs that no hook
// answers are then answered by nobody, and pop-up menus do not open.
void SetNobodyAtTheScreen(bool nobody);

} // namespace toolkit
