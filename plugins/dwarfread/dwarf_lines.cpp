// Line programs of DWARF 2 to 5: the header with its directory and file tables, then the
// state machine's rows, defined as one source per file with the statement rows of that
// file. A program reads only its own bytes, and every opcode takes at least one of them,
// so a forged program ends where its bytes do.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "plugins/dwarfread/dwarf_kinds.h"
#include "plugins/dwarfread/dwarf_state.h"
#include "util/path.h"
#include "util/zone.h"

namespace {

enum {
  LNS_copy = 1,
  LNS_advance_pc,
  LNS_advance_line,
  LNS_set_file,
  LNS_set_column,
  LNS_negate_stmt,
  LNS_set_basic_block,
  LNS_const_add_pc,
  LNS_fixed_advance_pc,
  LNS_set_prologue_end,
  LNS_set_epilogue_begin,
  LNS_set_isa,
  LNE_end_sequence = 1,
  LNE_set_address,
  LNE_define_file,
  LNE_set_discriminator,
  LNCT_path = 1,
  LNCT_directory_index,
};

// A table of the header: directories or files, each a name and (for files) the index of
// its directory.
struct PathEntry {
  const char *name;
  uint64_t directory;
};

struct LineHeader {
  DwarfUnit form_unit;  // how the header's forms are laid out
  int version, min_length, line_base, line_range, opcode_base;
  bool default_stmt;
  ByteCursor opcode_lengths;
  PathEntry *directories, *files;  // zone blocks
  uint32_t directory_count, file_count;
};

struct Row {
  uint32_t file, line, address;
};

bool add_entry(PathEntry **table, uint32_t *count, PathEntry entry) {
  void *grown = zone_append(*table, &entry, sizeof entry);
  if (!grown) return false;
  *table = (PathEntry *)grown;
  (*count)++;
  return true;
}

// DWARF 2 to 4: names until an empty one; files carry a directory index, a time and a
// length.
bool read_v4_tables(ByteCursor *c, LineHeader *h) {
  for (;;) {
    const char *name = cursor_text_at(c, c->offset);
    if (!name || !cursor_take(c, strlen(name) + 1)) return false;
    if (!*name) break;
    if (!add_entry(&h->directories, &h->directory_count, PathEntry{name, 0})) return false;
  }
  for (;;) {
    const char *name = cursor_text_at(c, c->offset);
    if (!name || !cursor_take(c, strlen(name) + 1)) return false;
    if (!*name) return true;
    uint64_t directory = dwarf_uleb(c);
    dwarf_uleb(c);
    dwarf_uleb(c);
    if (!c->ok || !add_entry(&h->files, &h->file_count, PathEntry{name, directory})) return false;
  }
}

// DWARF 5: a format of (content, form) pairs, a count and the entries in that format.
bool read_v5_table(DwarfState *state, ByteCursor *c, const LineHeader *h, PathEntry **table,
                   uint32_t *count) {
  uint8_t format_count = cursor_u8(c);
  uint64_t formats[2 * 16];
  if (format_count > 16) return false;
  for (int i = 0; i < 2 * format_count; i++) formats[i] = dwarf_uleb(c);
  uint64_t entries = dwarf_uleb(c);
  if (!c->ok || entries > c->size - c->offset + 1) return false;
  for (uint64_t e = 0; e < entries; e++) {
    PathEntry entry = {nullptr, 0};
    for (int i = 0; i < format_count; i++) {
      DwarfValue value;
      if (!dwarf_read_form(c, &h->form_unit, (uint16_t)formats[2 * i + 1], 0, &value))
        return false;
      if (formats[2 * i] == LNCT_path)
        entry.name = dwarf_text(&state->sections, &h->form_unit, &value);
      else if (formats[2 * i] == LNCT_directory_index)
        dwarf_number(&state->sections, &h->form_unit, &value, &entry.directory);
    }
    if (!add_entry(table, count, entry)) return false;
  }
  return true;
}

// The header of the program at c; c is left at the first opcode and ends with the program.
bool read_header(DwarfState *state, ByteCursor *c, LineHeader *h) {
  int offset_size = 4;
  uint64_t length = dwarf_length(c, &offset_size);
  if (!c->ok || length > c->size - c->offset) return false;
  *c = cursor_window(c, c->offset, (size_t)length);
  h->version = cursor_u16(c);
  h->form_unit = state->unit;
  h->form_unit.offset_size = offset_size;
  if (h->version >= 5) {
    h->form_unit.address_size = cursor_u8(c);
    cursor_u8(c);  // segment selector size
  }
  uint64_t header_length = dwarf_fixed(c, offset_size);
  if (!c->ok || header_length > c->size - c->offset || h->version < 2 || h->version > 5)
    return false;
  size_t program = c->offset + (size_t)header_length;
  h->min_length = cursor_u8(c);
  if (h->version >= 4) cursor_u8(c);  // operations per instruction: 1 on x86
  h->default_stmt = cursor_u8(c) != 0;
  h->line_base = (int8_t)cursor_u8(c);
  h->line_range = cursor_u8(c);
  h->opcode_base = cursor_u8(c);
  h->opcode_lengths = cursor_window(c, c->offset, h->opcode_base ? h->opcode_base - 1u : 0);
  cursor_take(c, h->opcode_lengths.size);
  bool tables = h->version >= 5
                    ? read_v5_table(state, c, h, &h->directories, &h->directory_count) &&
                          read_v5_table(state, c, h, &h->files, &h->file_count)
                    : read_v4_tables(c, h);
  return tables && c->ok && h->line_range && h->opcode_base && cursor_seek(c, program);
}

// The file's full name as kq looks for it: the directory (itself under the unit's
// folder when relative) and the name, with backslashes.
void file_path(const DwarfState *state, const LineHeader *h, uint32_t file, char *path) {
  const PathEntry &f = h->files[file];
  const char *dir = nullptr;
  // DWARF 5 numbers directories from 0 (the unit's folder); earlier versions from 1,
  // 0 meaning the unit's folder.
  uint64_t index = h->version >= 5 ? f.directory : f.directory - 1;
  if (h->version < 5 && f.directory == 0) dir = state->comp_dir;
  else if (index < h->directory_count) dir = h->directories[index].name;
  const char *name = f.name ? f.name : "";
  auto absolute = [](const char *p) { return p[0] == '/' || p[0] == '\\' || (p[0] && p[1] == ':'); };
  if (absolute(name) || !dir) {
    snprintf(path, KQ_PATH, "%s", name);
  } else if (absolute(dir) || !state->comp_dir) {
    snprintf(path, KQ_PATH, "%s/%s", dir, name);
  } else {
    snprintf(path, KQ_PATH, "%s/%s/%s", state->comp_dir, dir, name);
  }
  for (char *p = path; *p; p++)
    if (*p == '/') *p = '\\';
}

int by_file(const void *a, const void *b) {
  const Row *x = (const Row *)a, *y = (const Row *)b;
  if (x->file != y->file) return x->file < y->file ? -1 : 1;
  return x->address < y->address ? -1 : x->address > y->address;
}

// Runs the program, collecting the statement rows that lie in the image. A row covers the
// addresses up to the next one, so of the rows a sequence gives one address only the last
// covers any: it alone is kept.
Row *run_program(DwarfState *state, ByteCursor *c, const LineHeader *h, uint32_t *count) {
  Row *rows = nullptr;
  uint64_t address = 0;
  uint32_t file = 1, line = 1;
  bool stmt = h->default_stmt;
  uint32_t sequence_start = 0;  // the first row of the current sequence
  *count = 0;
  auto emit = [&]() {
    uint32_t at = dwarf_address(state, address);
    if (!stmt || !at) return;
    Row row = {file, line, at};
    if (*count > sequence_start && rows[*count - 1].address == at) {
      rows[*count - 1] = row;
      return;
    }
    Row *grown = (Row *)zone_append(rows, &row, sizeof row);
    if (grown) {
      rows = grown;
      (*count)++;
    }
  };
  while (c->ok && c->offset < c->size) {
    uint8_t op = cursor_u8(c);
    if (op >= h->opcode_base) {
      int adjusted = op - h->opcode_base;
      address += (uint64_t)(adjusted / h->line_range) * h->min_length;
      line += h->line_base + adjusted % h->line_range;
      emit();
      continue;
    }
    switch (op) {
      case 0: {  // extended
        uint64_t length = dwarf_uleb(c);
        if (!c->ok || length == 0 || length > c->size - c->offset) return rows;
        ByteCursor e = cursor_window(c, c->offset, (size_t)length);
        cursor_take(c, (size_t)length);
        switch (cursor_u8(&e)) {
          case LNE_end_sequence:
            sequence_start = *count;
            address = 0;
            file = line = 1;
            stmt = h->default_stmt;
            break;
          case LNE_set_address:
            address = dwarf_fixed(&e, (int)(length - 1 > 8 ? 8 : length - 1));
            break;
          default:  // files defined in the program and discriminators add nothing here
            break;
        }
        break;
      }
      case LNS_copy:
        emit();
        break;
      case LNS_advance_pc:
        address += dwarf_uleb(c) * h->min_length;
        break;
      case LNS_advance_line:
        line += (uint32_t)dwarf_sleb(c);
        break;
      case LNS_set_file:
        file = (uint32_t)dwarf_uleb(c);
        break;
      case LNS_negate_stmt:
        stmt = !stmt;
        break;
      case LNS_const_add_pc:
        address += (uint64_t)((255 - h->opcode_base) / h->line_range) * h->min_length;
        break;
      case LNS_fixed_advance_pc:
        address += cursor_u16(c);
        break;
      default: {  // a standard opcode this reader has no use for: step over its operands
        ByteCursor lengths = h->opcode_lengths;
        cursor_seek(&lengths, op - 1u);
        for (int n = cursor_u8(&lengths); n > 0; n--) dwarf_uleb(c);
      }
    }
  }
  return rows;
}

}  // namespace

void dwarf_read_lines(DwarfState *state, uint64_t offset) {
  ByteCursor c = state->sections.line;
  LineHeader h;
  memset(&h, 0, sizeof h);
  if (offset >= c.size || !cursor_seek(&c, (size_t)offset) || !read_header(state, &c, &h)) {
    state->api->printf("DWARF: damaged line program at %08X\n", (unsigned)offset);
    state->counts.damaged++;
  } else if (h.file_count) {
    uint32_t count = 0;
    Row *rows = run_program(state, &c, &h, &count);
    if (rows) qsort(rows, count, sizeof *rows, by_file);
    // Files are numbered from 1 before DWARF 5, from 0 since.
    uint32_t first_file = h.version >= 5 ? 0 : 1;
    uint32_t slots = h.file_count + first_file;
    state->sources = (DebugSource *)zone_alloc(slots * sizeof(DebugSource));
    if (state->sources) {
      memset(state->sources, 0, slots * sizeof(DebugSource));
      state->source_count = slots;
    }
    uint16_t *lines = (uint16_t *)zone_alloc(count * sizeof(uint16_t) + 2);
    uint32_t *addresses = (uint32_t *)zone_alloc(count * sizeof(uint32_t) + 4);
    for (uint32_t first = 0, next; lines && addresses && state->sources && first < count;
         first = next) {
      uint32_t file = rows[first].file;
      for (next = first; next < count && rows[next].file == file; next++) {
        lines[next - first] = (uint16_t)(rows[next].line > 0xffff ? 0xffff : rows[next].line);
        addresses[next - first] = rows[next].address;
      }
      if (file < first_file || file >= slots) continue;
      char path[KQ_PATH];
      file_path(state, &h, file - first_file, path);
      state->sources[file] =
          state->api->define_source(path, (int)(next - first), lines, addresses);
      state->counts.sources++;
      state->counts.line_pairs += next - first;
    }
    zone_free(lines);
    zone_free(addresses);
    zone_free(rows);
  }
  zone_free(h.directories);
  zone_free(h.files);
}

void dwarf_free_sources(DwarfState *state) {
  state->sources = (DebugSource *)zone_free(state->sources);
  state->source_count = 0;
}
