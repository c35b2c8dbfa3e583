// Any command bytes under any options and mode: the decoder never reads past count, gives
// a length of 1 to 15 (0 for no bytes) that stays within count unless it reports an error,
// agrees with its own length-only mode, decodes the same command from exactly its own
// bytes, and ends every text inside its buffer. The memory-write classifier reads no byte
// past count either, and the store ranges of a command agree with it: a write away from
// the stack top is one it calls possible.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "x86/command_stores.h"
#include "x86/command_writes.h"
#include "x86/disasm.h"

namespace {

// Input: three option bytes, the mode, the address (4 bytes), the count, then the code.
enum { kHeader = 9 };

// Names every fourth address, with names of every length up to the buffer's, so that the
// cutting of long names is exercised.
int fuzz_namer(uint32_t address, char *buffer, int buflen) {
  if (address & 3) return 0;
  int length = (int)((address >> 2) % 300);
  if (length > buflen - 1) length = buflen - 1;
  memset(buffer, 'n', (size_t)length);
  buffer[length] = 0;
  return length;
}

void set_options(const uint8_t *bits) {
  uint32_t b = bits[0] | bits[1] << 8 | bits[2] << 16;
  DecoderOptions *o = &g_decoder_options;
  int *flags[] = {&o->lower_case, &o->tab_arguments, &o->symbolic, &o->short_string_forms,
                  &o->space_after_comma, &o->vxd_calls, &o->show_default_segment,
                  &o->brackets_first, &o->always_show_size, &o->near_keyword,
                  &o->hide_privileged, &o->hide_io, &o->hide_far, &o->hide_shift,
                  &o->hide_prefix, &o->hide_lock, &o->hide_stack, &o->hide_crash};
  for (int *flag : flags) {
    *flag = (int)(b & 1);
    b >>= 1;
  }
  o->size_suffix = (int)(b % 3);
}

bool is_prefix(uint8_t b) {
  return memchr("\x26\x2E\x36\x3E\x64\x65\x66\x67\xF0\xF2\xF3", b, 11) != nullptr;
}

bool ends_inside(const char *text) { return memchr(text, 0, DISASM_TEXT) != nullptr; }

// Decodes from a heap copy of exactly count bytes, so that AddressSanitizer sees any read
// past the end.
int decode_exact(const uint8_t *code, int count, uint32_t address, DisasmResult *r, int mode) {
  uint8_t *copy = (uint8_t *)malloc((size_t)count);
  memcpy(copy, code, (size_t)count);
  memset(r, 0xA5, sizeof *r);  // stale bytes must not survive as text
  int length = decode_command(copy, count, address, r, mode);
  bool may_write = command_may_write_memory(copy, count, address);
  const uint32_t esp = 0x80000;
  StoreContext context = {{address, ~address, address << 3, address >> 5, esp, esp + 64,
                           address * 7, 0x5000},
                          address & 0x400,
                          {0, 0, 0, 0, 0x7FFDE000, 0},
                          (address & 1) != 0};
  StoreRange ranges[STORE_RANGES];
  uint32_t cut;
  int n = command_stores(copy, count, address, context, ranges, &cut);
  if (n < STORES_UNKNOWN || n > STORE_RANGES) __builtin_trap();
  // A store cut to one repeat writes one element, its last range.
  if (cut && (!context.one_repeat || n < 1 || ranges[n - 1].length > 4)) __builtin_trap();
  for (int i = 0; i < n; i++)
    if (ranges[i].address + ranges[i].length != esp && !may_write) __builtin_trap();
  free(copy);
  return length;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < kHeader) return 0;
  set_options(data);
  set_address_namer(fuzz_namer);
  int mode = data[3] % 6;  // 2 acts as 1, and 5 as 4
  uint32_t address = data[4] | data[5] << 8 | data[6] << 16 | (uint32_t)data[7] << 24;
  int available = size - kHeader < 16 ? (int)(size - kHeader) : 16;
  int count = data[8] % 17 < available ? data[8] % 17 : available;
  const uint8_t *code = data + kHeader;

  DisasmResult r, plain;
  int length = decode_exact(code, count, address, &r, mode);
  if (count == 0) {
    if (length != 0) __builtin_trap();
    return 0;
  }
  if (length < 1 || length > 15) __builtin_trap();
  if (r.error == DE_NONE && length > count) __builtin_trap();
  if (r.error < DE_NONE || r.error >= DE_INTERNAL) __builtin_trap();
  if (mode >= DECODE_TEXT && !(ends_inside(r.text) && ends_inside(r.hex_dump) &&
                               ends_inside(r.comment)))
    __builtin_trap();
  if (decode_exact(code, count, address, &plain, DECODE_LENGTH) != length ||
      plain.error != r.error)
    __builtin_trap();
  // A lone repeated prefix is told by the byte after it, so it needs more than its own.
  if (r.error == DE_NONE && length < count && !(length == 1 && is_prefix(code[0]))) {
    if (decode_exact(code, length, address, &plain, mode) != length || plain.error != DE_NONE)
      __builtin_trap();
  }
  return 0;
}
