// Bytes built and patched in memory for the readers' tests: little-endian fields, and a
// small PE image (headers at 0x40, the optional header 0xE0 long, the section table at
// 0x138) whose sections and directories a test fills in.
#pragma once
#include <stdint.h>
#include <string.h>

#include <vector>

typedef std::vector<uint8_t> Bytes;

inline void put16(Bytes *b, size_t at, uint32_t v) {
  (*b)[at] = (uint8_t)v;
  (*b)[at + 1] = (uint8_t)(v >> 8);
}
inline void put32(Bytes *b, size_t at, uint32_t v) {
  put16(b, at, v & 0xFFFF);
  put16(b, at + 2, v >> 16);
}
inline uint32_t get16(const Bytes &b, size_t at) { return b[at] | b[at + 1] << 8; }
inline uint32_t get32(const Bytes &b, size_t at) { return get16(b, at) | get16(b, at + 2) << 16; }
inline void append16(Bytes *b, uint32_t v) {
  b->resize(b->size() + 2);
  put16(b, b->size() - 2, v);
}
inline void append32(Bytes *b, uint32_t v) {
  b->resize(b->size() + 4);
  put32(b, b->size() - 4, v);
}

struct PeBuilder {
  enum : uint32_t { PE = 0x40, OPTIONAL = PE + 24, OPTIONAL_SIZE = 0xE0,
                    SECTIONS = OPTIONAL + OPTIONAL_SIZE };
  Bytes bytes;

  // An i386 image of size bytes with no sections yet.
  PeBuilder(size_t size, uint32_t image_base, uint32_t subsystem = 0,
            uint32_t characteristics = 0) : bytes(size) {
    put16(&bytes, 0, 0x5A4D);
    put32(&bytes, 0x3C, PE);
    put32(&bytes, PE, 0x4550);
    put16(&bytes, PE + 4, 0x14C);
    put32(&bytes, PE + 8, 0x12345678);  // time stamp
    put16(&bytes, PE + 20, OPTIONAL_SIZE);
    put16(&bytes, PE + 22, characteristics);
    put16(&bytes, OPTIONAL, 0x10B);
    put32(&bytes, OPTIONAL + 16, 0x1010);  // entry
    put32(&bytes, OPTIONAL + 28, image_base);
    put16(&bytes, OPTIONAL + 68, subsystem);
    put32(&bytes, OPTIONAL + 92, 16);  // directories
  }
  static size_t section_field(int index, int offset) { return SECTIONS + 40 * index + offset; }
  // Section index (the count grows to hold it).
  void section(int index, const char *name, uint32_t virtual_size, uint32_t rva,
               uint32_t raw_size, uint32_t raw_offset, uint32_t flags) {
    if (get16(bytes, PE + 6) <= (uint32_t)index) put16(&bytes, PE + 6, index + 1);
    memcpy(&bytes[section_field(index, 0)], name, strlen(name));
    const uint32_t fields[][2] = {{8, virtual_size}, {12, rva}, {16, raw_size},
                                  {20, raw_offset}, {36, flags}};
    for (auto &f : fields) put32(&bytes, section_field(index, f[0]), f[1]);
  }
  void directory(int index, uint32_t rva, uint32_t size) {
    put32(&bytes, OPTIONAL + 96 + index * 8, rva);
    put32(&bytes, OPTIONAL + 100 + index * 8, size);
  }
};
