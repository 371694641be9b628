#include "preferences/options_dialog.h"

#include "mainwindow/main_form.h"

namespace tallykey {

void ShowOptions(MainForm&) {}

} // namespace tallykey
