// What an installation leaves in the system besides its files: shortcuts in the start
// menu's programs folder and on the desktop, the uninstall entry and the product's registry
// values; and their removal at uninstallation.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <stdio.h>

#include "setup/extract.h"
#include "setup/installer.h"
#include "util/log.h"

static const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
static const char kUninstallTitle[] = "Uninstall";

// ---- Shortcuts ----

// The product's folder in the programs folder, or the desktop.
static bool link_folder(uint32_t kind, char *out) {
  char base[MAX_PATH], product[KQ_PATH];
  if (!SHGetSpecialFolderPathA(nullptr, base, kind == LINK_MENU ? CSIDL_PROGRAMS : CSIDL_DESKTOPDIRECTORY,
                               TRUE))
    return false;
  setup_text(g_setup.info.header.product, product, sizeof product);
  if (kind != LINK_MENU) {
    text_copy(out, KQ_PATH, base);
  } else {
    // Without a product name the shortcuts would land in the programs folder itself.
    if (!product[0]) return false;
    setup_join(out, KQ_PATH, base, product);
  }
  return true;
}

static void link_path(const char *folder, const char *title, char *out) {
  char name[KQ_PATH];
  snprintf(name, sizeof name, "%.250s.lnk", title);
  setup_join(out, KQ_PATH, folder, name);
}

static bool make_link(const char *folder, const char *title, const char *target) {
  char path[KQ_PATH];
  link_path(folder, title, path);
  IShellLinkA *link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              (void **)&link)))
    return false;
  link->SetPath(target);
  link->SetDescription(title);
  link->SetWorkingDirectory(g_setup.folder);
  IPersistFile *file = nullptr;
  bool saved = false;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void **)&file))) {
    WCHAR wide[KQ_PATH];
    MultiByteToWideChar(CP_ACP, 0, path, -1, wide, KQ_PATH);
    saved = SUCCEEDED(file->Save(wide, TRUE));
    file->Release();
  }
  link->Release();
  log_printf("Link '%s' to '%s'%s\n", path, target, saved ? "" : " could not be made");
  return saved;
}

void links_create() {
  log_printf("Creating links...\n");
  char folder[KQ_PATH], title[KQ_PATH], target[KQ_PATH], full[KQ_PATH];
  const PackageInfo &info = g_setup.info;
  for (uint32_t i = 0; i < info.link_count; i++) {
    if (!link_folder(info.links[i].kind, folder)) continue;
    if (info.links[i].kind == LINK_MENU) CreateDirectoryA(folder, nullptr);
    setup_text(info.links[i].title, title, sizeof title);
    setup_text(info.links[i].target, target, sizeof target);
    setup_join(full, sizeof full, g_setup.folder, target);
    make_link(folder, title, full);
  }
  if (!link_folder(LINK_MENU, folder)) return;
  CreateDirectoryA(folder, nullptr);
  setup_join(full, sizeof full, g_setup.folder, kUninstaller);
  make_link(folder, kUninstallTitle, full);
}

static void delete_link(const char *folder, const char *title) {
  char path[KQ_PATH];
  link_path(folder, title, path);
  DeleteFileA(path);
}

void links_remove() {
  char folder[KQ_PATH], title[KQ_PATH];
  bool menu = link_folder(LINK_MENU, folder);
  if (menu) delete_link(folder, kUninstallTitle);
  log_printf("Deleting links..\n");
  const PackageInfo &info = g_setup.info;
  for (uint32_t i = 0; i < info.link_count; i++) {
    if (!link_folder(info.links[i].kind, folder)) continue;
    setup_text(info.links[i].title, title, sizeof title);
    log_printf("Deleting link '%s'\n", title);
    delete_link(folder, title);
  }
  // The product's folder goes once it is empty.
  if (menu && link_folder(LINK_MENU, folder)) RemoveDirectoryA(folder);
}

// ---- Registry ----

static void check(LONG result, const char *what) {
  if (result != ERROR_SUCCESS) log_warning("Result==ERROR_SUCCESS failed for '%s' (%li)\n", what, result);
}

static void set_string(HKEY root, const char *key, const char *name, const char *value) {
  HKEY opened;
  LONG result = RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr);
  check(result, key);
  if (result != ERROR_SUCCESS) return;
  check(RegSetValueExA(opened, name, 0, REG_SZ, (const BYTE *)value, (DWORD)strlen(value) + 1), name);
  RegCloseKey(opened);
}

// "Software\\$REGKEY" and the uninstall entry's key; false without a key name, where the
// keys would be "Software" and the uninstall list themselves.
static bool product_keys(char *software, char *uninstall) {
  char regkey[KQ_PATH];
  setup_text(g_setup.info.header.regkey, regkey, sizeof regkey);
  if (!regkey[0]) return false;
  snprintf(software, KQ_PATH, "Software\\%.240s", regkey);
  snprintf(uninstall, KQ_PATH, "%s\\%.190s", kUninstallKey, regkey);
  return true;
}

void registry_write() {
  char software[KQ_PATH], uninstall[KQ_PATH], product[KQ_PATH], uninstaller[KQ_PATH];
  if (!product_keys(software, uninstall)) return;
  setup_text(g_setup.info.header.product, product, sizeof product);
  setup_join(uninstaller, sizeof uninstaller, g_setup.folder, kUninstaller);
  set_string(HKEY_LOCAL_MACHINE, uninstall, "UninstallString", uninstaller);
  set_string(HKEY_LOCAL_MACHINE, uninstall, "DisplayName", product);
  log_printf("Registering values...\n");
  HKEY user;
  check(RegCreateKeyExA(HKEY_CURRENT_USER, software, 0, nullptr, 0, KEY_READ, nullptr, &user,
                        nullptr), software);
  RegCloseKey(user);
  const PackageInfo &info = g_setup.info;
  for (uint32_t i = 0; i < info.value_count; i++) {
    char name[KQ_PATH], value[KQ_PATH];
    setup_text(info.values[i].name, name, sizeof name);
    setup_text(info.values[i].value, value, sizeof value);
    set_string(info.values[i].kind == REG_MACHINE ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER,
               software, name, value);
  }
}

static void delete_key(HKEY root, const char *key) {
  LONG result = SHDeleteKeyA(root, key);
  if (result != ERROR_FILE_NOT_FOUND) check(result, key);
}

void registry_remove() {
  char software[KQ_PATH], uninstall[KQ_PATH];
  log_printf("Deleting registry keys..\n");
  if (!product_keys(software, uninstall)) return;
  delete_key(HKEY_CURRENT_USER, software);
  delete_key(HKEY_LOCAL_MACHINE, uninstall);
  // The machine's key exists only when the package wrote values there.
  for (uint32_t i = 0; i < g_setup.info.value_count; i++)
    if (g_setup.info.values[i].kind == REG_MACHINE) {
      delete_key(HKEY_LOCAL_MACHINE, software);
      break;
    }
}
