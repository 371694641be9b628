#include "desktop/quick_copy.h"

#include "mainwindow/main_form.h"

namespace tallykey {

void QuickCopyOnSelection(MainForm&) {}
void QuickCopyHotKeyPressed(MainForm&, int) {}
void ReleaseQuickCopyHotKey() {}

} // namespace tallykey
