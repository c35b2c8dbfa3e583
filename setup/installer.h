// The running installer's state and the steps its modes share (Win32).
#pragma once
#include <windows.h>

#include "setup/options.h"
#include "setup/package.h"
#include "setup/variables.h"

struct Installer {
  HINSTANCE instance;
  HFONT font;
  SetupOptions options;
  char own_path[KQ_PATH];
  PackageInfo info;
  Variables vars;
  HBITMAP logo, picture;  // install only
  char folder[KQ_PATH];   // the installation folder
  char launch[KQ_PATH];   // the program that replaces this one at the end, "" for none
  int exit_code;          // 1 when a package could not be compiled
};
extern Installer g_setup;

// A pool string of the package with the variables expanded.
void setup_text(uint32_t offset, char *out, size_t outlen);
// $COMPANY, $PRODUCT, $REGKEY, $FOLDER from the package, $PATH the folder, $DATE, $TIME.
void setup_set_variables(const char *folder);

// The modes (install_win32.cpp). The wizard calls the install step with its frame.
void mode_compile();
void mode_install();
void mode_confirm_uninstall();
void mode_uninstall();
bool install_step(HWND frame);

// The wizard (wizard.cpp): 1 after Finish, 0 after Cancel or a failed installation.
int wizard_run(bool *launch);

// The progress window (progress.cpp) and its report for the extraction.
void progress_open(HWND owner, uint32_t total);
bool progress_report(void *context, const char *name, uint32_t bytes);
// Whether the user cancelled the copying.
bool progress_cancelled();
void progress_close();

// Shortcuts and registry entries (system_win32.cpp), and their undoing.
void links_create();
void links_remove();
void registry_write();
void registry_remove();
