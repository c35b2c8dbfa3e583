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

// The whole stream: in place when its pages follow one another, else copied.
PdbStream gather(const PdbPages *pages) {
  if (!pages->size) return PdbStream{};
  if (const uint8_t *bytes = pdb_pages_read(pages, 0, pages->size, nullptr))
    return PdbStream{bytes, pages->size, nullptr};
  uint8_t *copy = (uint8_t *)zone_alloc(pages->size);
  if (!copy) return PdbStream{};
  if (!pdb_pages_read(pages, 0, pages->size, copy)) {
    zone_free(copy);
    return PdbStream{};
  }
  return PdbStream{copy, pages->size, copy};
}

// Every byte of a stream lies in a page of the file, so none is larger than the file.
PdbPages pages_of(const PdbFile *pdb, ByteCursor numbers, uint32_t size) {
  if (size == kNilStream || size > pdb->file.size) size = 0;
  return PdbPages{pdb, numbers, size};
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
  PdbPages pages = pages_of(pdb, root_pages, root_size);
  pdb->root_stream = gather(&pages);
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

PdbPages pdb_stream_pages(const PdbFile *pdb, uint32_t n) {
  if (n >= pdb->stream_count) return PdbPages{pdb, {}, 0};
  ByteCursor root = cursor_make(pdb->root, pdb->root_size);
  cursor_seek(&root, 4 + (size_t)n * pdb->size_stride);
  uint32_t stream_size = cursor_u32(&root);
  size_t pages_at = pdb->page_index[n];
  ByteCursor numbers =
      cursor_window(&root, pages_at, root.size > pages_at ? root.size - pages_at : 0);
  return pages_of(pdb, numbers, stream_size);
}

PdbRun pdb_pages_run(const PdbPages *pages, size_t at) {
  const PdbFile *pdb = pages->pdb;
  if (at >= pages->size) return PdbRun{};
  size_t page = at / pdb->page_size, count = page_count(pages->size, pdb->page_size);
  ByteCursor numbers = pages->numbers;
  cursor_seek(&numbers, page * pdb->page_width);
  size_t first = page_at(pdb, &numbers);
  if (!numbers.ok || first > pdb->file.size) return PdbRun{};
  size_t run = 1;
  while (page + run < count && page_at(pdb, &numbers) == first + run * pdb->page_size) run++;
  size_t start = page * pdb->page_size;
  size_t end = (page + run) * pdb->page_size < pages->size ? (page + run) * pdb->page_size
                                                           : pages->size;
  if (end - start > pdb->file.size - first) end = start + (pdb->file.size - first);
  return end > at ? PdbRun{start, end, pdb->file.data + first} : PdbRun{};
}

const uint8_t *pdb_pages_read(const PdbPages *pages, size_t at, size_t length, uint8_t *out) {
  if (!length || at > pages->size || length > pages->size - at) return nullptr;
  PdbRun run = pdb_pages_run(pages, at);
  if (run.end && length <= run.end - at) return run.bytes + (at - run.start);
  if (!out) return nullptr;
  for (size_t done = 0; done < length;) {
    run = pdb_pages_run(pages, at + done);
    if (!run.end) return nullptr;
    size_t piece = run.end - (at + done) < length - done ? run.end - (at + done) : length - done;
    memcpy(out + done, run.bytes + (at + done - run.start), piece);
    done += piece;
  }
  return out;
}

PdbStream pdb_read_stream(const PdbFile *pdb, uint32_t n) {
  PdbPages pages = pdb_stream_pages(pdb, n);
  return gather(&pages);
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
