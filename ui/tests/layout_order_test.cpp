// The most-recently-used order of holders and sections over the default script: a
// debugging session's switches, step by step, with what the window layer is asked to do.
#include <map>
#include <string>

#include "layout_test_support.h"
#include "ui/layout_order.h"

namespace {

// The window layer as a recorder: which holder is on screen, and every call.
struct Recorder {
  std::string calls;
  const Holder *on_screen;
};
Recorder g_screen;

const char *id_of(const Holder *h);

void note(const std::string &call) { g_screen.calls += call + "; "; }
void attach_panels(Holder *h) { note(std::string("attach ") + id_of(h)); }
bool on_screen(Holder *h) {
  note(std::string("on? ") + id_of(h));
  return g_screen.on_screen == h;
}
void take_off(Holder *h) {
  note(std::string("off ") + id_of(h));
  if (g_screen.on_screen == h) g_screen.on_screen = nullptr;
}
void put_on(Holder *h) {
  note(std::string("on ") + id_of(h));
  g_screen.on_screen = h;
}
void resize_main() { note("size"); }
void focus(Section *s) { note(std::string("focus ") + id_of(s->holder) + "/" + s->id); }
void changed() { note("changed"); }

const LayoutWindows kRecorder = {attach_panels, on_screen, take_off, put_on,
                                 resize_main,   focus,     changed};

// Short names of the default holders, to keep the expected orders readable.
const std::map<std::string, std::string> kShort = {
    {"Cover", "Cv"},        {"Animation", "An"},      {"CodeTopBottom", "TB"},
    {"CodeLeftRight", "LR"}, {"Disassemble", "Di"},   {"SourceCode", "SC"},
    {"MaximizeCode", "MC"}, {"MaximizeData", "MD"},   {"MaximizeSource", "MS"},
    {"MaximizeLog", "ML"},  {"MaximizeWatch", "MW"},  {"MaximizeReg", "MR"}};

const char *id_of(const Holder *h) {
  auto it = kShort.find(h->id ? h->id : "");
  return it == kShort.end() ? (h->id ? h->id : "-") : it->second.c_str();
}

// Holders in list order, "|" after the active group.
std::string order_text(const Layout *layout) {
  std::string text = layout->activenum ? "" : "| ";
  for (int i = 0; i < layout->holdernum; i++) {
    text += id_of(layout->holders[i]);
    if (i + 1 < layout->holdernum) text += i + 1 == layout->activenum ? " | " : " ";
  }
  return text;
}

std::string section_text(const Section *s) {
  return s ? std::string(id_of(s->holder)) + "/" + (s->id ? s->id : "-") : "-";
}

struct Step {
  const char *op;  // activate, toggle, switch, next, focus, swap
  const char *a, *b;
  bool result;
  const char *order;
  const char *current, *previous;
  const char *calls;  // null: not checked
};

bool run(Layout *layout, const Step &s) {
  std::string op = s.op;
  if (op == "activate") return layout_activate_id(layout, s.a);
  if (op == "switch") return layout_switch_group(layout, s.a);
  if (op == "next") return layout_next(layout);
  if (op == "focus") return layout_focus_panel(layout, s.a);
  if (op == "swap") return layout_swap_panels(layout);
  layout_toggle_groups(layout, s.a, s.b);
  return s.result;
}

const char *kStart = "| Cv An TB LR Di SC MC MD MS ML MW MR";

const Step kSession[] = {
    // Nothing is active before the start page: toggling does nothing.
    {"toggle", "Maximize", "Debug", true, kStart, "-", "-", ""},
    // Start-up: the start page. Cover was first in the list but not on screen.
    {"activate", "Cover", nullptr, true, "Cv | An TB LR Di SC MC MD MS ML MW MR", "Cv/cover", "-",
     "changed; attach Cv; on? Cv; off Cv; on Cv; size; focus Cv/cover; changed; "},
    // Toggling while the start page is up does nothing.
    {"toggle", "Maximize", "Debug", true, "Cv | An TB LR Di SC MC MD MS ML MW MR", "Cv/cover", "-", ""},
    {"toggle", "Animation", "Debug", true, "Cv | An TB LR Di SC MC MD MS ML MW MR", "Cv/cover", "-", ""},
    // A debuggee is loaded: no Debug holder has the cover, so the group's first holder
    // shows its first section; the group gathers behind it.
    {"switch", "Debug", nullptr, true, "TB LR Di SC | Cv An MC MD MS ML MW MR", "TB/source", "Cv/cover",
     "changed; attach TB; off Cv; on TB; size; focus TB/source; changed; "},
    // Focusing a panel of the active holder switches no holder.
    {"focus", "code", nullptr, true, "TB LR Di SC | Cv An MC MD MS ML MW MR", "TB/code", "TB/source",
     "changed; attach TB; on? TB; size; focus TB/code; changed; "},
    // Maximize the code panel, and back to the Debug holder used last, code current.
    {"toggle", "Maximize", "Debug", true, "MC MD MS ML MW MR | TB LR Di SC Cv An", "MC/code", "TB/code",
     "changed; attach MC; off TB; on MC; size; focus MC/code; changed; "},
    {"toggle", "Maximize", "Debug", true, "TB LR Di SC | MC MD MS ML MW MR Cv An", "TB/code", "MC/code",
     nullptr},
    // Next layout: the group's least recently used holder. SourceCode has no code panel
    // and shows its first section; Disassemble has no source and shows code.
    {"next", nullptr, nullptr, true, "SC TB LR Di | MC MD MS ML MW MR Cv An", "SC/source", "TB/code", nullptr},
    {"next", nullptr, nullptr, true, "Di SC TB LR | MC MD MS ML MW MR Cv An", "Di/code", "SC/source", nullptr},
    {"next", nullptr, nullptr, true, "LR Di SC TB | MC MD MS ML MW MR Cv An", "LR/code", "Di/code", nullptr},
    {"next", nullptr, nullptr, true, "TB LR Di SC | MC MD MS ML MW MR Cv An", "TB/code", "LR/code", nullptr},
    // A panel the active holder lacks: the most recently used holder that has it.
    {"focus", "data", nullptr, true, "Di TB LR SC | MC MD MS ML MW MR Cv An", "Di/data", "TB/code", nullptr},
    // Swapping goes back and forth between the last two sections.
    {"swap", nullptr, nullptr, true, "TB Di LR SC | MC MD MS ML MW MR Cv An", "TB/code", "Di/data", nullptr},
    {"swap", nullptr, nullptr, true, "Di TB LR SC | MC MD MS ML MW MR Cv An", "Di/data", "TB/code", nullptr},
    // The animation holder has no data panel: its first section; back in Debug, the
    // holder used last shows its first section, which is data since it was shown.
    {"toggle", "Animation", "Debug", true, "An | Di TB LR SC MC MD MS ML MW MR Cv", "An/animator", "Di/data",
     "changed; attach An; off Di; on An; size; focus An/animator; changed; "},
    {"toggle", "Animation", "Debug", true, "Di TB LR SC | An MC MD MS ML MW MR Cv", "Di/data", "An/animator",
     nullptr},
    // The debuggee is unloaded: the start page again.
    {"activate", "Cover", nullptr, true, "Cv | Di TB LR SC An MC MD MS ML MW MR", "Cv/cover", "Di/data", nullptr},
    {"toggle", "Maximize", "Debug", true, "Cv | Di TB LR SC An MC MD MS ML MW MR", "Cv/cover", "Di/data", ""},
    // Unknown names change nothing.
    {"activate", "Nothing", nullptr, false, "Cv | Di TB LR SC An MC MD MS ML MW MR", "Cv/cover", "Di/data", ""},
    {"focus", "nothing", nullptr, false, "Cv | Di TB LR SC An MC MD MS ML MW MR", "Cv/cover", "Di/data", ""},
    {"switch", "Nothing", nullptr, false, "Cv | Di TB LR SC An MC MD MS ML MW MR", "Cv/cover", "Di/data", ""},
};

TEST(LayoutOrder, DebuggingSession) {
  Layout layout = {};
  layout.windows = &kRecorder;
  ASSERT_EQ(read_script(&layout, default_script()), LAYOUT_LOADED);
  g_screen = Recorder();
  EXPECT_EQ(order_text(&layout), kStart);
  for (size_t i = 0; i < sizeof kSession / sizeof kSession[0]; i++) {
    const Step &s = kSession[i];
    SCOPED_TRACE(testing::Message() << "step " << i << " " << s.op << " " << (s.a ? s.a : ""));
    g_screen.calls.clear();
    EXPECT_EQ(run(&layout, s), s.result);
    EXPECT_EQ(order_text(&layout), s.order);
    EXPECT_EQ(section_text(layout.current), s.current);
    EXPECT_EQ(section_text(layout.previous), s.previous);
    if (s.calls) {
      EXPECT_EQ(g_screen.calls, s.calls);
    }
    if (layout.activenum) {
      EXPECT_EQ(g_screen.on_screen, layout_active_holder(&layout));
    }
  }
  EXPECT_EQ(std::string(layout_current_id(&layout)), "cover");
  EXPECT_EQ(layout_active_group(&layout), nullptr);
  // Each holder keeps its sections in the order last shown.
  std::string disassemble;
  for (int i = 0; i < holder_named(&layout, "Disassemble")->secnum; i++)
    disassemble += std::string(holder_named(&layout, "Disassemble")->sections[i]->id) + " ";
  EXPECT_EQ(disassemble, "data code reg map watch log ");
  layout_free(&layout);
  EXPECT_EQ(layout.current, nullptr);
  EXPECT_EQ(layout.previous, nullptr);
}

// Holders that cannot show anything, names found first in list order, and class names
// cut to the panel name buffer.
TEST(LayoutOrder, EdgeCases) {
  Layout layout = {};
  layout.windows = &kRecorder;
  ASSERT_EQ(read_script(&layout,
                        "<holder id=Empty></holder>"
                        "<holder id=NoName><section></holder>"
                        "<holder id=Twice><section id=x height=100 bottom=y><section id=y left=x>"
                        "<section id=x width=50></holder>"),
            LAYOUT_LOADED);
  g_screen = Recorder();
  EXPECT_FALSE(layout_activate_id(&layout, "Empty"));
  EXPECT_FALSE(layout_activate_holder(&layout, holder_named(&layout, "Empty")));
  EXPECT_FALSE(layout_activate_id(&layout, "NoName"));
  EXPECT_EQ(g_screen.calls, "");
  EXPECT_EQ(layout.activenum, 0);

  // Showing by name takes the first section of that name in list order.
  Holder *twice = holder_named(&layout, "Twice");
  ASSERT_TRUE(layout_activate_id(&layout, "Twice"));
  EXPECT_EQ(layout.current, twice->sections[0]);
  EXPECT_EQ(layout.current->spec[1].min, 100.0f) << "the first x, 100 high";
  Section *first_x = layout.current;
  ASSERT_TRUE(layout_show_section(&layout, twice, "y"));
  ASSERT_TRUE(layout_show_section(&layout, twice, "x"));
  EXPECT_EQ(layout.current, first_x);
  EXPECT_EQ(order_text(&layout), "Twice Empty NoName") << "holders without a group form one";
  EXPECT_EQ(std::string(layout_active_group(&layout) ? "group" : "none"), "none");

  // The class name is cut to 259 characters before it is looked up.
  std::string long_name = "y" + std::string(300, 'z');
  EXPECT_FALSE(layout_focus_panel(&layout, long_name.c_str()));
  layout_free(&layout);
}

}  // namespace
