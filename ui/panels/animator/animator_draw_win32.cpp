#include "ui/panels/animator/animator_draw_win32.h"

#include <stdio.h>

#include "ui/rich_text/rich_text_gdi_win32.h"
#include "ui/rich_text/rich_text_read.h"
#include "ui/rich_text/rich_text_write.h"
#include "util/path.h"

namespace {

void grid(HDC dc, const RECT *r) {
  HBRUSH paper = CreateSolidBrush(ANIMATOR_PAPER);
  FillRect(dc, r, paper);
  DeleteObject(paper);
  HPEN pen = CreatePen(PS_SOLID, 1, ANIMATOR_GRID);
  HGDIOBJ old = SelectObject(dc, pen);
  for (int x = r->right - 1; x >= r->left; x -= ANIMATOR_GRID_STEP) {
    MoveToEx(dc, x, r->top, nullptr);
    LineTo(dc, x, r->bottom);
  }
  for (int y = r->bottom - 1; y >= r->top; y -= ANIMATOR_GRID_STEP) {
    MoveToEx(dc, r->left, y, nullptr);
    LineTo(dc, r->right, y);
  }
  SelectObject(dc, old);
  DeleteObject(pen);
}

void text_block(HDC dc, RichText *dd, const RECT *r, int dy, int h, int v) {
  if (!dd) return;
  rich_arrange(dd, r->left, r->top + dy, r->right, r->bottom + dy, h, v);
  RichGdiDrawer drawer;
  rich_gdi_drawer_init(&drawer, dc);
  rich_draw(dd, &drawer.drawer);
}

AnimatorPoint at(const AnimatorGraph *g, const Particle *p, const RichRect *r) {
  return animator_project(g->angle, p->x, p->y, p->z, r);
}

void links(HDC dc, const AnimatorGraph *g, const RichRect *r) {
  Link *l;
  for (int id = -1; animator_next_link(g, &id, &l);) {
    HPEN pen = CreatePen(PS_SOLID, 1, animator_scale_color(ANIMATOR_LINK, l->strength));
    HGDIOBJ old = SelectObject(dc, pen);
    const AnimatorPoint a = at(g, animator_particle_of(g, l->caller), r);
    const AnimatorPoint b = at(g, animator_particle_of(g, l->callee), r);
    MoveToEx(dc, a.x, a.y, nullptr);
    LineTo(dc, b.x, b.y);
    SelectObject(dc, old);
    DeleteObject(pen);
  }
}

void particles(HDC dc, const AnimatorGraph *g, const RichRect *r) {
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ANIMATOR_PARTICLE);
  HGDIOBJ old_pen = SelectObject(dc, GetStockObject(NULL_PEN));
  Particle *p;
  for (int id = -1; animator_next_particle(g, &id, &p);) {
    HBRUSH brush = CreateSolidBrush(animator_scale_color(ANIMATOR_PARTICLE, p->heat));
    HGDIOBJ old = SelectObject(dc, brush);
    const AnimatorPoint c = at(g, p, r);
    Ellipse(dc, c.x - ANIMATOR_RADIUS, c.y - ANIMATOR_RADIUS, c.x + ANIMATOR_RADIUS + 1,
            c.y + ANIMATOR_RADIUS + 1);
    SelectObject(dc, old);
    DeleteObject(brush);
    if (p->activity < 0.3) continue;
    char label[KQ_PATH];
    const int n = snprintf(label, sizeof label, "%s %.1f", p->name, p->heat);
    TextOutA(dc, c.x, c.y, label, n < (int)sizeof label ? n : (int)sizeof label - 1);
  }
  SelectObject(dc, old_pen);
}

}  // namespace

void animator_draw(HDC dc, const RECT *client, AnimatorGraph *g, const AnimatorDocs *docs,
                   int top) {
  grid(dc, client);
  animator_write_counters(docs->counters, g, top);
  g->tick++;
  const int saved = SaveDC(dc);
  SetTextColor(dc, ANIMATOR_TEXT);
  text_block(dc, docs->counters, client, 0, 2, 2);
  text_block(dc, docs->log, client, 0, 0, 0);
  animator_write_column(docs->column, g);
  text_block(dc, docs->column, client, top, 2, 0);
  RestoreDC(dc, saved);
  const RichRect r = {client->left, client->top, client->right, client->bottom};
  links(dc, g, &r);
  particles(dc, g, &r);
}
