// tdsdump: a plain walk of Borland debug information that prints every record raw, one a
// line, as the independent side of the reader's tests. It knows only the directory and
// the framing of each subsection, not what the records mean:
//   signature SIG at OFFSET directory COUNT
//   subsection KIND module M offset OFFSET size SIZE
//   name INDEX TEXT
//   type INDEX LEAF HEX        (the whole record from its length WORD)
//   symbol M KIND HEX          (the whole record from its length WORD)
//   global KIND HEX            (a record of the global symbols, the same way)
//   file M NAME-INDEX BLOCKS
//   pair M NAME-INDEX SEGMENT OFFSET LINE
// The input is a .TDS file, or an image whose data is appended behind the trailer at its
// very end. Records that run past their subsection end the walk of that subsection with
// a line "overrun symbol M KIND at OFFSET" (or "overrun global KIND ...").
#include <stdio.h>
#include <string.h>

#include "symbols/byte_cursor.h"
#include "tools/file_bytes.h"

namespace {

void print_hex(const ByteCursor *c, size_t at, size_t length) {
  for (size_t i = 0; i < length; i++) printf("%02X", c->data[at + i]);
}

void dump_names(ByteCursor s) {
  uint32_t count = cursor_u32(&s);
  for (uint32_t i = 1; i <= count && s.ok; i++) {
    uint8_t length = cursor_u8(&s);
    const uint8_t *text = cursor_take(&s, (size_t)length + 1);
    if (text) printf("name %u %.*s\n", i, (int)length, (const char *)text);
  }
}

void dump_types(ByteCursor s) {
  cursor_u32(&s);
  uint32_t count = cursor_u32(&s);
  for (uint32_t i = 0; i < count && s.ok; i++) {
    ByteCursor r = s;
    cursor_seek(&r, cursor_u32(&s));
    size_t at = r.offset;
    uint16_t length = cursor_u16(&r);
    uint16_t leaf = cursor_u16(&r);
    if (!s.ok || !cursor_seek(&r, at + 2 + length)) {
      printf("overrun types at %zu\n", at);
      return;
    }
    printf("type %X %04X ", 0x1000 + i, leaf);
    print_hex(&r, at, 2 + (size_t)length);
    printf("\n");
  }
}

// Records from the window's position on while they start below stop; prefix names the
// line.
void dump_records(ByteCursor s, size_t stop, const char *prefix) {
  while (s.ok && s.offset < stop) {
    size_t at = s.offset;
    uint16_t length = cursor_u16(&s);
    uint16_t kind = cursor_u16(&s);
    if (!cursor_seek(&s, at + 2 + length)) {
      printf("overrun %s%04X at %zu\n", prefix, kind, at);
      return;
    }
    printf("%s%04X ", prefix, kind);
    print_hex(&s, at, 2 + (size_t)length);
    printf("\n");
  }
}

// A module's symbols follow the subsection's signature DWORD; none starts in its last
// four bytes.
void dump_symbols(ByteCursor s, unsigned module) {
  char prefix[32];
  snprintf(prefix, sizeof prefix, "symbol %u ", module);
  cursor_seek(&s, 4);
  dump_records(s, s.size - 4, prefix);
}

// The global symbols follow a 16-byte header (hash kinds and sizes) and run to the end
// of the subsection; the linker's last one may run past it.
void dump_globals(ByteCursor s) {
  cursor_seek(&s, 16);
  dump_records(s, s.size, "global ");
}

void dump_lines(ByteCursor s, unsigned module) {
  uint16_t files = cursor_u16(&s);
  cursor_u16(&s);
  for (uint16_t f = 0; f < files && s.ok; f++) {
    ByteCursor file = s;
    cursor_seek(&file, cursor_u32(&s));
    uint16_t blocks = cursor_u16(&file);
    uint32_t name = cursor_u32(&file);
    if (!file.ok) break;
    printf("file %u %u %u\n", module, name, blocks);
    for (uint16_t b = 0; b < blocks && file.ok; b++) {
      ByteCursor block = s;
      cursor_seek(&block, cursor_u32(&file));
      uint16_t segment = cursor_u16(&block);
      uint16_t pairs = cursor_u16(&block);
      ByteCursor lines = block;
      cursor_seek(&lines, block.offset + (size_t)pairs * 4);
      for (uint16_t p = 0; p < pairs && lines.ok; p++) {
        uint32_t offset = cursor_u32(&block);
        uint16_t line = cursor_u16(&lines);
        if (lines.ok) printf("pair %u %u %u %08X %u\n", module, name, segment, offset, line);
      }
    }
  }
}

// Where the data starts: at 0 for a .TDS file, else as the image's trailer says.
bool find_data(const FileBytes *file, size_t *start) {
  const uint8_t *d = file->data;
  if (file->size >= 4 && !memcmp(d, "FB0", 3)) {
    *start = 0;
    return true;
  }
  if (file->size < 8 || memcmp(d + file->size - 8, "FB0", 3)) return false;
  ByteCursor trailer = cursor_make(d + file->size - 4, 4);
  uint32_t distance = cursor_u32(&trailer);
  if (distance > file->size) return false;
  *start = file->size - distance;
  return true;
}

}  // namespace

int main(int argc, char **argv) {
  FileBytes file;
  if (argc != 2 || !file_bytes_read(argv[1], &file)) {
    fprintf(stderr, "usage: tdsdump FILE.tds|IMAGE\n");
    return 2;
  }
  size_t start = 0;
  if (!find_data(&file, &start)) {
    fprintf(stderr, "tdsdump: no Borland debug information in %s\n", argv[1]);
    file_bytes_free(&file);
    return 1;
  }
  ByteCursor data = cursor_make(file.data + start, file.size - start);
  const uint8_t *signature = cursor_take(&data, 4);
  cursor_seek(&data, cursor_u32(&data));
  size_t directory = data.offset;
  uint16_t header_size = cursor_u16(&data);
  uint16_t entry_size = cursor_u16(&data);
  uint32_t count = data.ok ? cursor_u32(&data) : 0;
  printf("signature %.4s at %zu directory %u\n", signature ? (const char *)signature : "????",
         start, count);
  for (uint32_t i = 0; i < count && data.ok; i++) {
    ByteCursor entry = data;
    cursor_seek(&entry, directory + header_size + (size_t)i * entry_size);
    uint16_t kind = cursor_u16(&entry);
    uint16_t module = cursor_u16(&entry);
    uint32_t offset = cursor_u32(&entry);
    uint32_t size = cursor_u32(&entry);
    if (!entry.ok) break;
    printf("subsection %04X module %u offset %u size %u\n", kind, module, offset, size);
    ByteCursor s = cursor_window(&data, offset, size);
    if (!s.ok) continue;
    if (kind == 0x0130) dump_names(s);
    if (kind == 0x012B) dump_types(s);
    if (kind == 0x0125) dump_symbols(s, module);
    if (kind == 0x0129) dump_globals(s);
    if (kind == 0x0127) dump_lines(s, module);
  }
  file_bytes_free(&file);
  return 0;
}
