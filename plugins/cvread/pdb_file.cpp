#include "plugins/cvread/pdb_file.h"

#include <string.h>

#include "util/zone.h"

namespace {

const char kSignature[] =
    "Microsoft C/C++ program database 2.00\r\n\x1a"
    "JG";
const size_t kPageSizeAt = 44, kRootSizeAt = 52, kRootPagesAt = 60;
// A stream of this size has no pages (it was deleted).
const uint32_t kNilStream = 0xFFFFFFFF;

uint32_t page_count(uint32_t size, uint32_t page_size) {
  return size == kNilStream ? 0 : size / page_size + (size % page_size != 0);
}

size_t page_at(const PdbFile *pdb, ByteCursor *pages) {
  return (pdb->page_width == 4 ? cursor_u32(pages) : cursor_u16(pages)) * (size_t)pdb->page_size;
}

// The size bytes of the pages whose numbers lie in pages: in place when the pages follow
// one another, else copied.
PdbStream gather(const PdbFile *pdb, ByteCursor pages, uint32_t size) {
  // Every byte of a stream lies in a page of the file, so none is larger than the file.
  uint32_t count = page_count(size, pdb->page_size);
  if (size == 0 || size > pdb->file.size) return PdbStream{};
  ByteCursor scan = pages;
  size_t first = page_at(pdb, &scan);
  uint32_t run = 1;
  while (run < count && page_at(pdb, &scan) == first + (size_t)run * pdb->page_size) run++;
  if (scan.ok && run == count && first <= pdb->file.size && size <= pdb->file.size - first)
    return PdbStream{pdb->file.data + first, size, nullptr};
  uint8_t *bytes = (uint8_t *)zone_alloc(size);
  if (!bytes) return PdbStream{};
  for (uint32_t i = 0; i < count; i++) {
    size_t at = page_at(pdb, &pages);
    size_t length = i + 1 < count ? pdb->page_size : size - (size_t)i * pdb->page_size;
    if (!pages.ok || at > pdb->file.size || length > pdb->file.size - at) {
      zone_free(bytes);
      return PdbStream{};
    }
    memcpy(bytes + (size_t)i * pdb->page_size, pdb->file.data + at, length);
  }
  return PdbStream{bytes, size, bytes};
}

}  // namespace

bool pdb_open(PdbFile *pdb, const uint8_t *data, size_t size) {
  memset(pdb, 0, sizeof *pdb);
  pdb->file = cursor_make(data, size);
  ByteCursor c = pdb->file;
  const uint8_t *signature = cursor_take(&c, sizeof kSignature - 1);
  if (!signature || memcmp(signature, kSignature, sizeof kSignature - 1)) return false;
  cursor_seek(&c, kPageSizeAt);
  pdb->page_size = cursor_u32(&c);
  cursor_seek(&c, kRootSizeAt);
  uint32_t root_size = cursor_u32(&c);
  if (!c.ok || pdb->page_size < 64 || root_size < 4) return false;
  pdb->page_width = 2;
  pdb->size_stride = 8;  // a size and a reserved DWORD
  return pdb_open_root(pdb, cursor_window(&pdb->file, kRootPagesAt, size - kRootPagesAt),
                       root_size);
}

bool pdb_open_root(PdbFile *pdb, ByteCursor root_pages, uint32_t root_size) {
  pdb->root_stream = gather(pdb, root_pages, root_size);
  pdb->root = pdb->root_stream.bytes;
  if (!pdb->root) return false;
  pdb->root_size = root_size;
  ByteCursor root = cursor_make(pdb->root, root_size);
  uint32_t count = cursor_u32(&root);
  // 2.00 has a WORD count and a reserved WORD.
  if (pdb->page_width == 2) count &= 0xFFFF;
  if ((size_t)count * pdb->size_stride > root_size - 4) count = (root_size - 4) / pdb->size_stride;
  pdb->page_index = (size_t *)zone_alloc(((size_t)count + 1) * sizeof(size_t));
  if (!pdb->page_index) {
    pdb_close(pdb);
    return false;
  }
  size_t at = 4 + (size_t)count * pdb->size_stride;
  for (uint32_t i = 0; i < count; i++) {
    pdb->page_index[i] = at;
    cursor_seek(&root, 4 + (size_t)i * pdb->size_stride);
    at += (size_t)page_count(cursor_u32(&root), pdb->page_size) * pdb->page_width;
  }
  pdb->stream_count = count;
  return true;
}

PdbStream pdb_read_stream(const PdbFile *pdb, uint32_t n) {
  if (n >= pdb->stream_count) return PdbStream{};
  ByteCursor root = cursor_make(pdb->root, pdb->root_size);
  cursor_seek(&root, 4 + (size_t)n * pdb->size_stride);
  uint32_t stream_size = cursor_u32(&root);
  if (stream_size == kNilStream) return PdbStream{};
  size_t pages_at = pdb->page_index[n];
  ByteCursor pages =
      cursor_window(&root, pages_at, root.size > pages_at ? root.size - pages_at : 0);
  return gather(pdb, pages, stream_size);
}

void pdb_stream_free(PdbStream *stream) {
  stream->copy = (uint8_t *)zone_free(stream->copy);
  stream->bytes = nullptr;
  stream->size = 0;
}

void pdb_close(PdbFile *pdb) {
  pdb_stream_free(&pdb->root_stream);
  pdb->root = nullptr;
  pdb->page_index = (size_t *)zone_free(pdb->page_index);
  pdb->stream_count = 0;
}
