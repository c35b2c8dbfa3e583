// The vocabulary of the command table, shared by the decoder and the assembler: operand
// kinds, the special opcode bits of a row and the kinds of memory operands.
#pragma once

// Kinds below OPK_IMPLICIT are written in the text; the implicit ones are not, but the
// decoder still checks them and the assembler matches with them.
enum OperandKind {
  OPK_NONE = 0,
  OPK_REG = 1,          // general register in the reg field, operand size
  OPK_REG_OP = 2,       // general register in bits 0-2 of the last opcode byte
  OPK_REG32 = 3,        // 32-bit general register in the reg field
  OPK_ACC = 4,          // AL, AX or EAX by operand size
  OPK_AX = 5,
  OPK_DX_PORT = 6,      // DX as port number
  OPK_CL = 7,           // CL as shift count
  OPK_ST0 = 8,
  OPK_STI = 9,          // ST(i), i in bits 0-2 of the last opcode byte
  OPK_MMX = 10,         // MMX register in the reg field
  OPK_3DN = 11,         // 3DNow! register in the reg field
  OPK_RM = 12,          // r/m of operand size
  OPK_RM8 = 13,
  OPK_RM16 = 14,
  OPK_RM32 = 15,
  OPK_R32 = 16,         // r/m that must be a 32-bit register
  OPK_MMX_RM = 17,
  OPK_MMX_R = 18,       // MMX r/m that must be a register
  OPK_3DN_RM = 19,
  OPK_3DN_R = 20,       // 3DNow! r/m that must be a register
  OPK_JMP_RM = 21,      // target of an indirect near jump or call
  OPK_M_ADDR = 22,      // address without size (LEA)
  OPK_M_FARPTR = 23,    // far pointer loaded by LDS, LES, LFS, LGS, LSS
  OPK_M_FARJMP = 24,    // far pointer of JMP FAR and CALL FAR through memory
  OPK_M_DESCR = 25,     // 6-byte descriptor (LGDT, SGDT, LIDT, SIDT)
  OPK_M_BOUND = 26,     // two values of operand size (BOUND)
  OPK_M_INT16 = 27,
  OPK_M_WORD = 28,      // 2 bytes (FLDCW, FSTCW, FSTSW)
  OPK_M_INT32 = 29,
  OPK_M_QWORD = 30,     // 8 bytes (CMPXCHG8B, FILD m64, prefetches, MOVNTQ)
  OPK_M_BCD = 31,
  OPK_M_FLOAT32 = 32,
  OPK_M_FLOAT64 = 33,
  OPK_M_FLOAT80 = 34,
  OPK_M_FPUENV = 35,    // 28 bytes
  OPK_M_FPUSTATE = 36,  // 108 bytes
  OPK_M_FXSTATE = 37,   // 512 bytes
  OPK_STR_SRC = 38,     // [ESI] or [SI], DS unless overridden
  OPK_STR_DST = 39,     // [EDI] or [DI], always ES
  OPK_XLAT = 40,        // [EBX+AL] or [BX+AL]
  OPK_IMM = 41,         // operand size; one sign-extended byte with the S bit set
  OPK_IMM_LOGIC = 42,   // as OPK_IMM for logical commands: never negative, never named
  OPK_VXD = 43,         // VxD service number, 4 bytes
  OPK_IMM8S = 44,       // sign-extended byte
  OPK_ONE = 45,         // the constant 1 of a shift by one
  OPK_SHIFT = 46,       // shift count byte
  OPK_IMM8U = 47,
  OPK_IMM16U = 48,      // RETN n, RETF n, ENTER size
  OPK_MOFFS = 49,       // memory offset of address size
  OPK_REL8 = 50,
  OPK_REL = 51,         // word or doubleword by operand size
  OPK_FAR_IMM = 52,     // selector:offset
  OPK_SEG = 53,         // segment register in the reg field
  OPK_SEG_OP = 54,      // segment register in bits 3-5 of the last opcode byte
  OPK_CR = 55,
  OPK_DR = 56,
  OPK_IMPLICIT = 128,
  OPK_I_NEARRET = 128,
  OPK_I_FARRET = 129,   // sets the far warning
  OPK_I_ACC = 130,      // accumulator of operand size
  OPK_I_AH = 131,
  OPK_I_FLAGS = 132,
  OPK_I_ST0 = 133,
  OPK_I_ST1 = 134,
  OPK_I_COUNTER = 135,  // ECX or CX, by the operand size before the W bit
  OPK_I_EDI = 136,
};

// Values of CommandRow::bits. They are codes, not a set: 0x81 is an I/O command whose
// bit 0 doubles as the W bit.
enum CommandBits {
  CB_NONE = 0x00,
  CB_W = 0x01,       // bit 0 of the last opcode byte clear: byte operands
  CB_S = 0x02,       // bit 1 of the first opcode byte set: sign-extended byte immediate
  CB_WS = 0x03,
  CB_W3 = 0x08,      // W bit at bit 3 (MOV r, imm)
  CB_CC = 0x10,      // low 4 bits of the last opcode byte are a condition (informative)
  CB_SIZE2 = 0x20,   // operand size always 2
  CB_LOOP = 0x40,    // LOOP family (informative)
  CB_PRIV = 0x80,    // privileged command
  CB_IO = 0x81,      // input/output command, with a W bit
};

// DisasmResult::memory_kind.
enum MemoryKind {
  MK_NONE = 0, MK_BYTE = 1, MK_WORD = 2, MK_DWORD = 4, MK_QWORD = 8, MK_FLOAT32 = 5,
  MK_FARPTR = 6, MK_FLOAT64 = 7, MK_FLOAT80 = 9, MK_BCD = 10, MK_3DNOW = 13,
};
