#include "symbols/comments.h"

#include <string.h>

#include "settings/changes.h"
#include "symbols/address_name.h"
#include "util/index.h"
#include "util/path.h"
#include "util/tab.h"
#include "util/zone.h"

namespace {

struct CommentTable {
  SlotTable slots;
  SortedIndex by_address;  // the comments whose address resolved
  CommentResolver resolve;
  bool ready;
};
CommentTable g_comments;

Comment *record(uint32_t id) { return (Comment *)tab_slot(&g_comments.slots, (int)id); }

int compare_address(const void *key, uint32_t context, uint32_t id) {
  (void)context;
  uint32_t a = *(const uint32_t *)key, b = record(id)->address;
  return a < b ? -1 : a > b;
}

uint32_t read_address_name(const char *expression) {
  uint32_t address = 0;
  int consumed = 0;
  if (!address_read(expression, &address, &consumed) || expression[consumed]) return 0;
  return address;
}

void ensure_ready() {
  if (g_comments.ready) return;
  tab_init(&g_comments.slots, sizeof(Comment));
  sindex_init(&g_comments.by_address);
  sindex_set_compare(&g_comments.by_address, compare_address, 0);
  if (!g_comments.resolve) g_comments.resolve = read_address_name;
  g_comments.ready = true;
}

void place(Comment *c, uint32_t address) {
  if (c->address) sindex_remove(&g_comments.by_address, &c->address, c->id);
  c->address = address;
  if (address) sindex_insert(&g_comments.by_address, &c->address, c->id);
}

}  // namespace

void comments_set_resolver(CommentResolver resolve) {
  g_comments.resolve = resolve ? resolve : read_address_name;
}

void comments_clear() {
  if (!g_comments.ready) return;
  for (int id = -1; tab_prev_used(&g_comments.slots, &id);) {
    Comment *c = record((uint32_t)id);
    c->text = (char *)zone_free(c->text);
    c->expression = (char *)zone_free(c->expression);
  }
  bool had_any = tab_used(&g_comments.slots) > 0;
  sindex_destroy(&g_comments.by_address);
  tab_free(&g_comments.slots);
  g_comments.ready = false;
  if (had_any) changes_raise(CHG_COMMENTS);
}

int comment_add(const char *expression, const char *text) {
  ensure_ready();
  int id = tab_alloc(&g_comments.slots);
  if (id < 0) return -1;
  Comment *c = record((uint32_t)id);
  c->id = (uint32_t)id;
  c->expression = zone_strdup(expression ? expression : "");
  c->text = zone_strdup(text ? text : "");
  place(c, g_comments.resolve(c->expression));
  changes_raise(CHG_COMMENTS);
  return id;
}

void comment_remove(int id) {
  if (!g_comments.ready || !tab_in_use(&g_comments.slots, id)) return;
  Comment *c = record((uint32_t)id);
  place(c, 0);
  c->text = (char *)zone_free(c->text);
  c->expression = (char *)zone_free(c->expression);
  tab_release(&g_comments.slots, id);
  changes_raise(CHG_COMMENTS);
}

const Comment *comment_get(int id) {
  if (!g_comments.ready || !tab_in_use(&g_comments.slots, id)) return nullptr;
  return record((uint32_t)id);
}

bool comment_next(int *id) { return g_comments.ready && tab_prev_used(&g_comments.slots, id); }

int comment_count() { return g_comments.ready ? tab_used(&g_comments.slots) : 0; }

int comment_find(const char *expression) {
  for (int id = -1; comment_next(&id);)
    if (!strcmp(record((uint32_t)id)->expression, expression)) return id;
  return -1;
}

int comment_set_at(uint32_t address, const char *text) {
  ensure_ready();
  uint32_t id = sindex_find(&g_comments.by_address, &address);
  if (id != SINDEX_NONE) comment_remove((int)id);
  if (!text || !text[0] || !address) return -1;
  char name[KQ_PATH];
  address_name(address, address, true, name, sizeof name);
  return comment_add(name, text);
}

bool comment_text_at(uint32_t address, uint32_t length, char *out, size_t outlen) {
  if (outlen) out[0] = 0;
  if (!g_comments.ready || !length) return false;
  uint32_t id = sindex_ceiling(&g_comments.by_address, &address);
  if (id == SINDEX_NONE || record(id)->address - address >= length) return false;
  text_copy(out, outlen, record(id)->text);
  return true;
}

bool comment_address_after(uint32_t address, uint32_t *found) {
  if (!g_comments.ready) return false;
  uint32_t id = sindex_after(&g_comments.by_address, &address);
  if (id == SINDEX_NONE) return false;
  *found = record(id)->address;
  return true;
}

bool comment_address_before(uint32_t address, uint32_t *found) {
  if (!g_comments.ready) return false;
  uint32_t id = sindex_before(&g_comments.by_address, &address);
  if (id == SINDEX_NONE) return false;
  *found = record(id)->address;
  return true;
}

bool comments_reresolve() {
  bool moved = false;
  for (int id = -1; comment_next(&id);) {
    Comment *c = record((uint32_t)id);
    uint32_t address = g_comments.resolve(c->expression);
    if (address == c->address) continue;
    place(c, address);
    moved = true;
  }
  if (moved) changes_raise(CHG_COMMENTS);
  return moved;
}
