// The fixed spellings of mangled C++ names: operators, built-in types, the standard library's
// abbreviations and the special names of tables and thunks.
#pragma once

struct DemangleOperator {
  char code[3];
  const char *spelling;
};

struct DemangleStandard {
  char code;
  const char *spelling;
};

enum DemangleSpecialKind : unsigned char {
  DS_TYPE,          // <type>
  DS_NAME,          // <name>
  DS_ENCODING,      // <encoding>
  DS_THUNK,         // <call offset> <encoding>
  DS_COVARIANT,     // <call offset> <call offset> <encoding>
  DS_CONSTRUCTION,  // <type> <number> _ <type>
  DS_TEMPORARY,     // <name> <sequence id>
};

struct DemangleSpecial {
  char code[4];
  DemangleSpecialKind kind;
  const char *text;
};

// Each finds the entry the text at p (before end) starts with, or null.
const DemangleOperator *demangle_operator(const char *p, const char *end);
const DemangleStandard *demangle_standard(char code);
const DemangleSpecial *demangle_special(const char *p, const char *end);
// The built-in type at p (one letter, or D and a letter), or null.
const char *demangle_builtin(const char *p, const char *end);
// What follows a literal's digits for its built-in type ("u" for unsigned int), or null when the
// literal is written with its type in parentheses.
const char *demangle_literal_suffix(const char *type, int length);
