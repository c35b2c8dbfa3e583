// Diagnostic dumps of holders and sections.
#include "ui/layout_dump.h"

#include <stdint.h>

#include "util/log.h"

namespace {

// Addresses are shown as the 32-bit numbers they are on the program's target.
unsigned address(const void *p) { return (unsigned)(uintptr_t)p; }

const char *text(const char *s) { return s ? s : ""; }

}  // namespace

void layout_dump_holder(const Holder *h) {
  log_printf("\tDump of Holder '%s' (%X)\n", text(h->id), address(h));
  for (int i = 0; i < h->secnum; i++) {
    const Section *s = h->sections[i];
    log_printf("Section %i %s: bar rect=%x %x %x %x\n", i, text(s->id), s->rect.left,
               s->rect.top, s->rect.right, s->rect.bottom);
    for (int axis = 0; axis < 2; axis++)
      log_printf("\t[%i] min=%f rel=%f\n", axis, s->spec[axis].min, s->spec[axis].rel);
  }
  for (int i = 0; i < h->barnum; i++) {
    const Bar *b = h->bars[i];
    log_printf("Bar %i (%X): axis=%i sumMin=%f pos=%i middle=%i secnum=%i\n", i, address(b),
               b->axis, b->sumMin, b->pos, b->middle, b->secnum);
  }
}

void layout_dump_section(const Section *s) {
  log_console("Section_Dump: section=%s hPanel=%X rc=%i %i %i %i\n", text(s->id),
              address(s->panel), s->rect.left, s->rect.top, s->rect.right, s->rect.bottom);
}
