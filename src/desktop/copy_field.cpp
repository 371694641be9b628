#include "desktop/copy_field.h"

#include "mainwindow/main_form.h"

namespace tallykey {

void CopyField(MainForm&, int) {}

bool TextToClipboard(const std::string&) { return false; }

} // namespace tallykey
