#include "ui/panels/code/code_panel_lines.h"

#include "ui/panels/code/code_panel_arrows.h"
#include "util/zone.h"
#include "x86/disasm.h"

namespace {

struct Analysis {
  int length;
  uint8_t command_class;
  uint32_t jump_target;
};

// The command at p as far as the source can tell; unreadable or unknown bytes count as a
// one-byte command without analysis.
Analysis analyse(const CodeSource *source, uint32_t p) {
  uint8_t bytes[CODE_READ];
  const uint64_t left = 0x100000000ull - p;
  const int want = left < CODE_READ ? (int)left : CODE_READ;
  const int count = source->read(source->context, p, bytes, want);
  DisasmResult r;
  const int length = decode_command(bytes, count, p, &r, DECODE_ANALYSE);
  if (length <= 0 || code_undecodable(r.error)) return {1, 0, 0};
  return {length, (uint8_t)(r.command_class & CC_KIND), r.jump_target};
}

}  // namespace

bool code_undecodable(int error) { return error == DE_BADCMD || error == DE_CROSS; }

int code_build_window(CodeWindow *w, const CodeSource *source, uint32_t anchor, uint32_t span) {
  code_free_window(w);
  w->anchor = anchor;
  const uint32_t from = anchor > span ? anchor - span : 0;
  const uint32_t to = anchor < 0xFFFFFFFFu - span ? anchor + span : 0xFFFFFFFFu;
  // Never more lines than bytes.
  w->lines = (CodeLine *)zone_alloc(((size_t)(to - from) + 1) * sizeof(CodeLine));
  // The next forced start holds for every address below it: asked again only past it.
  uint64_t forced = 0, ask_at = 0;
  for (uint64_t p = from; p <= to;) {
    const Analysis a = analyse(source, (uint32_t)p);
    uint64_t length = (uint64_t)a.length;
    if (p >= ask_at) {
      forced = source->next_start(source->context, (uint32_t)p);
      ask_at = forced ? forced : 0x100000000ull;  // none: none further on either
    }
    if (forced > p && forced < p + length) length = forced - p;
    CodeLine *line = &w->lines[w->count++];
    *line = {(uint32_t)p, a.command_class, length < (uint64_t)a.length, CODE_NONE, CODE_NONE,
             -1, a.jump_target};
    p += length;
  }
  code_add_arrows(w);
  return w->count;
}

void code_free_window(CodeWindow *w) {
  code_free_arrows(w);
  w->lines = (CodeLine *)zone_free(w->lines);
  w->count = 0;
}

int code_line_at(const CodeWindow *w, uint32_t address) {
  if (!w->count) return CODE_NONE;
  int low = 0, high = w->count - 1;
  while (low < high) {  // the last line starting at or below address
    const int mid = (low + high + 1) / 2;
    if (w->lines[mid].address <= address) low = mid;
    else high = mid - 1;
  }
  return low;
}
