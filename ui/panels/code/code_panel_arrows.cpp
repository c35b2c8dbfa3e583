#include "ui/panels/code/code_panel_arrows.h"

#include <stdlib.h>

#include "ui/rich_text/rich_text_read.h"
#include "util/zone.h"
#include "x86/disasm.h"

namespace {

// The line a jump at line i lands on exactly, or CODE_NONE.
int target_line(const CodeWindow *w, int i) {
  const CodeLine &line = w->lines[i];
  if (line.command_class != CC_JMP && line.command_class != CC_JMC) return CODE_NONE;
  const int t = code_line_at(w, line.jump_target);
  if (w->lines[t].address != line.jump_target || abs(t - i) > CODE_ARROW_REACH) return CODE_NONE;
  return t;
}

int by_span(const void *a, const void *b) {
  const JumpArrow *x = (const JumpArrow *)a, *y = (const JumpArrow *)b;
  const int dx = x->last - x->first, dy = y->last - y->first;
  return dx != dy ? dx - dy : x->first - y->first;
}

bool overlaps(const JumpArrow &earlier, const JumpArrow &a) {
  return (earlier.first >= a.first && earlier.first < a.last) ||
         (earlier.last > a.first && earlier.last <= a.last);
}

// Members arrive in line order; the target was put in first.
void add_member(JumpArrow *a, uint16_t line) {
  int i = a->member_count++;
  for (; i > 0 && a->members[i - 1] > line; i--) a->members[i] = a->members[i - 1];
  a->members[i] = line;
  if (line < a->first) a->first = line;
  if (line > a->last) a->last = line;
}

// Each arrow's lane: one step outside the widest lane of the shorter arrows it overlaps,
// with an extra step every third level so that the lanes stay apart on screen.
void give_lanes(CodeWindow *w) {
  if (w->arrow_count == 0) return;  // no array to sort
  qsort(w->arrows, (size_t)w->arrow_count, sizeof(JumpArrow), by_span);
  int *levels = (int *)zone_alloc((size_t)w->arrow_count * sizeof(int));
  for (int a = 0; a < w->arrow_count; a++) {
    int level = 0;
    for (int e = 0; e < a; e++)
      if (overlaps(w->arrows[e], w->arrows[a]) && levels[e] > level) level = levels[e];
    levels[a] = ++level;
    w->arrows[a].lane = (uint16_t)(CODE_LANE_STEP * (level + level / 3));
  }
  levels = (int *)zone_free(levels);
}

}  // namespace

void code_add_arrows(CodeWindow *w) {
  code_free_arrows(w);
  if (!w->count) return;
  // The jumps to each line are counted first, so that every member list is allocated once.
  int *targets = (int *)zone_alloc((size_t)w->count * sizeof(int));
  int *arrow_of = (int *)zone_alloc((size_t)w->count * sizeof(int));
  for (int i = 0; i < w->count; i++) arrow_of[i] = 0;
  for (int i = 0; i < w->count; i++) {
    targets[i] = target_line(w, i);
    if (targets[i] != CODE_NONE) arrow_of[targets[i]]++;
  }
  for (int t = 0; t < w->count; t++) w->arrow_count += arrow_of[t] > 0;
  w->arrows = (JumpArrow *)zone_alloc((size_t)w->arrow_count * sizeof(JumpArrow));
  for (int t = 0, a = 0; t < w->count; t++) {
    if (!arrow_of[t]) {
      arrow_of[t] = CODE_NONE;
      continue;
    }
    JumpArrow *arrow = &w->arrows[a];
    *arrow = {(uint16_t)t, (uint16_t)t, (uint16_t)t, 1, nullptr, 0};
    arrow->members = (uint16_t *)zone_alloc((size_t)(arrow_of[t] + 1) * sizeof(uint16_t));
    arrow->members[0] = (uint16_t)t;
    arrow_of[t] = a++;
  }
  for (int i = 0; i < w->count; i++)
    if (targets[i] != CODE_NONE && targets[i] != i)
      add_member(&w->arrows[arrow_of[targets[i]]], (uint16_t)i);
  give_lanes(w);
  for (int a = 0; a < w->arrow_count; a++) {
    const JumpArrow &arrow = w->arrows[a];
    w->lines[arrow.target].target_arrow = (int16_t)a;
    for (int m = 0; m < arrow.member_count; m++)
      if (targets[arrow.members[m]] == arrow.target)
        w->lines[arrow.members[m]].source_arrow = (int16_t)a;
  }
  arrow_of = (int *)zone_free(arrow_of);
  targets = (int *)zone_free(targets);
}

void code_free_arrows(CodeWindow *w) {
  for (int a = 0; a < w->arrow_count; a++)
    w->arrows[a].members = (uint16_t *)zone_free(w->arrows[a].members);
  w->arrows = (JumpArrow *)zone_free(w->arrows);
  w->arrow_count = 0;
}

int code_line_top(RichText *listing, const CodeWindow *w, int i, int height) {
  const CodeLine &line = w->lines[i];
  if (line.document_line >= 0) return rich_line_top(listing, line.document_line);
  return line.address < w->anchor ? -height : 2 * height;
}
