#include "setup/variables.h"

#include <ctype.h>
#include <string.h>
#include <strings.h>

#include "setup/files.h"
#include "util/log.h"
#include "util/path.h"
#include "util/visor.h"
#include "util/zone.h"

bool variable_name_char(char c) { return isalnum((unsigned char)c) || c == '_'; }

void variables_set(Variables *vars, const char *name, const char *value) {
  log_printf("name='%s' value='%s'\n", name, value ? value : "");
  for (int i = 0; i < vars->count; i++) {
    if (strcmp(vars->items[i].name, name)) continue;
    vars->items[i].value = (char *)zone_free(vars->items[i].value);
    vars->items[i].value = value ? zone_strdup(value) : nullptr;
    return;
  }
  Variable v = {zone_strdup(name), value ? zone_strdup(value) : nullptr};
  vars->items = (Variable *)zone_append(vars->items, &v, sizeof v);
  vars->count++;
}

const Variable *variables_find(const Variables *vars, const char *name) {
  for (int i = 0; i < vars->count; i++)
    if (!strcasecmp(vars->items[i].name, name)) return &vars->items[i];
  return nullptr;
}

const char *variables_lookup(const Variables *vars, const char *name) {
  KQ_ASSERT(name[0] == '$', "setup");
  const Variable *v = variables_find(vars, name);
  if (!v) return nullptr;
  return v->value ? v->value : v->name;
}

void variables_expand(const Variables *vars, const char *text, char *out, size_t outlen) {
  if (!outlen) return;
  size_t used = 0;
  auto put = [&](const char *s, size_t n) {
    if (n > outlen - 1 - used) n = outlen - 1 - used;
    memcpy(out + used, s, n);
    used += n;
  };
  while (*text) {
    if (*text != '$') {
      put(text++, 1);
      continue;
    }
    size_t n = 1;
    while (variable_name_char(text[n])) n++;
    char name[KQ_PATH];
    text_copy_run(name, sizeof name, text, n);
    // A name without a value gives itself; an unknown one stays as written.
    const char *value = variables_lookup(vars, name);
    if (value)
      put(value, strlen(value));
    else
      put(text, n);
    text += n;
  }
  out[used] = 0;
}

void variables_free(Variables *vars) {
  for (int i = 0; i < vars->count; i++) {
    vars->items[i].name = (char *)zone_free(vars->items[i].name);
    vars->items[i].value = (char *)zone_free(vars->items[i].value);
  }
  vars->items = (Variable *)zone_free(vars->items);
  vars->count = 0;
}
