// One command's text at a debuggee address, read through a memory reader.
#include <stdio.h>

#include "x86/disasm.h"

int disasm_text_at(uint32_t address, char *text, MemoryReader reader) {
  enum { READ_SIZE = 16 };
  uint8_t bytes[READ_SIZE];
  int count = reader ? reader(address, bytes, READ_SIZE) : 0;
  if (count > READ_SIZE) count = READ_SIZE;
  if (count <= 0) {
    snprintf(text, DISASM_TEXT, "???");
    return 0;
  }
  DisasmResult result;
  int length = decode_command(bytes, count, address, &result, DECODE_SYMBOLIC);
  snprintf(text, DISASM_TEXT, "%s", result.text);
  return length;
}
