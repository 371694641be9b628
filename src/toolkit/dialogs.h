// Message boxes and the open/save file dialog.
#pragma once

#include <string>

#include "toolkit/types.h"

namespace toolkit {

class Window;

// Shows a modal message box over `owner` (the application object when null)
// with the buttons and icon of `flags` (MB_*); returns the answer (ID*).
// Closing a box that has a Cancel button answers IDCANCEL; a box without
// one answers its only or first button.
int MessageBox(const Window* owner, const std::string& text, const std::string& caption,
               unsigned flags);

class FileDialog {
public:
    enum class Mode { Open, Save };
    enum Option : unsigned {
        FileMustExist = 1,
        PathMustExist = 2,
        HideReadOnly = 4,
        OverwritePrompt = 8,
    };

    // filter: "Name|*.ext|Other|*.*" pairs; the first pair is selected.
    void SetFilter(const std::string& filter);
    const std::string& Filter() const { return filter_; }
    void SetOwner(const Window* owner) { owner_ = owner; }
    const Window* Owner() const { return owner_; }
    void SetOptions(unsigned options) { options_ = options; }
    unsigned Options() const { return options_; }
    void SetFileName(const std::string& name) { fileName_ = name; }
    const std::string& FileName() const { return fileName_; }

    // Runs the dialog with FileName() as the initial name. On OK FileName()
    // holds the chosen full path, used as typed (no extension is added).
    bool Execute(Mode mode);

private:
    std::string filter_;
    const Window* owner_ = nullptr;
    unsigned options_ = 0;
    std::string fileName_;
};

} // namespace toolkit
