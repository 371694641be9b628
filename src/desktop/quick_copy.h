// Quick copy on selection and the "Login >> password" hot key.
#pragma once

#include "desktop/copy_field.h"
namespace toolkit { class Window; }

namespace tallykey {

inline constexpr int kQuickCopyHotKeyId = 123457;

// What quick copy needs of the main window besides the fields it copies.
class QuickCopyHost : public CopySource {
public:
    // The window over which quick copy says what it cannot do.
    virtual toolkit::Window& MessageOwner() = 0;
    // Whether the user has been told that this desktop cannot pass the
    // password on after Ctrl+V; told once per main window.
    virtual bool NoHotKeysTold() const = 0;
    virtual void SetNoHotKeysTold() = 0;

protected:
    ~QuickCopyHost() = default;
};

// After the details show the new selection: arms the hot key and copies the
// login, or releases it and runs the quick copy.
void QuickCopyOnSelection(QuickCopyHost& host);
// The hot key was pressed.
void QuickCopyHotKeyPressed(CopySource& source, int id);
// Releases the hot key (close requests).
void ReleaseQuickCopyHotKey();

} // namespace tallykey
