// Helpers of the layout tests: scripts read into a layout, holders and sections by name.
#pragma once
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "ui/layout_graph.h"
#include "ui/layout_load.h"
#include "ui/layout_size.h"
#include "util/tests/test_support.h"

inline std::string default_script() { return read_file(KQ_DEFAULT_LAYOUT); }

inline LayoutResult read_script(Layout *layout, const std::string &text) {
  return layout_read_text(layout, text.data(), text.size(), 0x123456);
}

inline Holder *holder_named(const Layout *layout, const char *id) {
  for (int i = 0; i < layout->holdernum; i++) {
    Holder *h = layout->holders[i];
    if (h->id && !strcmp(h->id, id)) return h;
  }
  return nullptr;
}

inline Section *section_named(const Holder *h, const char *id) {
  for (int i = 0; i < h->secnum; i++) {
    Section *s = h->sections[i];
    if (s->id && !strcmp(s->id, id)) return s;
  }
  return nullptr;
}

inline std::string rect_text(const LayoutRect &r) {
  return std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right) +
         " " + std::to_string(r.bottom);
}

// "id l t r b; id l t r b; ..." in the holder's section order.
inline std::string rects_text(const Holder *h) {
  std::string text;
  for (int i = 0; i < h->secnum; i++) {
    if (i) text += "; ";
    text += std::string(h->sections[i]->id ? h->sections[i]->id : "-") + " " +
            rect_text(h->sections[i]->rect);
  }
  return text;
}
