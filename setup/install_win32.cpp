// The installer's modes on Win32: compile, install with the wizard, confirm uninstallation
// and uninstall.
#include <windows.h>
#include <shlobj.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include "setup/extract.h"
#include "setup/installer.h"
#include "setup/script.h"
#include "util/log.h"
#include "util/picture_win32.h"

Installer g_setup;
static FileSource g_package;  // the program's own file while it installs

void setup_text(uint32_t offset, char *out, size_t outlen) {
  variables_expand(&g_setup.vars, package_string(&g_setup.info, offset), out, outlen);
}

void setup_set_variables(const char *folder) {
  const PackageHeader &h = g_setup.info.header;
  const struct {
    const char *name;
    uint32_t offset;
  } from_package[] = {{"$COMPANY", h.company}, {"$PRODUCT", h.product}, {"$REGKEY", h.regkey},
                      {"$FOLDER", h.folder}};
  for (const auto &v : from_package)
    variables_set(&g_setup.vars, v.name, package_string(&g_setup.info, v.offset));
  variables_set(&g_setup.vars, "$PATH", folder);
  char text[64];
  GetDateFormatA(LOCALE_USER_DEFAULT, 0, nullptr, "MM'.'dd'.'yyyy", text, sizeof text);
  variables_set(&g_setup.vars, "$DATE", text);
  GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, "HH':'mm':'ss", text, sizeof text);
  variables_set(&g_setup.vars, "$TIME", text);
}

void mode_compile() {
  ScriptError error;
  const SetupOptions &o = g_setup.options;
  bool built = script_build_package(&g_setup_files, o.pack, o.source, g_setup.own_path, o.out, &error);
  if (error.text[0] && !o.silent)
    MessageBoxA(nullptr, error.text, "Script error", MB_OK | MB_ICONWARNING);
  g_setup.exit_code = built ? 0 : 1;
}

static bool read_own_package(PackageRead what) {
  if (!file_source_open(&g_package, &g_setup_files, g_setup.own_path)) return false;
  if (package_read(&g_package.source, &g_setup.info, what)) return true;
  file_source_close(&g_package);
  return false;
}

bool install_step(HWND frame) {
  ShowWindow(frame, SW_HIDE);
  progress_open(nullptr, g_package.source.size);
  setup_set_variables(g_setup.folder);
  Progress progress = {progress_report, nullptr};
  char why[KQ_PATH + 64] = "";
  bool ok = package_extract(&g_setup_files, &g_package.source, &g_setup.info, &g_setup.vars,
                            g_setup.folder, &progress, why, sizeof why) &&
            SetCurrentDirectoryA(g_setup.folder);
  if (!ok) {
    const bool cancelled = progress_cancelled();
    progress_close();
    log_printf("Installation failed\n");
    // The user who cancelled knows; anyone else is told why, and the exit code says so.
    if (!cancelled) {
      if (!why[0]) snprintf(why, sizeof why, "Cannot enter the folder '%s'", g_setup.folder);
      char text[sizeof why + 64];
      snprintf(text, sizeof text, "The installation failed:\n%s", why);
      MessageBoxA(nullptr, text, "Installation failed", MB_OK | MB_ICONERROR);
      g_setup.exit_code = 1;
    }
    return false;
  }
  setup_set_variables(g_setup.folder);
  links_create();
  registry_write();
  log_printf("Installation complete.\n");
  progress_close();
  return true;
}

// The first file of the package with the extension ".EXE", in the installation folder.
static void remember_program() {
  for (uint32_t i = 0; i < g_setup.info.file_count; i++) {
    char destination[KQ_PATH];
    setup_text(g_setup.info.files[i].destination, destination, sizeof destination);
    size_t n = strlen(destination);
    if (n < 4 || strcasecmp(destination + n - 4, ".exe")) continue;
    setup_join(g_setup.launch, sizeof g_setup.launch, g_setup.folder, destination);
    return;
  }
}

void mode_install() {
  if (!read_own_package(READ_IMAGES)) return;
  const PackageHeader &h = g_setup.info.header;
  if (h.logo_size) g_setup.logo = picture_load_memory(g_setup.info.logo, h.logo_size);
  if (h.picture_size) g_setup.picture = picture_load_memory(g_setup.info.picture, h.picture_size);
  char programs[MAX_PATH], folder[KQ_PATH];
  if (!SHGetSpecialFolderPathA(nullptr, programs, CSIDL_PROGRAM_FILES, FALSE)) programs[0] = 0;
  variables_set(&g_setup.vars, "$PATH", nullptr);
  setup_text(h.folder, folder, sizeof folder);
  setup_join(g_setup.folder, sizeof g_setup.folder, programs, folder);
  setup_set_variables(g_setup.folder);
  bool launch = false;
  if (wizard_run(&launch) && launch) remember_program();
  file_source_close(&g_package);
}

void mode_confirm_uninstall() {
  if (!read_own_package(READ_PLAIN)) return;
  file_source_close(&g_package);
  char regkey[KQ_PATH], question[KQ_PATH + 32];
  setup_text(g_setup.info.header.regkey, regkey, sizeof regkey);
  snprintf(question, sizeof question, "Do You want to uninstall %s", regkey);
  if (MessageBoxA(nullptr, question, "Confirm uninstallation", MB_YESNO | MB_ICONQUESTION) != IDYES)
    return;
  // A copy in the temporary folder does the work, so that this file can be deleted.
  char temp[MAX_PATH], name[MAX_PATH];
  if (!GetTempPathA(sizeof temp, temp) || !GetTempFileNameA(temp, "del", 0, name)) return;
  DeleteFileA(name);
  path_replace_extension(g_setup.launch, sizeof g_setup.launch, name, ".exe");
  if (!CopyFileA(g_setup.own_path, g_setup.launch, FALSE)) {
    log_warning("Cannot copy the uninstaller to '%s'\n", g_setup.launch);
    g_setup.launch[0] = 0;
  }
}

// The uninstaller that started this copy may still be ending: its file cannot be deleted
// while it runs, so the copy waits for it (5 s at most).
static void wait_for_uninstaller(const char *folder) {
  char path[KQ_PATH];
  setup_join(path, sizeof path, folder, kUninstaller);
  for (int i = 0; i < 100; i++, Sleep(50)) {
    HANDLE file = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      return;
    }
    if (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND) return;
  }
  log_warning("'%s' is still in use\n", path);
}

void mode_uninstall() {
  if (!read_own_package(READ_PLAIN)) return;
  file_source_close(&g_package);
  char programs[MAX_PATH], log_path[KQ_PATH];
  if (SHGetSpecialFolderPathA(nullptr, programs, CSIDL_PROGRAM_FILES, FALSE))
    SetCurrentDirectoryA(programs);
  text_copy(g_setup.folder, sizeof g_setup.folder, g_setup.info.folder);
  setup_set_variables(g_setup.folder);
  path_replace_extension(log_path, sizeof log_path, g_setup.own_path, ".log");
  MoveFileExA(g_setup.own_path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  MoveFileExA(log_path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  registry_remove();
  links_remove();
  wait_for_uninstaller(g_setup.folder);
  package_remove_files(&g_setup_files, &g_setup.info, &g_setup.vars, g_setup.folder);
}
