// Any line of text into the assembler: it never reads outside the line nor writes outside
// its result, an error leaves length 0 with a message and a position inside the line, and
// whatever it assembles decodes back without error to exactly its own length.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "x86/assemble.h"
#include "x86/disasm.h"

namespace {

// Input: one byte of constant_sizes and match_index, the address (4 bytes), the text.
enum { kHeader = 5 };

int fuzz_resolver(const char *name, uint32_t *address) {
  size_t n = strlen(name);
  if (n >= 256) __builtin_trap();
  *address = (uint32_t)n * 0x1000;
  return name[0] == 'S';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < kHeader) return 0;
  int constant_sizes = data[0] & 3, match_index = data[0] >> 2 & 3;
  uint32_t address = data[1] | data[2] << 8 | data[3] << 16 | (uint32_t)data[4] << 24;
  // A heap copy of exactly the line, so that AddressSanitizer sees any read past its end.
  size_t n = size - kHeader;
  char *text = (char *)malloc(n + 1);
  memcpy(text, data + kHeader, n);
  text[n] = 0;
  set_symbol_resolver(fuzz_resolver);
  AsmResult r;
  char error[ASM_ERROR_TEXT];
  memset(error, 0x55, sizeof error);
  int status = assemble_command(text, address, &r, match_index, constant_sizes, error);
  size_t length = strlen(text);
  free(text);
  if (memchr(error, 0, sizeof error) == nullptr) __builtin_trap();
  if (status <= 0) {
    if (r.length != 0 || error[0] == 0 || (size_t)-status > length) __builtin_trap();
    return 0;
  }
  if (status != r.length || r.length > ASM_CODE) __builtin_trap();
  uint8_t *code = (uint8_t *)malloc((size_t)r.length);
  memcpy(code, r.code, (size_t)r.length);
  DisasmResult d;
  int decoded = decode_command(code, r.length, address, &d, DECODE_ANALYSE);
  free(code);
  if (d.error != DE_NONE || decoded != r.length) __builtin_trap();
  return 0;
}
