// The evaluator's own state and the calls its files share: lexer, registers, conversions.
#pragma once
#include <stdint.h>

#include "symbols/eval/value.h"
#include "util/log.h"

enum TokenKind {
  TOK_END = 1, TOK_BRACKETED = 2, TOK_IDENT = 3, TOK_STRING = 4, TOK_WSTRING = 5,
  TOK_INT = 6, TOK_HEX = 7, TOK_FLOAT = 8,
  TOK_AND = 9, TOK_STAR = 10, TOK_DOT = 11, TOK_ARROW = 12, TOK_TILDE = 13, TOK_OR = 14,
  TOK_XOR = 15, TOK_NE = 16, TOK_EQ = 17, TOK_NOT = 18, TOK_LOR = 19, TOK_LAND = 20,
  TOK_LE = 21, TOK_GE = 22, TOK_LT = 23, TOK_GT = 24, TOK_PLUS = 25, TOK_MINUS = 26,
  TOK_MUL = 27, TOK_DIV = 28, TOK_MOD = 29, TOK_SHL = 30, TOK_SHR = 31, TOK_LPAREN = 32,
  TOK_RPAREN = 33, TOK_LBRACKET = 34, TOK_RBRACKET = 35, TOK_LBRACE = 36, TOK_RBRACE = 37,
  TOK_QUESTION = 38, TOK_COMMA = 39, TOK_COLON = 40, TOK_BACK = 41, TOK_FORTH = 42,
};

enum { TOKEN_TEXT = 256, ERROR_TEXT = 256 };

struct Token {
  int kind;
  char text[TOKEN_TEXT];  // cut copy of the token's characters
  uint64_t value;         // integers and character constants
  double real;            // floating numbers
  const char *start;      // the token in the expression text (strings are unescaped
  const char *end;        // from there)
};

// Where the lexer stands; copied to read ahead and go back.
struct LexPosition {
  const char *pos;
  Token token;
};

struct ExpressionState {
  EvalEnvironment env;
  LexPosition lex;
  bool in_memory_operand;  // symbols stand for their address
  bool read_registers;     // a register's value or a local of the current frame was used
  bool failed;
  char error[ERROR_TEXT];
};
extern ExpressionState g_expr;

// Records the first error of an evaluation; always false.
bool expr_fail(const char *fmt, ...) KQ_PRINTF(1, 2);

// Reads the next token; a bracketed name "<...>" only where brackets is true. False on a
// lexical error (already recorded).
bool lex_next(bool brackets);
inline const Token &lex_token() { return g_expr.lex.token; }
// The bytes of a string token (escapes resolved, wide strings as UTF-16) into out, at
// most VALUE_STRING_MAX; gives the length or -1 for a bad escape.
int lex_string_bytes(const Token &token, uint8_t *out);

// The register row of a name (exact, upper case), or -1.
int register_find(const char *name);
bool register_load(int row, ValueDescriptor *value);
bool register_store(int row, const ValueDescriptor *value);

// Integer and floating views of a value's first bytes.
uint64_t value_u64(const ValueDescriptor *v);
void value_set_u64(ValueDescriptor *v, uint64_t x);
double value_double(const ValueDescriptor *v);
void value_set_double(ValueDescriptor *v, double x);
void value_clear(ValueDescriptor *v, TypeRecord *type);

// The base type code of a value's type (an enum counts as its base type), or -1.
int value_base_code(const TypeRecord *type);
// Converts the value in place to type; false when it cannot be converted.
bool value_convert(ValueDescriptor *v, TypeRecord *type);
// Reads the value from its address (base, pointer and enum types), or takes the address
// as value (arrays, structs, functions, frames).
bool value_load(ValueDescriptor *v);
bool value_store(const ValueDescriptor *v);
// The value as a byte string: a string's own bytes, an array's or structure's memory,
// else its type's size of bytes from the data; at most VALUE_STRING_MAX. -1 on failure.
int value_bytes(const ValueDescriptor *v, uint8_t *out);
// The value of type at address, read from there; address 0 fails for values read from
// memory.
bool value_place(ValueDescriptor *v, TypeRecord *type, uint32_t address);
// The element at index of a pointer or array value; false when v is neither.
bool value_index(ValueDescriptor *v, int32_t index);
// Types made by the evaluator belong to no module.
TypeRecord *eval_pointer_type(TypeRecord *target);
TypeRecord *eval_array_type(TypeRecord *element);

// A type name after the current token's identifier: "T", "T*", "T[]", ...; false with
// the error recorded.
bool parse_type_name(TypeRecord **type);
// A module by its name or the file-name part of it (without regard to case).
struct ModuleRecord *eval_module_named(const char *name);
// Starts an evaluation of text: clears the error and reads the first token.
bool eval_begin(const char *text, bool brackets);
