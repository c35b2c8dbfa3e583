#include "ui/dialogs/prompt_history.h"

#include <string.h>

#include "util/path.h"

void prompt_split_message(const char *message, char *title, size_t title_len, char *line,
                          size_t line_len) {
  const char *feed = strchr(message, '\n');
  size_t head = feed ? (size_t)(feed - message) : strlen(message);
  if (title_len) {
    size_t n = head < title_len - 1 ? head : title_len - 1;
    memcpy(title, message, n);
    title[n] = 0;
  }
  text_copy(line, line_len, feed ? feed + 1 : "");
}

bool prompt_take_leading_line_feed(char *text) {
  if (text[0] != '\n') return false;
  memmove(text, text + 1, strlen(text));
  return true;
}

int prompt_history_entries(const char *history, void (*add)(void *context, const char *entry),
                           void *context) {
  char entry[PROMPT_TEXT];
  int count = 0;
  for (const char *p = history; *p;) {
    const char *feed = strchr(p, '\n');
    size_t len = feed ? (size_t)(feed - p) : strlen(p);
    size_t n = len < sizeof entry - 1 ? len : sizeof entry - 1;
    memcpy(entry, p, n);
    entry[n] = 0;
    add(context, entry);
    count++;
    p += len;
    if (*p) p++;
  }
  return count;
}

void prompt_commit(const char *accepted, const char *const *list, int list_count, char *text,
                   char *history) {
  char kept[PROMPT_TEXT];
  text_copy(kept, sizeof kept, accepted);  // accepted may be one of the buffers
  text_copy(text, PROMPT_TEXT, kept);
  text_copy(history, PROMPT_TEXT, kept);
  for (int i = 0; i < list_count; i++) {
    if (strcmp(list[i], kept) == 0) continue;
    size_t have = strlen(history), add = strlen(list[i]);
    if (have + add + 2 > PROMPT_TEXT) break;
    memmove(history + add + 1, history, have + 1);
    memcpy(history, list[i], add);
    history[add] = '\n';
  }
}
