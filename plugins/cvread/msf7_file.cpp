#include "plugins/cvread/msf7_file.h"

#include <string.h>

namespace {

const char kMagic[] =
    "Microsoft C/C++ MSF 7.00\r\n\x1a"
    "DS\0\0";
const size_t kMagicSize = 32;
const size_t kPageSizeAt = 32, kRootSizeAt = 44, kRootMapAt = 52;

bool valid_page_size(uint32_t size) {
  return size == 512 || size == 1024 || size == 2048 || size == 4096;
}

}  // namespace

bool msf7_open(PdbFile *pdb, const uint8_t *data, size_t size) {
  memset(pdb, 0, sizeof *pdb);
  pdb->file = cursor_make(data, size);
  ByteCursor c = pdb->file;
  const uint8_t *magic = cursor_take(&c, kMagicSize);
  if (!magic || memcmp(magic, kMagic, kMagicSize)) return false;
  cursor_seek(&c, kPageSizeAt);
  pdb->page_size = cursor_u32(&c);
  cursor_seek(&c, kRootSizeAt);
  uint32_t root_size = cursor_u32(&c);
  cursor_seek(&c, kRootMapAt);
  size_t map_page = cursor_u32(&c);
  if (!c.ok || !valid_page_size(pdb->page_size) || root_size < 4) return false;
  pdb->page_width = 4;
  pdb->size_stride = 4;
  // The root's page numbers fill one page (more only in files beyond 4 GB).
  ByteCursor root_pages = cursor_window(&pdb->file, map_page * pdb->page_size, pdb->page_size);
  return root_pages.ok && pdb_open_root(pdb, root_pages, root_size);
}
