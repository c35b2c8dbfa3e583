#include "plugin_host/plugin_text.h"

#include <ctype.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

const char kPluginOrderSeparators[] = ";\n";

void plugin_order_begin(PluginOrderCursor *cursor, const char *text) {
  *cursor = PluginOrderCursor{text ? text : "", 0, true};
}

bool plugin_order_next(PluginOrderCursor *cursor, PluginOrderItem *item) {
  const char *text = cursor->text;
  size_t at = cursor->offset + strspn(text + cursor->offset, kPluginOrderSeparators);
  if (!text[at]) {
    cursor->offset = at;
    return false;
  }
  item->start = at;
  if (text[at] == '+' || text[at] == '-') cursor->enabled = text[at++] == '+';
  size_t length = strcspn(text + at, kPluginOrderSeparators);
  size_t kept = length < sizeof item->name ? length : sizeof item->name - 1;
  memcpy(item->name, text + at, kept);
  item->name[kept] = 0;
  at += length;
  item->end = at + strspn(text + at, kPluginOrderSeparators);
  item->enabled = cursor->enabled;
  cursor->offset = item->end;
  return true;
}

void plugin_order_remove(PluginOrderCursor *cursor, char *text, const PluginOrderItem *item) {
  memmove(text + item->start, text + item->end, strlen(text + item->end) + 1);
  cursor->offset = item->start;
}

bool plugin_order_append(char *text, size_t size, bool enabled, const char *name) {
  size_t used = strlen(text);
  int n = snprintf(text + used, size - used, "%c%s;", enabled ? '+' : '-', name);
  if (n < 0 || (size_t)n >= size - used) {
    text[used] = 0;
    return false;
  }
  return true;
}

void command_title_split(const char *title, CommandTitle *out) {
  if (title[0] != '[') {
    *out = CommandTitle{title, 0, title};
    return;
  }
  const char *key = title + 1;
  size_t length = strcspn(key, "]");
  const char *rest = key + length + (key[length] == ']');
  while (*rest && isspace((unsigned char)*rest)) rest++;
  *out = CommandTitle{key, length, rest};
}

const char *typed_command_split(const char *typed, char *key, size_t keylen) {
  size_t length = 0;
  while (typed[length] && !isspace((unsigned char)typed[length])) length++;
  size_t kept = length < keylen ? length : keylen - 1;
  memcpy(key, typed, kept);
  key[kept] = 0;
  const char *parameter = typed + length;
  while (*parameter && isspace((unsigned char)*parameter)) parameter++;
  return parameter;
}

int command_order_compare(const char *key_a, const char *description_a, const char *key_b,
                          const char *description_b) {
  int by_key = strcasecmp(key_a, key_b);
  return by_key ? by_key : strcasecmp(description_a, description_b);
}
