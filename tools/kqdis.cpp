// kqdis: the command decoder on a file, one command a line:
//   ADDRESS LENGTH HEXBYTES  TEXT  ; COMMENT
// An undecodable byte is shown alone as "???" and the walk steps on by one byte.
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "tools/file_bytes.h"
#include "tools/pe_sections.h"
#include "x86/disasm.h"

namespace {

const char kUsage[] =
    "usage: kqdis FILE [--base HEX] [--offset N] [--count N] [--lower] [--pe]\n"
    "  --base HEX   address of the file's first byte (with --pe: the image base)\n"
    "  --offset N   start at this file offset (not with --pe)\n"
    "  --count N    stop after N commands\n"
    "  --lower      lower-case text\n"
    "  --pe         disassemble the code sections of a 32-bit PE image at their addresses\n";

struct Options {
  const char *path;
  uint32_t base;
  bool has_base;
  uint32_t offset;
  bool has_offset;
  long count;  // negative: no limit
  bool lower;
  bool pe;
};

int usage_error(const char *what, const char *arg) {
  fprintf(stderr, "kqdis: %s%s\n%s", what, arg, kUsage);
  return 2;
}

// Parses an unsigned 32-bit number of the radix (0: decimal or 0x-prefixed hex).
bool parse_u32(const char *text, int radix, uint32_t *out) {
  char *end;
  errno = 0;
  unsigned long long value = strtoull(text, &end, radix);
  if (errno || end == text || *end || text[0] == '-' || value > 0xFFFFFFFFull) return false;
  *out = (uint32_t)value;
  return true;
}

// Gives 0 when the options are good, else the exit code after the message.
int parse_options(int argc, char **argv, Options *o) {
  *o = Options{nullptr, 0, false, 0, false, -1, false, false};
  for (int i = 1; i < argc; i++) {
    const char *arg = argv[i];
    bool takes_value =
        !strcmp(arg, "--base") || !strcmp(arg, "--offset") || !strcmp(arg, "--count");
    if (takes_value && i + 1 >= argc) return usage_error("missing value after ", arg);
    const char *value = takes_value ? argv[i + 1] : nullptr;
    uint32_t n = 0;
    if (arg[0] != '-' || arg[1] == 0) {
      if (o->path) return usage_error("more than one file: ", arg);
      o->path = arg;
    } else if (!strcmp(arg, "--lower")) {
      o->lower = true;
    } else if (!strcmp(arg, "--pe")) {
      o->pe = true;
    } else if (!strcmp(arg, "--base")) {
      if (!parse_u32(value, 16, &o->base)) return usage_error("bad --base: ", value);
      o->has_base = true;
    } else if (!strcmp(arg, "--offset")) {
      if (!parse_u32(value, 0, &o->offset)) return usage_error("bad --offset: ", value);
      o->has_offset = true;
    } else if (!strcmp(arg, "--count")) {
      if (!parse_u32(value, 0, &n)) return usage_error("bad --count: ", value);
      o->count = (long)n;
    } else {
      return usage_error("unknown option: ", arg);
    }
    i += takes_value ? 1 : 0;
  }
  if (!o->path) return usage_error("no file given", "");
  if (o->pe && o->has_offset) return usage_error("--offset does not go with --pe", "");
  return 0;
}

// Prints the commands of bytes[0..size) standing at address, while *budget allows
// (a negative budget has no limit).
void disassemble(const uint8_t *bytes, size_t size, uint32_t address, long *budget) {
  DisasmResult r;
  size_t pos = 0;
  while (pos < size && *budget != 0) {
    int avail = size - pos < 16 ? (int)(size - pos) : 16;
    uint32_t at = address + (uint32_t)pos;
    int length = decode_command(bytes + pos, avail, at, &r, DECODE_TEXT);
    if (r.error != DE_NONE) length = 1;
    char hex[2 * 16 + 1];
    for (int i = 0; i < length; i++) snprintf(hex + 2 * i, 3, "%02X", bytes[pos + i]);
    printf("%08X %d %s  %s", (unsigned)at, length, hex, r.text);
    if (r.comment[0]) printf("  ; %s", r.comment);
    putchar('\n');
    pos += (size_t)length;
    if (*budget > 0) --*budget;
  }
}

int disassemble_pe(const Options *o, const FileBytes *file) {
  PeImage image;
  const char *why = pe_read_sections(file->data, file->size, &image);
  if (why) {
    fprintf(stderr, "kqdis: %s: not a 32-bit PE image we can read: %s\n", o->path, why);
    return 1;
  }
  uint32_t base = o->has_base ? o->base : image.optional.image_base;
  long budget = o->count;
  int code_sections = 0;
  for (int i = 0; i < image.section_count; i++) {
    const PeSectionHeader *s = &image.sections[i];
    if (!pe_is_code(s)) continue;
    code_sections++;
    if (budget == 0) continue;
    uint32_t size = pe_section_size(s);
    printf("; section %s at %08X, %lu bytes\n", s->name, (unsigned)(base + s->rva),
           (unsigned long)size);
    disassemble(file->data + s->raw_offset, size, base + s->rva, &budget);
  }
  if (code_sections == 0) {
    fprintf(stderr, "kqdis: %s: the image has no code section\n", o->path);
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  Options o;
  int status = parse_options(argc, argv, &o);
  if (status) return status;
  FileBytes file;
  if (!file_bytes_read(o.path, &file)) {
    fprintf(stderr, "kqdis: cannot read %s\n", o.path);
    return 1;
  }
  g_decoder_options.lower_case = o.lower ? 1 : 0;
  if (o.pe) {
    status = disassemble_pe(&o, &file);
  } else if (o.offset > file.size) {
    fprintf(stderr, "kqdis: offset %lu is past the end of %s (%lu bytes)\n",
            (unsigned long)o.offset, o.path, (unsigned long)file.size);
    status = 1;
  } else {
    long budget = o.count;
    disassemble(file.data + o.offset, file.size - o.offset, o.base + o.offset, &budget);
  }
  file_bytes_free(&file);
  return status;
}
