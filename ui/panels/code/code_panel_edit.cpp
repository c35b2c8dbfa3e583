#include "ui/panels/code/code_panel_edit.h"

#include <stdio.h>
#include <string.h>

#include "ui/panels/code/code_panel_lines.h"
#include "util/path.h"
#include "util/zone.h"

namespace {

// Decodes the command at address with the text options the caller wants.
int decode_at(uint32_t address, MemoryReader reader, bool tabs, DisasmResult *r) {
  uint8_t bytes[CODE_READ];
  const int count = reader(address, bytes, CODE_READ);
  const DecoderOptions options = g_decoder_options;
  g_decoder_options.tab_arguments = tabs;
  g_decoder_options.symbolic = 1;
  const int length = decode_command(bytes, count, address, r, DECODE_SYMBOLIC);
  g_decoder_options = options;
  return length <= 0 || code_undecodable(r->error) ? 1 : length;
}

}  // namespace

int code_command_text(uint32_t address, MemoryReader reader, char *text, int textlen) {
  DisasmResult r;
  const int length = decode_at(address, reader, false, &r);
  text_copy(text, (size_t)textlen, r.text);
  return length;
}

int code_assemble(const char *text, uint32_t address, int old_length, uint8_t *code,
                  char *error) {
  AsmResult result;
  for (int sizes = 0; sizes < CODE_ASSEMBLE_TRIES; sizes++)
    if (assemble_command(text, address, &result, 0, sizes, error) <= 0) return 0;
  memcpy(code, result.code, ASM_CODE);
  int length = result.length;
  while (length < old_length && length < ASM_CODE) code[length++] = CODE_NOP;
  return length;
}

char *code_copy_text(uint32_t low, uint32_t high, MemoryReader reader) {
  char *text = nullptr;
  for (uint64_t p = low; p < high;) {
    DisasmResult r;
    const int length = decode_at((uint32_t)p, reader, true, &r);
    char line[2 * DISASM_TEXT];
    const int n = snprintf(line, sizeof line, "%X\t\t%s\r\n", (uint32_t)p, r.text);
    text = (char *)zone_append(text, line, (size_t)n);
    p += (uint64_t)length;
  }
  return text ? (char *)zone_append(text, "", 1) : nullptr;
}
