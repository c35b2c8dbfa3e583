#include "startup/workspace.h"

#include <string.h>

#include "engine/address_eval.h"
#include "engine/breakpoints.h"
#include "engine/debuggee.h"
#include "engine/guards.h"
#include "engine/memory.h"
#include "settings/settings.h"
#include "startup/workspace_file.h"
#include "symbols/comments.h"
#include "symbols/user_patches.h"
#include "ui/panels/watch/watch_panel_list.h"
#include "util/log.h"
#include "util/zone.h"

namespace {

uint32_t resolve_comment(const char *expression) { return g_address_eval.address(expression); }

void workspace_path(char *out, size_t outlen) {
  settings_pattern_path(g_settings.WorkspaceFilename, debuggee_path(), out, outlen);
}

void apply(const WorkspaceRecord *r, void *) {
  switch (r->kind) {
    case WS_COMMENT: comment_add(r->args[0], r->args[1]); break;
    case WS_BREAK: breakpoint_add(r->args[0]); break;
    case WS_GUARD:
      if (guard_add(r->args[0], r->args[1]) < 0)
        log_printf("WARNING: no free guard slot for '%s'\n", r->args[0]);
      break;
    case WS_WATCH: watch_add(r->args[0], -1); break;
    case WS_PATCH:
      if (!user_patch_load(r->args[0], r->args[1]))
        log_printf("WARNING: patch '%s' holds no bytes\n", r->args[0]);
      break;
  }
}

// Appends one record's line to the zone text.
void append(char **text, int kind, const char *first, const char *second) {
  WorkspaceRecord r;
  r.kind = kind;
  text_copy(r.args[0], sizeof r.args[0], first);
  text_copy(r.args[1], sizeof r.args[1], second ? second : "");
  char line[WORKSPACE_LINE_MAX];
  if (!workspace_format_record(&r, line, sizeof line)) return;
  *text = (char *)zone_append(*text, line, strlen(line));
}

}  // namespace

void workspace_reset() {
  comments_clear();
  user_patches_clear();
  watch_clear();
  breakpoints_clear_all();
}

bool workspace_load() {
  workspace_reset();
  comments_set_resolver(resolve_comment);
  user_patches_set_writer(memory_write);
  char path[KQ_PATH];
  workspace_path(path, sizeof path);
  log_trace("Loading user info from '%s'\n", path);
  int damaged = 0;
  if (!workspace_read_file(path, apply, nullptr, &damaged)) return false;
  int guards = 0;
  for (int n = 0; n < GUARD_SLOTS; n++) guards += g_guards[n].expression && g_guards[n].expression[0];
  log_printf("Workspace: %d comments, %d breakpoints, %d guards, %d watches\n", comment_count(),
             breakpoint_count(), guards, g_watches.count);
  return true;
}

bool workspace_save() {
  char *text = nullptr;
  for (int id = -1; comment_next(&id);)
    append(&text, WS_COMMENT, comment_get(id)->expression, comment_get(id)->text);
  for (int id = -1; breakpoint_next(&id);) append(&text, WS_BREAK, breakpoint_get(id)->expression, "");
  for (int n = 0; n < GUARD_SLOTS; n++) {
    char expression[KQ_PATH], condition[KQ_PATH];
    if (guard_get(n, expression, sizeof expression, condition, sizeof condition))
      append(&text, WS_GUARD, expression, condition);
  }
  for (int i = 0; i < g_watches.count; i++)
    append(&text, WS_WATCH, g_watches.entries[i].expression, "");
  for (int i = 0; i < user_patch_count(); i++) {
    char hex[3 * USER_PATCH_BYTES + 1];
    user_patch_hex(user_patch_get(i), hex, sizeof hex);
    append(&text, WS_PATCH, user_patch_get(i)->expression, hex);
  }
  char path[KQ_PATH];
  workspace_path(path, sizeof path);
  log_trace("Saving user info into '%s'\n", path);
  const bool saved = workspace_write_file(path, text ? text : "", zone_size(text));
  zone_free(text);
  // What could not be written stays in memory until the next load replaces it.
  if (!saved) {
    log_warning("The workspace was not saved: cannot create '%s'", path);
    return false;
  }
  workspace_reset();
  return true;
}
