// The assembler's inner layers: the tokens of its lexer and the operand records that its
// parser builds for the encoder. One assembly runs at a time; its state is one AsmLexer.
#pragma once
#include <stdint.h>

enum AsmTokenKind {
  TK_END = 0,  // end of text or ";"
  TK_REG8 = 1, TK_REG16 = 2, TK_REG32 = 3,  // value: number 0-7, REG_GROUP for any
  TK_SEGMENT = 4,
  TK_FPU = 5, TK_MMX = 6, TK_CRX = 7, TK_DRX = 8,
  TK_SIZE = 9,           // value: byte count; a following "PTR" is taken in
  TK_JUMP_MODIFIER = 10, // value: AsmJumpModifier
  TK_LOCAL = 11, TK_ARG = 12,
  TK_PTR = 20,
  TK_REP = 21, TK_REPE = 22, TK_REPNE = 23, TK_LOCK = 24,
  TK_MNEMONIC = 25,      // value: length
  TK_INTEGER = 26,
  TK_DECIMAL = 27,       // written with a trailing "."
  TK_CONST = 28,         // "CONST" or "OFFSET": unknown value
  TK_FLOAT = 29,
  TK_EIP = 30,
  TK_TYPE_FIRST = 31, TK_TYPE_LAST = 39,  // SIGNED ... MSG
  TK_OPERATOR = 64,      // value: the character, or an AsmOperator for two of them
  TK_ERROR = 255,
};

enum AsmOperator {
  OP_OR = 256, OP_AND, OP_EQUAL, OP_NOT_EQUAL, OP_LESS_EQUAL, OP_GREATER_EQUAL,
  OP_SHIFT_LEFT, OP_SHIFT_RIGHT,
};

enum AsmJumpModifier { JM_SHORT = 1, JM_LONG = 2, JM_NEAR = 4, JM_FAR = 8 };

struct AsmToken {
  int kind;
  int32_t value;
  double number;  // TK_FLOAT
  int start;      // text position of the first character
};

struct AsmLexer {
  const char *text;
  int pos;
  const char *error;  // message of the first error, null while there is none
  int error_pos;
  char message[256];  // room for messages with a filled-in part
};

// Operand kinds of the parser, distinct from the table's OperandKind.
enum AsmOperandKind {
  AO_NONE = 0, AO_REGISTER = 1, AO_FPU = 9, AO_MMX = 10, AO_MEMORY = 12, AO_XLAT = 40,
  AO_IMMEDIATE = 41, AO_FAR_ADDRESS = 52, AO_SEGMENT = 53, AO_CONTROL = 55, AO_DEBUG = 56,
};

struct AsmOperand {
  int kind;
  int size;        // 1, 2, 4 for a register; from a size keyword for memory; 0 not given
  int index;       // register number or memory index; -1 none; REG_GROUP any
  int scale;
  int base;        // -1 none
  int32_t offset;  // immediate, displacement or far offset
  int any_offset;  // CONST took part
  int segment;     // override, or the selector of a far address; -1 none
  int jump_modifiers;
};

// Lexer (assemble_lexer.cpp). Each reader gives false after an error, which stays in lx.
void lexer_start(AsmLexer *lx, const char *text);
bool lexer_fail(AsmLexer *lx, const char *message);
bool next_token(AsmLexer *lx, AsmToken *token, bool want_mnemonic);
bool peek_token(AsmLexer *lx, AsmToken *token);
bool is_operator(const AsmToken &token, int op);

// Operand parser (assemble_operand.cpp): one operand, or AO_NONE at the end of the text.
bool parse_operand(AsmLexer *lx, AsmOperand *op);

enum { ASM_MAX_OPERANDS = 3, ASM_MNEMONIC = 16 };

// One parsed line: the mnemonic (with a REP prefix word in front) and its operands.
struct AsmCommand {
  char mnemonic[ASM_MNEMONIC + 8];
  int mnemonic_pos;
  int lock;
  AsmOperand operands[ASM_MAX_OPERANDS];
  int count;
};

// Why a table row does not fit the command: a set of these bits.
enum AsmMismatch {
  MM_MODIFIER = 1, MM_COUNT = 2, MM_KIND = 4, MM_SIZE = 16, MM_DIFFERENT = 32,
  MM_SEGMENT = 64, MM_RANGE = 128, MM_UNKNOWN_KIND = 256,
};

struct CommandRow;

// How a row fits (assemble_match.cpp).
struct RowFit {
  int mismatch;
  int operand_size;  // 0 while nothing fixed it
  int address_size;
};
// The operand kinds of row that the text writes, in order; gives their count.
int written_kinds(const CommandRow &row, int kinds[ASM_MAX_OPERANDS]);
// Whether the mnemonic is one of the row's spellings; fills the sizes a spelling fixes.
bool row_has_name(const CommandRow &row, const char *mnemonic, RowFit *fit);
// Checks the operands against the row; short jumps are refused in the second pass.
void fit_row(const CommandRow &row, const AsmCommand &cmd, bool second_pass, RowFit *fit);

// Emits the command for a fitting row (assemble_encode.cpp); errors go to lx.
struct AsmResult;
bool encode_row(AsmLexer *lx, const CommandRow &row, const AsmCommand &cmd, const RowFit &fit,
                uint32_t address, int constant_sizes, AsmResult *result, int32_t *jump_target,
                int *jump_open);
