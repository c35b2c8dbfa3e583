// kqasm: the assembler on standard input, one command a line. Prints the command's bytes
// in hex, or "error: MESSAGE (column N)"; goes on after a bad line. Each line is placed
// after the previous command, from --base on, as KQ_Assemble would write it there.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "x86/assemble.h"

namespace {

const char kUsage[] = "usage: kqasm [--base HEX] < lines\n";

enum { LINE = 1024 };

bool parse_hex(const char *text, uint32_t *value) {
  char *end;
  unsigned long v = strtoul(text, &end, 16);
  if (*text == 0 || *end != 0 || v > 0xFFFFFFFFul) return false;
  *value = (uint32_t)v;
  return true;
}

// Reads one line without its end; a longer line is cut and the rest skipped. Gives false
// at the end of input.
bool read_line(char *line, bool *cut) {
  if (!fgets(line, LINE, stdin)) return false;
  size_t n = strlen(line);
  *cut = n == LINE - 1 && line[n - 1] != '\n';
  if (*cut)
    for (int c; (c = getchar()) != EOF && c != '\n';) {
    }
  while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r')) line[--n] = 0;
  return true;
}

}  // namespace

int main(int argc, char **argv) {
  uint32_t address = 0;
  for (int i = 1; i < argc; i++) {
    if (strcmp(argv[i], "--base") == 0 && i + 1 < argc && parse_hex(argv[i + 1], &address)) {
      i++;
      continue;
    }
    fputs(kUsage, stderr);
    return 2;
  }
  char line[LINE], error[ASM_ERROR_TEXT];
  bool cut, failed = false;
  while (read_line(line, &cut)) {
    if (cut) {
      printf("error: Line longer than %d characters (column %d)\n", LINE - 2, LINE - 1);
      failed = true;
      continue;
    }
    AsmResult r;
    int status = 0;
    for (int sizes = 0; sizes <= 2 && status <= 0; sizes++)
      status = assemble_command(line, address, &r, 0, sizes, error);
    if (status <= 0) {
      printf("error: %s (column %d)\n", error, 1 - status);
      failed = true;
      continue;
    }
    for (int i = 0; i < r.length; i++) printf(i ? " %02X" : "%02X", r.code[i]);
    putchar('\n');
    address += (uint32_t)r.length;
  }
  return failed ? 1 : 0;
}
