#include "symbols/address_name.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "symbols/entries.h"
#include "symbols/modules.h"
#include "util/log.h"
#include "util/path.h"

namespace {

const char *file_part(const char *path) {
  const char *name = path;
  for (const char *p = path; *p; p++)
    if (*p == '\\' || *p == '/') name = p + 1;
  return name;
}

bool contains(const ModuleRecord *m, uint32_t address) {
  return m && address >= m->base && address < m->end;
}

// The hexadecimal number after "0x" at p; false when there are no digits.
bool read_hex(const char *p, uint32_t *value, const char **end) {
  if (p[0] != '0' || (p[1] != 'x' && p[1] != 'X')) return false;
  char *stop = nullptr;
  unsigned long v = strtoul(p + 2, &stop, 16);
  if (stop == p + 2) return false;
  *value = (uint32_t)v;
  *end = stop;
  return true;
}

bool is_step(const char *p) { return (p[0] == '+' || p[0] == '-') && p[1] == '/'; }

// A symbol name runs up to the next "+/", "-/", blank or the end.
size_t name_length(const char *p) {
  size_t n = 0;
  while (p[n] && p[n] != ' ' && p[n] != '\t' && !is_step(p + n)) n++;
  return n;
}

// Formatted text added to a buffer, cut where it is full.
struct Appender {
  char *text;
  size_t size;
  size_t length;
};

void append(Appender *a, const char *fmt, ...) KQ_PRINTF(2, 3);
void append(Appender *a, const char *fmt, ...) {
  if (a->length + 1 >= a->size) return;
  va_list ap;
  va_start(ap, fmt);
  int n = vsnprintf(a->text + a->length, a->size - a->length, fmt, ap);
  va_end(ap);
  if (n > 0) a->length = a->length + (size_t)n < a->size ? a->length + (size_t)n : a->size - 1;
}

bool plain_hex(uint32_t address, char *out, size_t outlen) {
  snprintf(out, outlen, "0x%lX", (unsigned long)address);
  return false;
}

// The distance after a symbol or module, if any, then the result.
bool finish_read(const char *text, const char *p, uint32_t value, uint32_t *address,
                 int *consumed) {
  uint32_t distance = 0;
  const char *after = nullptr;
  if (is_step(p) && read_hex(p + 2, &distance, &after)) {
    value = p[0] == '+' ? value + distance : value - distance;
    p = after;
  }
  *address = value;
  *consumed = (int)(p - text);
  return true;
}

}  // namespace

bool address_name(uint32_t reference, uint32_t address, bool allow_offset, char *out,
                  size_t outlen) {
  char text[KQ_PATH * 2];
  Appender a = {text, sizeof text, 0};
  uint32_t anchor = 0;
  const ModuleRecord *m = module_by_address(address);
  bool prefix = m && !contains(m, reference);
  text[0] = 0;
  if (prefix) {
    append(&a, "<%s>", file_part(m->name));
    anchor = m->base;
  }
  const EntryRecord *e = address > anchor ? entry_nearest(address) : nullptr;
  // Only a symbol of the address's own module names it.
  if (e && (e->address < anchor || module_by_address(e->address) != m)) e = nullptr;
  if (e && !allow_offset && e->address != address) return plain_hex(address, out, outlen);
  if (e) {
    append(&a, "%s%s", prefix ? "+/" : "", e->name);
    anchor = e->address;
  }
  if (!anchor) return plain_hex(address, out, outlen);
  if (address != anchor)
    append(&a, "%s0x%lX", address > anchor ? "+/" : "-/",
           (unsigned long)(address > anchor ? address - anchor : anchor - address));
  text_copy(out, outlen, text);
  return true;
}

bool address_read(const char *text, uint32_t *address, int *consumed) {
  const char *p = text;
  const ModuleRecord *m = nullptr;
  uint32_t value = 0;
  const char *after = nullptr;
  if (*p == '<') {
    const char *close = strchr(p, '>');
    if (!close) return false;
    char name[KQ_PATH];
    size_t len = (size_t)(close - p);  // the name and its NUL
    text_copy(name, len < sizeof name ? len : sizeof name, p + 1);
    m = module_by_name(name);
    for (const ModuleRecord *it = module_next(nullptr); !m && it; it = module_next(it))
      if (!strcasecmp(file_part(it->name), name)) m = it;
    if (!m) return false;
    value = m->base;
    p = close + 1;
    uint32_t distance = 0;
    if (p[0] == '+' && p[1] == '/' && !read_hex(p + 2, &distance, &after)) p += 2;
    else return finish_read(text, p, value, address, consumed);
  } else if (read_hex(p, &value, &after)) {
    return finish_read(text, after, value, address, consumed);
  }
  // A symbol, of the module when one was named.
  size_t len = name_length(p);
  char symbol[KQ_PATH];
  if (!len || len >= sizeof symbol) return false;
  text_copy(symbol, len + 1, p);
  value = entry_address_in_module(symbol, m);
  if (!value) return false;
  return finish_read(text, p + len, value, address, consumed);
}
