// cvdump's walk over mutated files: a program database of either version (by its first
// byte) or an image, in an exact-size heap block so ASan reports any read outside it.
// Long run: seed with the corpus PDBs and images and the test-built PDB 7 files, and pass
// -max_len=1200000.
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <vector>

#include "tools/cv_dump.h"

namespace {

// The signatures with the bytes the readers compare: MSF 7.00's fills 32 bytes.
const char kMsf7[] = "Microsoft C/C++ MSF 7.00\r\n\x1a" "DS\0\0";
const char kPdb2[] = "Microsoft C/C++ program database 2.00\r\n\x1a" "JG";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static FILE *sink = fopen("/dev/null", "w");
  if (size < 1 || !sink) return 0;
  // The first byte chooses the signature put before the rest: the mutations then reach
  // the streams instead of failing the signature.
  std::vector<uint8_t> file;
  if (data[0] % 3 == 0) file.assign(kMsf7, kMsf7 + sizeof kMsf7);
  if (data[0] % 3 == 1) file.assign(kPdb2, kPdb2 + sizeof kPdb2 - 1);
  file.insert(file.end(), data + 1, data + size);
  if (file.empty()) return 0;
  cv_dump(file.data(), file.size(), sink);
  return 0;
}
