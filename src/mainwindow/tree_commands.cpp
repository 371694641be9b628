// The tree's pop-up commands: add, edit, delete, move and rename in place.
#include "mainwindow/main_form.h"

namespace tallykey {

void MainForm::CmdAddGroup() {}
void MainForm::CmdAddItem() {}
void MainForm::CmdEdit() {}
void MainForm::CmdDelete() {}
void MainForm::CmdMoveUp() {}
void MainForm::CmdMoveDown() {}
bool MainForm::RenameNode(toolkit::TreeNode, const std::string&) { return false; }

} // namespace tallykey
