// The evaluator over a fake debuggee: sparse memory, a register record and the real
// symbol stores (symbols_fixture.h), so expressions run on the host.
#pragma once
#include <string.h>

#include <map>
#include <string>

#include "symbols/entries.h"
#include "symbols/sources.h"
#include "symbols/eval/expression.h"
#include "symbols/tests/symbols_fixture.h"
#include "symbols/types.h"

struct FakeDebuggee {
  std::map<uint32_t, uint8_t> memory;  // readable bytes
  EvalRegisters regs;
  uint32_t reference;
  int writes;
};
inline FakeDebuggee g_fake;

inline bool fake_read(uint32_t address, void *buffer, uint32_t size) {
  for (uint32_t i = 0; i < size; i++) {
    auto it = g_fake.memory.find(address + i);
    if (it == g_fake.memory.end()) return false;
    ((uint8_t *)buffer)[i] = it->second;
  }
  return true;
}

inline bool fake_write(uint32_t address, const void *buffer, uint32_t size) {
  for (uint32_t i = 0; i < size; i++)
    if (!g_fake.memory.count(address + i)) return false;
  for (uint32_t i = 0; i < size; i++) g_fake.memory[address + i] = ((const uint8_t *)buffer)[i];
  g_fake.writes++;
  return true;
}

inline bool fake_read_registers(EvalRegisters *out) {
  *out = g_fake.regs;
  return true;
}

inline bool fake_write_registers(const EvalRegisters *in) {
  g_fake.regs = *in;
  g_fake.writes++;
  return true;
}

inline uint32_t fake_reference() { return g_fake.reference; }

class EvalTest : public SymbolsTest {
 protected:
  void SetUp() override {
    SymbolsTest::SetUp();
    g_fake = FakeDebuggee();
    static const EvalEnvironment env = {fake_read, fake_write, fake_read_registers,
                                        fake_write_registers, fake_reference};
    expression_set_environment(&env);
  }
  void TearDown() override {
    expression_set_environment(nullptr);
    SymbolsTest::TearDown();
  }
  static void poke(uint32_t address, const void *bytes, size_t n) {
    for (size_t i = 0; i < n; i++) g_fake.memory[address + (uint32_t)i] = ((const uint8_t *)bytes)[i];
  }
  static void poke32(uint32_t address, uint32_t value) { poke(address, &value, 4); }
  static uint32_t peek32(uint32_t address) {
    uint32_t v = 0;
    fake_read(address, &v, 4);
    return v;
  }
  // A small program: two modules, a frame with locals, a source with its own symbol,
  // structures, arrays, pointers and an enum, with their memory.
  void define_world() {
    load("/nonexistent/app.exe", 0x400000, 0x10000);
    load("/nonexistent/lib.dll", 0x10000000, 0x10000);
    TypeRecord *lng = type_base(BT_LONG), *chr = type_base(BT_CHAR);
    TypeRecord *node = type_define_struct("Node", 12);
    type_define_member(node, "value", 0, lng);
    type_define_member(node, "next", 4, type_define_pointer(node));
    type_define_member(node, "name", 8, type_define_pointer(chr));
    TypeRecord *frame = type_define_frame("frame_main", nullptr, 0x401000, 0x401100);
    type_define_member(frame, "local", -8, lng);
    entry_define("main", 0x401000, frame, nullptr);
    entry_define("func", 0x401200, type_define_function(nullptr, lng, 0), nullptr);
    entry_define("counter", 0x1100, lng, nullptr);
    entry_define("head", 0x1200, node, nullptr);
    entry_define("table", 0x1300, type_define_array(lng, 32), nullptr);
    entry_define("text", 0x1400, type_define_array(chr, 16), nullptr);
    entry_define("ptr", 0x1500, type_define_pointer(lng), nullptr);
    entry_define("back", 0x1504, type_define_pointer(lng), nullptr);
    entry_define("color", 0x1600, type_define_enum("Color", lng), nullptr);
    entry_define("dup", 0x1700, lng, nullptr);
    const uint16_t lines[] = {1, 2};
    const uint32_t addresses[] = {0x401000, 0x401050};
    SourceRecord *source = source_define("app.c", 2, lines, addresses);
    entry_define("dup", 0x1704, lng, source);  // the source's own, seen from inside it
    entry_define("Export", 0x10001000, nullptr, nullptr);
    g_fake.regs.r[ER_EIP] = 0x401010;
    g_fake.reference = 0x401000;
    g_fake.regs.r[ER_EBP] = 0x2000;
    poke32(0x1FF8, 42);  // local
    poke32(0x1100, 7);
    const uint32_t nodes[] = {10, 0x120C, 0x1400, 20, 0, 0};
    poke(0x1200, nodes, sizeof nodes);
    for (uint32_t i = 0; i < 8; i++) poke32(0x1300 + 4 * i, i + 1);
    poke(0x1400, "hello\0world\0\0\0\0", 16);
    poke32(0x1500, 0x1300);
    poke32(0x1504, 0x1308);
    poke32(0x1600, 2);
    poke32(0x1700, 1);
    poke32(0x1704, 2);
  }
  // "type: text" of the evaluated value, or "error: message".
  static std::string show(const char *text) {
    ValueDescriptor v;
    if (!expression_evaluate(text, &v)) {
      const char *e = expression_last_error();
      return std::string("error: ") + (e ? e : "(none)");
    }
    char type[100], value[300];
    expression_format_type(v.type, type, sizeof type);
    expression_format_value(&v, value, sizeof value);
    return std::string(type) + ": " + value;
  }
};
