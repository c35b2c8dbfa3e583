// The texts of the plug-in manager, free of the system: the PluginOrder list, the title a
// plug-in registers a command under, and the command line typed in the command dialog.
#pragma once
#include <stddef.h>

#include "util/path.h"

// Items of PluginOrder are separated by any run of these characters.
extern const char kPluginOrderSeparators[];

// Walks a PluginOrder text item by item.
struct PluginOrderCursor {
  const char *text;
  size_t offset;  // where the next item is looked for
  bool enabled;   // state of the last item; an item without a sign takes it
};

struct PluginOrderItem {
  size_t start;  // the item's sign, or its name when it has none
  size_t end;    // past its name and the separators after it
  bool enabled;
  char name[KQ_PATH];  // cut to fit
};

void plugin_order_begin(PluginOrderCursor *cursor, const char *text);
// The next non-empty item; false past the last.
bool plugin_order_next(PluginOrderCursor *cursor, PluginOrderItem *item);
// Cuts the item just read (sign, name and separators) out of text, the buffer the cursor
// walks, and leaves the cursor where the following item now starts.
void plugin_order_remove(PluginOrderCursor *cursor, char *text, const PluginOrderItem *item);
// Appends "%c%s;" ('+' enabled, '-' disabled); false, text unchanged, when it does not fit.
bool plugin_order_append(char *text, size_t size, bool enabled, const char *name);

// A registered title: an optional key in square brackets, then the description.
struct CommandTitle {
  const char *key;  // inside the title; key_length characters, 0 without brackets
  size_t key_length;
  const char *description;  // the rest of the title after "]" and the blanks after it
};
void command_title_split(const char *title, CommandTitle *out);

// A typed command line: the key up to the first white space (cut to fit key), the
// parameter after the white space that follows it.
const char *typed_command_split(const char *typed, char *key, size_t keylen);

// The command dialog's order: by key, then by description, both without regard to case.
int command_order_compare(const char *key_a, const char *description_a, const char *key_b,
                          const char *description_b);
