#include <ctype.h>
#include <stdlib.h>
#include <string.h>

#include "symbols/eval/eval_state.h"

namespace {

struct Operator {
  const char *text;
  int kind;
};

// Matched in this order: the first one the text starts with wins.
const Operator kOperators[] = {
    {"-/", TOK_BACK}, {"+/", TOK_FORTH}, {"->", TOK_ARROW}, {"<<", TOK_SHL},
    {">>", TOK_SHR},  {"||", TOK_LOR},   {"&&", TOK_LAND},  {"!=", TOK_NE},
    {"==", TOK_EQ},   {"<=", TOK_LE},    {">=", TOK_GE},    {".", TOK_DOT},
    {"!", TOK_NOT},   {"<", TOK_LT},     {">", TOK_GT},     {"*", TOK_STAR},
    {"+", TOK_PLUS},  {"-", TOK_MINUS},  {"/", TOK_DIV},    {"%", TOK_MOD},
    {"~", TOK_TILDE}, {"^", TOK_XOR},    {"&", TOK_AND},    {"|", TOK_OR},
    {"(", TOK_LPAREN}, {")", TOK_RPAREN}, {"[", TOK_LBRACKET}, {"]", TOK_RBRACKET},
    {"{", TOK_LBRACE}, {"}", TOK_RBRACE}, {",", TOK_COMMA}, {"?", TOK_QUESTION},
    {":", TOK_COLON},
};

bool ident_start(char c) { return isalpha((unsigned char)c) || (c && strchr("_@$", c)); }
bool ident_char(char c) { return isalnum((unsigned char)c) || (c && strchr("_@$", c)); }

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = (char)tolower((unsigned char)c);
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// Finishes the token: its text is the characters from start to end (cut).
void take(Token *t, int kind, const char *start, const char *end) {
  t->kind = kind;
  t->start = start;
  t->end = end;
  size_t n = (size_t)(end - start);
  if (n >= TOKEN_TEXT) n = TOKEN_TEXT - 1;
  memcpy(t->text, start, n);
  t->text[n] = 0;
}

// "0x1F" or "1Fh": a digit, hexadecimal digits; false when p is not such a number.
bool read_hex(const char *p, Token *t, const char **end) {
  const char *q = p;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && hex_digit(p[2]) >= 0) q = p + 2;
  uint64_t value = 0;
  const char *digits = q;
  for (; hex_digit(*q) >= 0; q++) value = value * 16 + (uint64_t)hex_digit(*q);
  if (digits == p) {  // the suffixed form
    if (*q != 'h' && *q != 'H') return false;
    q++;
  }
  t->value = value;
  *end = q;
  return true;
}

// A decimal or octal integer, or a floating number when a conversion reads further.
int read_number(const char *p, Token *t, const char **end) {
  const char *q = p;
  uint64_t value = 0;
  if (*p == '0') {
    for (q = p + 1; *q >= '0' && *q <= '7'; q++) value = value * 8 + (uint64_t)(*q - '0');
  } else {
    for (; isdigit((unsigned char)*q); q++) value = value * 10 + (uint64_t)(*q - '0');
  }
  if (*q == '.' || *q == 'e' || *q == 'E') {
    char *stop = nullptr;
    double real = strtod(p, &stop);
    if (stop > q) {
      t->real = real;
      *end = stop;
      return TOK_FLOAT;
    }
  }
  t->value = value;
  *end = q;
  return TOK_INT;
}

}  // namespace

bool lex_next(bool brackets) {
  Token *t = &g_expr.lex.token;
  const char *p = g_expr.lex.pos;
  while (isspace((unsigned char)*p)) p++;
  t->value = 0;
  t->real = 0;
  const char *end = p;
  if (!*p) {
    take(t, TOK_END, p, p);
  } else if (brackets && *p == '<') {
    const char *close = strchr(p + 1, '>');
    end = close ? close : p + strlen(p);
    take(t, TOK_BRACKETED, p + 1, end);
    if (close) end++;
  } else if (*p == '\'') {
    for (end = p + 1; *end && *end != '\''; end++) t->value = (t->value << 8) + (uint8_t)*end;
    if (!*end) return expr_fail("Unterminated constant");
    take(t, TOK_INT, p + 1, end++);
  } else if (*p == '"' || (*p == 'L' && p[1] == '"')) {
    int kind = *p == 'L' ? TOK_WSTRING : TOK_STRING;
    const char *q = p + (kind == TOK_WSTRING ? 2 : 1);
    for (end = q; *end && *end != '"'; end++)
      if (*end == '\\' && end[1]) end++;
    if (!*end) return expr_fail("Unterminated string");
    take(t, kind, q, end++);
  } else if (isdigit((unsigned char)*p)) {
    if (read_hex(p, t, &end)) take(t, TOK_HEX, p, end);
    else take(t, read_number(p, t, &end), p, end);
  } else if (ident_start(*p)) {
    for (end = p + 1;; end++) {
      if ((end[0] == ':' && end[1] == ':') || (end[0] == '?' && end[1] == '?')) end++;
      else if (!ident_char(*end)) break;
    }
    take(t, TOK_IDENT, p, end);
  } else {
    const Operator *op = nullptr;
    for (const Operator &o : kOperators)  // one or two characters each
      if (p[0] == o.text[0] && (!o.text[1] || p[1] == o.text[1])) {
        op = &o;
        break;
      }
    if (!op) return expr_fail("Unknown token");
    end = p + (op->text[1] ? 2 : 1);
    take(t, op->kind, p, end);
  }
  g_expr.lex.pos = end;
  return true;
}

namespace {

// One escape after a backslash at p; gives the byte and moves p past it, or false.
bool read_escape(const char **pp, const char *end, uint8_t *byte) {
  const char *p = *pp;
  if (p >= end) return false;
  static const char kFrom[] = "0bfnrtvqs' ";
  static const uint8_t kTo[] = {0, 8, 12, 10, 13, 9, 11, '"', ' ', '\'', 0xFF};
  if (const char *hit = strchr(kFrom, *p); hit && *p) {
    *byte = kTo[hit - kFrom];
    *pp = p + 1;
    return true;
  }
  if (*p != 'x') {
    *byte = (uint8_t)*p;
    *pp = p + 1;
    return true;
  }
  p++;
  bool braced = p < end && *p == '{';
  if (braced) p++;
  const char *digits = p;
  int base = p < end && *p == '0' ? 8 : 16;
  uint32_t value = 0;
  for (int n = 0; p < end && (braced || n < 2); n++, p++) {
    int d = hex_digit(*p);
    if (d < 0 || d >= base) break;
    value = value * (uint32_t)base + (uint32_t)d;
  }
  if (p == digits || (braced && (p >= end || *p++ != '}'))) return false;
  *byte = (uint8_t)value;
  *pp = p;
  return true;
}

}  // namespace

int lex_string_bytes(const Token &token, uint8_t *out) {
  int n = 0;
  for (const char *p = token.start; p < token.end;) {
    uint8_t byte = (uint8_t)*p++;
    if (byte == '\\' && !read_escape(&p, token.end, &byte)) return -1;
    if (token.kind == TOK_WSTRING) {
      if (n + 2 > VALUE_STRING_MAX) break;
      out[n++] = byte;
      out[n++] = 0;
    } else {
      if (n + 1 > VALUE_STRING_MAX) break;
      out[n++] = byte;
    }
  }
  return n;
}
