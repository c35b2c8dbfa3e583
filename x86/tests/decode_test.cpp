// The decoder's analysis: addresses, constants, classes, warnings, errors, modes.
#include <string.h>

#include <memory>
#include <random>
#include <vector>

#include "decode_support.h"

namespace {

struct AddressCase {
  const char *hex;
  int length, memory_kind, index_scale;
  int32_t address_constant;
  int fixup_offset, fixup_size;
  uint32_t jump_table;
  const char *text;
};

TEST_F(DecoderTest, AddressForms) {
  const AddressCase cases[] = {
      {"8B 04 24", 3, 4, 1, 0, 0, 0, 0, "mov eax,[esp]"},
      {"8B 44 24 04", 4, 4, 1, 4, 0, 0, 0, "mov eax,[esp+0x4]"},
      {"8B 4C 24 FC", 4, 4, 1, -4, 0, 0, 0, "mov ecx,[esp-0x4]"},
      {"8B 04 8D 00 10 40 00", 7, 4, 4, 0x401000, 3, 4, 0, "mov eax,[ecx*4+0x401000]"},
      {"8B 05 78 56 34 12", 6, 4, 0, 0x12345678, 2, 4, 0, "mov eax,[0x12345678]"},
      {"8B 84 88 00 01 00 00", 7, 4, 4, 0x100, 3, 4, 0, "mov eax,[eax+ecx*4+0x100]"},
      {"8B 04 65 00 00 00 00", 7, 4, 0, 0, 3, 4, 0, "mov eax,[0]"},
      {"8B 44 45 08", 4, 4, 2, 8, 0, 0, 0, "mov eax,[ebp+eax*2+0x8]"},
      {"8A 45 00", 3, 1, 1, 0, 0, 0, 0, "mov al,[ebp]"},
      {"66 8B 00", 3, 2, 1, 0, 0, 0, 0, "mov ax,[eax]"},
      {"8D 04 C0", 3, 0, 8, 0, 0, 0, 0, "lea eax,[eax+eax*8]"},
      // 16-bit addressing: base pairs, absolute words, displacements cut to 16 bits.
      {"67 8B 00", 3, 4, 1, 0, 0, 0, 0, "mov eax,[bx+si]"},
      {"67 8B 46 FE", 4, 4, 1, 0xFFFE, 0, 0, 0, "mov eax,[bp+0xFFFE]"},
      {"67 8B 06 34 12", 5, 4, 0, 0x1234, 0, 0, 0, "mov eax,[0x1234]"},
      {"67 8B 87 00 80", 5, 4, 1, 0x8000, 0, 0, 0, "mov eax,[bx+0x8000]"},
      {"67 8B 42 02", 4, 4, 1, 2, 0, 0, 0, "mov eax,[bp+si+0x2]"},
      // Segments appear when they differ from the default of the address form.
      {"36 8B 45 08", 4, 4, 1, 8, 0, 0, 0, "mov eax,[ebp+0x8]"},
      {"3E 8B 45 08", 4, 4, 1, 8, 0, 0, 0, "mov eax,ds:[ebp+0x8]"},
      {"36 8B 00", 3, 4, 1, 0, 0, 0, 0, "mov eax,ss:[eax]"},
      {"64 8B 04 24", 4, 4, 1, 0, 0, 0, 0, "mov eax,fs:[esp]"},
      {"67 36 8B 02", 4, 4, 1, 0, 0, 0, 0, "mov eax,[bp+si]"},
      {"64 A1 00 00 00 00", 6, 4, 0, 0, 2, 4, 0, "mov eax,fs:[0]"},
      // Jump tables: a 32-bit displacement beside a register, not scaled by 2 or 8.
      {"FF 24 85 00 10 40 00", 7, 4, 4, 0x401000, 3, 4, 0x401000, "jmp [eax*4+0x401000]"},
      {"FF 24 45 00 10 40 00", 7, 4, 2, 0x401000, 3, 4, 0, "jmp [eax*2+0x401000]"},
      {"FF 14 C5 00 10 40 00", 7, 4, 8, 0x401000, 3, 4, 0, "call [eax*8+0x401000]"},
      {"FF A0 00 10 40 00", 6, 4, 1, 0x401000, 2, 4, 0x401000, "jmp [eax+0x401000]"},
      {"FF 60 10", 3, 4, 1, 0x10, 0, 0, 0, "jmp [eax+0x10]"},
      {"FF 25 00 10 40 00", 6, 4, 0, 0x401000, 2, 4, 0, "jmp [0x401000]"},
      // Every 32-bit constant counts: displacement and immediate together.
      {"C7 05 00 10 40 00 01 00 00 00", 10, 4, 0, 0x401000, 2, 8, 0,
       "mov dword ptr [0x401000],0x1"},
      {"A3 00 10 40 00", 5, 4, 0, 0x401000, 1, 4, 0, "mov [0x401000],eax"},
      {"67 A1 34 12", 4, 4, 0, 0x1234, 0, 0, 0, "mov eax,[0x1234]"},
  };
  for (const AddressCase &c : cases) {
    SCOPED_TRACE(c.hex);
    Decoded d = decode_hex(c.hex);
    EXPECT_EQ(d.length, c.length);
    EXPECT_EQ(d.r.error, DE_NONE);
    EXPECT_EQ(d.r.memory_kind, c.memory_kind);
    EXPECT_EQ(d.r.index_scale, c.index_scale);
    EXPECT_EQ(d.r.address_constant, c.address_constant);
    EXPECT_EQ(d.r.fixup_offset, c.fixup_offset);
    EXPECT_EQ(d.r.fixup_size, c.fixup_size);
    EXPECT_EQ(d.r.jump_table, c.jump_table);
    EXPECT_STREQ(d.r.text, c.text);
  }
}

struct ConstantCase {
  const char *hex;
  int32_t immediate;
  uint32_t jump_target;
  int zero_constant;
  int fixup_size;
};

TEST_F(DecoderTest, ConstantsAndTargets) {
  const ConstantCase cases[] = {
      {"E8 00 00 00 00", 0, 0x401005, 0, 0},
      {"EB FE", 0, 0x401000, 0, 0},
      {"74 80", 0, 0x400F82, 0, 0},
      {"0F 84 00 01 00 00", 0, 0x401106, 0, 0},
      {"66 E9 FD FF", 0, 0x1001, 0, 0},  // 16-bit targets are cut
      {"E3 FE", 0, 0x401000, 0, 0},
      {"66 B8 34 12", 0x1234, 0, 0, 0},
      {"B8 78 56 34 12", 0x12345678, 0, 0, 4},
      {"68 00 10 40 00", 0x401000, 0, 0, 4},
      {"6A 00", 0, 0, 1, 0},
      {"6A FF", -1, 0, 0, 0},
      {"83 C0 F0", -16, 0, 0, 0},
      {"66 83 C0 F0", 0xFFF0, 0, 0, 0},
      {"04 F0", 0xF0, 0, 0, 0},
      {"6B C0 FF", -1, 0, 0, 0},
      {"C2 10 00", 0x10, 0, 0, 0},
      {"C8 10 00 01", 0x10, 0, 0, 0},  // the first immediate
      {"D1 E0", 1, 0, 0, 0},
      {"C1 E0 05", 5, 0, 0, 0},
      {"CD 21", 0x21, 0, 0, 0},
      {"A1 00 00 00 00", 0, 0, 1, 4},
      {"EA 00 10 40 00 1B 00", 0x1B, 0x401000, 0, 4},
      {"9A 00 00 00 00 1B 00", 0x1B, 0, 1, 4},
      {"66 EA 34 12 1B 00", 0x1B, 0x1234, 0, 0},  // the operand size sets the offset
      {"67 EA 78 56 34 12 1B 00", 0x1B, 0x12345678, 0, 4},
  };
  for (const ConstantCase &c : cases) {
    SCOPED_TRACE(c.hex);
    Decoded d = decode_hex(c.hex, DECODE_ANALYSE);
    EXPECT_EQ(d.r.error, DE_NONE);
    EXPECT_EQ(d.r.immediate, c.immediate);
    EXPECT_EQ(d.r.jump_target, c.jump_target);
    EXPECT_EQ(d.r.zero_constant, c.zero_constant);
    EXPECT_EQ(d.r.fixup_size, c.fixup_size);
  }
}

struct ClassCase {
  const char *hex;
  int length, command_class, warnings, error;
};

TEST_F(DecoderTest, ClassesWarningsAndErrors) {
  const ClassCase cases[] = {
      // Repeated prefixes make a one-byte pseudo-command.
      {"66 66 90", 1, CF_RARE, DW_PREFIX, DE_NONE},
      {"F0 F0 01 08", 1, CF_RARE, DW_PREFIX | DW_LOCK, DE_NONE},
      {"2E 3E 90", 1, CF_RARE, DW_PREFIX, DE_NONE},
      {"F3 F2 A4", 1, CF_RARE, DW_PREFIX, DE_NONE},
      // Superfluous and rare prefixes.
      {"2E 90", 2, CC_GENERAL | CF_RARE, DW_PREFIX, DE_NONE},
      {"67 90", 2, CC_GENERAL | CF_RARE, DW_PREFIX, DE_NONE},
      {"67 8B 00", 3, CC_GENERAL | CF_RARE, 0, DE_NONE},
      {"67 E3 10", 3, CC_JMC | CF_RARE, 0, DE_NONE},
      {"64 A1 00 00 00 00", 6, CC_GENERAL | CF_RARE, 0, DE_NONE},
      {"F0 01 08", 3, CC_GENERAL | CF_RARE, DW_LOCK, DE_NONE},
      {"F0 0F 0F C1 BF", 5, CC_3DNOW + 1, DW_LOCK, DE_NONE},  // flags would spoil the size
      // Hazards.
      {"CD 20 11 22 33 44", 2, CC_CALL | CF_RARE, DW_CRASH, DE_NONE},
      {"F7 DC", 2, CC_GENERAL | CF_SHOWSIZE, DW_CRASH, DE_NONE},
      {"F7 D4", 2, CC_GENERAL | CF_SHOWSIZE, DW_CRASH, DE_NONE},
      {"F0 0F C7 C8", 4, CC_GENERAL | CF_SHOWSIZE | CF_RARE,
       DW_LOCK | DW_CRASH | DW_LOCKCRASH, DE_MEMORY},
      {"0F C7 C8", 3, CC_GENERAL | CF_SHOWSIZE | CF_RARE, 0, DE_MEMORY},
      // Stack alignment and shift counts.
      {"83 C4 02", 3, CC_GENERAL | CF_SHOWSIZE | CF_RARE, DW_STACK, DE_NONE},
      {"83 C4 04", 3, CC_GENERAL | CF_SHOWSIZE, 0, DE_NONE},
      {"83 EC 06", 3, CC_GENERAL | CF_SHOWSIZE | CF_RARE, DW_STACK, DE_NONE},
      {"81 C4 02 01 00 00", 6, CC_GENERAL | CF_SHOWSIZE | CF_RARE, DW_STACK, DE_NONE},
      {"44", 1, CC_GENERAL | CF_RARE, DW_STACK, DE_NONE},
      {"4C", 1, CC_GENERAL | CF_RARE, DW_STACK, DE_NONE},
      {"C2 03 00", 3, CC_RET, DW_STACK, DE_NONE},
      {"C1 E0 20", 3, CC_GENERAL | CF_SHOWSIZE | CF_RARE, DW_SHIFT, DE_NONE},
      {"C1 E0 00", 3, CC_GENERAL | CF_SHOWSIZE | CF_RARE, DW_SHIFT, DE_NONE},
      {"C1 E0 1F", 3, CC_GENERAL | CF_SHOWSIZE, 0, DE_NONE},
      // Segment changes, privilege, ports, far transfers.
      {"8E D8", 2, CC_GENERAL | CF_RARE, DW_SEGMENT, DE_NONE},
      {"1F", 1, CC_POP | CF_RARE, DW_SEGMENT, DE_NONE},
      {"0F A1", 2, CC_POP | CF_RARE, DW_SEGMENT, DE_NONE},
      {"06", 1, CC_PUSH | CF_RARE, 0, DE_NONE},
      {"C5 00", 2, CC_GENERAL | CF_RARE, DW_SEGMENT, DE_NONE},
      {"F4", 1, CC_HALT | CF_RARE, DW_PRIVILEGED, DE_NONE},
      {"0F 22 C0", 3, CC_GENERAL | CF_RARE, DW_PRIVILEGED, DE_NONE},
      {"0F 20 C0", 3, CC_GENERAL | CF_RARE, DW_PRIVILEGED, DE_NONE},
      {"0F AA", 2, CC_IRET | CF_RARE, DW_PRIVILEGED, DE_NONE},
      {"E4 60", 2, CC_GENERAL | CF_RARE, DW_IO, DE_NONE},
      {"EE", 1, CC_GENERAL | CF_RARE, DW_IO, DE_NONE},
      {"EA 00 10 40 00 1B 00", 7, CC_JMP | CF_RARE, DW_FAR, DE_NONE},
      {"CB", 1, CC_RET | CF_RARE, DW_FAR, DE_NONE},
      {"FF 18", 2, CC_CALL | CF_SHOWSIZE | CF_RARE, 0, DE_NONE},
      // Classes.
      {"C3", 1, CC_RET, 0, DE_NONE},
      {"9D", 1, CC_POPF, 0, DE_NONE},
      {"CF", 1, CC_IRET | CF_RARE, 0, DE_NONE},
      {"F3 A5", 2, CC_REP | CF_SHOWSIZE, 0, DE_NONE},
      {"0F FC C1", 3, CC_MMX + 1, 0, DE_NONE},
      {"D9 E8", 2, CC_FPU, 0, DE_NONE},
      {"0F 0F C1 B4", 4, CC_3DNOW + 4, 0, DE_NONE},
      // Errors: unknown, cut, bad segment, wrong operand form.
      {"0F FF", 2, CC_BAD, 0, DE_BADCMD},
      {"FF FF", 2, CC_BAD, 0, DE_BADCMD},
      {"C0 F0 01", 1, CC_BAD, 0, DE_BADCMD},
      {"F1 90", 1, CC_BAD, 0, DE_BADCMD},
      {"F1", 1, CC_BAD, 0, DE_CROSS},
      {"66 0F FF", 3, CC_BAD, 0, DE_BADCMD},
      {"E8 12 34", 1, CC_CALL, 0, DE_CROSS},
      {"66", 1, CC_BAD, 0, DE_CROSS},
      {"0F 0F 44 24", 1, CC_BAD, 0, DE_CROSS},
      {"0F 0F C1 00", 2, CC_BAD, 0, DE_BADCMD},
      {"8C F0", 2, CC_GENERAL | CF_RARE, 0, DE_BADSEG},
      {"8D C0", 2, CC_GENERAL, 0, DE_MEMORY},
      {"0F B2 C0", 3, CC_GENERAL | CF_RARE, 0, DE_MEMORY},
      {"0F 71 10 01", 4, CC_MMX + 2, 0, DE_REGISTER},
      {"0F D7 00", 3, CC_MMX + 1, 0, DE_REGISTER},
      {"0F 22 00", 2, CC_BAD, 0, DE_BADCMD},
      // F3 before a command without a REP form of its own stays refused, prefix included.
      {"F3 C3 90", 2, CC_BAD, 0, DE_BADCMD},
      {"F2 90 90", 2, CC_BAD, 0, DE_BADCMD},
      {"F2 0F BC C1", 3, CC_BAD, 0, DE_BADCMD},
      {"F3 0F B8 C1", 3, CC_BAD, 0, DE_BADCMD},
      // PAUSE and the REP forms of BSF and BSR at their true length.
      {"F3 90", 2, CC_GENERAL, 0, DE_NONE},
      {"F3 90 90", 2, CC_GENERAL, 0, DE_NONE},
      {"66 F3 90", 3, CC_GENERAL, 0, DE_NONE},
      {"F3 0F BC C1", 4, CC_GENERAL | CF_RARE, 0, DE_NONE},
      {"F3 0F BD 44 24 04", 6, CC_GENERAL | CF_RARE, 0, DE_NONE},
      {"66 F3 0F BC 05 00 10 40 00", 9, CC_GENERAL | CF_RARE, 0, DE_NONE},
      {"F3 0F BC", 2, CC_GENERAL | CF_RARE, 0, DE_CROSS},
  };
  for (const ClassCase &c : cases) {
    SCOPED_TRACE(c.hex);
    Decoded d = decode_hex(c.hex, DECODE_ANALYSE);
    EXPECT_EQ(d.length, c.length);
    EXPECT_EQ(d.r.command_class, c.command_class);
    EXPECT_EQ(d.r.warnings, c.warnings);
    EXPECT_EQ(d.r.error, c.error);
  }
}

TEST_F(DecoderTest, PrefixesAreCounted) {
  EXPECT_EQ(decode_hex("66 67 F3 A5").r.prefix_count, 3);
  EXPECT_EQ(decode_hex("90").r.prefix_count, 0);
  EXPECT_EQ(decode_hex("66 66 90").r.prefix_count, 1);
}

TEST_F(DecoderTest, LengthModeSkipsHazardsAndText) {
  Decoded d = decode_hex("CD 20 11 22 33 44", DECODE_LENGTH);
  EXPECT_EQ(d.length, 2);
  EXPECT_EQ(d.r.warnings & DW_CRASH, 0);
  EXPECT_STREQ(d.r.text, "");
  g_decoder_options.hide_crash = 1;
  EXPECT_EQ(decode_hex("CD 20", DECODE_ANALYSE).r.warnings & DW_CRASH, 0);
  EXPECT_NE(decode_hex("F0 0F C7 C8", DECODE_ANALYSE).r.warnings & DW_LOCKCRASH, 0);
}

TEST_F(DecoderTest, VxdCallsWhenAsked) {
  g_decoder_options.vxd_calls = 1;
  Decoded d = decode_hex("CD 20 01 00 01 00");
  EXPECT_EQ(d.length, 6);
  EXPECT_STREQ(d.r.text, "vxdcall 0x10001");
  EXPECT_EQ(d.r.immediate, 0x10001);
  EXPECT_EQ(d.r.command_class, CC_CALL | CF_RARE);
  EXPECT_EQ(d.r.warnings, DW_CRASH);
  EXPECT_STREQ(decode_hex("CD 20 00 80 01 00").r.text, "vxdjump 0x18000");
  g_decoder_options.lower_case = 0;
  EXPECT_STREQ(decode_hex("CD 20 00 80 01 00").r.text, "VxDJump 0x18000");
  EXPECT_STREQ(decode_hex("CD 21").r.text, "INT 0x21");
}

TEST_F(DecoderTest, EmptyInput) {
  DisasmResult r;
  uint8_t byte = 0x90;
  EXPECT_EQ(decode_command(&byte, 0, 0x1000, &r, DECODE_TEXT), 0);
  EXPECT_EQ(r.address, 0x1000u);
  EXPECT_EQ(r.command_class, CC_BAD);
}

// Any bytes: a length within the bytes, text within its field, and the same length and
// error in every mode. The bytes stand in a block of exactly their count, so that the
// sanitizer sees a read past them.
TEST_F(DecoderTest, AnyBytesDecodeWithinBounds) {
  std::mt19937 rng(11);
  g_decoder_options.vxd_calls = 1;
  for (int i = 0; i < 200000; i++) {
    int count = 1 + (int)(rng() % 16);
    std::vector<uint8_t> bytes(count);
    for (uint8_t &b : bytes) b = (uint8_t)rng();
    // Favour prefixes and the escape bytes, where the decoder branches most.
    const uint8_t kLead[] = {0x66, 0x67, 0xF3, 0xF2, 0xF0, 0x2E, 0x64, 0x0F, 0xD9, 0xDF};
    for (int j = 0; j < count && rng() % 3 == 0; j++) bytes[j] = kLead[rng() % 10];
    std::unique_ptr<uint8_t[]> block(new uint8_t[count]);
    memcpy(block.get(), bytes.data(), count);
    DisasmResult a, t;
    int la = decode_command(block.get(), count, rng(), &a, DECODE_ANALYSE);
    int lt = decode_command(block.get(), count, a.address, &t, DECODE_SYMBOLIC);
    ASSERT_GE(la, 1);
    ASSERT_LE(la, count);
    ASSERT_EQ(la, lt);
    ASSERT_EQ(a.error, t.error);
    ASSERT_LT(strlen(t.text), (size_t)DISASM_TEXT);
    ASSERT_GT(strlen(t.text), 0u);
    ASSERT_LT(strlen(t.hex_dump), (size_t)DISASM_TEXT);
  }
}

// Condition nibbles against the conditions written out flag by flag.
TEST(JumpTaken, EveryConditionUnderEveryFlagCombination) {
  const uint32_t CF = 0x1, PF = 0x4, ZF = 0x40, SF = 0x80, OF = 0x800;
  for (uint32_t bits = 0; bits < 32; bits++) {
    uint32_t flags = (bits & 1 ? CF : 0) | (bits & 2 ? PF : 0) | (bits & 4 ? ZF : 0) |
                     (bits & 8 ? SF : 0) | (bits & 16 ? OF : 0);
    bool cf = flags & CF, pf = flags & PF, zf = flags & ZF, sf = flags & SF, of = flags & OF;
    const bool taken[16] = {of,  !of, cf,  !cf, zf,  !zf,         cf || zf,  !(cf || zf),
                            sf,  !sf, pf,  !pf, sf != of, sf == of, zf || sf != of,
                            !zf && sf == of};
    for (int cc = 0; cc < 16; cc++) {
      EXPECT_EQ(jump_taken(cc, flags), taken[cc]) << "cc " << cc << " flags " << flags;
      // Other bits of EFLAGS change nothing.
      EXPECT_EQ(jump_taken(cc, flags | 0x202 | 0x10), taken[cc]);
    }
  }
}

}  // namespace
