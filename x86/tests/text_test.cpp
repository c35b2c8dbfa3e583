// The disassembly text: operands, options, comments, hex dumps, names, float values.
#include <string.h>

#include <string>

#include "decode_support.h"

namespace {

struct TextCase {
  const char *hex;
  const char *text;
};

void expect_texts(const TextCase *cases, size_t n, int mode = DECODE_TEXT) {
  for (size_t i = 0; i < n; i++) {
    SCOPED_TRACE(cases[i].hex);
    EXPECT_STREQ(decode_hex(cases[i].hex, mode).r.text, cases[i].text);
  }
}

#define EXPECT_TEXTS(cases) expect_texts(cases, sizeof cases / sizeof *cases)

TEST_F(DecoderTest, StartUpOptions) {
  const TextCase cases[] = {
      {"C7 45 FC 00 00 00 00", "mov dword ptr [ebp-0x4],0x0"},
      {"8B 45 08", "mov eax,[ebp+0x8]"},
      {"83 E0 F0", "and eax,0xFFFFFFF0"},
      {"83 C0 F0", "add eax,-0x10"},
      {"8B 85 00 C0 FF FF", "mov eax,[ebp+0xFFFFC000]"},
      {"8B 85 01 C0 FF FF", "mov eax,[ebp-0x3FFF]"},
      {"A1 00 00 00 00", "mov eax,[0]"},
      {"D9 30", "fstenv [eax]"},
      {"64 A1 00 00 00 00", "mov eax,fs:[0]"},
      {"EA 00 10 40 00 1B 00", "jmp far 0x001B:00401000"},
      {"8B 45 1C", "mov eax,[ebp+0x1C]"},
      // Negative immediates down to -16384; logical, shift and word counts never.
      {"05 00 C0 FF FF", "add eax,-0x4000"},
      {"05 FF BF FF FF", "add eax,0xFFFFBFFF"},
      {"25 00 C0 FF FF", "and eax,0xFFFFC000"},
      {"6A FF", "push -0x1"},
      {"6B C0 FF", "imul eax,eax,-0x1"},
      {"C2 FC FF", "retn 0xFFFC"},
      {"80 C0 F0", "add al,0xF0"},
      {"66 83 C0 F0", "add ax,0xFFF0"},
      // Registers, segments, FPU and MMX names.
      {"8C D8", "mov ax,ds"},
      {"8E D0", "mov ss,ax"},
      {"0F 20 E0", "mov eax,cr4"},
      {"0F 23 F9", "mov dr7,ecx"},
      {"D8 C1", "fadd st(0),st(1)"},
      {"DC C1", "fadd st(1),st(0)"},
      {"DE E9", "fsubp st(1),st(0)"},
      {"D9 C9", "fxch st(1)"},
      {"DF E0", "fstsw ax"},
      {"0F 6F C1", "movq mm0,mm1"},
      {"0F 6E C8", "movd mm1,eax"},
      {"0F 71 D1 04", "psrlw mm1,0x4"},
      {"0F 0F C1 BF", "pavgusb mm0,mm1"},
      {"0F 0F 44 24 08 9E", "pfadd mm0,qword ptr [esp+0x8]"},
      {"0F C5 C1 02", "pextrw eax,mm1,0x2"},
      // Size keywords: shown for classes that ask for them and for MMX and 3DNow!.
      {"FF 75 08", "push dword ptr [ebp+0x8]"},
      {"0F B6 45 08", "movzx eax,byte ptr [ebp+0x8]"},
      {"0F BF 00", "movsx eax,word ptr [eax]"},
      {"DD 45 F8", "fld qword ptr [ebp-0x8]"},
      {"DB 28", "fld tbyte ptr [eax]"},
      {"DF 20", "fbld tbyte ptr [eax]"},
      {"DA 00", "fiadd dword ptr [eax]"},
      {"0F D5 00", "pmullw mm0,qword ptr [eax]"},
      {"FF 18", "call far fword ptr [eax]"},
      {"66 FF 28", "jmp far dword ptr [eax]"},
      {"FF 20", "jmp [eax]"},
      {"C4 00", "les eax,[eax]"},
      // Mnemonic spellings by operand and address size.
      {"60", "pushad"},
      {"66 60", "pusha"},
      {"9D", "popfd"},
      {"66 CF", "iret"},
      {"99", "cdq"},
      {"66 99", "cwd"},
      {"E3 00", "jecxz 0x401002"},
      {"67 E3 00", "jcxz 0x401003"},
      {"E2 00", "loopd 0x401002"},
      {"67 E2 00", "loop 0x401003"},
      {"E1 00", "loopde 0x401002"},
      {"67 E0 00", "loopne 0x401003"},
      {"C3", "ret"},
      {"74 00", "je 0x401002"},
      {"0F 95 C0", "setne al"},
      {"0F 4F C1", "cmovg eax,ecx"},
      // Prefixes.
      {"F0 01 08", "lock add [eax],ecx"},
      {"66 66 90", "prefix datasize:"},
      {"F3 F3 A4", "prefix repe:"},
      {"F3 90", "pause"},
      {"F3 0F BC C1", "rep bsf eax,ecx"},
      {"66 F3 0F BD 00", "rep bsr ax,[eax]"},
      {"26 26 90", "prefix es:"},
      {"0F FF", "???"},
      {"8C F0", "mov ax,seg?"},
      {"E8 12 34", "???"},
  };
  EXPECT_TEXTS(cases);
}

TEST_F(DecoderTest, StringCommands) {
  const TextCase cases[] = {
      {"A4", "movsb"},
      {"A5", "movsd"},
      {"66 A5", "movsw"},
      {"F3 A5", "rep movsd"},
      {"66 F3 A5", "rep movsw"},
      {"F3 66 AB", "rep stosw"},
      {"F2 AE", "repne scasb"},
      {"F3 A6", "repe cmpsb"},
      {"6D", "insd"},
      {"66 6F", "outsw"},
      {"F3 6C", "rep insb"},
      {"D7", "xlat byte ptr [ebx+al]"},
      // A segment or address-size prefix keeps the operands that show it.
      {"26 A4", "movs byte ptr es:[edi],byte ptr es:[esi]"},
      {"67 AC", "lods byte ptr [si]"},
      {"F3 2E A5", "rep movs dword ptr es:[edi],dword ptr cs:[esi]"},
      {"67 D7", "xlat byte ptr [bx+al]"},
  };
  EXPECT_TEXTS(cases);
  g_decoder_options.short_string_forms = 0;
  const TextCase long_forms[] = {
      {"A5", "movs dword ptr es:[edi],dword ptr [esi]"},
      {"66 A5", "movs word ptr es:[edi],word ptr [esi]"},
      {"F3 AB", "rep stos dword ptr es:[edi]"},
      {"F2 AE", "repne scas byte ptr es:[edi]"},
      {"AD", "lods dword ptr [esi]"},
      {"6E", "outs dx,byte ptr [esi]"},
  };
  EXPECT_TEXTS(long_forms);
}

TEST_F(DecoderTest, LayoutOptions) {
  g_decoder_options.lower_case = 0;
  const TextCase upper[] = {
      {"8B 45 1C", "MOV EAX,[EBP+0x1C]"},
      {"C7 45 FC 00 00 00 00", "MOV DWORD PTR [EBP-0x4],0x0"},
      {"EA 00 10 40 00 1B 00", "JMP FAR 0x001B:00401000"},
      {"66 66 90", "PREFIX DATASIZE:"},
      {"D9 30", "FSTENV [EAX]"},
  };
  EXPECT_TEXTS(upper);
  g_decoder_options = DecoderOptions();
  g_decoder_options.tab_arguments = 1;
  const TextCase tabs[] = {
      {"8B 45 08", "mov     eax,[ebp+0x8]"},
      {"F3 A5", "rep     movsd"},
      {"F3 0F BC C1", "rep     bsf eax,ecx"},
      {"90", "nop"},
      {"0F 0F C1 B4", "pfmul   mm0,mm1"},
      {"0F 0D 00", "prefetch qword ptr [eax]"},
      {"F0 01 08", "lock add [eax],ecx"},
  };
  EXPECT_TEXTS(tabs);
  g_decoder_options = DecoderOptions();
  g_decoder_options.space_after_comma = 1;
  const TextCase spaced[] = {
      {"8B 45 08", "mov eax, [ebp+0x8]"},
      {"6B C0 FF", "imul eax, eax, -0x1"},
  };
  EXPECT_TEXTS(spaced);
}

TEST_F(DecoderTest, MemoryOperandOptions) {
  g_decoder_options.always_show_size = 1;
  const TextCase sized[] = {
      {"8B 45 08", "mov eax,dword ptr [ebp+0x8]"},
      {"D9 30", "fstenv (28-byte) ptr [eax]"},
      {"DD 30", "fsave (108-byte) ptr [eax]"},
      {"0F AE 00", "fxsave (512-byte) ptr [eax]"},
      {"8D 00", "lea eax,[eax]"},
      {"62 00", "bound eax,qword ptr [eax]"},
      {"0F 01 00", "sgdt fword ptr [eax]"},
  };
  EXPECT_TEXTS(sized);
  g_decoder_options.brackets_first = 1;
  const TextCase brackets[] = {
      {"8B 45 08", "mov eax,[dword ebp+0x8]"},
      {"62 00", "bound eax,[dword eax]"},
      {"64 A1 00 00 00 00", "mov eax,[dword fs:0]"},
  };
  EXPECT_TEXTS(brackets);
  g_decoder_options = DecoderOptions();
  g_decoder_options.brackets_first = 1;
  EXPECT_STREQ(decode_hex("C7 45 FC 00 00 00 00").r.text, "mov [dword ebp-0x4],0x0");
  g_decoder_options = DecoderOptions();
  g_decoder_options.show_default_segment = 1;
  const TextCase segments[] = {
      {"8B 45 08", "mov eax,ss:[ebp+0x8]"},
      {"8B 00", "mov eax,ds:[eax]"},
      {"8B 04 24", "mov eax,ss:[esp]"},
      {"A5", "movsd"},
      {"AB", "stosd"},
  };
  EXPECT_TEXTS(segments);
  g_decoder_options = DecoderOptions();
  g_decoder_options.near_keyword = 1;
  const TextCase near[] = {
      {"FF 20", "jmp near [eax]"},
      {"FF E0", "jmp eax"},
      {"FF 18", "call far fword ptr [eax]"},
  };
  EXPECT_TEXTS(near);
}

TEST_F(DecoderTest, SizeSuffixOption) {
  struct {
    int option;
    const char *hex, *text;
  } cases[] = {
      {1, "60", "pushad"}, {1, "66 60", "pushaw"}, {1, "67 E2 00", "loopw 0x401003"},
      {2, "60", "pusha"},  {2, "66 60", "pushaw"}, {2, "E2 00", "loop 0x401002"},
      {2, "9C", "pushf"},
  };
  for (auto &c : cases) {
    g_decoder_options.size_suffix = c.option;
    EXPECT_STREQ(decode_hex(c.hex).r.text, c.text) << c.hex;
  }
}

struct CommentCase {
  const char *hex;
  const char *comment;
};

TEST_F(DecoderTest, CommentsInOrderOfPrecedence) {
  const CommentCase cases[] = {
      {"0F FF", "Invalid command"},
      {"8D C0", "Invalid command"},
      {"F4", "Privileged command"},
      {"F0 F4", "Privileged command"},
      {"E4 60", "I/O command"},
      {"F3 6C", "I/O command"},
      {"EA 00 10 40 00 1B 00", "Far jump"},
      {"9A 00 10 40 00 1B 00", "Far call"},
      {"CB", "Far return"},
      {"CA 03 00", "Far return"},
      {"8E D8", "Modification of segment register"},
      {"07", "Modification of segment register"},
      {"C1 E0 20", "Shift constant out of range 1..31"},
      {"2E 90", "Superfluous prefix"},
      {"66 66 90", "Superfluous prefix"},
      {"F0 01 08", "LOCK prefix"},
      {"83 C4 02", "Unaligned stack operation"},
      {"CD 20", ""},
      {"90", ""},
  };
  for (const CommentCase &c : cases) EXPECT_STREQ(decode_hex(c.hex).r.comment, c.comment) << c.hex;
}

TEST_F(DecoderTest, HiddenWarningsFallThroughToTheNext) {
  struct {
    int DecoderOptions::*hide;
    const char *hex, *comment;
  } cases[] = {
      {&DecoderOptions::hide_privileged, "F0 F4", "LOCK prefix"},
      {&DecoderOptions::hide_io, "E4 60", ""},
      {&DecoderOptions::hide_far, "CA 03 00", "Unaligned stack operation"},
      {&DecoderOptions::hide_far, "C5 00", ""},
      {&DecoderOptions::hide_shift, "C1 E0 20", ""},
      {&DecoderOptions::hide_prefix, "66 66 90", ""},
      {&DecoderOptions::hide_prefix, "F0 F0 90", ""},
      {&DecoderOptions::hide_lock, "F0 01 08", ""},
      {&DecoderOptions::hide_stack, "83 C4 02", ""},
  };
  for (auto &c : cases) {
    g_decoder_options = DecoderOptions();
    g_decoder_options.*c.hide = 1;
    EXPECT_STREQ(decode_hex(c.hex).r.comment, c.comment) << c.hex;
  }
}

TEST_F(DecoderTest, HexDumps) {
  const TextCase cases[] = {
      {"8B 44 24 04", "8B4424 04"},
      {"66 B8 34 12", "66:B8 3412"},
      {"C7 45 FC 00 00 00 00", "C745 FC 00000000"},
      {"C7 05 00 10 40 00 01 00 00 00", "C705 00104000 01000000"},
      {"0F 0F 44 24 08 9E", "0F0F4424 08 9E"},
      {"F3 A5", "F3:A5"},
      {"F3 90", "F3:90"},
      {"F3 0F BD 48 04", "F3:0FBD48 04"},
      {"F3 C3", "F3:C3"},
      {"66 66 90", "66:"},
      {"0F FF", "0FFF"},
      {"66 0F FF", "66:0FFF"},
      {"E8 12 34", "E8"},
      {"90", "90"},
  };
  for (const TextCase &c : cases) EXPECT_STREQ(decode_hex(c.hex).r.hex_dump, c.text) << c.hex;
}

// A symbol table of the test: exact addresses only; 0x403000 has a name longer than
// any buffer.
int test_namer(uint32_t address, char *buffer, int buflen) {
  const char *name = address == 0x401234 ? "Start" : address == 0x402000 ? "Table" : nullptr;
  if (address == 0x403000) {
    memset(buffer, 'N', buflen - 1);
    buffer[buflen - 1] = '\0';
    return buflen - 1;
  }
  if (!name) return 0;
  snprintf(buffer, buflen, "%s", name);
  return (int)strlen(buffer);
}

struct NamingTest : DecoderTest {
  void SetUp() override {
    DecoderTest::SetUp();
    set_address_namer(test_namer);
  }
  void TearDown() override {
    set_address_namer(nullptr);
    DecoderTest::TearDown();
  }
};

TEST_F(NamingTest, NamesOnlyInSymbolicModeWithTheOption) {
  // E8 at 0x401000 calling 0x401234.
  const char *call = "E8 2F 02 00 00";
  g_decoder_options.symbolic = 1;
  EXPECT_STREQ(decode_hex(call, DECODE_SYMBOLIC).r.text, "call Start");
  EXPECT_STREQ(decode_hex(call, DECODE_TEXT).r.text, "call 0x401234");
  const TextCase named[] = {
      {"68 34 12 40 00", "push Start"},
      {"25 34 12 40 00", "and eax,0x401234"},
      {"8B 05 00 20 40 00", "mov eax,[Table]"},
      {"8B 04 85 00 20 40 00", "mov eax,[eax*4+Table]"},
  };
  expect_texts(named, sizeof named / sizeof *named, DECODE_SYMBOLIC);
  g_decoder_options.symbolic = 0;
  Decoded d = decode_hex(call, DECODE_SYMBOLIC);
  EXPECT_STREQ(d.r.text, "call 0x401234");
  EXPECT_STREQ(d.r.comment, "Start");
  EXPECT_STREQ(decode_hex("68 34 12 40 00", DECODE_SYMBOLIC).r.text, "push 0x401234");
  // A warning's text wins over the name.
  EXPECT_STREQ(decode_hex("F0 E8 2E 02 00 00", DECODE_SYMBOLIC).r.comment, "LOCK prefix");
}

TEST_F(NamingTest, LongNamesAreCut) {
  g_decoder_options.symbolic = 1;
  // E9 at 0x401000 jumping to 0x403000.
  Decoded jump = decode_hex("E9 FB 1F 00 00", DECODE_SYMBOLIC);
  EXPECT_EQ(strlen(jump.r.text), 231u);
  EXPECT_EQ(std::string(jump.r.text, 4), "jmp ");
  for (const char *hex : {"68 00 30 40 00", "8B 05 00 30 40 00"}) {
    Decoded named = decode_hex(hex, DECODE_SYMBOLIC);
    EXPECT_EQ(strlen(named.r.text), (size_t)DISASM_TEXT - 1) << hex;
  }
  g_decoder_options.symbolic = 0;
  Decoded commented = decode_hex("E9 FB 1F 00 00", DECODE_SYMBOLIC);
  EXPECT_EQ(strlen(commented.r.comment), (size_t)DISASM_TEXT - 1);
}

TEST(FormatDouble, SpecialValuesAndDigits) {
  struct {
    uint32_t low, high;
    const char *text;
  } cases[] = {
      {0, 0x7FF80000, "+NAN 7FF80000 00000000"},
      {1, 0x7FF00000, "+NAN 7FF00000 00000001"},
      {0, 0xFFF80000, "-NAN FFF80000 00000000"},
      {0, 0x7FF00000, "+INF"},
      {0, 0xFFF00000, "-INF"},
      {0, 0, "0.0"},
      {0, 0x80000000, "0.0"},
      {0, 0x3FF00000, "1.000000000000000"},
      {0, 0xC0000000, "-2.000000000000000"},
      {0x54442D18, 0x400921FB, "3.141592653589793"},
      {0, 0x7FE00000, "8.988465674311580e+307"},
      {1, 0, "4.940656458412465e-324"},
  };
  for (auto &c : cases) {
    char text[64];
    int n = format_double(text, c.low, c.high);
    EXPECT_STREQ(text, c.text);
    EXPECT_EQ(n, (int)strlen(c.text));
  }
}

// A debuggee of 32 bytes at 0x1000: a call, then bytes that end the memory.
const uint8_t kMemory[] = {0xE8, 0x2F, 0x02, 0x00, 0x00, 0x90, 0xE8, 0x12};

int read_memory(uint32_t address, uint8_t *out, int count) {
  if (address < 0x1000 || address >= 0x1000 + sizeof kMemory) return 0;
  int n = (int)(0x1000 + sizeof kMemory - address);
  if (n > count) n = count;
  memcpy(out, kMemory + (address - 0x1000), n);
  return n;
}

TEST_F(DecoderTest, TextAtAnAddressReadsThroughTheReader) {
  char text[DISASM_TEXT];
  EXPECT_EQ(disasm_text_at(0x1000, text, read_memory), 5);
  EXPECT_STREQ(text, "call 0x1234");
  EXPECT_EQ(disasm_text_at(0x1005, text, read_memory), 1);
  EXPECT_STREQ(text, "nop");
  EXPECT_EQ(disasm_text_at(0x1006, text, read_memory), 1);
  EXPECT_STREQ(text, "???");
  EXPECT_EQ(disasm_text_at(0x2000, text, read_memory), 0);
  EXPECT_STREQ(text, "???");
}

}  // namespace
