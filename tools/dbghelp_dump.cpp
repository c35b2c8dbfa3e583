// dbghelp_dump: what the system's symbol handler reads from an image and its debug
// information, as plain text for comparing our readers against:
//   MODULE BASE KIND FILE      what dbghelp loaded (KIND: SymPdb, SymExport, ...)
//   SYM ADDRESS TAG FLAGS NAME one per symbol; TAG is dbghelp's kind number, FLAGS its
//                              SYMFLAG_ bits in hexadecimal
//   LINE ADDRESS LINE FILE     one per line entry
// Addresses are hexadecimal at the image's preferred base.
//   usage: dbghelp_dump IMAGE
#include <stdio.h>

#include "tools/dbghelp_session.h"

namespace {

void print_module(void *, uint32_t base, const char *kind, const char *file) {
  printf("MODULE %08X %s %s\n", base, kind, file);
}

void print_symbol(void *, uint32_t address, uint32_t tag, uint32_t flags, const char *name) {
  printf("SYM %08X %u %X %s\n", address, tag, flags, name);
}

void print_line(void *, uint32_t address, uint32_t line, const char *file) {
  printf("LINE %08X %u %s\n", address, line, file);
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: dbghelp_dump IMAGE\n");
    return 2;
  }
  const DbghelpSink sink = {nullptr, print_module, print_symbol, print_line};
  const char *why = nullptr;
  bool ok = dbghelp_begin(argv[1], &why);
  if (ok) {
    ok = dbghelp_enumerate(argv[1], &sink, &why);
    dbghelp_end();
  }
  if (!ok) fprintf(stderr, "dbghelp_dump: %s: %s\n", argv[1], why);
  return ok ? 0 : 1;
}
