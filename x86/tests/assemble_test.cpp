// The assembler: the documented examples, every error message with the input that
// raises it, masks of patterns, and the lexer's number forms.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "decode_support.h"
#include "x86/assemble.h"

namespace {

std::string hex_of(const uint8_t *bytes, int length) {
  std::string s;
  char b[4];
  for (int i = 0; i < length; i++) {
    snprintf(b, sizeof b, i ? " %02X" : "%02X", bytes[i]);
    s += b;
  }
  return s;
}

struct Assembled {
  int status;
  AsmResult r;
  char error[ASM_ERROR_TEXT];
  std::string code() const { return hex_of(r.code, r.length); }
  std::string mask() const { return hex_of(r.mask, r.length); }
};

Assembled assemble(const char *text, int constant_sizes = 0, uint32_t address = 0x401000,
                   int match_index = 0) {
  Assembled a;
  a.status = assemble_command(text, address, &a.r, match_index, constant_sizes, a.error);
  return a;
}

using AssembleTest = DecoderTest;

TEST_F(AssembleTest, Encodings) {
  struct Case {
    const char *text;
    int constant_sizes;
    const char *code;
  } cases[] = {
      {"MOV EAX,10", 0, "C7 C0 10 00 00 00"},  // the C6/C7 row stands before B8
      {"MOV EAX,10.", 0, "C7 C0 0A 00 00 00"},
      {"MOV EAX,10h", 0, "C7 C0 10 00 00 00"},
      {"MOV EAX,'A'", 0, "C7 C0 41 00 00 00"},
      {"PUSHA", 0, "66 60"},
      {"PUSHAD", 0, "60"},
      {"CWDE", 0, "98"},
      {"CBW", 0, "66 98"},
      {"JCXZ 0x401000", 0, "67 E3 FD"},
      {"MOV DWORD PTR [EAX],1", 0, "C7 00 01 00 00 00"},
      {"LEA EAX,[EAX*3]", 0, "8D 04 40"},
      {"LEA EAX,[EBP]", 0, "8D 85 00 00 00 00"},  // no short displacement allowed
      {"LEA EAX,[ESP]", 0, "8D 04 24"},
      {"LEA EAX,[EBP+ECX]", 0, "8D 04 29"},  // swapped: EBP as base needs a displacement
      {"LEA EAX,[ECX*4]", 0, "8D 04 8D 00 00 00 00"},
      {"LEA EAX,[ECX*2+4]", 1, "8D 44 09 04"},  // [ECX+ECX+4] is shorter
      {"MOV EAX,[EBX][ECX*4]", 0, "8B 04 8B"},
      {"MOV EAX,[ESI+LOCAL.2]", 1, "8B 46 F8"},
      {"MOV EAX,[EBP+ARG.1]", 1, "8B 45 08"},
      {"MOV EAX,FS:[0]", 0, "64 8B 05 00 00 00 00"},
      {"MOV EAX,DS:[EBP+4]", 1, "3E 8B 45 04"},
      {"MOV AX,[EBX]", 0, "66 8B 03"},
      {"ADD EAX,5", 0, "81 C0 05 00 00 00"},
      {"ADD EAX,5", 2, "83 C0 05"},
      {"ADD AL,-1", 0, "80 C0 FF"},  // the 80 row stands before the AL row
      {"PUSH 5", 2, "6A 05"},
      {"PUSH FS", 0, "0F A0"},
      {"POP ES", 0, "07"},
      {"MOV ES,AX", 0, "8E C0"},
      {"MOV EAX,CR0", 0, "0F 20 C0"},
      {"SHL EAX,1", 0, "C1 E0 01"},
      {"SHL BYTE PTR [EAX],CL", 0, "D2 20"},
      {"IN AL,DX", 0, "EC"},
      {"OUT 0x60,AX", 0, "66 E7 60"},
      {"INSB", 0, "6C"},
      {"REP MOVSD", 0, "F3 A5"},
      {"REPNZ SCASB", 0, "F2 AE"},
      {"REP MOVSW", 0, "66 F3 A5"},
      {"LOCK ADD [EAX],ECX", 0, "F0 01 08"},
      {"XLAT BYTE PTR [EBX+AL]", 0, "D7"},
      {"ENTER 0x10,1", 0, "C8 10 00 01"},
      {"RETN 8", 0, "C2 08 00"},
      {"JMP 0x401000", 0, "EB FE"},
      {"JMP 0x402000", 0, "E9 FB 0F 00 00"},
      {"JMP LONG 0x401000", 0, "E9 FB FF FF FF"},
      {"CALL 0x401000", 0, "E8 FB FF FF FF"},
      {"JMP FAR 0x1B:0x401000", 0, "EA 00 10 40 00 1B 00"},
      {"JMP FAR FWORD PTR [EAX]", 0, "FF 28"},
      {"CALL FWORD PTR [EBX]", 0, "FF 1B"},  // the size alone picks the far form
      {"CALL FAR DWORD PTR [EBX]", 0, "66 FF 1B"},
      {"LDS AX,DWORD PTR [EBX]", 0, "66 C5 03"},
      {"PAUSE", 0, "F3 90"},
      {"REP BSF EAX,ECX", 0, "F3 0F BC C1"},
      {"REP BSR AX,[EAX]", 0, "66 F3 0F BD 00"},
      {"CALL DWORD PTR [EAX*4+0x401000]", 0, "FF 14 85 00 10 40 00"},
      {"FLD ST(3)", 0, "D9 C3"},
      {"FADD ST,ST(2)", 0, "D8 C2"},
      {"FLD QWORD PTR [EAX]", 0, "DD 00"},
      {"FSTENV [EAX]", 0, "D9 30"},
      {"PADDB MM1,MM2", 0, "0F FC CA"},
      {"PFADD MM0,[EAX]", 0, "0F 0F 00 9E"},
      {"MOVZX EAX,BYTE PTR [ECX]", 0, "0F B6 01"},
      {"MOVSX AX,BYTE PTR [ECX]", 0, "66 0F BE 01"},
      {"BOUND EAX,QWORD PTR [ECX]", 0, "62 01"},
      {"NOP ; a comment", 0, "90"},
  };
  for (const Case &c : cases) {
    Assembled a = assemble(c.text, c.constant_sizes);
    EXPECT_EQ(a.code(), c.code) << c.text << ": " << a.error;
    EXPECT_EQ(a.status, a.r.length) << c.text;
  }
}

TEST_F(AssembleTest, ErrorMessages) {
  struct Case {
    const char *text;
    const char *error;
  } cases[] = {
      {"", "NULL input line"},
      {"MOV EAX,0x10h", "Please don't mix 0xXXXX and XXXXh forms"},
      {"MOV EAX,0x", "Hexadecimal digits after 0x... expected"},
      {"MOV EAX,1A.", "Not a decimal number"},
      {"MOV EAX,1.5E", "Invalid exponent"},
      {"MOV EAX,1.5", "Floating-point numbers are not allowed in command"},
      {"MOV AL,''", "Empty character constant"},
      {"MOV AL,'ab'", "Unterminated character constant"},
      {"MOV EAX,nowhere", "Unknown identifier"},
      {"FLD ST(8)", "FPU registers have indexes 0 to 7"},
      {"FLD ST(1", "Closing parenthesis expected"},
      {"MOV EAX,[LOCAL]", "Integer number expected"},
      {"MOV EAX,-EBX", "Integer number expected"},
      {"MOV [EAX],1", "Please specify operand size"},
      {"MOV AX,EBX", "Command does not support given operands"},
      {"BSF AX,EBX", "Different size of operands"},
      {"PUSH QWORD PTR [EAX]", "Bad operand size"},
      {"XLAT WORD PTR [EBX+AL]", "Bad operand size"},
      {"MOV EAX,[EBX+ECX*3]", "Too many registers"},
      {"MOV EAX,[EAX+ECX+EDX]", "Too many registers"},
      {"MOV EAX,[EAX*2+ECX*2]", "Only one register may be scaled"},
      {"MOV EAX,[EAX*6]", "Invalid scale"},
      {"MOV EAX,[EAX*CONST]", "Undefined scale is not allowed"},
      {"MOV EAX,[CONST*2]", "Undefined scale is not allowed"},
      {"MOV EAX,[EAX*X]", "Unknown identifier"},
      {"MOV EAX,[EAX*ECX]", "Syntax error"},
      {"MOV EAX,[EAX ECX]", "Syntax error"},
      {"MOV EAX,[EAX", "Syntax error"},
      {"MOV EAX,[BX]", "Sorry, 16-bit addressing is not supported"},
      {"MOV EAX,[4-EBX]", "Unable to subtract register"},
      {"MOV EAX,[ESP*2]", "Invalid indexing mode"},
      {"MOV AL,[EBX+AL+AL]", "Too many registers"},
      {"XLAT [ECX+AL]", "Invalid address"},
      {"MOV EAX,DWORD PTR WORD PTR [EAX]", "Duplicated size modifier"},
      {"MOV EAX,FS:GS:[EAX]", "Duplicated segment register"},
      {"MOV EAX,DWORD PTR FS [EAX]", "Semicolon expected"},
      {"MOV EAX,[EAX] [EBX]", "Only one opening bracket allowed"},
      {"MOV EAX,DWORD PTR 5", "Address expression requires brackets"},
      {"MOV EAX,PTR", "Unrecognized operand"},
      {"MOV EAX,1:X", "Unknown identifier"},
      {"JMP 1:EAX", "Integer address expected"},
      {"JMP SHORT LONG 0", "Invalid combination of jump address modifiers"},
      {"JMP SHORT FAR 0", "Invalid combination of jump address modifiers"},
      {"JMP NEAR EAX", "Jump address modifier is not allowed"},
      {"JMP FAR 0x401000", "Command does not support given operands"},
      {"JECXZ LONG 0x401000", "Invalid jump size modifier"},
      {"POP CS", "Unable to POP CS"},
      {"REP REP MOVSB", "Duplicated REP prefix"},
      {"LOCK LOCK NOP", "Duplicated LOCK prefix"},
      {"LOCK", "Command mnemonic expected"},
      {"MOVABCDEFGHIJKLMNOP EAX", "Command mnemonic expected"},
      {"FOO EAX", "Unrecognized command"},
      {"MOV EAX,[EBX] xyz", "Extra input after operand"},
      {"IMUL EAX,EBX,1,2", "Extra input after operand"},
      {"MOV EAX", "Too few operands"},
      {"NOP EAX", "Too many operands"},
      {"BSF AX,BL", "Bad operand size"},
      {"INT 0x100", "Constant out of expected range"},
      {"ADD AL,0x100", "Constant does not fit into operand"},
      {"MOVS BYTE PTR FS:[EDI],BYTE PTR [ESI]", "Invalid segment register"},
      {"JMP SHORT 0x402000", "Relative jump out of range, use JMP LONG form"},
      {"LOOP 0x402000", "Relative jump out of range, use LOOP LONG form"},
  };
  for (const Case &c : cases) {
    Assembled a = assemble(c.text);
    EXPECT_STREQ(a.error, c.error) << c.text;
    EXPECT_LE(a.status, 0) << c.text;
    EXPECT_LE(-a.status, (int)strlen(c.text)) << c.text;
    EXPECT_EQ(a.r.length, 0) << c.text;
  }
}

TEST_F(AssembleTest, ErrorPositions) {
  EXPECT_EQ(assemble("  FOO EAX").status, -2);  // the start of the mnemonic
  EXPECT_EQ(assemble("MOV EAX,[EAX*6]").status, -14);
  EXPECT_EQ(assemble("MOV EAX,0x10h").status, -8);
}

TEST_F(AssembleTest, PatternMasks) {
  struct Case {
    const char *text;
    const char *code, *mask;
  } cases[] = {
      {"MOV EAX,CONST", "C7 C0 00 00 00 00", "FF FF 00 00 00 00"},
      {"MOV R32,[EBP+CONST]", "8B 45 00", "FF C7 00"},
      {"PUSH R32", "50", "F8"},
      {"ADD R8,CONST", "80 C0 00", "FD F8 00"},  // no S bit for bytes: 82 is 80
      {"FLD FPU", "D9 C0", "FF F8"},
      {"PADDB MMX,MM2", "0F FC C2", "FF FF C7"},
      {"JCC 0", "70 FE", "F0 00"},  // the condition and the offset stay open
      {"MOV EAX,[R32*4+0x10]", "8B 04 85 10 00 00 00", "FF FF C7 FF FF FF FF"},
      {"MOV EAX,CRX", "0F 20 C0", "FF FF C7"},
  };
  for (const Case &c : cases) {
    Assembled a = assemble(c.text, 3, 0);
    EXPECT_EQ(a.code(), c.code) << c.text << ": " << a.error;
    EXPECT_EQ(a.mask(), c.mask) << c.text;
  }
}

TEST_F(AssembleTest, RelativeJumps) {
  // Address 0: the offset stays open and jump_offset is for the address 0.
  Assembled open = assemble("CALL 0x1000", 0, 0);
  EXPECT_EQ(open.code(), "E8 FB 0F 00 00");
  EXPECT_EQ(open.mask(), "FF 00 00 00 00");
  EXPECT_EQ(open.r.jump_size, 4);
  EXPECT_EQ(open.r.jump_position, 1);
  EXPECT_EQ(open.r.jump_offset, 0x1000 - 5);
  Assembled fixed = assemble("JE 0x401010", 0, 0x401000);
  EXPECT_EQ(fixed.code(), "74 0E");
  EXPECT_EQ(fixed.mask(), "FF FF");
  EXPECT_EQ(fixed.r.jump_size, 1);
  // Out of reach of the short row: the second pass takes the long one.
  EXPECT_EQ(assemble("JE 0x402000", 0, 0x401000).code(), "0F 84 FA 0F 00 00");
}

// Every row that fits, for the same text, decodes back to that text.
TEST_F(AssembleTest, AllMatchIndicesDecodeBack) {
  const char *texts[] = {"mov eax,[0x401000]", "add eax,0x5", "xchg ecx,eax", "test al,0x1",
                         "jmp 0x401000", "mov al,cl"};
  for (const char *text : texts) {
    int fitting = 0;
    for (int index = 0; index < 8; index++) {
      Assembled a = assemble(text, 3, 0x401000, index);
      if (a.status <= 0) break;
      fitting++;
      DisasmResult d;
      decode_command(a.r.code, a.r.length, 0x401000, &d, DECODE_TEXT);
      EXPECT_STREQ(d.text, text) << "row " << index << ": " << a.code();
    }
    EXPECT_GE(fitting, 2) << text;
  }
}

int fake_resolver(const char *name, uint32_t *address) {
  if (strcmp(name, "main") != 0) return 0;
  *address = 0x401234;
  return 1;
}

int g_written;
uint8_t g_written_bytes[ASM_CODE];
int fake_writer(uint32_t address, const uint8_t *bytes, int count) {
  memcpy(g_written_bytes, bytes, (size_t)count);
  g_written = count;
  return count;
}

TEST_F(AssembleTest, SymbolsAndWriting) {
  set_symbol_resolver(fake_resolver);
  EXPECT_EQ(assemble("MOV EAX,main").code(), "C7 C0 34 12 40 00");
  set_symbol_resolver(nullptr);
  EXPECT_STREQ(assemble("MOV EAX,main").error, "Unknown identifier");
  // constant_sizes 0 fits first, so the long form is written.
  EXPECT_EQ(assemble_and_write(0x401000, "ADD EAX,5", fake_writer), 6);
  EXPECT_EQ(hex_of(g_written_bytes, g_written), "81 C0 05 00 00 00");
  g_written = 0;
  EXPECT_EQ(assemble_and_write(0x401000, "ADD EAX", fake_writer), 0);
  EXPECT_EQ(g_written, 0);
}

}  // namespace
