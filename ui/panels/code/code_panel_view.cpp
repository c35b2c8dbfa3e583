#include "ui/panels/code/code_panel_view.h"

#include <string.h>

#include "ui/rich_text/rich_text_read.h"
#include "ui/rich_text/rich_text_write.h"

namespace {

// The listing offset where the command of address starts; before the first line written,
// 0, after the last, the end.
int listing_offset(CodeScreen *s, uint32_t address) {
  const int i = code_line_at(&s->window, address);
  const int line = i == CODE_NONE ? -1 : s->window.lines[i].document_line;
  if (line >= 0) return rich_line_start(s->listing, line);
  return s->top >= 0 && address < s->window.lines[s->top].address ? 0 : rich_length(s->listing);
}

}  // namespace

uint32_t code_cursor_address(const CodeScreen *s) {
  return s->cursor >= 0 && s->cursor < s->window.count ? s->window.lines[s->cursor].address : 0;
}

void code_place_cursor(CodeScreen *s, int i) {
  s->cursor = i;
  s->cursor_rect = {0, 0, 0, 0};
  const int line = i >= 0 ? s->window.lines[i].document_line : -1;
  if (line >= 0) rich_line_rect(s->listing, line, &s->cursor_rect);
}

void code_refresh(CodeScreen *s) {
  if (!s->window.count) return;
  const CodeWindow &w = s->window;
  s->top = code_line_at(&w, w.anchor);
  s->page_above = s->top;
  if (s->top > 0)
    s->page_above = code_fill_listing(s->listing, &s->window, s->top - 1, -1, s->height, s->view);
  s->bottom = code_fill_listing(s->listing, &s->window, s->top, 1, s->height, s->view);
  code_show_selection(s);
  const int middle = (s->cursor_rect.top + s->cursor_rect.bottom) / 2;
  const int line = rich_line_at(s->listing, 0, middle, true);
  code_place_cursor(s, line >= 0 && rich_has_param(s->listing, line)
                           ? (int)rich_line_param(s->listing, line)
                           : s->top);
}

bool code_scroll(CodeScreen *s, int n) {
  if (!s->window.count) return false;
  int t = s->top + n;
  t = t < 0 ? 0 : t >= s->window.count ? s->window.count - 1 : t;
  code_build_window(&s->window, s->view->source, s->window.lines[t].address, CODE_SPAN);
  code_refresh(s);
  return true;
}

bool code_move_cursor(CodeScreen *s, int n) {
  if (!s->window.count) return false;
  const int i = s->cursor + n;
  if (i >= s->top && i < s->bottom) {
    code_place_cursor(s, i);
    return true;
  }
  return code_scroll(s, n);
}

void code_go_to(CodeScreen *s, uint32_t address) {
  for (int i = s->window.count ? s->top : 0; i >= 0 && i <= s->bottom && i < s->window.count; i++)
    if (s->window.lines[i].address == address) {
      code_place_cursor(s, i);
      return;
    }
  code_build_window(&s->window, s->view->source, address, CODE_GOTO_SPAN);
  const int near = code_line_at(&s->window, address);
  const int reached = code_fill_listing(s->listing, &s->window, near, -1, s->height / 3, s->view);
  code_build_window(&s->window, s->view->source, s->window.lines[reached].address, CODE_SPAN);
  s->cursor_rect = {0, 0, 0, 0};
  code_refresh(s);
  code_place_cursor(s, code_line_at(&s->window, address));
}

void code_show_selection(CodeScreen *s) {
  uint32_t low, high;
  if (!code_selection(s, &low, &high)) {
    rich_set_selection(s->listing, -1, -1);
    return;
  }
  rich_set_selection(s->listing, listing_offset(s, low), listing_offset(s, high));
}

bool code_selection(const CodeScreen *s, uint32_t *low, uint32_t *high) {
  *low = s->select_start < s->select_end ? s->select_start : s->select_end;
  *high = s->select_start < s->select_end ? s->select_end : s->select_start;
  return *low != *high;
}

bool code_snapshot_changed(CodeSnapshot *snapshot, MemoryReader read, uint32_t anchor) {
  const uint32_t start = anchor > CODE_SPAN ? anchor - CODE_SPAN : 0;
  const uint32_t room = 0xFFFFFFFFu - start;
  const uint32_t want = room < (uint32_t)CODE_SNAPSHOT ? room + 1 : (uint32_t)CODE_SNAPSHOT;
  uint8_t now[CODE_SNAPSHOT];
  const int size = read(start, now, (int)want);
  if (start == snapshot->start && size == snapshot->size &&
      !memcmp(now, snapshot->bytes, (size_t)(size > 0 ? size : 0)))
    return false;
  snapshot->start = start;
  snapshot->size = size;
  if (size > 0) memcpy(snapshot->bytes, now, (size_t)size);
  return true;
}
