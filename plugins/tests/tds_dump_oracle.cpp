#include "plugins/tests/tds_dump_oracle.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

uint32_t DumpRecord::u32(size_t at) const {
  return at + 4 <= bytes.size() ? (uint32_t)(bytes[at] | bytes[at + 1] << 8 |
                                             bytes[at + 2] << 16 | (uint32_t)bytes[at + 3] << 24)
                                : 0;
}

uint16_t DumpRecord::u16(size_t at) const {
  return at + 2 <= bytes.size() ? (uint16_t)(bytes[at] | bytes[at + 1] << 8) : 0;
}

std::string TdsDump::name(uint32_t index) const {
  return index >= 1 && index <= names.size() ? names[index - 1] : std::string();
}

namespace {

std::vector<uint8_t> from_hex(const char *hex) {
  std::vector<uint8_t> bytes;
  for (; hex[0] && hex[1] && hex[0] != '\n'; hex += 2) {
    char pair[3] = {hex[0], hex[1], 0};
    bytes.push_back((uint8_t)strtoul(pair, nullptr, 16));
  }
  return bytes;
}

}  // namespace

bool tds_dump_read(const std::string &tdsdump, const std::string &path, TdsDump *dump) {
  std::string command = "'" + tdsdump + "' '" + path + "'";
  FILE *out = popen(command.c_str(), "r");
  if (!out) return false;
  static char line[1 << 20];
  while (fgets(line, sizeof line, out)) {
    char word[32] = "", text[300] = "";
    unsigned a = 0, b = 0, c = 0, d = 0, e = 0;
    int at = 0;
    sscanf(line, "%31s", word);
    if (!strcmp(word, "signature") && sscanf(line, "signature %299s at %u directory %u", text,
                                             &a, &b) == 3) {
      dump->signature = text;
      dump->directory = b;
    } else if (!strcmp(word, "subsection") && sscanf(line, "subsection %x", &a) == 1) {
      dump->subsections[(uint16_t)a]++;
    } else if (!strcmp(word, "name") && sscanf(line, "name %u%n", &a, &at) == 1) {
      // One blank after the index: a name may begin with blanks of its own.
      std::string name(line + at + 1);
      if (!name.empty() && name.back() == '\n') name.pop_back();
      dump->names.push_back(name);
    } else if (!strcmp(word, "type") && sscanf(line, "type %x %x %n", &a, &b, &at) == 2) {
      dump->types.push_back({0, (uint16_t)b, from_hex(line + at)});
    } else if (!strcmp(word, "symbol") && sscanf(line, "symbol %u %x %n", &a, &b, &at) == 2) {
      dump->symbols.push_back({a, (uint16_t)b, from_hex(line + at)});
    } else if (!strcmp(word, "global")) {
      dump->globals++;
    } else if (!strcmp(word, "file") && sscanf(line, "file %u %u", &a, &b) == 2) {
      dump->files.push_back({a, b, {}, {}, {}});
    } else if (!strcmp(word, "pair") &&
               sscanf(line, "pair %u %u %u %x %u", &a, &b, &c, &d, &e) == 5 &&
               !dump->files.empty()) {
      DumpFile &file = dump->files.back();
      file.segments.push_back((uint16_t)c);
      file.offsets.push_back(d);
      file.lines.push_back((uint16_t)e);
    } else if (!strcmp(word, "overrun")) {
      (strstr(line, "overrun global") ? dump->global_overruns : dump->overruns)++;
    }
  }
  return pclose(out) == 0;
}
