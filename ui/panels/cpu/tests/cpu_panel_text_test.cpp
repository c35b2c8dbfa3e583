// The CPU panel's document written from two register records and drawn through a recording
// drawer: each register's value text, which values are marked as changed, which names are
// links, the small font for long values, the MMX view and the stack entries.
#include <gtest/gtest.h>
#include <string.h>

#include <map>
#include <string>

#include "symbols/entries.h"
#include "symbols/eval/expression.h"
#include "symbols/tests/symbols_fixture.h"
#include "ui/panels/cpu/cpu_panel_text.h"
#include "ui/rich_text/tests/drawn_runs.h"
#include "ui/rich_text/tests/rich_text_doc.h"
#include "util/zone.h"
#include "x86/disasm.h"

namespace {

// What was drawn after each register name ("EAX:"): the value with its colour and font.
struct Shown {
  std::string value;
  uint32_t color;
  RichHandle font;
};
std::map<std::string, Shown> draw(RichText *dd) {
  std::map<std::string, Shown> after_name;
  std::string last;
  for (const DrawnRun &run : drawn_runs(dd)) {
    if (!last.empty() && last.back() == ':')
      after_name[last.substr(0, last.size() - 1)] = {run.text, run.color, run.font};
    last = run.text;
  }
  return after_name;
}

uint32_t paper_of(RichText *dd, const std::string &text) {
  uint32_t paper = 0;
  for (const DrawnRun &run : drawn_runs(dd))
    if (run.text == text) paper = run.paper;
  return paper;
}

bool has_link(RichText *dd, uint32_t link) {
  for (int i = 0; i < dd->tagnum; i++)
    if (dd->tags[i].param == link) return true;
  return false;
}

std::string link_text(RichText *dd, uint32_t link) {
  for (int i = 0; i < dd->tagnum; i++)
    if (dd->tags[i].param == link) {
      char *text = rich_text_range(dd, dd->tags[i].start, dd->tags[i].end);
      std::string s = text;
      zone_free(text);
      return s;
    }
  return "(none)";
}

// 100.0 as the FPU holds it: mantissa 0xC8 << 56, exponent 6 biased by 16383.
void put_hundred(uint8_t *st) {
  memset(st, 0, 10);
  st[7] = 0xC8;
  st[8] = 0x05;
  st[9] = 0x40;
}

struct Sample {
  EvalRegisters now, before;
  Sample() {
    memset(&now, 0, sizeof now);
    now.r[ER_EAX] = 0x401000;
    now.r[ER_EIP] = 0x401005;
    now.r[ER_ESP] = 0x12FF40;
    now.r[ER_EFLAGS] = 0x1 | 0x40 | 0x200;  // C, Z, I
    now.r[ER_CS] = 0x23;
    now.r[ER_GS] = 0x63;
    now.r[ER_TIB] = 0x7FFDE000;
    now.r[ER_ERR] = 0x2A;
    put_hundred(now.st[0]);
    for (int i = 0; i < 8; i++) now.st[1][i] = (uint8_t)(i + 1);
    before = now;
    before.r[ER_EAX] = 0x400000;
    before.r[ER_EIP] = 0x401000;
    before.r[ER_EFLAGS] = 0x1 | 0x200;  // Z was clear
    before.st[1][0] = 0;
  }
};

}  // namespace

// With the symbol store, as in the program; every block written is given back.
class CpuPanelText : public SymbolsTest {};

TEST_F(CpuPanelText, ValuesMarksFontsAndLinks) {
  RichDoc doc;
  Sample s;
  const uint32_t stack[] = {0x401005, 0x402345};
  CpuView view = {&s.now, &s.before, false, false, 0, 0, 2, stack, 0, 0};
  cpu_write(doc.dd, &view);
  std::map<std::string, Shown> shown = draw(doc.dd);

  char hundred[DOUBLE_TEXT];
  double d = 100.0;
  uint32_t words[2];
  memcpy(words, &d, sizeof words);
  format_double(hundred, words[0], words[1]);
  const uint32_t kBlack = 0;
  struct {
    const char *name, *value;
    bool changed, name_link;
  } rows[] = {
      {"EAX", "401000", true, true},     {"EBX", "0", false, true},
      {"ESP", "12FF40", false, true},    {"EIP", "401005", true, true},
      {"C", "1", false, false},          {"P", "0", false, false},
      {"Z", "1", true, false},           {"I", "1", false, false},
      {"O", "0", false, false},          {"CS", "0023", false, false},
      {"GS", "0063", false, false},      {"TIB", "7FFDE000", false, true},
      {"ERR", "0000002A", false, true},  {"ST0", hundred, false, false},
  };
  for (auto &r : rows) {
    ASSERT_TRUE(shown.count(r.name)) << r.name;
    const Shown &v = shown[r.name];
    EXPECT_EQ(v.value, r.value) << r.name;
    EXPECT_EQ(v.color, r.changed ? (uint32_t)CPU_CHANGED : kBlack) << r.name;
    // Long values (the FPU's) in the small font, the rest in the panel's own.
    EXPECT_EQ(v.font == doc.fixed.measurer.fonts[RICH_FONT_SMALL], v.value.size() > 16) << r.name;
    int row = -1;
    for (int i = 0; i < EXPRESSION_REGISTER_ROWS; i++)
      if (!strcmp(expression_register_name(i), r.name)) row = i;
    EXPECT_EQ(has_link(doc.dd, cpu_link(CPU_LINK_NAME, row)), r.name_link) << r.name;
    EXPECT_EQ(link_text(doc.dd, cpu_link(CPU_LINK_VALUE, row)), v.value) << r.name;
  }
  // T (trace) and the word and byte registers are not shown; nor the MMX view.
  for (const char *hidden : {"T", "AX", "AL", "MM0"}) EXPECT_FALSE(shown.count(hidden)) << hidden;
  // The stack: one frame link and one return-address link an entry; the picture last.
  for (int i = 0; i < 2; i++) {
    char address[16];
    snprintf(address, sizeof address, "%08X", stack[i]);
    EXPECT_TRUE(has_link(doc.dd, cpu_link(CPU_LINK_FRAME, i))) << i;
    EXPECT_EQ(link_text(doc.dd, cpu_link(CPU_LINK_RETURN, i)), address) << i;
  }
  EXPECT_FALSE(has_link(doc.dd, cpu_link(CPU_LINK_RETURN, 2)));
  EXPECT_TRUE(has_link(doc.dd, CPU_PICTURE_LINK));
  // An entry's frame goes to the data panel; entries the view does not hold go nowhere.
  const uint32_t frames[] = {0x12FF50, 0x12FF90};
  const CpuClick frame = cpu_click_target(&view, frames, cpu_link(CPU_LINK_FRAME, 1));
  EXPECT_EQ(frame.target, CPU_TARGET_DATA);
  EXPECT_EQ(frame.address, 0x12FF90u);
  EXPECT_EQ(cpu_click_target(&view, frames, cpu_link(CPU_LINK_FRAME, 2)).target, CPU_TARGET_NONE);
}

TEST_F(CpuPanelText, MmxViewZoomAndNoRegisters) {
  RichDoc doc;
  Sample s;
  CpuView view = {&s.now, &s.before, true, true, 0, 0, 0, nullptr, 0, 0};
  cpu_write(doc.dd, &view);
  std::map<std::string, Shown> shown = draw(doc.dd);
  // Each MMX register is the low 8 bytes of its FPU register, the highest byte first;
  // unlike its FPU value, a change below the FPU's precision shows.
  EXPECT_EQ(shown["MM1"].value, "0807 0605 0403 0201");
  EXPECT_EQ(shown["MM0"].value, "C800 0000 0000 0000");
  EXPECT_EQ(shown["MM7"].value, "0000 0000 0000 0000");
  EXPECT_TRUE(has_link(doc.dd, cpu_link(CPU_LINK_NAME, CPU_ROW_MM0 + 7)));
  EXPECT_FALSE(shown.count("ST0"));
  // Zoomed, every register is in the small font; MM1's low byte and EAX, EIP and Z changed.
  for (auto &entry : shown) {
    if (entry.first[0] == ' ') continue;  // a heading
    EXPECT_EQ(entry.second.font, doc.fixed.measurer.fonts[RICH_FONT_SMALL]) << entry.first;
    const bool changed = entry.first == "MM1" || entry.first == "EAX" || entry.first == "EIP" ||
                         entry.first == "Z";
    EXPECT_EQ(entry.second.color, changed ? (uint32_t)CPU_CHANGED : 0u) << entry.first;
  }
  view.current = nullptr;
  cpu_write(doc.dd, &view);
  EXPECT_EQ(rich_length(doc.dd), 0);
}

// Stack entries in the procedure the code panel shows are on yellow paper, named by the
// symbol they return into.
TEST_F(CpuPanelText, StackEntriesInTheCodePanelsProcedureHighlighted) {
  load("/nonexistent/app.exe", 0x400000, 0x10000);
  entry_define("proc", 0x402000, nullptr, nullptr);
  entry_define("main", 0x401000, nullptr, nullptr);
  RichDoc doc;
  Sample s;
  const uint32_t stack[] = {0x402345, 0x401005};
  CpuView view = {&s.now, &s.now, false, false, 0, 0, 2, stack, 0x401005, 0x402000};
  cpu_write(doc.dd, &view);
  const std::string in_proc = link_text(doc.dd, cpu_link(CPU_LINK_RETURN, 0));
  const std::string in_main = link_text(doc.dd, cpu_link(CPU_LINK_RETURN, 1));
  EXPECT_NE(in_proc.find("proc+/0x345"), std::string::npos) << in_proc;
  EXPECT_NE(in_main.find("main+/0x5"), std::string::npos) << in_main;
  EXPECT_EQ(paper_of(doc.dd, in_proc), (uint32_t)CPU_HIGHLIGHT);
  EXPECT_EQ(paper_of(doc.dd, in_main), (uint32_t)RICH_TRANSPARENT);
}
