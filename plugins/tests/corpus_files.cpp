#include "plugins/tests/corpus_files.h"

#include "plugins/cvread/pdb_file.h"
#include "symbols/pe_image.h"

namespace {
const uint32_t kDebugTypeCodeView = 2;
const size_t kDebugEntrySize = 28;
}  // namespace

uint32_t codeview_offset(const std::vector<uint8_t> &bytes) {
  PeImage image;
  if (!pe_read_image(bytes.data(), bytes.size(), &image)) return 0;
  const PeDirectory &debug = image.optional.directories[PE_DIR_DEBUG];
  ByteCursor entries = pe_rva_window(&image, debug.rva, debug.size);
  for (size_t at = 0; entries.ok && at + kDebugEntrySize <= debug.size; at += kDebugEntrySize) {
    cursor_seek(&entries, at + 12);
    uint32_t type = cursor_u32(&entries);
    cursor_seek(&entries, at + 24);
    uint32_t offset = cursor_u32(&entries);
    if (entries.ok && type == kDebugTypeCodeView) return offset;
  }
  return 0;
}

std::string corpus_path(const std::string &relative) {
  return std::string(KQ_CORPUS) + "/" + relative;
}

size_t pdb_stream_offset(const std::vector<uint8_t> &bytes, uint32_t n) {
  PdbFile pdb;
  if (!pdb_open(&pdb, bytes.data(), bytes.size())) return 0;
  size_t offset = 0;
  if (n < pdb.stream_count) {
    ByteCursor root = cursor_make(pdb.root, pdb.root_size);
    cursor_seek(&root, pdb.page_index[n]);
    offset = (size_t)cursor_u16(&root) * pdb.page_size;
  }
  pdb_close(&pdb);
  return offset;
}
