// Address names written and read back, and the decoder naming jump targets through them.
#include <string.h>

#include "symbols/address_name.h"
#include "symbols/entries.h"
#include "symbols_fixture.h"
#include "x86/disasm.h"

namespace {

typedef SymbolsTest Naming;

const uint32_t kVersion = 0x10000000, kLz = 0x20000000;

TEST_F(Naming, NamesFromInsideAndOutsideTheModule) {
  ASSERT_TRUE(load(wine_dll("version.dll"), kVersion, 0x1C000));
  ASSERT_TRUE(load(wine_dll("lz32.dll"), kLz, 0x10000));
  entry_define("heap_thing", 0x30000000, nullptr, nullptr);  // in no module
  const uint32_t query = kVersion + 0x1290;                   // VerQueryValueA
  struct Case {
    uint32_t reference, address;
    bool offsets;
    const char *text;
    bool named;
  };
  const Case cases[] = {
      {query, query, true, "VerQueryValueA", true},
      {query, query + 0x12, true, "VerQueryValueA+/0x12", true},
      {query, query + 0x12, false, "0x100012A2", false},
      {kLz, query, false, "<version.dll>+/VerQueryValueA", true},
      {kLz, query + 0x12, true, "<version.dll>+/VerQueryValueA+/0x12", true},
      {kLz, kVersion + 0x10, true, "<version.dll>+/0x10", true},  // below every export
      {kLz, kVersion, true, "<version.dll>", true},
      {query, kVersion + 0x10, true, "0x10000010", false},
      {kVersion, 0x30000000, true, "heap_thing", true},
      {kVersion, 0x30000008, true, "heap_thing+/0x8", true},
      {kVersion, 0x2FFFFFFF, true, "0x2FFFFFFF", false},  // lz32's entries do not name it
      {kVersion, 0x50, true, "0x50", false},
  };
  for (const Case &c : cases) {
    char text[300];
    SCOPED_TRACE(c.text);
    EXPECT_EQ(c.named, address_name(c.reference, c.address, c.offsets, text, sizeof text));
    EXPECT_STREQ(c.text, text);
    uint32_t back = 0;
    int consumed = 0;
    if (c.address >= kVersion && c.address < 0x30000000) {
      ASSERT_TRUE(address_read(text, &back, &consumed));
      EXPECT_EQ(c.address, back);
      EXPECT_EQ((int)strlen(text), consumed);
    }
  }
  char cut[8];
  address_name(kLz, query, true, cut, sizeof cut);
  EXPECT_STREQ("<versio", cut);
  // A name longer than any buffer (debug information is untrusted) is cut, not overrun.
  std::string long_name(5000, 'n');
  entry_define(long_name.c_str(), 0x30000100, nullptr, nullptr);
  char text[600];
  EXPECT_TRUE(address_name(kLz, 0x30000104, true, text, sizeof text));
  EXPECT_EQ(std::string(text), long_name.substr(0, strlen(text)));
}

// Every export of two real DLLs, exact and with an offset, named from another module and
// read back to the same address.
TEST_F(Naming, EveryExportRoundTrips) {
  ModuleRecord *k = load(wine_dll("kernel32.dll"), 0x7B000000, 0x100000);
  ASSERT_TRUE(load(wine_dll("version.dll"), kVersion, 0x1C000));
  ASSERT_TRUE(k);
  int checked = 0;
  for (int i = 0; i < k->export_count; i++) {
    for (uint32_t offset : {0u, 1u}) {
      uint32_t a = k->exports[i].address + offset;
      char text[300];
      ASSERT_TRUE(address_name(kVersion, a, true, text, sizeof text));
      uint32_t back = 0;
      int consumed = 0;
      ASSERT_TRUE(address_read(text, &back, &consumed)) << text;
      // Several names at one address keep one entry; any of them reads back there.
      EXPECT_EQ(a, back) << text;
      checked++;
    }
  }
  EXPECT_GT(checked, 2000);
  uint32_t a = 0;
  EXPECT_TRUE(symbol_address("VerQueryValueA", &a));
  EXPECT_EQ(kVersion + 0x1290, a);
  EXPECT_TRUE(symbol_address("<version.dll>+/0x10", &a));
  EXPECT_EQ(kVersion + 0x10, a);
  EXPECT_TRUE(symbol_address("0x1234", &a));
  EXPECT_EQ(0x1234u, a);
  EXPECT_FALSE(symbol_address("<user32.dll>+/MessageBoxA", &a));
  EXPECT_FALSE(symbol_address("NoSuchSymbol", &a));
  EXPECT_FALSE(symbol_address("VerQueryValueA junk", &a));
}

// Disassembly names an exact symbol by its name alone, whatever module the code stands
// in and wherever the debuggee stopped last: a call, a jump, a displacement and a pushed
// constant, from code outside every module, in another module and in the symbol's own.
TEST_F(Naming, DecoderNamesExactSymbolsByThemselves) {
  ASSERT_TRUE(load(wine_dll("version.dll"), kVersion, 0x1C000));
  ASSERT_TRUE(load(wine_dll("lz32.dll"), kLz, 0x10000));
  const uint32_t query = kVersion + 0x1290;  // VerQueryValueA
  g_decoder_options.symbolic = 1;
  struct Case {
    uint8_t opcode[2];  // E8 call, E9 jump (relative); A1 load, 68 push (absolute)
    bool relative;
    uint32_t target;
    const char *text;
  };
  const Case cases[] = {
      {{0xE8}, true, query, "call VerQueryValueA"},
      {{0xE9}, true, query, "jmp VerQueryValueA"},
      {{0xA1}, false, query, "mov eax,[VerQueryValueA]"},
      {{0x68}, false, query, "push VerQueryValueA"},
      {{0xE8}, true, query + 2, "call 0x10001292"},  // only exact addresses are named
      {{0x68}, false, kVersion, "push 0x10000000"},  // a module without a symbol there
  };
  for (uint32_t code_at : {0x400000u, kLz + 0x1000, kVersion + 0x2000}) {
    for (const Case &c : cases) {
      SCOPED_TRACE(c.text);
      uint32_t v = c.relative ? c.target - (code_at + 5) : c.target;
      uint8_t code[5] = {c.opcode[0], (uint8_t)v, (uint8_t)(v >> 8), (uint8_t)(v >> 16),
                         (uint8_t)(v >> 24)};
      DisasmResult r;
      decode_command(code, 5, code_at, &r, DECODE_SYMBOLIC);
      EXPECT_STREQ(c.text, r.text) << "code at " << std::hex << code_at;
    }
  }
  g_decoder_options.symbolic = 0;
}

}  // namespace
