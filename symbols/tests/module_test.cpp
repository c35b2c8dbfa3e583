// Modules from real images (Wine's DLLs) and from small built images: the PE dump, the
// exports as entries and lines, the refresh, the debug directory and its offering, and
// the mapped-file table.
#include <string.h>

#include "symbols/debug_info.h"
#include "symbols/entries.h"
#include "symbols/mapped_files.h"
#include "symbols/pe_exports.h"
#include "symbols/sources.h"
#include "symbols/types.h"
#include "symbols_fixture.h"
#include "tests/support/pe_builder.h"

namespace {

typedef SymbolsTest Modules;

bool has(const std::string &text, const std::string &part) {
  return text.find(part) != std::string::npos;
}

// The text of line number (1-based) of a module's text.
std::string text_line(const ModuleRecord *m, uint32_t number) {
  const char *p = m->text.text;
  for (uint32_t i = 1; p && i < number; i++) {
    p = strchr(p, '\n');
    if (p) p++;
  }
  if (!p) return "";
  const char *end = strchr(p, '\n');
  return std::string(p, end ? (size_t)(end - p) : strlen(p));
}

TEST_F(Modules, RealImageGivesDumpExportsAndSections) {
  const uint32_t base = 0x10000000, size = 0x1C000;  // version.dll's SizeOfImage
  ModuleRecord *m = load(wine_dll("version.dll"), base, size);
  ASSERT_TRUE(m);
  EXPECT_STREQ("version.dll", m->name);
  EXPECT_EQ(base + 0x2650, m->entry);  // at its own base, not the file's
  EXPECT_EQ(0x66640000u, m->image_base);
  EXPECT_EQ(1, m->console);
  EXPECT_EQ(17, m->section_count);
  EXPECT_EQ(base + 0x1000, m->sections[0].address);
  EXPECT_STREQ(".text", m->sections[0].name);
  std::string text = m->text.text;
  EXPECT_TRUE(has(text, "// <" + wine_dll("version.dll") + ">\n"));
  EXPECT_TRUE(has(text, "// Signature: PE\n"));
  EXPECT_TRUE(has(text, "// \tCharacteristics:\tEXECUTABLE_IMAGE | LINE_NUMS_STRIPPED | 32BIT_MACHINE | DLL\n"));
  EXPECT_TRUE(has(text, "// \tSubsystem:\tCONSOLE\n"));
  EXPECT_TRUE(has(text, "// \tDEBUG\t\t0x0\t\t0x0\n"));       // short name: one more tab
  EXPECT_TRUE(has(text, "// \tARCHITECTURE\t0x0\t\t0x0\n"));  // long name: none
  EXPECT_FALSE(has(text, "COM_DESCRIPTOR"));
  EXPECT_TRUE(has(text, "// \t.text\t\t0x1000\t\t0x1000\t\t0x3000\t\tEXECUTABLE | EXECUTE | READ\n"));
  EXPECT_TRUE(has(text, "//  Name:            version.dll\n//  Characteristics: 00000000\n"));
  EXPECT_TRUE(has(text, "//  # of Names:      00000010\n\n"));
  // Sixteen exports, each line naming it at its own address, the last reaching the end.
  ASSERT_EQ(16, m->export_count);
  for (int i = 0; i < m->export_count; i++) {
    const ExportLine &line = m->exports[i];
    if (i) {
      EXPECT_LE(m->exports[i - 1].address, line.address);
    }
    EntryRecord *e = entry_equal(line.address);
    ASSERT_TRUE(e);
    EXPECT_EQ("\t" + std::string(e->name), text_line(m, line.line).substr(0, strlen(e->name) + 1));
  }
  EXPECT_EQ(base + 0x1290, entry_find("VerQueryValueA")->address);
  const ExportLine &last = m->exports[m->export_count - 1];
  EXPECT_TRUE(has(text_line(m, last.line), "// [" + std::to_string(base + size - last.address) + "]"));
  EXPECT_TRUE(has(log(), "Loading module '" + wine_dll("version.dll") + "' at 10000000\n"));
  EXPECT_FALSE(has(log(), "debug information"));  // none in the image, no seeker
}

TEST_F(Modules, RefreshAddsAndRemovesExactlyOneModule) {
  ModuleRecord *v = load(wine_dll("version.dll"), 0x10000000, 0x1C000);
  ASSERT_TRUE(v);
  EXPECT_TRUE(g_changes.pending[CHG_MODULES]);
  changes_clear();
  int version_entries = entries_count();
  ModuleRecord *k = load(wine_dll("kernel32.dll"), 0x7B000000, 0x100000);
  ASSERT_TRUE(k);
  EXPECT_EQ(2, modules_count());
  EXPECT_GT(entries_count(), version_entries + 1000);
  const uint16_t lines[] = {1};
  const uint32_t in_version[] = {0x10001000}, in_kernel[] = {0x7B001000};
  source_define("v.c", 1, lines, in_version);
  source_define("k.c", 1, lines, in_kernel);
  module_set_current(v);
  type_define_struct("VersionOnly", 4);
  module_set_current(k);
  type_define_struct("KernelOnly", 4);
  module_set_current(nullptr);

  EXPECT_FALSE(modules_refresh_from(snapshot_.data(), 2));  // nothing new
  // The same base under another spelling of the path (the load event's against the
  // snapshot's) is the same module: nothing reloads.
  std::string other = "C:\\windows\\system32\\kernel32.dll";
  snapshot_[1].path = other.c_str();
  EXPECT_FALSE(modules_refresh_from(snapshot_.data(), 2));
  EXPECT_EQ(k, module_by_address(0x7B001000));
  EXPECT_EQ(other, k->path);
  snapshot_.erase(snapshot_.begin());
  changes_clear();
  EXPECT_TRUE(modules_refresh_from(snapshot_.data(), 1));
  EXPECT_TRUE(g_changes.pending[CHG_MODULES]);
  EXPECT_EQ(1, modules_count());
  EXPECT_FALSE(module_by_address(0x10000000));
  EXPECT_FALSE(entry_find("VerQueryValueA"));
  EXPECT_FALSE(source_of_address(0x10001000));
  EXPECT_FALSE(type_find("VersionOnly"));
  EXPECT_TRUE(entry_find("CreateFileA"));
  EXPECT_TRUE(source_of_address(0x7B001000));
  EXPECT_TRUE(type_find("KernelOnly"));
  EXPECT_TRUE(has(log(), "Unloading module " + wine_dll("version.dll") + "\n"));
  // The debuggee's unload clears the stores; the records go at the next refresh.
  symbols_unload();
  EXPECT_EQ(0, entries_count());
  EXPECT_FALSE(type_find("KernelOnly"));
  EXPECT_EQ(1, modules_count());
  EXPECT_TRUE(modules_refresh_from(nullptr, 0));
  EXPECT_EQ(0, modules_count());
}

TEST_F(Modules, LookUpsByAddressNameAndSection) {
  ModuleRecord *v = load(wine_dll("version.dll"), 0x10000000, 0x1C000);
  ModuleRecord *k = load(wine_dll("kernel32.dll"), 0x7B000000, 0x100000);
  struct Case {
    uint32_t address;
    ModuleRecord *module;
  };
  const Case cases[] = {{0xFFFFFFF, nullptr}, {0x10000000, v}, {0x1001BFFF, v},
                        {0x1001C000, nullptr}, {0x7B0FFFFF, k}};
  for (const Case &c : cases) EXPECT_EQ(c.module, module_by_address(c.address)) << c.address;
  EXPECT_EQ(v, module_by_name("VERSION.DLL"));
  EXPECT_EQ(k, module_by_name(wine_dll("kernel32.dll").c_str()));
  EXPECT_FALSE(module_by_name("user32.dll"));
  ModuleRecord *first = module_next(nullptr);  // slot order, not load order
  ASSERT_TRUE(first == v || first == k);
  EXPECT_EQ(first == v ? k : v, module_next(first));
  EXPECT_FALSE(module_next(module_next(first)));
  EXPECT_EQ(0x1C000u, module_size(v));
  EXPECT_EQ(0u, module_section_address(1, 0));  // outside a load
  module_set_current(v);
  EXPECT_EQ(0u, module_section_address(0, 5));
  EXPECT_EQ(0x10001005u, module_section_address(1, 5));
  EXPECT_EQ(0u, module_section_address(18, 0));
  module_set_current(nullptr);
  MainModuleInfo info;
  symbols_set_program(wine_dll("kernel32.dll").c_str());
  ASSERT_TRUE(symbols_main_module(&info));
  EXPECT_EQ(0x7B000000u, info.base);
  EXPECT_EQ(k->entry, symbols_start_address());  // no main in kernel32
}

// A small image: headers, one section at RVA 0x1000 (file 0x200, 0x400 bytes), and
// whatever the test puts in the section and the data directories.
struct BuiltImage : PeBuilder {
  BuiltImage(uint32_t subsystem, uint32_t characteristics)
      : PeBuilder(0x600, 0x400000, subsystem, characteristics) {
    section(0, ".data", 0x400, 0x1000, 0x400, 0x200, 0xC0000040);
  }
  // Debug entry i of a directory at RVA 0x1000, its data at file offset raw.
  void debug_entry(int i, uint32_t type, uint32_t raw) {
    put32(&bytes, 0x200 + i * 28 + 12, type);
    put32(&bytes, 0x200 + i * 28 + 24, raw);
  }
};

std::vector<std::pair<const uint8_t *, const uint8_t *>> g_offers;
int g_accept_at = -1;
std::string g_sought;

bool offer(const uint8_t *file, const uint8_t *data) {
  g_offers.push_back({file, data});
  // A plug-in defines the module's symbols during the call: types get the module.
  type_define_pointer(type_define_struct("Offered", 4));
  bool accepted = (int)g_offers.size() - 1 == g_accept_at;
  // The first reader to refuse says why; the others say nothing.
  if (!accepted && g_offers.size() == 1) debug_info_refused("fake.dll", "refused");
  return accepted;
}

bool seek(const char *path) {
  g_sought = path;
  return true;
}

TEST_F(Modules, DebugDirectoryEntriesAreOfferedUntilOneIsAccepted) {
  DebugInfoHandlers handlers = {offer, seek};
  debug_info_set_handlers(&handlers);
  struct Case {
    const char *what;
    uint32_t subsystem, characteristics, dir_size;
    int accept_at;
    size_t offers;
    const char *log_line;
    const char *why;  // the end of the line that says why there are no symbols; "": none
  };
  const char *kNotTaken = "no reader takes debug information 2 with signature 0x1";
  const std::string twice = std::string("fake.dll: refused; ") + kNotTaken + "\n";
  const std::string three =
      std::string("fake.dll: refused; ") + kNotTaken + "; " + kNotTaken + "\n";
  const Case cases[] = {
      {"byte size 56: two entries", 3, 0x102, 56, -1, 2, "No acceptable debug information found\n",
       twice.c_str()},
      {"size 3: a count", 2, 0x102, 3, -1, 3, "Debugging information 2 with signature 0x1\n",
       three.c_str()},
      {"second accepted", 3, 0x102, 56, 1, 2, "OK, debug information is loaded.\n", ""},
      {"first accepted", 3, 0x102, 56, 0, 1, "Debugging information 2 with signature 'NB10'\n", ""},
      {"stripped, two entries", 3, 0x302, 56, 0, 0, "Loading module",
       ": stripped image whose debug directory has 2 entries\n"},
      {"stripped, one entry but no debug file's name", 3, 0x302, 28, 0, 0, "Loading module",
       ": stripped image without the name of its debug file\n"},
      {"no directory: sought", 3, 0x102, 0, -1, 0, "OK, debug information is loaded from unusual place.\n", ""},
      {"unknown subsystem", 9, 0x102, 56, 0, 0, "Unknown subsystem 9\n", ""},
      {"count beyond the file", 3, 0x102, 0x10000001, 0, 0, "No acceptable debug information found\n",
       ": the debug directory lies outside the file\n"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    BuiltImage image(c.subsystem, c.characteristics);
    image.directory(PE_DIR_DEBUG, c.dir_size ? 0x1000 : 0, c.dir_size);
    memcpy(&image.bytes[0x300], "NB10", 4);
    put32(&image.bytes, 0x310, 1);
    for (int i = 0; i < 3; i++) image.debug_entry(i, 2, i ? 0x310 : 0x300);
    std::string path = temp_path("built.dll");
    ASSERT_TRUE(write_file(path, image.bytes.data(), image.bytes.size()));
    g_offers.clear();
    g_sought.clear();
    g_accept_at = c.accept_at;
    log_close();
    log_path_ = open_test_log("built");
    ModuleRecord *m = load(path, 0x500000, 0x2000);
    ASSERT_TRUE(m);
    EXPECT_EQ(c.offers, g_offers.size());
    for (auto &o : g_offers) EXPECT_EQ(o.first + (o.second == o.first + 0x300 ? 0x300 : 0x310), o.second);
    EXPECT_TRUE(has(log(), c.log_line)) << log();
    // One line says why, naming the module, or none when symbols were read.
    const std::string why = "No symbols for " + path + ": ";
    EXPECT_EQ(*c.why != 0, has(log(), why)) << log();
    if (*c.why) {
      EXPECT_TRUE(has(log(), c.why)) << log();
    }
    EXPECT_EQ(c.dir_size == 0 && c.subsystem != 9 ? path : "", g_sought);
    if (c.subsystem == 9) {
      EXPECT_EQ(0, m->section_count);
      EXPECT_FALSE(m->text.text);
    } else {
      EXPECT_EQ(0x501010u, m->entry);
      EXPECT_EQ(!c.offers, !type_find("Offered"));
    }
    EXPECT_FALSE(module_current());
    snapshot_.clear();
    paths_.clear();
    modules_refresh_from(nullptr, 0);
    EXPECT_FALSE(type_find("Offered"));  // went with its module
  }
  debug_info_set_handlers(nullptr);
}

// A reader that defines over the module, reports its progress at the times given, and
// stops when the progress says the user cancelled; a window that the user cancels at its
// second tick.
struct CancelRun {
  std::vector<std::string> events;
  volatile int *stop;
  uint32_t export_address;
};
CancelRun g_cancel;

bool open_window(const char *caption, volatile int *stop) {
  g_cancel.events.push_back(std::string("open ") + caption);
  g_cancel.stop = stop;
  return true;
}
void tick_window(int permille) {
  g_cancel.events.push_back("tick " + std::to_string(permille));
  if (g_cancel.events.size() == 3) *g_cancel.stop = 1;  // Escape
}
void close_window() { g_cancel.events.push_back("close"); }

bool read_until_cancelled() {
  entry_define("Replaced", g_cancel.export_address, type_define_struct("HalfDefined", 4),
               nullptr);
  for (uint32_t part = 0, now = 0; part <= 10; part++, now += 200) {
    if (!debug_info_progress(part, 10, now)) return false;
    entry_define(("defined" + std::to_string(part)).c_str(), g_cancel.export_address + 1 + part,
                 nullptr, nullptr);
  }
  return true;
}
bool offer_cancelled(const uint8_t *, const uint8_t *) { return read_until_cancelled(); }
bool seek_cancelled(const char *) { return read_until_cancelled(); }

TEST_F(Modules, CancelledLoadKeepsOnlyTheExports) {
  const DebugInfoHandlers handlers = {offer_cancelled, seek_cancelled};
  const LoadProgressWindow window = {open_window, tick_window, close_window};
  debug_info_set_handlers(&handlers);
  debug_info_set_progress_window(&window);
  const uint32_t base = 0x10000000, size = 0x1C000;  // version.dll's SizeOfImage
  const uint8_t *view = map_file(wine_dll("version.dll").c_str());
  ASSERT_TRUE(view);
  PeImage image;
  PeExportDirectory dir;
  PeExport *exports = nullptr;
  ASSERT_TRUE(pe_read_image(view, mapped_size(view), &image));
  ASSERT_TRUE(pe_read_export_directory(&image, &dir));
  ASSERT_GT(pe_read_exports(&image, &dir, &exports), 0);
  g_cancel = CancelRun{{}, nullptr, base + exports[0].rva};
  const std::string first_export = exports[0].name;
  zone_free(exports);
  unmap_file(view);
  ModuleRecord *m = load(wine_dll("version.dll"), base, size);
  ASSERT_TRUE(m);
  // The window opens once the load has taken longer than half a second, and closes.
  const std::vector<std::string> events = {"open Loading symbols of version.dll", "tick 300",
                                           "tick 400", "close"};
  EXPECT_EQ(events, g_cancel.events);
  EXPECT_TRUE(has(log(), "Symbols of '" + wine_dll("version.dll") +
                             "' not loaded: cancelled by the user\n"))
      << log();
  EXPECT_FALSE(has(log(), "No symbols for")) << log();
  // Nothing of the load remains; the export it replaced is back with the others.
  EXPECT_FALSE(entry_find("Replaced"));
  EXPECT_FALSE(entry_find("defined0"));
  EXPECT_FALSE(type_find("HalfDefined"));
  EntryRecord *e = entry_find(first_export.c_str());
  ASSERT_TRUE(e);
  EXPECT_EQ(g_cancel.export_address, e->address);
  EXPECT_EQ(16, m->export_count);
  EXPECT_FALSE(debug_info_cancelled());  // only while its load is under way
  EXPECT_TRUE(debug_info_progress(0, 1, 100000));
  EXPECT_EQ(events, g_cancel.events);  // and no window outside a load
  debug_info_set_progress_window(nullptr);
  debug_info_set_handlers(nullptr);
}

TEST_F(Modules, DebugEntryCountAndSignatureText) {
  const uint32_t sizes[][2] = {{0, 0}, {28, 1}, {56, 2}, {3, 3}, {29, 29}};
  for (auto &s : sizes) EXPECT_EQ(s[1], debug_entry_count(s[0])) << s[0];
  struct Case {
    uint8_t bytes[4];
    const char *text;
  };
  const Case cases[] = {{{'N', 'B', '1', '0'}, "'NB10'"}, {{1, 0, 0, 0}, "0x1"},
                        {{'R', 'S', 'D', 'S'}, "'RSDS'"}, {{'F', 'B', '0', 0}, "0x304246"}};
  for (const Case &c : cases) {
    char text[DEBUG_SIGNATURE_TEXT];
    debug_signature_text(c.bytes, text);
    EXPECT_STREQ(c.text, text);
  }
}

TEST_F(Modules, MappedFileTable) {
  std::string path = wine_dll("version.dll");
  const uint8_t *a = map_file(path.c_str()), *b = map_file(path.c_str());
  ASSERT_TRUE(a && b);
  EXPECT_EQ(2, g_mapped_files.count);
  EXPECT_EQ(mapped_size(a), mapped_size(b));
  unmap_file(b);
  EXPECT_EQ(1, g_mapped_files.count);
  EXPECT_EQ(a, g_mapped_files.items[0].view);
  unmap_file((const uint8_t *)"unknown");
  EXPECT_EQ(1, g_mapped_files.count);
  EXPECT_FALSE(map_file("/nonexistent/file.dll"));
  std::vector<const uint8_t *> views;
  while (const uint8_t *v = map_file(path.c_str())) views.push_back(v);
  EXPECT_EQ(MAXMAPNUM - 1, (int)views.size());  // the 21st is refused
  for (const uint8_t *v : views) unmap_file(v);
  unmap_file(a);
  EXPECT_EQ(0, g_mapped_files.count);
}

}  // namespace
