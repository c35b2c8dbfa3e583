// Helpers of the decoder tests: commands written as hex text, and options that every
// test starts from.
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "x86/disasm.h"

inline std::vector<uint8_t> hex_bytes(const char *hex) {
  std::vector<uint8_t> bytes;
  char *end;
  for (const char *p = hex; *p;) {
    unsigned long b = strtoul(p, &end, 16);
    if (end == p) break;
    bytes.push_back((uint8_t)b);
    p = end;
  }
  return bytes;
}

struct Decoded {
  DisasmResult r;
  int length;
};

inline Decoded decode_hex(const char *hex, int mode = DECODE_TEXT, uint32_t address = 0x401000) {
  std::vector<uint8_t> bytes = hex_bytes(hex);
  Decoded d;
  d.length = decode_command(bytes.data(), (int)bytes.size(), address, &d.r, mode);
  return d;
}

// Restores the start-up options after each test.
struct DecoderTest : ::testing::Test {
  DecoderOptions saved;
  void SetUp() override {
    saved = g_decoder_options;
    g_decoder_options = DecoderOptions();
  }
  void TearDown() override { g_decoder_options = saved; }
};
