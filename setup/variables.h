// Installation variables: "$" names with optional values, kept in creation order; texts
// are expanded by replacing every "$name" that has a value.
#pragma once
#include <stddef.h>

struct Variable {
  char *name;   // zone block
  char *value;  // zone block, or null when the variable has no value
};

struct Variables {
  Variable *items;  // zone array
  int count;
};

// Defines or replaces (same name, case-sensitive) the variable; value may be null.
void variables_set(Variables *vars, const char *name, const char *value);
// First variable of that name without regard to case; null when there is none.
const Variable *variables_find(const Variables *vars, const char *name);
// The value, or the name itself when the variable has none; null when it is not defined.
const char *variables_lookup(const Variables *vars, const char *name);
void variables_expand(const Variables *vars, const char *text, char *out, size_t outlen);
void variables_free(Variables *vars);
// True for the characters of a name after its "$".
bool variable_name_char(char c);
