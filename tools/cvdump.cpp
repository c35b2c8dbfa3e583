// cvdump: prints the records of a program database (PDB 2.00 or 7.00) or of an image's
// CodeView data, one a line: modules, symbols, types and line pairs, unknown records in hex.
//   cvdump FILE
#include <stdio.h>

#include "tools/cv_dump.h"
#include "tools/file_bytes.h"

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: cvdump FILE\n");
    return 2;
  }
  FileBytes file;
  if (!file_bytes_read(argv[1], &file)) {
    fprintf(stderr, "cvdump: cannot read %s\n", argv[1]);
    return 1;
  }
  bool ok = cv_dump(file.data, file.size, stdout);
  file_bytes_free(&file);
  return ok ? 0 : 1;
}
