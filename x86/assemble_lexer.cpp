// The assembler's lexer: registers with their group names, size keywords, prefixes,
// numbers in the decoder's notation (hexadecimal unless marked decimal) and operators.
#include <ctype.h>
#include <math.h>
#include <stdio.h>
#include <string.h>

#include "x86/assemble.h"
#include "x86/assemble_parse.h"
#include "x86/names.h"

namespace {

SymbolResolver g_symbol_resolver = nullptr;

struct Keyword {
  const char *name;
  int kind;
  int value;
};

// Words tried after the register and size tables, in this order.
const Keyword kKeywords[] = {
    {"EIP", TK_EIP, 0},        {"SHORT", TK_JUMP_MODIFIER, JM_SHORT},
    {"LONG", TK_JUMP_MODIFIER, JM_LONG}, {"NEAR", TK_JUMP_MODIFIER, JM_NEAR},
    {"FAR", TK_JUMP_MODIFIER, JM_FAR},   {"REP", TK_REP, 0},
    {"REPE", TK_REPE, 0},      {"REPZ", TK_REPE, 0},    {"REPNE", TK_REPNE, 0},
    {"REPNZ", TK_REPNE, 0},    {"LOCK", TK_LOCK, 0},    {"PTR", TK_PTR, 0},
    {"CONST", TK_CONST, 0},    {"OFFSET", TK_CONST, 0}, {"SIGNED", 31, 0},
    {"UNSIGNED", 32, 0},       {"CHAR", 33, 0},         {"FLOAT", 34, 0},
    {"DOUBLE", 35, 0},         {"FLOAT10", 36, 0},      {"STRING", 37, 0},
    {"UNICODE", 38, 0},        {"MSG", 39, 0},
};

struct RegisterTable {
  const Name *names;
  int kind;
};

const RegisterTable kRegisterTables[] = {
    {g_byte_registers, TK_REG8},  {g_word_registers, TK_REG16},
    {g_dword_registers, TK_REG32}, {g_fpu_registers, TK_FPU},
    {g_mmx_registers, TK_MMX},    {g_control_registers, TK_CRX},
    {g_debug_registers, TK_DRX},
};

const char kTwoCharOperators[][3] = {"||", "&&", "==", "!=", "<=", ">=", "<<", ">>"};

bool is_name_char(char c) {
  return isalnum((unsigned char)c) || (c != 0 && strchr("_@$~", c) != nullptr);
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = (char)toupper((unsigned char)c);
  return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

bool lex_fail(AsmLexer *lx, AsmToken *token, const char *message) {
  token->kind = TK_ERROR;
  return lexer_fail(lx, message);
}

bool lex_operator(AsmLexer *lx, AsmToken *token) {
  const char *p = lx->text + lx->pos;
  token->kind = TK_OPERATOR;
  for (int i = 0; i < (int)(sizeof kTwoCharOperators / sizeof kTwoCharOperators[0]); i++) {
    if (p[0] == kTwoCharOperators[i][0] && p[1] == kTwoCharOperators[i][1]) {
      token->value = OP_OR + i;
      lx->pos += 2;
      return true;
    }
  }
  if (p[0] == '<' && p[1] == '&') return lex_fail(lx, token, "Syntax error");
  // "[EAX][ECX]" reads as "[EAX+ECX]".
  if (p[0] == ']' && p[1] == '[') {
    token->value = '+';
    lx->pos += 2;
    return true;
  }
  token->value = (unsigned char)p[0];
  lx->pos++;
  return true;
}

bool lex_character(AsmLexer *lx, AsmToken *token) {
  const char *p = lx->text + lx->pos + 1;
  if (*p == '\'') return lex_fail(lx, token, "Empty character constant");
  if (*p == '\\' && p[1] != 0) p++;
  if (*p == 0 || p[1] != '\'') return lex_fail(lx, token, "Unterminated character constant");
  token->kind = TK_INTEGER;
  token->value = (unsigned char)*p;
  lx->pos = (int)(p + 2 - lx->text);
  return true;
}

// Digits, a point, digits and an optional exponent: a floating-point number.
bool lex_float(AsmLexer *lx, AsmToken *token, const char *p) {
  double value = 0;
  for (; isdigit((unsigned char)*p); p++) value = value * 10 + (*p - '0');
  p++;  // the point
  for (double unit = 0.1; isdigit((unsigned char)*p); p++, unit /= 10) value += (*p - '0') * unit;
  if (toupper((unsigned char)*p) == 'E') {
    p++;
    int sign = 1, exponent = 0;
    if (*p == '-') sign = -1, p++;
    if (!isdigit((unsigned char)*p)) return lex_fail(lx, token, "Invalid exponent");
    for (; isdigit((unsigned char)*p); p++)
      if (exponent < 65536) exponent = exponent * 10 + (*p - '0');
    value *= pow(10.0, sign * exponent);
  }
  token->kind = TK_FLOAT;
  token->number = value;
  lx->pos = (int)(p - lx->text);
  return true;
}

bool lex_number(AsmLexer *lx, AsmToken *token) {
  const char *start = lx->text + lx->pos;
  const char *p = start;
  bool prefixed = p[0] == '0' && (p[1] == 'x' || p[1] == 'X');
  if (prefixed) p += 2;
  uint32_t hex = 0, decimal = 0;
  bool hex_letter = false;
  const char *digits = p;
  for (int v; (v = hex_value(*p)) >= 0; p++) {
    hex = hex << 4 | (uint32_t)v;
    decimal = decimal * 10 + (uint32_t)v;
    hex_letter |= v > 9;
  }
  if (prefixed && p == digits) return lex_fail(lx, token, "Hexadecimal digits after 0x... expected");
  if (*p == 'h' || *p == 'H') {
    if (prefixed) return lex_fail(lx, token, "Please don't mix 0xXXXX and XXXXh forms");
    p++;
  } else if (*p == '.') {
    if (prefixed || hex_letter) return lex_fail(lx, token, "Not a decimal number");
    if (isdigit((unsigned char)p[1]) || toupper((unsigned char)p[1]) == 'E')
      return lex_float(lx, token, start);
    token->kind = TK_DECIMAL;
    token->value = (int32_t)decimal;
    lx->pos = (int)(p + 1 - lx->text);
    return true;
  }
  token->kind = TK_INTEGER;
  token->value = (int32_t)hex;
  lx->pos = (int)(p - lx->text);
  return true;
}

bool word_is(const char *word, int length, const char *name) {
  return (int)strlen(name) == length && strncasecmp(word, name, (size_t)length) == 0;
}

// "ST" alone, or with a parenthesised index.
bool lex_st(AsmLexer *lx, AsmToken *token) {
  token->kind = TK_FPU;
  token->value = 0;
  AsmToken t;
  if (!peek_token(lx, &t) || !is_operator(t, '(')) return true;
  next_token(lx, &t, false);
  if (!next_token(lx, &t, false)) return false;
  if ((t.kind != TK_INTEGER && t.kind != TK_DECIMAL) || t.value < 0 || t.value > 7)
    return lex_fail(lx, token, "FPU registers have indexes 0 to 7");
  token->value = t.value;
  if (!next_token(lx, &t, false)) return false;
  if (!is_operator(t, ')')) return lex_fail(lx, token, "Closing parenthesis expected");
  return true;
}

// "LOCAL.n" and "ARG.n".
bool lex_frame_slot(AsmLexer *lx, AsmToken *token, int kind) {
  const char *p = lx->text + lx->pos;
  if (*p != '.' || !isdigit((unsigned char)p[1])) return lex_fail(lx, token, "Integer number expected");
  uint32_t n = 0;
  for (p++; isdigit((unsigned char)*p); p++) n = n * 10 + (uint32_t)(*p - '0');
  token->kind = kind;
  token->value = (int32_t)n;
  lx->pos = (int)(p - lx->text);
  return true;
}

bool lex_word(AsmLexer *lx, AsmToken *token, bool want_mnemonic) {
  const char *word = lx->text + lx->pos;
  int length = 0;
  while (is_name_char(word[length])) length++;
  if (length >= 256) return lex_fail(lx, token, "Too long identifier");
  lx->pos += length;
  for (const RegisterTable &table : kRegisterTables) {
    for (int i = 0; i <= REG_GROUP; i++) {
      if (word_is(word, length, table.names[i].upper)) {
        token->kind = table.kind;
        token->value = i;
        return true;
      }
    }
    if (table.kind == TK_REG32) {  // segments and "ST" come between the general registers and the rest
      for (int i = SEG_ES; i <= SEG_GS; i++) {
        if (word_is(word, length, g_segment_names[i].upper)) {
          token->kind = TK_SEGMENT;
          token->value = i;
          return true;
        }
      }
      if (word_is(word, length, "ST")) return lex_st(lx, token);
    }
  }
  for (int size = 1; size <= 10; size++) {
    if (!word_is(word, length, g_size_keywords[size].upper)) continue;
    token->kind = TK_SIZE;
    token->value = size;
    AsmToken t;
    if (peek_token(lx, &t) && t.kind == TK_PTR) next_token(lx, &t, false);
    return true;
  }
  if (word_is(word, length, "LOCAL")) return lex_frame_slot(lx, token, TK_LOCAL);
  if (word_is(word, length, "ARG")) return lex_frame_slot(lx, token, TK_ARG);
  for (const Keyword &k : kKeywords) {
    if (word_is(word, length, k.name)) {
      token->kind = k.kind;
      token->value = k.value;
      return true;
    }
  }
  if (want_mnemonic) {
    token->kind = TK_MNEMONIC;
    token->value = length;
    return true;
  }
  char name[256];
  memcpy(name, word, (size_t)length);
  name[length] = 0;
  uint32_t address;
  if (!g_symbol_resolver || !g_symbol_resolver(name, &address))
    return lex_fail(lx, token, "Unknown identifier");
  token->kind = TK_INTEGER;
  token->value = (int32_t)address;
  return true;
}

}  // namespace

void set_symbol_resolver(SymbolResolver resolver) { g_symbol_resolver = resolver; }

void lexer_start(AsmLexer *lx, const char *text) {
  lx->text = text;
  lx->pos = 0;
  lx->error = nullptr;
  lx->error_pos = 0;
  lx->message[0] = 0;
}

bool lexer_fail(AsmLexer *lx, const char *message) {
  if (lx->error == nullptr) {
    lx->error = message;
    lx->error_pos = lx->pos;
  }
  return false;
}

bool is_operator(const AsmToken &token, int op) {
  return token.kind == TK_OPERATOR && token.value == op;
}

bool next_token(AsmLexer *lx, AsmToken *token, bool want_mnemonic) {
  token->value = 0;
  token->number = 0;
  if (lx->error) {
    token->kind = TK_ERROR;
    return false;
  }
  while (lx->text[lx->pos] == ' ' || lx->text[lx->pos] == '\t') lx->pos++;
  token->start = lx->pos;
  char c = lx->text[lx->pos];
  if (c == 0 || c == ';') {
    token->kind = TK_END;
    return true;
  }
  if (c == '\'') return lex_character(lx, token);
  if (isdigit((unsigned char)c)) return lex_number(lx, token);
  if (is_name_char(c)) return lex_word(lx, token, want_mnemonic);
  return lex_operator(lx, token);
}

// Looks at the next token without taking it, and without keeping an error it meets: the
// error comes again when the token is taken.
bool peek_token(AsmLexer *lx, AsmToken *token) {
  AsmLexer saved = *lx;
  bool ok = next_token(lx, token, false);
  *lx = saved;
  return ok;
}
