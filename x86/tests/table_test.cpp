// The command table as data: size, order of the mnemonics, the flag and bit rows, and
// that every row the decoder should reach is reached.
#include <ctype.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "x86/command_index.h"
#include "x86/command_table.h"

namespace {

// The mnemonics in table order, each at its first row.
const char kMnemonicOrder[] =
    "NOP|MOV|PUSH|CALL|LEA|JE,JZ|POP|ADD|JNZ,JNE|JMP|TEST|XOR|CMP|RET,RETN|INC|SUB|JLE,JNG|"
    "RETN|OR|DEC|MOVSX|JL,JNGE|AND|NOT|SHR|JGE,JNL|JG,JNLE|SHL|SBB|NEG|LEAVE|&PUSHA*|&POPA*|"
    "XCHG|ADC|MUL|IMUL|DIV|IDIV|&CBW:CWDE|&CWD:CDQ|ROL|ROR|RCL|RCR|SAR|JO|JNO|JB,JC|JNB,JNC|"
    "JBE,JNA|JA,JNBE|JS|JNS|JPE,JP|JPO,JNP|$JCXZ:JECXZ|CLC|STC|CMC|CLD|STD|CLI|STI|CMPS|LODS|"
    "MOVS|SCAS|STOS|REP MOVS|REP LODS|REP STOS|REPE CMPS|REPE SCAS|REPNE CMPS|REPNE SCAS|RETF|"
    "SHLD|SHRD|BSWAP|XADD|$LOOP*|$LOOP*E|$LOOP*NE|ENTER|IN|OUT|INS|OUTS|REP INS|REP OUTS|AAA|"
    "AAS|AAM|AAD|DAA|DAS|HLT|XLAT|MOVZX|WAIT|LAHF|SAHF|&PUSHF*|&POPF*|INT|INT3|INTO|&IRET*|"
    "SETO|SETNO|SETB,SETC|SETNB,SETNC|SETE,SETZ|SETNE,SETNZ|SETBE,SETNA|SETA,SETNBE|SETS|"
    "SETNS|SETPE,SETP|SETPO,SETNP|SETL,SETNGE|SETGE,SETNL|SETLE,SETNG|SETG,SETNLE|BT|BTS|BTR|"
    "BTC|LDS|LES|LFS|LGS|LSS|ARPL|BOUND|BSF|BSR|REP BSF|REP BSR|PAUSE|CLTS|CMOVO|CMOVNO|CMOVB,CMOVC|CMOVNB,CMOVNC|"
    "CMOVE,CMOVZ|CMOVNE,CMOVNZ|CMOVBE,CMOVNA|CMOVA,CMOVNBE|CMOVS|CMOVNS|CMOVPE,CMOVP|"
    "CMOVPO,CMOVNP|CMOVL,CMOVNGE|CMOVGE,CMOVNL|CMOVLE,CMOVNG|CMOVG,CMOVNLE|CMPXCHG|CMPXCHG8B|"
    "CPUID|INVD|LAR|LSL|INVLPG|WBINVD|LGDT|SGDT|LIDT|SIDT|LLDT|SLDT|LTR|STR|LMSW|SMSW|VERR|"
    "VERW|RDTSC|RDMSR|WRMSR|RDPMC|RSM|UD2|SYSENTER|SYSEXIT|SALC|F2XM1|FCHS|FABS|FCLEX|FINIT|"
    "FDECSTP|FINCSTP|FTST|FSQRT|FSIN|FCOS|FSINCOS|FPTAN|FPATAN|FPREM|FPREM1|FYL2X|FYL2XP1|"
    "FRNDINT|FLD1|FLDL2T|FLDL2E|FLDPI|FLDLG2|FLDLN2|FLDZ|FSCALE|FNOP|FSTSW|FXAM|FXTRACT|FCOMPP|"
    "FUCOMPP|FFREE|FCMOVB|FCMOVE|FCMOVBE|FCMOVU|FCMOVNB|FCMOVNE|FCMOVNBE|FCMOVNU|FCOMI|FCOMIP|"
    "FUCOMI|FUCOMIP|FADD|FADDP|FSUB|FSUBP|FSUBR|FSUBRP|FMUL|FMULP|FCOM|FCOMP|FUCOM|FUCOMP|FDIV|"
    "FDIVP|FDIVR|FDIVRP|FLD|FST|FSTP|FXCH|FIADD|FISUB|FISUBR|FIMUL|FIDIV|FIDIVR|FBLD|FBSTP|"
    "FICOM|FICOMP|FILD|FIST|FISTP|FLDCW|FSTCW|FLDENV|FSTENV|FRSTOR|FSAVE|FXRSTOR|FXSAVE|FENI|"
    "FDISI|EMMS|MOVD|MOVQ|PACKSSWB|PACKSSDW|PACKUSWB|PADDB|PADDW|PADDD|PSUBB|PSUBW|PSUBD|"
    "PADDSB|PADDSW|PSUBSB|PSUBSW|PADDUSB|PADDUSW|PSUBUSB|PSUBUSW|PAND|PANDN|PCMPEQB|PCMPEQW|"
    "PCMPEQD|PCMPGTB|PCMPGTW|PCMPGTD|PMADDWD|PMULHW|PMULLW|POR|PSLLW|PSLLD|PSLLQ|PSRAW|PSRAD|"
    "PSRLW|PSRLD|PSRLQ|PUNPCKHBW|PUNPCKHWD|PUNPCKHDQ|PUNPCKLBW|PUNPCKLWD|PUNPCKLDQ|PXOR|FEMMS|"
    "PREFETCH|PREFETCHW|MASKMOVQ|MOVNTQ|PAVGB|PAVGW|PEXTRW|PINSRW|PMAXSW|PMAXUB|PMINSW|PMINUB|"
    "PMOVMSKB|PMULHUW|PREFETCHNTA|PREFETCHT0|PREFETCHT1|PREFETCHT2|PSADBW|PSHUFW|SFENCE|"
    "PAVGUSB|PFADD|PFSUB|PFSUBR|PFACC|PFCMPGE|PFCMPGT|PFCMPEQ|PFMIN|PFMAX|PI2FD|PF2ID|PFRCP|"
    "PFRSQRT|PFMUL|PFRCPIT1|PFRSQIT1|PFRCPIT2|PMULHRW|PF2IW|PFNACC|PFPNACC|PI2FW|PSWAPD|CMPSB|"
    "CMPSW|CMPSD|LODSB|LODSW|LODSD|MOVSB|MOVSW|MOVSD|SCASB|SCASW|SCASD|STOSB|STOSW|STOSD|"
    "REP MOVSB|REP MOVSW|REP MOVSD|REP LODSB|REP LODSW|REP LODSD|REP STOSB|REP STOSW|"
    "REP STOSD|REPE CMPSB|REPE CMPSW|REPE CMPSD|REPE SCASB|REPE SCASW|REPE SCASD|REPNE CMPSB|"
    "REPNE CMPSW|REPNE CMPSD|REPNE SCASB|REPNE SCASW|REPNE SCASD|INSB|INSW|INSD|OUTSB|OUTSW|"
    "OUTSD|REP INSB|REP INSW|REP INSD|REP OUTSB|REP OUTSW|REP OUTSD|$LOOP*Z|$LOOP*NZ|FWAIT|"
    "XLATB|VxDCall|JCC|SETCC|CMOVCC";

// Rows with a class flag, in the notation "MNEMONIC opcode-bytes, ...; ...": hex bytes,
// "&XX" the mask of the byte before, "/n" a ModRM byte with reg field n.
const char kShowSizeRows[] =
    "ADD 80&FC /0; MOV C6&FE /0; CMP 80&FC /7; TEST F6&FE /0; PUSH FF /6; OR 80&FC /1; "
    "SUB 80&FC /5; MOVSX 0F BF, 0F BE; AND 80&FC /4; NOT F6&FE /2; SHR C0&FE /5, D0&FE /5, "
    "D2&FE /5; SHL C0&FE /4, D0&FE /4, D2&FE /4; NEG F6&FE /3; POP 8F /0; ADC 80&FC /2; "
    "SBB 80&FC /3; XOR 80&FC /6; INC FE&FE /0; DEC FE&FE /1; MUL F6&FE /4; IMUL F6&FE /5; "
    "DIV F6&FE /6; IDIV F6&FE /7; ROL D0&FE /0, D2&FE /0, C0&FE /0; ROR D0&FE /1, D2&FE /1, "
    "C0&FE /1; RCL D0&FE /2, D2&FE /2, C0&FE /2; RCR D0&FE /3, D2&FE /3, C0&FE /3; SAR D0&FE "
    "/7, D2&FE /7, C0&FE /7; CMPS A6&FE; LODS AC&FE; MOVS A4&FE; SCAS AE&FE; STOS AA&FE; REP "
    "MOVS F3 A4&FE; REP LODS F3 AC&FE; REP STOS F3 AA&FE; REPE CMPS F3 A6&FE; REPE SCAS F3 "
    "AE&FE; REPNE CMPS F2 A6&FE; REPNE SCAS F2 AE&FE; JMP FF /5; CALL FF /3; INS 6C&FE; OUTS "
    "6E&FE; REP INS F3 6C&FE; REP OUTS F3 6E&FE; XLAT D7; MOVZX 0F B6, 0F B7; BT 0F BA /4, 0F "
    "A3; BTS 0F BA /5, 0F AB; BTR 0F BA /6, 0F B3; BTC 0F BA /7, 0F BB; CMPXCHG8B 0F C7 /1; "
    "FADD D8 /0, DC /0; FIADD DA /0, DE /0; FSUB D8 /4, DC /4; FISUB DA /4, DE /4; FSUBR D8 "
    "/5, DC /5; FISUBR DA /5, DE /5; FMUL D8 /1, DC /1; FIMUL DA /1, DE /1; FCOM D8 /2, DC /2; "
    "FCOMP D8 /3, DC /3; FDIV D8 /6, DC /6; FIDIV DA /6, DE /6; FDIVR D8 /7, DC /7; FIDIVR DA "
    "/7, DE /7; FBLD DF /4; FBSTP DF /6; FICOM DE /2, DA /2; FICOMP DE /3, DA /3; FILD DF /0, "
    "DB /0, DF /5; FIST DF /2, DB /2; FISTP DF /3, DB /3, DF /7; FLD D9 /0, DD /0, DB /5; FST "
    "D9 /2, DD /2; FSTP D9 /3, DD /3, DB /7; SETCC 0F 90&F0";

const char kRareRows[] =
    "&PUSHA* 60; &POPA* 61; ADC 10&FE, 12&FE, 80&FC /2, 14&FE; SBB 18&FE, 80&FC /3, 1C&FE; "
    "IMUL 6B, 69; JPE,JP 7A, 0F 8A; JPO,JNP 7B, 0F 8B; $JCXZ:JECXZ E3; CMC F5; CLI FA; STI "
    "FB; MOV 8C, 8E, 0F 22 C0&C0, 0F 20 C0&C0, 0F 23 C0&C0, 0F 21 C0&C0; REP LODS F3 AC&FE; "
    "JMP EA, FF /5; CALL 9A, FF /3; RETF CB, CA; BSWAP 0F C8&F8; XADD 0F C0&FE; IN E4&FE, "
    "EC&FE; OUT E6&FE, EE&FE; INS 6C&FE; OUTS 6E&FE; REP INS F3 6C&FE; REP OUTS F3 6E&FE; AAA "
    "37; AAS 3F; AAM D4 0A, D4; AAD D5 0A, D5; DAA 27; DAS 2F; HLT F4; PUSH 0E, 16, 1E, 06, 0F "
    "A0, 0F A8; POP 1F, 07, 17, 0F A1, 0F A9; XLAT D7; LAHF 9F; SAHF 9E; INT CD; INT3 CC; INTO "
    "CE; &IRET* CF; SETPE,SETP 0F 9A; SETPO,SETNP 0F 9B; BT 0F BA /4, 0F A3; BTS 0F BA /5, 0F "
    "AB; BTR 0F BA /6, 0F B3; BTC 0F BA /7, 0F BB; LDS C5; LES C4; LFS 0F B4; LGS 0F B5; LSS "
    "0F B2; ARPL 63; BOUND 62; BSF 0F BC; BSR 0F BD; REP BSF F3 0F BC; REP BSR F3 0F BD; CLTS 0F 06; CMPXCHG 0F B0&FE; CMPXCHG8B "
    "0F C7 /1; INVD 0F 08; LAR 0F 02; LSL 0F 03; INVLPG 0F 01 /7; WBINVD 0F 09; LGDT 0F 01 "
    "/2; SGDT 0F 01 /0; LIDT 0F 01 /3; SIDT 0F 01 /1; LLDT 0F 00 /2; SLDT 0F 00 /0; LTR 0F 00 "
    "/3; STR 0F 00 /1; LMSW 0F 01 /6; SMSW 0F 01 /4; VERR 0F 00 /4; VERW 0F 00 /5; RDTSC 0F "
    "31; RDMSR 0F 32; WRMSR 0F 30; RDPMC 0F 33; RSM 0F AA; UD2 0F 0B; SYSENTER 0F 34; SYSEXIT "
    "0F 35; SALC D6; FBLD DF /4; FBSTP DF /6; INSB 6C; INSW 66 6D; INSD 6D; OUTSB 6E; OUTSW 66 "
    "6F; OUTSD 6F; VxDCall CD 20";

typedef std::tuple<std::string, uint32_t, uint32_t> RowKey;  // mnemonic, mask, code

bool is_byte_token(const std::string &t) {
  return (t.size() == 2 || (t.size() == 5 && t[2] == '&')) && isxdigit((unsigned char)t[0]) &&
         isxdigit((unsigned char)t[1]);
}

// Parses "MNEMONIC bytes, bytes; ..." into (mnemonic, mask, code) in order.
std::vector<RowKey> parse_rows(const char *text) {
  std::vector<RowKey> rows;
  std::stringstream entries(text);
  std::string entry;
  while (std::getline(entries, entry, ';')) {
    std::stringstream words(entry);
    std::string word, mnemonic;
    uint32_t mask = 0, code = 0;
    int n = 0;
    auto flush = [&]() {
      if (n) rows.emplace_back(mnemonic, mask, code);
      mask = code = 0;
      n = 0;
    };
    while (words >> word) {
      bool comma = word.back() == ',';
      if (comma) word.pop_back();
      if (n == 0 && !is_byte_token(word) && word[0] != '/') {
        mnemonic += (mnemonic.empty() ? "" : " ") + word + (comma ? "," : "");
        continue;
      }
      if (word[0] == '/') {
        mask |= 0x38u << 8 * n;
        code |= (uint32_t)(word[1] - '0') << 3 << 8 * n;
      } else {
        mask |= (word.size() == 5 ? strtoul(word.c_str() + 3, nullptr, 16) : 0xFF) << 8 * n;
        code |= strtoul(word.substr(0, 2).c_str(), nullptr, 16) << 8 * n;
      }
      n++;
      if (comma) flush();
    }
    flush();
  }
  return rows;
}

std::vector<RowKey> flagged_rows(int flag) {
  std::vector<RowKey> rows;
  for (const CommandRow *row = CommandTable; row->mask != 0; row++) {
    int kind = row->command_class & CC_KIND;
    if (kind != CC_MMX && kind != CC_3DNOW && (row->command_class & flag))
      rows.emplace_back(row->mnemonic, row->mask, row->code);
  }
  return rows;
}

// Sorted by mnemonic, keeping the order of the rows of each mnemonic.
std::vector<RowKey> by_mnemonic(std::vector<RowKey> rows) {
  std::stable_sort(rows.begin(), rows.end(), [](const RowKey &a, const RowKey &b) {
    return std::get<0>(a) < std::get<0>(b);
  });
  return rows;
}

bool has_string_operand(const CommandRow *row) {
  for (int kind : {row->operand1, row->operand2})
    if (kind == OPK_STR_SRC || kind == OPK_STR_DST) return true;
  return false;
}

int row_count() {
  int n = 0;
  while (CommandTable[n].mask != 0) n++;
  return n;
}

TEST(CommandTable, HoldsAllRowsAndEndsWithZeroMask) {
  EXPECT_EQ(row_count(), COMMAND_ROWS);
  EXPECT_EQ(CommandTable[COMMAND_ROWS].mask, 0u);
  EXPECT_EQ(HazardTable[HAZARD_ROWS].mask, 0u);
  EXPECT_EQ(VxdCallTable[1].mask, 0u);
  EXPECT_EQ(VxdCallTable[0].code, 0x20CDu);
}

TEST(CommandTable, MnemonicsStandInOrder) {
  std::vector<std::string> expected, actual;
  std::stringstream list(kMnemonicOrder);
  for (std::string name; std::getline(list, name, '|');) expected.push_back(name);
  std::set<std::string> seen;
  for (const CommandRow *row = CommandTable; row->mask != 0; row++)
    if (seen.insert(row->mnemonic).second) actual.push_back(row->mnemonic);
  EXPECT_EQ(actual, expected);
}

TEST(CommandTable, ShowSizeAndRareRowsAreExactlyTheListedOnes) {
  EXPECT_EQ(by_mnemonic(flagged_rows(CF_SHOWSIZE)), by_mnemonic(parse_rows(kShowSizeRows)));
  EXPECT_EQ(by_mnemonic(flagged_rows(CF_RARE)), by_mnemonic(parse_rows(kRareRows)));
}

TEST(CommandTable, RowsAreWellFormed) {
  const std::set<int> bits = {CB_NONE, CB_W,    CB_S,    CB_WS,   CB_W3,
                              CB_CC,   CB_SIZE2, CB_LOOP, CB_PRIV, CB_IO};
  for (const CommandRow *row = CommandTable; row->mask != 0; row++) {
    SCOPED_TRACE(row->mnemonic);
    bool three_dnow = (row->command_class & CC_KIND) == CC_3DNOW;
    // Only a 3DNow! row keeps code outside its mask: the suffix, matched separately.
    EXPECT_EQ(row->code & ~row->mask & ~(three_dnow ? 0xFF0000u : 0u), 0u);
    EXPECT_GE(row->length, 1);
    EXPECT_LE(row->length, 3);
    // Every opcode byte is covered by the mask.
    for (int i = 0; i < row->length; i++) EXPECT_NE(row->mask >> 8 * i & 0xFF, 0u);
    EXPECT_TRUE(bits.count(row->bits));
    for (int kind : {row->operand1, row->operand2, row->operand3})
      EXPECT_TRUE((kind >= OPK_NONE && kind <= OPK_DR) ||
                  (kind >= OPK_IMPLICIT && kind <= OPK_I_EDI));
    if (three_dnow) {
      // The suffix is the command's only immediate.
      EXPECT_EQ(row->code & 0xFFFF, 0x0F0Fu);
      EXPECT_EQ(row->operand3, OPK_NONE);
      EXPECT_EQ(row->operand2, OPK_3DN_RM);
    }
  }
}

TEST(CommandTable, BitsMarkConditionsPrivilegeAndPorts) {
  std::multiset<std::string> privileged, io, loops;
  for (const CommandRow *row = CommandTable; row->mask != 0; row++) {
    if (row->bits == CB_PRIV) privileged.insert(row->mnemonic);
    if (row->bits == CB_IO) io.insert(row->mnemonic);
    if (row->bits == CB_LOOP) loops.insert(row->mnemonic);
    // Condition rows carry their condition in the low nibble of the last opcode byte.
    std::string name = row->mnemonic;
    bool conditional = (name[0] == 'J' && name != "JMP") || name.compare(0, 3, "SET") == 0 ||
                       name.compare(0, 4, "CMOV") == 0;
    EXPECT_EQ(row->bits == CB_CC, conditional) << name;
  }
  EXPECT_EQ(privileged, (std::multiset<std::string>{
                            "MOV", "MOV", "MOV", "HLT", "CLTS", "INVD", "INVLPG", "WBINVD", "LGDT",
                            "LIDT", "LLDT", "LTR", "LMSW", "RDMSR", "WRMSR", "RDPMC", "RSM",
                            "SYSEXIT"}));
  EXPECT_EQ(io, (std::multiset<std::string>{
                    "IN",     "IN",     "OUT",     "OUT",     "INS",     "OUTS",     "REP INS",
                    "REP OUTS", "INSB", "INSW",    "INSD",    "OUTSB",   "OUTSW",    "OUTSD",
                    "REP INSB", "REP INSW", "REP INSD", "REP OUTSB", "REP OUTSW", "REP OUTSD"}));
  EXPECT_EQ(loops, (std::multiset<std::string>{"$LOOP*", "$LOOP*E", "$LOOP*NE", "$LOOP*Z",
                                               "$LOOP*NZ"}));
}

// The 16-bit short string forms are the 32-bit ones with 66 in front of the same code.
TEST(CommandTable, WordStringFormsAreDwordFormsBehind66) {
  int count = 0;
  for (const CommandRow *row = CommandTable; row->mask != 0; row++) {
    if ((row->code & 0xFF) != 0x66) continue;
    count++;
    std::string name = row->mnemonic;
    int code_bytes = 0;
    while (code_bytes < 4 && (row->mask >> 8 * code_bytes & 0xFF)) code_bytes++;
    EXPECT_EQ(row->length, code_bytes) << name;
    const CommandRow *dword = next_command_row(row->code >> 8, nullptr);
    while (dword && has_string_operand(dword)) dword = next_command_row(row->code >> 8, dword);
    ASSERT_NE(dword, nullptr) << name;
    EXPECT_EQ(name.substr(0, name.size() - 1) + "D", dword->mnemonic);
  }
  EXPECT_EQ(count, 16);
}

// The rows that stand only for the assembler: spellings that an earlier row decodes.
bool assembler_only(const CommandRow *row) {
  std::string name = row->mnemonic;
  return (row->code & 0xFF) == 0x66 || name == "VxDCall" || name == "JCC" || name == "SETCC" ||
         name == "CMOVCC" || name == "FWAIT" || name == "XLATB" || name == "$LOOP*Z" ||
         name == "$LOOP*NZ" || (name == "PINSRW" && row->operand2 == OPK_R32);
}

// Random keys within the row's pattern find the row itself: earlier rows do not hide
// it. With string rows passed over, the short forms are found instead.
TEST(CommandTable, EveryDecodableRowIsReached) {
  std::mt19937 rng(5);
  for (const CommandRow *row = CommandTable; row->mask != 0; row++) {
    // 3DNow! rows are told apart by the suffix after the operand, not by the key.
    if (assembler_only(row) || (row->command_class & CC_KIND) == CC_3DNOW) continue;
    bool reached = false;
    for (int i = 0; i < 4000 && !reached; i++) {
      uint32_t key = (row->code | (rng() & ~row->mask)) & 0xFFFFFF;
      if ((row->code & 0xFF) == 0xF2 || (row->code & 0xFF) == 0xF3) key |= rng() << 24;
      const CommandRow *found = next_command_row(key, nullptr);
      bool short_form = found != row && !has_string_operand(row);
      while (short_form && found && has_string_operand(found)) found = next_command_row(key, found);
      reached = found == row;
    }
    EXPECT_TRUE(reached) << row->mnemonic << " row " << row - CommandTable;
  }
}

}  // namespace
