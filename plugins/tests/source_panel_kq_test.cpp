// The source panel in kq.exe under Wine on a program with a PDB whose source file is
// nowhere kq looks: the panel shows the program's dump and the log names the missing file
// and the way to it; once its folder is added to the source paths in the options dialog the
// panel shows the file without a reload, and its line at main and after each step is the
// one the line table gives for the stop address, drawn with the band and the instruction
// pointer's arrow on one row. The line table is read here with the plug-in's own reader,
// placed by the image's section table. The programs: a Visual C++ 6 one of the corpus
// (PDB 2.00), and the C program the build makes with clang (PDB 7.00), whose source kq
// finds where the PDB records it (Wine opens the host's paths).
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "plugins/cvread/cv_reader.h"
#include "plugins/tests/corpus_files.h"
#include "plugins/tests/recording_api.h"
#include "startup/resource_ids.h"
#include "symbols/pe_image.h"
#include "tests/support/kq_driver.h"

namespace {

struct PanelProgram {
  const char *folder;              // under the corpus folder; null: the build's PDB 7 programs
  std::vector<std::string> files;  // the program first, then its PDBs
  unsigned main;
  bool source_as_recorded;  // the source lies where the PDB says
};
const PanelProgram kPrograms[] = {
    {"pdb2-jg/vc60-peekPE", {"peekPE.exe", "peekPE.pdb", "vc60.pdb"}, 0x401010, false},
    {nullptr, {"points.exe", "points.pdb"}, 0x4014E0, true},
};
enum { STEP_OVER = 10086, OPTIONS = 10076, RELOAD = 10080, MOST_STEPS = 12 };

// The source holding main: its recorded name and its (address, line) pairs by address.
struct LineTable {
  std::string name;
  std::vector<std::pair<uint32_t, int>> pairs;
  int line_of(uint32_t address) const {
    int line = 0;
    for (const auto &p : pairs)
      if (p.first <= address) line = p.second;
    return line;
  }
  bool covers(uint32_t address) const {
    return !pairs.empty() && pairs.front().first <= address && address < pairs.back().first + 64;
  }
};

bool read_table(const std::string &exe, unsigned main, LineTable *table) {
  std::vector<uint8_t> bytes = read_whole_file(exe);
  const uint32_t offset = codeview_offset(bytes);
  static PeImage image;
  if (!offset || !pe_read_image(bytes.data(), bytes.size(), &image)) return false;
  recording_reset();
  if (cv_load_debug_info(recording_api(), bytes.data(), bytes.size(), bytes.data() + offset,
                          exe.c_str()) != LOAD_OK)
    return false;
  for (const RecordedSource &s : recording()->sources) {
    std::vector<std::pair<uint32_t, int>> pairs;
    for (size_t i = 0; i < s.lines.size(); i++) {
      const uint32_t section = s.addresses[i] >> 24;
      if (!section || section > (uint32_t)image.section_count) continue;
      pairs.push_back({image.optional.image_base + image.sections[section - 1].rva +
                           (s.addresses[i] & 0xFFFFFF),
                       s.lines[i]});
    }
    std::sort(pairs.begin(), pairs.end());
    for (const auto &p : pairs)
      if (p.first == main) {
        table->name = s.name;
        table->pairs = pairs;
        return true;
      }
  }
  return false;
}

// The source paths typed into the options dialog as a user does, and OK.
bool set_source_paths(const KqDriver &kq, const std::string &paths) {
  kq.command(OPTIONS);
  HWND options = nullptr;
  if (!wait_for([&] { return (options = kq.window("#32770", "Configuration")) != nullptr; }))
    return false;
  SendMessageA(GetDlgItem(options, IDC_OPT_SOURCE_PATHS), WM_SETTEXT, 0, (LPARAM)paths.c_str());
  SendMessageA(GetDlgItem(options, IDOK), BM_CLICK, 0, 0);
  return wait_for([&] { return !IsWindow(options); }, 10);
}

std::string base_name(const std::string &path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Steps over until the marked line moves; each stop is checked against the table. Gives
// the panel's last text.
std::string step_until_the_line_moves(const KqDriver &kq, const LineTable &table, unsigned main,
                                      std::string text) {
  char want[600];
  const int first = table.line_of(main);
  int line = first;
  for (int step = 0; step < MOST_STEPS && line == first; step++) {
    EXPECT_TRUE(kq.step(STEP_OVER)) << kq.log();
    const uint32_t at = kq.pause();
    EXPECT_TRUE(table.covers(at)) << std::hex << at;
    line = table.line_of(at);
    snprintf(want, sizeof want, "%i ", line);
    text = kq.child_text("source", line == first ? "" : text);
    EXPECT_EQ(want, text.substr(0, strlen(want))) << text << " at " << std::hex << at;
  }
  EXPECT_NE(first, line) << "no step left main's first line";
  return text;
}

// The current line as the panel drew it on the screen: the band's rows (its colour at three
// quarters of the width, clear of text and label) and, in the gutter on them, the yellow
// arrow of the instruction pointer, which stands on the current line after a step.
bool arrow_seen(HWND panel) {
  const COLORREF band = RGB(0xC8, 0xE0, 0xF0);
  RECT r;
  if (!GetClientRect(panel, &r)) return false;
  POINT origin = {0, 0};
  ClientToScreen(panel, &origin);
  HDC screen = GetDC(nullptr);
  int top = -1, bottom = -1;
  for (int y = 0; y < r.bottom; y++)
    if (GetPixel(screen, origin.x + r.right * 3 / 4, origin.y + y) == band) {
      if (top < 0) top = y;
      bottom = y;
    }
  bool arrow = false;
  for (int y = top; top >= 0 && y <= bottom && !arrow; y++)
    for (int x = 0; x < r.right / 4 && !arrow; x++) {
      const COLORREF c = GetPixel(screen, origin.x + x, origin.y + y);
      arrow = GetRValue(c) > 200 && GetGValue(c) > 150 && GetBValue(c) < 100;
    }
  ReleaseDC(nullptr, screen);
  return arrow;
}

// Wine hands what it drew to the X server a moment later, so the screen is read until
// the arrow shows.
bool arrow_on_the_band(const KqDriver &kq) {
  HWND panel = kq.child("source");
  return panel && wait_for([&] { return arrow_seen(panel); }, 10);
}

void panel_follows_the_line_table(const PanelProgram &program) {
  const std::string folder =
      program.folder ? std::string(KQ_CORPUS) + "/" + program.folder : PDB7_PROGRAMS;
  const std::string exe = program.files[0], shot = exe.substr(0, exe.find('.'));
  LineTable table;
  ASSERT_TRUE(read_table(folder + "/" + exe, program.main, &table));
  const std::string file = base_name(table.name);
  KqDriver kq;
  ASSERT_TRUE(kq.place_program("source", folder, program.files));
  ASSERT_TRUE(kq.use_plugins({"plugins\\cvread.dll"}));
  ASSERT_TRUE(kq.start_on(kq.program));
  ASSERT_TRUE(kq.wait_pauses(1, 60)) << kq.log();
  ASSERT_EQ(kq.pause(1), program.main) << kq.log();

  std::string text = kq.child_text("source");
  screenshot(("source_panel_dump_" + shot + ".png").c_str());
  char want[600];
  snprintf(want, sizeof want, "%i ", table.line_of(program.main));
  if (program.source_as_recorded) {
    EXPECT_EQ(want + table.name, text);
    step_until_the_line_moves(kq, table, program.main, text);
    EXPECT_TRUE(arrow_on_the_band(kq));
    screenshot(("source_panel_stepped_" + shot + ".png").c_str());
    EXPECT_EQ(kq.finish(), 0);
    return;
  }
  // The recorded file is nowhere kq looks: the program's dump, and the log says what to do.
  ASSERT_NE(std::string::npos, text.find(' ')) << text << kq.log();
  EXPECT_EQ(" " + exe, text.substr(text.find(' '))) << text;
  const std::string missing = "Source file '" + table.name +
                              "' not found; the module's dump is shown. Its folder can be added "
                              "to the source paths (Options) to show it\n";
  EXPECT_EQ(1, count_in(kq.log(), missing)) << kq.log();

  // The file in a folder of the run's own, two levels down where the search of the
  // program's sub-folders does not reach, added to the source paths in the options dialog
  // (quoted: the folder's name holds a dash, which separates entries): the panel shows it at
  // once, the line at main the line table's.
  const std::string sources = kq.folder + "tree\\sources";
  ASSERT_TRUE(CreateDirectoryA((kq.folder + "tree").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA(sources.c_str(), nullptr));
  FILE *f = fopen((sources + "\\" + file).c_str(), "wb");
  ASSERT_NE(nullptr, f) << sources;
  for (int i = 1; i <= table.pairs.back().second + 20; i++)
    fprintf(f, "/* line %i */ int line_%i;\r\n", i, i);
  fclose(f);
  ASSERT_TRUE(set_source_paths(kq, "\"" + sources + "\""));
  text = kq.child_text("source", text);
  ASSERT_EQ(want, text.substr(0, strlen(want))) << text << " " << table.name;
  EXPECT_EQ(sources + "\\" + file, text.substr(strlen(want))) << text;
  text = step_until_the_line_moves(kq, table, program.main, text);
  EXPECT_TRUE(arrow_on_the_band(kq));
  screenshot(("source_panel_stepped_" + shot + ".png").c_str());

  // Without the folder the file is missing again, and said so again; so it is after a
  // reload, whose sources are new.
  ASSERT_TRUE(set_source_paths(kq, ""));
  text = kq.child_text("source", text);
  ASSERT_NE(std::string::npos, text.find(' ')) << text;
  EXPECT_EQ(" " + exe, text.substr(text.find(' '))) << text;
  EXPECT_EQ(2, count_in(kq.log(), missing)) << kq.log();
  EXPECT_TRUE(kq.step(RELOAD, 60)) << kq.log();
  EXPECT_TRUE(wait_for([&] { return count_in(kq.log(), missing) == 3; }, 10)) << kq.log();
  EXPECT_EQ(kq.finish(), 0);
}

TEST(SourcePanelInKq, DumpUntilTheFolderIsAddedThenTheLineTablesLine) {
  for (const PanelProgram &program : kPrograms) {
    SCOPED_TRACE(program.files[0]);
    panel_follows_the_line_table(program);
  }
}

}  // namespace
