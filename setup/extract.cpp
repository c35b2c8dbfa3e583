#include "setup/extract.h"

#include <stdio.h>
#include <string.h>

#include "util/log.h"
#include "util/zone.h"

const char kUninstaller[] = "uninst.exe";

bool setup_make_folders(const SetupFiles *fs, const char *path) {
  char prefix[KQ_PATH];
  size_t len = strlen(path);
  for (size_t i = 1; i <= len; i++) {
    if (i < len && path[i] != '\\' && path[i] != '/') continue;
    text_copy_run(prefix, sizeof prefix, path, i);
    // A drive ("C:") or the root needs no creating.
    if (prefix[i - 1] == ':' || (i == 1 && (prefix[0] == '\\' || prefix[0] == '/'))) continue;
    int state = fs->folder_state(prefix);
    if (state == 1) continue;
    if (state < 0) {
      log_printf("Directory name '%s' conflicts with existing file\n", prefix);
      return false;
    }
    if (!fs->make_folder(prefix)) {
      log_printf("Cannot create '%s' directory\n", prefix);
      return false;
    }
  }
  return true;
}

// Copies len bytes of the package from offset into out, reporting every block.
static bool copy_range(const ByteSource *package, uint32_t offset, uint32_t len,
                       const SetupFiles *fs, void *out, const char *name,
                       const Progress *progress) {
  uint8_t block[SETUP_BLOCK];
  while (len) {
    uint32_t n = len < sizeof block ? len : (uint32_t)sizeof block;
    if (package->read_at(package->context, offset, block, n) != n) return false;
    if (!fs->write(out, block, n)) return false;
    offset += n;
    len -= n;
    if (progress && !progress->report(progress->context, name, n)) return false;
  }
  return true;
}

// The uninstaller: the program image, the header with no data, the information, the
// installation folder and the trailer.
static bool write_uninstaller(const SetupFiles *fs, const ByteSource *package,
                              const PackageInfo *info, const char *folder,
                              const Progress *progress) {
  char path[KQ_PATH];
  setup_join(path, sizeof path, folder, kUninstaller);
  void *out = fs->create(path);
  if (!out) {
    log_printf("Cannot create '%s'\n", path);
    return false;
  }
  PackageHeader h = info->header;
  h.data_length = 0;
  uint8_t raw[PACKAGE_HEADER_SIZE], trailer[PACKAGE_TRAILER_SIZE];
  package_header_put(raw, &h);
  package->read_at(package->context, package->size - PACKAGE_TRAILER_SIZE, trailer,
                   sizeof trailer);
  bool ok = copy_range(package, 0, info->header_offset, fs, out, kUninstaller, progress) &&
            fs->write(out, raw, sizeof raw) &&
            copy_range(package, info->header_offset + PACKAGE_HEADER_SIZE, h.info_length, fs,
                       out, kUninstaller, progress) &&
            fs->write(out, folder, strlen(folder) + 1) && fs->write(out, trailer, sizeof trailer);
  return fs->close(out) && ok;
}

// The destination of entry i below folder, expanded; false when it would leave the folder.
static bool entry_path(const PackageInfo *info, const Variables *vars, uint32_t i,
                       const char *folder, char *out, size_t outlen) {
  char destination[KQ_PATH];
  variables_expand(vars, package_string(info, info->files[i].destination), destination,
                   sizeof destination);
  if (!package_path_is_inside(destination)) {
    log_warning("Refused file '%s': its path leaves the installation folder\n", destination);
    return false;
  }
  setup_join(out, outlen, folder, destination);
  return true;
}

// The folder part of path (without its last "\\" and name).
static void parent_of(const char *path, char *out, size_t outlen) {
  const char *end = path + strlen(path);
  while (end > path && end[-1] != '\\' && end[-1] != '/') end--;
  text_copy_run(out, outlen, path, end > path ? (size_t)(end - path - 1) : 0);
}

// Deletes the first count file entries and the uninstaller with its log.
static void remove_entries(const SetupFiles *fs, const PackageInfo *info, const Variables *vars,
                           const char *folder, uint32_t count) {
  char path[KQ_PATH];
  for (uint32_t i = 0; i < count; i++) {
    if (!entry_path(info, vars, i, folder, path, sizeof path)) continue;
    bool removed = fs->remove_file(path);
    log_printf("Deleting file '%s', Result=%i\n", path, (int)removed);
  }
  char log_name[KQ_PATH];
  path_replace_extension(log_name, sizeof log_name, kUninstaller, ".log");
  const char *own[] = {log_name, kUninstaller};
  for (const char *name : own) {
    setup_join(path, sizeof path, folder, name);
    fs->remove_file(path);
  }
}

bool package_extract(const SetupFiles *fs, const ByteSource *package, const PackageInfo *info,
                     const Variables *vars, const char *folder, const Progress *progress,
                     char *why, size_t whylen) {
  char path[KQ_PATH], parent[KQ_PATH];
  auto fail = [&](const char *reason, const char *name) {
    if (whylen) snprintf(why, whylen, reason, name);
  };
  for (uint32_t i = 0; i < info->file_count; i++) {
    if (entry_path(info, vars, i, folder, path, sizeof path)) continue;
    fail("A file of the package would leave the folder '%s'", folder);
    return false;
  }
  if (!setup_make_folders(fs, folder)) {
    fail("Cannot create the folder '%s'", folder);
    return false;
  }
  bool ok = write_uninstaller(fs, package, info, folder, progress);
  if (!ok) fail("Cannot write the uninstaller into '%s'", folder);
  uint32_t offset = info->header.data_offset;
  uint32_t touched = 0;  // entries whose file may have been created
  for (uint32_t i = 0; ok && i < info->file_count; i++) {
    const FileEntry *e = &info->files[i];
    log_printf("[%i] dest='%s' istemp=%i\n", (int)i, package_string(info, e->destination),
               (int)e->temporary);
    if (e->temporary) continue;
    entry_path(info, vars, i, folder, path, sizeof path);
    parent_of(path, parent, sizeof parent);
    void *out = setup_make_folders(fs, parent) ? fs->create(path) : nullptr;
    if (!out) {
      log_printf("Cannot create '%s'\n", path);
      fail("Cannot create '%s'", path);
      ok = false;
      break;
    }
    touched = i + 1;
    ok = copy_range(package, offset, e->size, fs, out, package_string(info, e->destination),
                    progress);
    ok = fs->close(out) && ok;
    if (!ok) fail("Cannot write '%s'", path);
    offset += e->size;
  }
  if (ok) return true;
  log_printf("Installation stopped: taking away what was written\n");
  remove_entries(fs, info, vars, folder, touched);
  setup_remove_empty_folders(fs, folder);
  return false;
}

void package_remove_files(const SetupFiles *fs, const PackageInfo *info, const Variables *vars,
                          const char *folder) {
  log_printf("Deleting files..\n");
  remove_entries(fs, info, vars, folder, info->file_count);
  log_printf("Removing directories from '%s'\n", folder);
  setup_remove_empty_folders(fs, folder);
}

struct FolderList {
  char (*names)[KQ_PATH];  // zone array
};

static void collect_folder(const char *name, uint32_t, bool is_folder, void *context) {
  if (!is_folder) return;
  FolderList *list = (FolderList *)context;
  char entry[KQ_PATH];
  text_copy(entry, sizeof entry, name);
  list->names = (char(*)[KQ_PATH])zone_append(list->names, entry, sizeof entry);
}

static void remove_below(const SetupFiles *fs, const char *folder, int depth) {
  FolderList list = {};
  if (depth < 32) fs->list(folder, "*", collect_folder, &list);
  size_t count = zone_size(list.names) / KQ_PATH;
  for (size_t i = 0; i < count; i++) {
    char child[KQ_PATH];
    setup_join(child, sizeof child, folder, list.names[i]);
    remove_below(fs, child, depth + 1);
  }
  list.names = (char(*)[KQ_PATH])zone_free(list.names);
  if (!fs->remove_folder(folder)) log_printf("Fail to delete '%s' directory\n", folder);
}

void setup_remove_empty_folders(const SetupFiles *fs, const char *folder) {
  if (fs->folder_state(folder) == 1) remove_below(fs, folder, 0);
}
