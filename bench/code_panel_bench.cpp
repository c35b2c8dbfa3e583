// The code panel: pages down over real code (msvcrt.dll of Wine, loaded as a module so
// that its exports name and cut the lines), each page a rebuilt 2 KB window, a listing
// written for the page and drawn through a drawer that only counts; against the decoder
// alone over the same 2 KB in the same run. The listing should cost at most three times
// the decoding. Then the change broadcasts that leave the window's bytes alone (a step, a
// register or state change, a write elsewhere) against writes inside them: the rebuilds
// they cause are counted, and a snapshot check is timed against a rebuild.
//
// Run by hand on a quiet machine (a release build):
//   cmake -S . -B build/host -G Ninja && cmake --build build/host --target code_panel_bench
//   build/host/bench/code_panel_bench
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "symbols/entries.h"
#include "symbols/modules.h"
#include "symbols/symbols.h"
#include "tools/code_corpus.h"
#include "ui/panels/code/code_panel_view.h"
#include "ui/rich_text/rich_text_fixed.h"
#include "ui/rich_text/rich_text_read.h"
#include "ui/rich_text/rich_text_write.h"
#include "util/stringpool.h"
#include "x86/disasm.h"

namespace {

const char kDll[] = "msvcrt.dll";
const uint32_t kBase = 0x10000000;
const int kPages = 400, kPageHeight = 600;

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Code {
  const uint8_t *bytes;
  uint32_t address, size;  // where the code section stands once loaded at kBase
};
Code g_code;

int read_code(void *, uint32_t address, uint8_t *out, int count) {
  if (address < g_code.address || address - g_code.address >= g_code.size) return 0;
  const uint32_t left = g_code.size - (address - g_code.address);
  const int n = left < (uint32_t)count ? (int)left : count;
  memcpy(out, g_code.bytes + (address - g_code.address), (size_t)n);
  return n;
}
uint32_t next_symbol(void *, uint32_t address) {
  const EntryRecord *e = entry_after(address);
  return e ? e->address : 0;
}
int read_plain(uint32_t address, uint8_t *out, int count) {
  return read_code(nullptr, address, out, count);
}
CodeRegionStart no_region(void *, uint32_t, char *, size_t) { return CODE_NO_REGION; }
bool no_breakpoint(void *, uint32_t) { return false; }

struct Counter {
  long texts;
  static void begin(void *, int, int y, RichRect *clip, uint32_t *color) {
    *clip = {0, y, 800, y + kPageHeight};
    *color = 0;
  }
  static void end(void *) {}
  static void font(void *, RichHandle) {}
  static void colors(void *, uint32_t, uint32_t) {}
  static void text(void *c, int, int, const char *, int) { ((Counter *)c)->texts++; }
  static void fill(void *, const RichRect *, uint32_t) {}
  static void image(void *, RichHandle, int, int) {}
  static void underline(void *, int, int, int) {}
};

}  // namespace

int main() {
  pool_init();
  symbols_init();
  CodeCorpus corpus;
  if (!corpus_load(WINE_PE_DIR, kDll, 1, &corpus)) return 1;
  const std::string path = std::string(WINE_PE_DIR) + "/" + kDll;
  const ModuleSnapshotEntry dll = {kDll, path.c_str(), kBase, 0x1000000, 1};
  modules_refresh_from(&dll, 1);
  const ModuleRecord *module = module_by_address(kBase);
  for (const CodeBlock &b : corpus.blocks)
    for (int s = 0; module && s < module->section_count; s++)
      if (!strcmp(b.module, kDll) && !strcmp(module->sections[s].name, b.section))
        g_code = {corpus.bytes.data() + b.offset, module->sections[s].address, b.size};
  if (!g_code.size) return 1;

  RichFixed fixed;
  rich_fixed_init(&fixed);
  const CodeSource source = {nullptr, read_code, next_symbol};
  const CodeMarks marks = {nullptr, no_region, no_breakpoint, nullptr};
  const CodeView view = {&source, &marks, true, 0, 0, 0};
  CodeScreen screen = {};
  screen.listing = rich_create(&fixed.measurer);
  screen.view = &view;
  screen.height = kPageHeight;
  screen.width = 800;
  Counter counter = {0};
  const RichDrawer drawer = {&counter,        Counter::begin, Counter::end,  Counter::font,
                             Counter::colors, Counter::text,  Counter::fill, Counter::image,
                             Counter::underline};

  // Best of five runs of kPages pages from the section's start, the machine being shared.
  double panel = 1e9, decoder = 1e9;
  long lines = 0, decoded = 0;
  for (int run = 0; run < 5; run++) {
    code_go_to(&screen, g_code.address + 2 * CODE_SPAN);
    lines = 0;
    double t0 = now();
    for (int page = 0; page < kPages; page++) {
      code_scroll(&screen, screen.bottom - screen.top);
      rich_draw(screen.listing, &drawer);
      lines += screen.bottom - screen.top;
    }
    panel = std::min(panel, now() - t0);
    // The decoder over the same windows: 2 KB around every page's anchor.
    code_go_to(&screen, g_code.address + 2 * CODE_SPAN);
    uint32_t anchors[kPages];
    for (int page = 0; page < kPages; page++) {
      code_scroll(&screen, screen.bottom - screen.top);
      anchors[page] = screen.window.anchor;
    }
    decoded = 0;
    t0 = now();
    for (uint32_t anchor : anchors)
      for (uint32_t p = anchor - CODE_SPAN; p <= anchor + CODE_SPAN;) {
        uint8_t bytes[CODE_READ];
        DisasmResult r;
        const int n = read_code(nullptr, p, bytes, CODE_READ);
        const int length = decode_command(bytes, n, p, &r, DECODE_ANALYSE);
        p += length > 0 ? (uint32_t)length : 1;
        decoded++;
      }
    decoder = std::min(decoder, now() - t0);
  }
  printf("code panel: %d pages of %ld lines on average in %.3f s: %.0f pages/s (%ld texts "
         "drawn)\n",
         kPages, lines / kPages, panel, kPages / panel, counter.texts);
  printf("decoder alone over the same 2 KB windows: %ld commands in %.3f s: %.0f windows/s\n",
         decoded, decoder, kPages / decoder);
  printf("listing / decoding: %.2f\n", panel / decoder);

  // Broadcasts over a window in the middle of the section, on a copy of its bytes that the
  // writes change.
  std::vector<uint8_t> copy(g_code.bytes, g_code.bytes + g_code.size);
  g_code.bytes = copy.data();
  code_go_to(&screen, g_code.address + g_code.size / 2);
  const uint32_t anchor = screen.window.anchor;
  CodeSnapshot snapshot = {};
  code_snapshot_changed(&snapshot, read_plain, anchor);
  struct Kind {
    const char *what;
    long write;  // where a byte is written before each broadcast, from the anchor; none: 1 << 30
  } kinds[] = {{"state and register changes", 1L << 30},
               {"writes beside the window", CODE_SPAN + 16},
               {"writes inside the window", -100}};
  const int kBroadcasts = 20000;
  for (const Kind &k : kinds) {
    int rebuilds = 0;
    const double t0 = now();
    for (int b = 0; b < kBroadcasts; b++) {
      if (k.write != 1L << 30) copy[anchor + k.write - g_code.address]++;
      if (code_snapshot_changed(&snapshot, read_plain, anchor)) {
        rebuilds++;
        code_build_window(&screen.window, &source, anchor, CODE_SPAN);
        code_refresh(&screen);
      }
    }
    const double t = now() - t0;
    printf("%d broadcasts of %s: %d rebuilds, %.2f us a broadcast\n", kBroadcasts, k.what,
           rebuilds, t / kBroadcasts * 1e6);
  }
  code_free_window(&screen.window);
  screen.listing = rich_destroy(screen.listing);
  rich_images_free(&fixed.measurer);
  modules_refresh_from(nullptr, 0);
  symbols_shutdown();
  pool_free();
  return 0;
}
