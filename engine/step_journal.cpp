#include "engine/step_journal.h"

#include <windows.h>
#include <string.h>

#include "engine/debuggee.h"
#include "engine/execution.h"
#include "engine/memory.h"
#include "settings/settings.h"
#include "util/zone.h"
#include "x86/command_stores.h"
#include "x86/names.h"

namespace {

// A record's bytes follow those of the record before it in one block: per range its
// address, its length and the saved bytes.
struct RangeHeader {
  uint32_t address, length;
};

struct JournalRecord {
  uint32_t size;     // bytes in the block
  uint32_t address;  // where the command or the run began
  JournalMark mark;
  // A repeated string command held to one repeat: its counter (ECX) before it ran and the
  // counter's mask, until the stop after it; mask 0 otherwise.
  uint32_t counter, counter_mask;
};

struct Journal {
  JournalRecord records[HISTORY_SIZE];  // oldest first
  int count;
  uint8_t *bytes;  // zone block
  size_t used;
};
Journal g_journal;

// The texts of the marks that leave memory as it is, by mark.
const char *const kMarkTexts[] = {
    nullptr,
    nullptr,
    "Memory written by the command at %08X was not restored: more than the journal keeps",
    "Memory written by the system for the command at %08X was not restored",
    "Memory changed by the call to %08X was not restored",
    "Memory changed while the debuggee ran from %08X was not restored",
    "Memory written by the command at %08X was not restored: it repeated more than once in "
    "one step",
    "Memory written by the command at %08X could not be restored",
};

void drop_oldest() {
  if (!g_journal.count) return;
  uint32_t size = g_journal.records[0].size;
  memmove(g_journal.bytes, g_journal.bytes + size, g_journal.used - size);
  g_journal.used -= size;
  g_journal.count--;
  memmove(g_journal.records, g_journal.records + 1, g_journal.count * sizeof g_journal.records[0]);
}

void push_record(JournalMark mark, uint32_t address, uint32_t size) {
  if (g_journal.count == HISTORY_SIZE) drop_oldest();
  // A newer record means the last command has ended, checked or not.
  if (g_journal.count) g_journal.records[g_journal.count - 1].counter_mask = 0;
  g_journal.records[g_journal.count++] = JournalRecord{size, address, mark, 0, 0};
}

// Frees room for size bytes within the limit: the oldest records give up their bytes.
bool make_room(size_t size, size_t limit) {
  if (size > limit) return false;
  for (int i = 0; i < g_journal.count && g_journal.used + size > limit; i++) {
    JournalRecord &r = g_journal.records[i];
    if (!r.size) continue;
    size_t start = 0;
    for (int j = 0; j < i; j++) start += g_journal.records[j].size;
    memmove(g_journal.bytes + start, g_journal.bytes + start + r.size,
            g_journal.used - start - r.size);
    g_journal.used -= r.size;
    r.size = 0;
    r.mark = JOURNAL_TOO_LARGE;
  }
  size_t held = zone_size(g_journal.bytes);
  if (g_journal.used + size > held) {
    // Doubling, within the limit: most steps then store without moving the block.
    size_t want = held * 2 > g_journal.used + size ? held * 2 : g_journal.used + size;
    if (want < 4096) want = 4096;
    if (want > limit) want = limit;
    uint8_t *grown = (uint8_t *)zone_resize(g_journal.bytes, want);
    if (!grown) return false;
    g_journal.bytes = grown;
  }
  return true;
}

// The GS base only for a command that names GS: asking the system costs a call.
uint32_t gs_base(const uint8_t *code, int count, uint32_t gs) {
  int i = 0;
  const char kOtherPrefixes[] = "\x26\x2E\x36\x3E\x64\x66\x67\xF0\xF2\xF3";
  while (i < count && memchr(kOtherPrefixes, code[i], sizeof kOtherPrefixes - 1)) i++;
  LDT_ENTRY entry;
  if (i == count || code[i] != 0x65 || !GetThreadSelectorEntry(g_debuggee.thread, gs, &entry))
    return 0;
  return entry.BaseLow | (uint32_t)entry.HighWord.Bytes.BaseMid << 16 |
         (uint32_t)entry.HighWord.Bytes.BaseHi << 24;
}

}  // namespace

void journal_add_step(const RegisterSet &regs, const uint8_t *code, int count) {
  uint32_t ip = regs.r[REG_EIP];
  size_t limit = g_settings.StepJournalBytes > 0 ? (size_t)g_settings.StepJournalBytes : 0;
  if (!limit) return push_record(JOURNAL_OFF, ip, 0);
  const uint32_t *r = regs.r;
  StoreContext context = {
      {r[REG_EAX], r[REG_ECX], r[REG_EDX], r[REG_EBX], r[REG_ESP], r[REG_EBP], r[REG_ESI],
       r[REG_EDI]},
      r[REG_EFLAGS],
      {0, 0, 0, 0, r[REG_TIB], gs_base(code, count, r[REG_GS])},
      true};
  StoreRange ranges[STORE_RANGES];
  uint32_t cut;
  int n = command_stores(code, count, ip, context, ranges, &cut);
  if (n == STORES_UNKNOWN) return push_record(JOURNAL_SYSTEM, ip, 0);
  uint64_t size = 0;
  for (int i = 0; i < n; i++) size += sizeof(RangeHeader) + (uint64_t)ranges[i].length;
  if (size > limit || !make_room((size_t)size, limit)) return push_record(JOURNAL_TOO_LARGE, ip, 0);
  // Room made may have dropped the oldest record: the new one is pushed before filling.
  push_record(JOURNAL_EXACT, ip, 0);
  JournalRecord &record = g_journal.records[g_journal.count - 1];
  record.counter = r[REG_ECX];
  record.counter_mask = cut;
  uint8_t *p = g_journal.bytes + g_journal.used;
  for (int i = 0; i < n; i++) {
    // A command faults at memory it cannot read: it writes no further than that.
    RangeHeader h = {ranges[i].address, 0};
    h.length = memory_read(h.address, p + sizeof h, ranges[i].length);
    memcpy(p, &h, sizeof h);
    p += sizeof h + h.length;
  }
  record.size = (uint32_t)(p - (g_journal.bytes + g_journal.used));
  g_journal.used += record.size;
}

void journal_step_stopped(uint32_t ecx) {
  if (!g_journal.count) return;
  JournalRecord &r = g_journal.records[g_journal.count - 1];
  uint32_t repeats = (r.counter - ecx) & r.counter_mask;
  r.counter_mask = 0;
  if (repeats <= 1) return;
  g_journal.used -= r.size;
  r.size = 0;
  r.mark = JOURNAL_REPEATS;
}

void journal_add_mark(JournalMark mark, uint32_t address) { push_record(mark, address, 0); }

JournalMark journal_restore_newest(uint32_t *address) {
  if (!g_journal.count) return JOURNAL_OFF;
  JournalRecord record = g_journal.records[--g_journal.count];
  *address = record.address;
  uint8_t *start = g_journal.bytes + g_journal.used - record.size;
  g_journal.used -= record.size;
  // The ranges in order, to walk them backwards.
  uint8_t *ranges[STORE_RANGES];
  int n = 0;
  for (uint8_t *p = start; p < start + record.size && n < STORE_RANGES; n++) {
    ranges[n] = p;
    RangeHeader h;
    memcpy(&h, p, sizeof h);
    p += sizeof h + h.length;
  }
  // What memory holds now, to undo a restore that cannot finish.
  uint8_t *now[STORE_RANGES] = {};
  int i = n - 1;
  for (; i >= 0; i--) {
    RangeHeader h;
    memcpy(&h, ranges[i], sizeof h);
    if (!h.length) continue;
    now[i] = (uint8_t *)zone_alloc(h.length);
    if (!now[i] || memory_read(h.address, now[i], h.length) != h.length ||
        memory_write(h.address, ranges[i] + sizeof h, h.length) != h.length)
      break;
  }
  bool failed = i >= 0;
  for (int j = i + 1; failed && j < n; j++) {
    RangeHeader h;
    memcpy(&h, ranges[j], sizeof h);
    if (h.length) memory_write(h.address, now[j], h.length);
  }
  for (uint8_t *&block : now) block = (uint8_t *)zone_free(block);
  return failed ? JOURNAL_FAILED : record.mark;
}

void journal_clear() {
  g_journal.count = 0;
  g_journal.used = 0;
  g_journal.bytes = (uint8_t *)zone_free(g_journal.bytes);
}

size_t journal_bytes_held() { return g_journal.used; }

const char *journal_mark_text(JournalMark mark) {
  return mark < sizeof kMarkTexts / sizeof *kMarkTexts ? kMarkTexts[mark] : nullptr;
}
