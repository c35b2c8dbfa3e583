#include "plugins/common/subsection_directory.h"

namespace {

// Kind, module index, offset, size.
const uint16_t kEntrySize = 12;

}  // namespace

bool directory_open(ByteCursor data, SubsectionDirectory *directory) {
  ByteCursor c = data;
  cursor_seek(&c, 4);
  cursor_seek(&c, cursor_u32(&c));
  size_t header_at = c.offset;
  uint16_t header_size = cursor_u16(&c);
  directory->data = data;
  directory->entry_size = cursor_u16(&c);
  directory->count = cursor_u32(&c);
  size_t entries_at = header_at + header_size;
  directory->entries =
      cursor_window(&data, entries_at, data.size > entries_at ? data.size - entries_at : 0);
  return c.ok && directory->entry_size >= kEntrySize;
}

bool directory_fits(const SubsectionDirectory *directory) {
  return directory->entries.ok &&
         directory->count <= directory->entries.size / directory->entry_size;
}

bool directory_entry(const SubsectionDirectory *directory, uint32_t i, Subsection *entry) {
  ByteCursor c = cursor_window(&directory->entries, (size_t)i * directory->entry_size, kEntrySize);
  entry->kind = cursor_u16(&c);
  entry->module = cursor_u16(&c);
  uint32_t offset = cursor_u32(&c);
  entry->size = cursor_u32(&c);
  entry->bytes = cursor_window(&directory->data, offset, entry->size);
  return c.ok;
}
