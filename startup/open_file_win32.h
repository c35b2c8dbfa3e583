#pragma once
// The open-file dialog (command 10075): on confirmation any debuggee is unloaded and the
// chosen file is launched.
void open_file_dialog();
