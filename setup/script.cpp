#include "setup/script.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "util/log.h"
#include "util/zone.h"

enum Operator { OP_SET, OP_LOCAL, OP_GLOBAL, OP_MENU, OP_DESK, OP_FILE, OP_TEMP, OP_COUNT };
static const char *const kOperators[OP_COUNT] = {"set", "local", "global", "menu",
                                                 "desk", "file", "temp"};

struct Parser {
  const char *at, *end;
  int line;  // line of at
};

static void advance(Parser *p, size_t n) {
  for (; n && p->at < p->end; n--, p->at++)
    if (*p->at == '\n') p->line++;
}

static bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Skips white space and, where a statement or a value may begin, "#" comments.
static void skip_blank(Parser *p) {
  while (p->at < p->end) {
    if (is_space(*p->at)) {
      advance(p, 1);
    } else if (*p->at == '#') {
      while (p->at < p->end && *p->at != '\n') advance(p, 1);
    } else {
      break;
    }
  }
}

static void skip_space(Parser *p) {
  while (p->at < p->end && is_space(*p->at)) advance(p, 1);
}

// A quoted or bare value into out (cut to fit); the quotes are dropped.
static void read_value(Parser *p, char *out, size_t outlen) {
  skip_blank(p);
  const char *start = p->at;
  size_t n = 0;
  if (p->at < p->end && (*p->at == '"' || *p->at == '\'')) {
    char quote = *p->at;
    advance(p, 1);
    start = p->at;
    while (p->at < p->end && *p->at != quote) advance(p, 1);
    n = (size_t)(p->at - start);
    advance(p, 1);
  } else {
    while (p->at < p->end && !is_space(*p->at) && *p->at != ',' && *p->at != ';') advance(p, 1);
    n = (size_t)(p->at - start);
  }
  text_copy_run(out, outlen, start, n);
}

static bool expect(Parser *p, char c) {
  skip_space(p);
  if (p->at >= p->end || *p->at != c) return false;
  advance(p, 1);
  return true;
}

static int find_operator(const Parser *p) {
  for (int op = 0; op < OP_COUNT; op++) {
    size_t n = strlen(kOperators[op]);
    if ((size_t)(p->end - p->at) < n || memcmp(p->at, kOperators[op], n)) continue;
    if (p->at + n < p->end && variable_name_char(p->at[n]) && p->at[n] != '_') continue;
    return op;
  }
  return -1;
}

// ---- "file" ----

struct Match {
  char name[KQ_PATH];
  uint32_t size;
};

static void collect_match(const char *name, uint32_t size, bool is_folder, void *context) {
  if (is_folder) return;
  Match m = {};
  text_copy(m.name, sizeof m.name, name);
  m.size = size;
  Match **list = (Match **)context;
  *list = (Match *)zone_append(*list, &m, sizeof m);
}

static int compare_matches(const void *a, const void *b) {
  return strcasecmp(((const Match *)a)->name, ((const Match *)b)->name);
}

static bool is_absolute(const char *path) {
  return path[0] == '\\' || (path[0] && path[1] == ':' && path[2] == '\\');
}

static void add_files(const SetupFiles *fs, const char *source, const char *pattern,
                      const char *folder, PackageInfo *info, const Variables *vars) {
  const char *file_part = pattern + strlen(pattern);
  while (file_part > pattern && file_part[-1] != '\\' && file_part[-1] != '/') file_part--;
  char relative[KQ_PATH], where[KQ_PATH];
  text_copy_run(relative, sizeof relative, pattern, (size_t)(file_part - pattern));
  if (is_absolute(pattern))
    text_copy(where, sizeof where, relative);
  else
    setup_join(where, sizeof where, source, relative);
  Match *matches = nullptr;
  fs->list(where, file_part, collect_match, &matches);
  size_t count = zone_size(matches) / sizeof(Match);
  if (count) qsort(matches, count, sizeof(Match), compare_matches);
  for (size_t i = 0; i < count; i++) {
    char from[KQ_PATH], to[KQ_PATH];
    setup_join(from, sizeof from, where, matches[i].name);
    if (folder[0])
      setup_join(to, sizeof to, folder, matches[i].name);
    else if (is_absolute(pattern))
      text_copy(to, sizeof to, matches[i].name);
    else
      setup_join(to, sizeof to, relative, matches[i].name);
    package_add_file(info, vars, from, matches[i].size, to);
  }
  matches = (Match *)zone_free(matches);
}

// ---- Statements ----

static const char *statement(Parser *p, const SetupFiles *fs, const char *source,
                             PackageInfo *info, Variables *vars) {
  int op = find_operator(p);
  if (op < 0) return "Unknown operator";
  log_printf("%s\n", kOperators[op]);
  advance(p, strlen(kOperators[op]));
  char value[3][KQ_PATH] = {};
  if (op == OP_SET) {
    skip_blank(p);
    if (p->at >= p->end || *p->at != '$') return "$name expected";
    const char *name = p->at;
    advance(p, 1);
    while (p->at < p->end && variable_name_char(*p->at)) advance(p, 1);
    char var[KQ_PATH];
    text_copy_run(var, sizeof var, name, (size_t)(p->at - name));
    if (!expect(p, '=')) return "Assignment expected";
    read_value(p, value[0], sizeof value[0]);
    if (!expect(p, ';')) return "Semicolon expected";
    variables_set(vars, var, value[0]);
    return nullptr;
  }
  for (int i = 0; i < 3; i++) {
    read_value(p, value[i], sizeof value[i]);
    if (i == 2 || !expect(p, ',')) break;
  }
  if (!expect(p, ';')) return "Semicolon expected";
  switch (op) {
    case OP_LOCAL: package_add_value(info, vars, REG_USER, value[0], value[1]); break;
    case OP_GLOBAL: package_add_value(info, vars, REG_MACHINE, value[0], value[1]); break;
    case OP_MENU: package_add_link(info, vars, LINK_MENU, value[0], value[1]); break;
    case OP_DESK: package_add_link(info, vars, LINK_DESKTOP, value[0], value[1]); break;
    case OP_FILE: add_files(fs, source, value[0], value[1], info, vars); break;
    case OP_TEMP: package_add_file(info, vars, nullptr, 0, value[0]); break;
  }
  return nullptr;
}

static void report(ScriptError *error, int line, const char *message) {
  error->line = line;
  snprintf(error->text, sizeof error->text, "Error in %i: %.230s", line, message);
  log_printf("%s\n", error->text);
}

static uint32_t header_string(PackageInfo *info, const Variables *vars, const char *name) {
  const Variable *v = variables_find(vars, name);
  return package_add_string(info, vars, v && v->value ? v->value : "");
}

bool script_compile(const char *text, size_t len, const SetupFiles *fs, const char *source,
                    PackageInfo *info, Variables *vars, ScriptError *error) {
  memset(error, 0, sizeof *error);
  Parser p = {text, text + len, 1};
  // The script follows the first line that begins with "#pack".
  bool found = false;
  while (p.at < p.end && !found) {
    found = (size_t)(p.end - p.at) >= 5 && !memcmp(p.at, "#pack", 5);
    while (p.at < p.end && *p.at != '\n') advance(&p, 1);
    advance(&p, 1);
  }
  const char *message = found ? nullptr : "Cannot find '#pack' label\n";
  // Defined without values, they stay in the text until installation.
  static const char *const kLate[] = {"$PATH", "$DATE", "$TIME"};
  for (const char *name : kLate) variables_set(vars, name, nullptr);
  for (skip_blank(&p); p.at < p.end && !message; skip_blank(&p))
    message = statement(&p, fs, source, info, vars);
  info->header.company = header_string(info, vars, "$COMPANY");
  info->header.product = header_string(info, vars, "$PRODUCT");
  info->header.regkey = header_string(info, vars, "$REGKEY");
  info->header.folder = header_string(info, vars, "$FOLDER");
  if (message) {
    report(error, p.line, message);
    return false;
  }
  log_printf("Batch is OK\n");
  return true;
}

// Reads a whole file into a zone block; null when it cannot be read.
static char *read_whole(const SetupFiles *fs, const char *path, size_t *len) {
  void *f = fs->open_read(path);
  if (!f) return nullptr;
  char *text = nullptr;
  char block[SETUP_BLOCK];
  size_t n;
  while ((n = fs->read(f, block, sizeof block)) > 0) text = (char *)zone_append(text, block, n);
  fs->close(f);
  *len = zone_size(text);
  return text ? text : (char *)zone_alloc(1);
}

bool script_build_package(const SetupFiles *fs, const char *script_path, const char *source,
                          const char *image_path, const char *out_path, ScriptError *error) {
  memset(error, 0, sizeof *error);
  if (!script_path || !script_path[0]) {
    report(error, 0, "No batch file specified to parse");
    return false;
  }
  char path[KQ_PATH];
  const char *name = script_path + strlen(script_path);
  while (name > script_path && name[-1] != '\\' && name[-1] != '/') name--;
  if (strchr(name, '.'))
    text_copy(path, sizeof path, script_path);
  else
    path_replace_extension(path, sizeof path, script_path, ".bat");
  size_t len = 0;
  char *text = read_whole(fs, path, &len);
  if (!text) {
    char message[KQ_PATH];
    snprintf(message, sizeof message, "Cannot find '%.200s' batch file", path);
    report(error, 0, message);
    return false;
  }
  PackageInfo info = {};
  Variables vars = {};
  bool compiled = script_compile(text, len, fs, source ? source : "", &info, &vars, error);
  text = (char *)zone_free(text);
  bool written = out_path && out_path[0] && package_write(fs, &info, &vars, image_path, out_path);
  package_free(&info);
  variables_free(&vars);
  return compiled && written;
}
