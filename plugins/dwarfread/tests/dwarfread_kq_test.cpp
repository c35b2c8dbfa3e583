// The DWARF plug-in in kq.exe under Wine, on the test program built three ways: with
// DWARF and its COFF symbol table stripped, with both, and without -g and with the
// runtime's DWARF stripped (COFF symbols only). kq loads dwarfread.dll from a plug-in
// folder of the run's own, stops start-up at main and runs to a function given by name on
// its command line. At main the source panel shows main.c at main's line, and steps over
// reach main's next lines, each shown: the lines are those the reader's own line table
// gives for the stops. The addresses come from the COFF symbol table of the unstripped
// builds.
#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <string>

#include "plugins/dwarfread/dwarf_reader.h"
#include "plugins/tests/recording_api.h"
#include "symbols/pe_image.h"
#include "tests/support/kq_driver.h"

namespace {

enum { STEP_OVER = 10086, MOST_STEPS = 12, ADD_WATCH = 10099, INSPECT = 10164 };

// The lines of a source file by address, from the reader.
std::map<uint32_t, int> source_lines(const std::string &file, const std::string &source) {
  std::vector<uint8_t> bytes = read_whole_file(file);
  PeImage image;
  std::map<uint32_t, int> lines;
  recording_reset();
  if (!pe_read_image(bytes.data(), bytes.size(), &image) ||
      dwarf_load(recording_api(), bytes.data(), bytes.size(), nullptr) != LOAD_OK)
    return lines;
  for (const RecordedSource &s : recording()->sources)
    if (s.name.size() > source.size() &&
        s.name.compare(s.name.size() - source.size() - 1, std::string::npos, "\\" + source) == 0)
      for (size_t i = 0; i < s.lines.size(); i++)
        lines[image.optional.image_base + image.sections[(s.addresses[i] >> 24) - 1].rva +
              (s.addresses[i] & 0xFFFFFF)] = s.lines[i];
  return lines;
}

int line_of(const std::map<uint32_t, int> &lines, uint32_t address) {
  auto at = lines.upper_bound(address);
  return at == lines.begin() ? 0 : std::prev(at)->second;
}

// kq with the DWARF plug-in started on a program of the build (to the run-to target, when
// given): true once it stopped at the address.
bool start(KqDriver *kq, const std::string &program, const std::string &run_to, uint32_t at) {
  const size_t slash = program.find_last_of("\\/");
  return kq->place_program("dwarfread", program.substr(0, slash), {program.substr(slash + 1)}) &&
         kq->use_plugins({"plugins\\dwarfread.dll"}) &&
         kq->start_on(kq->program, run_to.empty() ? "" : "-run=" + run_to) &&
         kq->wait_pauses(1, 60) && kq->pause(1) == at;
}

// The address a COFF symbol names in the image as linked; 0 when it has none.
unsigned symbol_address(const std::string &file, const char *name) {
  static std::vector<uint8_t> bytes;
  bytes = read_whole_file(file);
  static PeImage image;
  if (!pe_read_image(bytes.data(), bytes.size(), &image)) return 0;
  PeSymbol s;
  for (uint32_t i = 0; pe_read_symbol(&image, i, &s); i += 1u + s.aux_count)
    if (s.name == std::string(name) && s.section >= 1 && s.section <= image.section_count)
      return image.optional.image_base + image.sections[s.section - 1].rva + s.value;
  return 0;
}

TEST(DwarfreadInKq, StopsAtMainAndRunsToAFunctionByName) {
  const struct {
    const char *program;
    bool dwarf;
  } kRuns[] = {{"dwarf_shapes_stripped.exe", true},
               {"dwarf_shapes.exe", true},
               {"dwarf_shapes_coff.exe", false}};
  const std::string folder = own_folder();
  for (const auto &run : kRuns) {
    std::string linked = folder + (run.dwarf ? "dwarf_shapes.exe" : "dwarf_shapes_plain.exe");
    unsigned main_address = symbol_address(linked, "_main");
    unsigned walk_address = symbol_address(linked, "_shape_walk");
    ASSERT_TRUE(main_address && walk_address) << linked;
    for (bool run_to_function : {false, true}) {
      SCOPED_TRACE(std::string(run.program) + (run_to_function ? " -run=shape_walk" : ""));
      KqDriver kq;
      ASSERT_TRUE(start(&kq, folder + run.program, run_to_function ? "shape_walk" : "",
                        run_to_function ? walk_address : main_address)) << kq.log();
      std::string log = kq.log();
      EXPECT_NE(log.find("PLUG-IN 'dwarfread.dll' is loaded."), std::string::npos) << log;
      // The program's own load, not those of Wine's DLLs (which carry DWARF as well).
      size_t loaded = log.find(std::string("\\") + run.program + "' at ");
      size_t next_line = loaded == std::string::npos ? loaded : log.find('\n', loaded);
      ASSERT_NE(next_line, std::string::npos) << log;
      std::string line = log.substr(next_line + 1, log.find('\n', next_line + 1) - next_line);
      EXPECT_EQ(run.dwarf, line.find("DWARF debug information found") != std::string::npos)
          << log;
      // Read from DWARF or COFF symbols, the program has symbols: no line says why not.
      EXPECT_EQ(log.find("No symbols for " + kq.program), std::string::npos) << log;
      if (run.dwarf && !run_to_function) {
        std::map<uint32_t, int> lines = source_lines(linked, "main.c");
        const int first = line_of(lines, main_address);
        std::string text = kq.child_text("source");
        EXPECT_EQ(std::to_string(first) + " ", text.substr(0, text.find(' ') + 1)) << text;
        EXPECT_NE(std::string::npos, text.find("main.c")) << text;
        int line = first;
        for (int step = 0; step < MOST_STEPS && line == first; step++) {
          ASSERT_TRUE(kq.step(STEP_OVER)) << kq.log();
          line = line_of(lines, kq.pause());
          text = kq.child_text("source", line == first ? "" : text);
          EXPECT_EQ(std::to_string(line) + " ", text.substr(0, text.find(' ') + 1))
              << text << " at " << std::hex << kq.pause();
        }
        EXPECT_NE(first, line) << "no step left main's first line";
      }
      EXPECT_EQ(kq.finish(), 0);
    }
  }
}

// The sample the run command opens (built with -g) stops at main in its C source.
TEST(DwarfreadInKq, OpensTheSampleAtMainInItsSource) {
  const std::string sample = build_file(kSample);
  unsigned main_address = symbol_address(sample, "_main");
  ASSERT_NE(0u, main_address);
  KqDriver kq;
  ASSERT_TRUE(start(&kq, sample, "", main_address)) << kq.log();
  std::string text = kq.child_text("source");
  EXPECT_NE(std::string::npos, text.find("sample.c")) << text;
  EXPECT_EQ(kq.finish(), 0);
}

// Stopped in shape_walk's body after its loop, the watch panel inspects its structure
// local origin: the inspector lists the members with the values the loop left (the
// shapes' first corners all lie at x 0). main's own locals are placed against ESP (it
// realigns its stack) and are left out.
TEST(DwarfreadInKq, InspectsAStructureLocal) {
  const std::string folder = own_folder();
  std::map<uint32_t, int> lines = source_lines(folder + "dwarf_shapes.exe", "shapes.c");
  uint32_t call = 0;  // "g_counter += origin.x + s_label[0];"
  for (const auto &row : lines)
    if (row.second == 22 && !call) call = row.first;
  ASSERT_NE(0u, call);
  KqDriver kq;
  char run[32];
  snprintf(run, sizeof run, "0x%X", call);
  ASSERT_TRUE(start(&kq, folder + "dwarf_shapes_stripped.exe", run, call)) << kq.log();
  kq.command(ADD_WATCH);
  ASSERT_TRUE(answer_input_prompt(kq.pi.dwProcessId, "Insert expression", "origin"));
  kq.command(INSPECT);
  HWND inspector = nullptr;
  ASSERT_TRUE(wait_for([&] {
    std::vector<HWND> found = process_windows(kq.pi.dwProcessId, "inspector");
    return !found.empty() && (inspector = found[0]);
  }, 30));
  EXPECT_EQ("\\@WATCH\\origin\\", text_of(inspector));
  std::string rows;
  wait_for([&] {
    rows = text_of(FindWindowExA(inspector, nullptr, "ListBox", nullptr));
    return rows.find("\ny: ") != std::string::npos;
  }, 20);
  for (const char *member : {"x: 0\n", "y: 0\n"})
    EXPECT_NE(std::string::npos, rows.find(std::string("\n") + member)) << member << " in " << rows;
  EXPECT_EQ(kq.finish(), 0);
}

}  // namespace
