// The decorated name is read once, front to back; every piece of text it stands for is
// appended to one fixed arena and named by its place there, so that back-references and
// pointers wrapped around function types can reuse earlier pieces without allocating.
// A full arena, a nesting deeper than kMaxDepth or an unknown code ends the reading.
#include "symbols/undecorate_msvc.h"

#include <stdint.h>
#include <string.h>

#include "symbols/undecorate_literal.h"
#include "symbols/undecorate_msvc_table.h"

namespace {

enum {
  ARENA_SIZE = 16384,
  MAX_INPUT = 2048,
  MAX_DEPTH = 96,       // a template argument costs three levels: its type, name and arguments
  BACKREFS = 10,        // the decoration can refer back to ten names and ten parameter types
  MAX_COMPONENTS = 24,  // of one qualified name
  MAX_LIST = 32,        // parameters or template arguments
};

struct Piece {
  uint32_t at, length;
};

enum TypeShape { SHAPE_PLAIN, SHAPE_POINTER, SHAPE_ARRAY, SHAPE_FUNCTION };

// A type as a declarator shows it: the text before the declared name and after it; a
// function's calling convention stands apart, as a pointer to it puts it inside "(*)".
struct TypeText {
  Piece before, after, convention;
  TypeShape shape;
};

struct Backrefs {
  Piece names[BACKREFS];
  uint32_t name_count;
  TypeText types[BACKREFS];
  uint32_t type_count;
};

struct Undecorator {
  const char *at, *end;
  bool ok;
  uint32_t depth;
  Backrefs refs;
  uint32_t used;
  char arena[ARENA_SIZE];
};

// Counts one level of nesting for as long as it lives; too deep fails the reading.
struct Nesting {
  Undecorator *u;
  explicit Nesting(Undecorator *undecorator) : u(undecorator) {
    if (++u->depth > MAX_DEPTH) u->ok = false;
  }
  ~Nesting() { u->depth--; }
};

struct Components {
  Piece items[MAX_COMPONENTS];  // innermost first, as decorated
  uint32_t count;
};

struct FunctionText {
  TypeText result;
  bool has_result;
  Piece convention, parameters, qualifiers;
};

struct SymbolText {
  Piece name, full;
};

bool symbol(Undecorator *u, SymbolText *out);
TypeText type(Undecorator *u);
Piece qualified_name(Undecorator *u);

bool fail(Undecorator *u) {
  u->ok = false;
  return false;
}

char peek(const Undecorator *u) { return u->at < u->end ? *u->at : 0; }

// Takes code when the letters after its first, which the caller matched, follow too.
bool take_rest(Undecorator *u, const char *code) {
  size_t length = 1;
  while (code[length]) {
    if (u->at + length == u->end || u->at[length] != code[length]) return false;
    length++;
  }
  u->at += length;
  return true;
}

// Codes are tried one after another: the first letter decides most of them without a call.
inline bool take(Undecorator *u, const char *code) {
  return u->at != u->end && *u->at == code[0] && take_rest(u, code);
}

// A table's rows chained by their first letter in table order, built once, so that a code
// is looked for only among the rows that can match it. No table has 256 rows.
template <class Row>
struct CodeTable {
  const Row *rows;
  uint8_t first[128];  // a row's number + 1; 0 ends a chain
  uint8_t next[256];
};

template <class Row>
CodeTable<Row> code_table(const Row *rows, size_t count) {
  CodeTable<Row> table = {rows, {}, {}};
  for (size_t i = count; i-- > 0;) {
    uint8_t letter = (uint8_t)rows[i].code[0] & 127;
    table.next[i] = table.first[letter];
    table.first[letter] = (uint8_t)(i + 1);
  }
  return table;
}

const CodeTable<DecoratedCode> kBuiltins = code_table(kBuiltinTypes, kBuiltinTypeCount);
const CodeTable<DecoratedCode> kConventions =
    code_table(kCallingConventions, kCallingConventionCount);
const CodeTable<DecoratedCode> kQualifiers = code_table(kTypeQualifiers, kTypeQualifierCount);
const CodeTable<DecoratedCode> kTags = code_table(kTagKinds, kTagKindCount);
const CodeTable<DecoratedCode> kStorage = code_table(kVariableClasses, kVariableClassCount);
const CodeTable<OperatorCode> kOperatorTable = code_table(kOperators, kOperatorCount);
const CodeTable<FunctionClass> kClasses = code_table(kFunctionClasses, kFunctionClassCount);
const CodeTable<PointerCode> kPointerTable = code_table(kPointers, kPointerCount);

// The first of the table's first limit rows whose code follows.
template <class Row>
const Row *take_row(Undecorator *u, const CodeTable<Row> &table, size_t limit = 256) {
  uint8_t letter = u->at < u->end ? (uint8_t)*u->at : 0;
  if (letter >= 128) return nullptr;
  // A long chain (the operators under "_") is mostly told apart by the second letter.
  char second = u->end - u->at > 1 ? u->at[1] : 0;
  for (size_t i = table.first[letter]; i && i <= limit; i = table.next[i - 1]) {
    const char *code = table.rows[i - 1].code;
    if ((!code[1] || code[1] == second) && take_rest(u, code)) return &table.rows[i - 1];
  }
  return nullptr;
}

bool digit_next(const Undecorator *u) { return peek(u) >= '0' && peek(u) <= '9'; }

void put(Undecorator *u, const char *text, size_t length) {
  if (length > ARENA_SIZE - u->used) {
    u->ok = false;
    return;
  }
  memmove(u->arena + u->used, text, length);
  u->used += length;
}
void put(Undecorator *u, const char *text) { put(u, text, strlen(text)); }
void put(Undecorator *u, Piece piece) { put(u, u->arena + piece.at, piece.length); }

Piece since(const Undecorator *u, uint32_t start) { return Piece{start, u->used - start}; }

Piece text_piece(Undecorator *u, const char *text) {
  uint32_t start = u->used;
  put(u, text);
  return since(u, start);
}

// A word or a closing ">" is kept apart from what follows it.
void space_if_needed(Undecorator *u, uint32_t start) {
  if (u->used == start) return;
  char c = u->arena[u->used - 1];
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
      c == '>')
    put(u, " ");
}

bool same(const Undecorator *u, Piece a, Piece b) {
  return a.length == b.length && memcmp(u->arena + a.at, u->arena + b.at, a.length) == 0;
}

void remember_name(Undecorator *u, Piece name) {
  for (uint32_t i = 0; i < u->refs.name_count; i++)
    if (same(u, u->refs.names[i], name)) return;
  if (u->refs.name_count < BACKREFS) u->refs.names[u->refs.name_count++] = name;
}

Piece name_backref(Undecorator *u) {
  uint32_t index = (uint32_t)(u->at[0] - '0');
  u->at++;
  if (index >= u->refs.name_count) fail(u);
  return index < u->refs.name_count ? u->refs.names[index] : Piece{};
}

// Numbers: a digit stands for one more than itself; longer ones are hexadecimal with the
// digits A to P, ended by "@"; a "?" before makes them negative.
int64_t number(Undecorator *u) {
  bool negative = take(u, "?");
  uint64_t value = 0;
  if (digit_next(u)) {
    value = (uint64_t)(*u->at++ - '0') + 1;
  } else {
    int digits = 0;
    for (char c; (c = peek(u)) != '@'; u->at++) {
      if (c < 'A' || c > 'P' || ++digits > 16) return fail(u);
      value = value * 16 + (uint64_t)(c - 'A');
    }
    u->at++;
  }
  return negative ? (int64_t)(0 - value) : (int64_t)value;
}

void put_number(Undecorator *u, int64_t value) {
  char text[24];
  size_t at = sizeof text;
  uint64_t magnitude = value < 0 ? 0 - (uint64_t)value : (uint64_t)value;
  do text[--at] = (char)('0' + magnitude % 10);
  while (magnitude /= 10);
  if (value < 0) text[--at] = '-';
  put(u, text + at, sizeof text - at);
}

Piece simple_name(Undecorator *u) {
  const char *start = u->at;
  while (u->at < u->end && *u->at != '@') u->at++;
  if (u->at == u->end || u->at == start) {
    fail(u);
    return Piece{};
  }
  uint32_t mark = u->used;
  put(u, start, (size_t)(u->at - start));
  u->at++;
  Piece name = since(u, mark);
  remember_name(u, name);
  return name;
}

Piece join(Undecorator *u, const Piece *items, uint32_t count, const char *separator) {
  uint32_t mark = u->used;
  for (uint32_t i = 0; i < count; i++) {
    if (i) put(u, separator);
    put(u, items[i]);
  }
  return since(u, mark);
}

Piece type_piece(Undecorator *u, const TypeText &t) {
  uint32_t mark = u->used;
  put(u, t.before);
  put(u, t.after);
  return since(u, mark);
}

// The arguments of a template have back-references of their own; the template's name
// joins the outer ones when remembered is set. Its own name may be an operator.
Piece template_name(Undecorator *u, bool remembered, const OperatorCode **special) {
  Nesting nesting(u);
  Backrefs outer = u->refs;
  u->refs.name_count = u->refs.type_count = 0;
  Piece base = Piece{};
  const OperatorCode *op = nullptr;
  if (take(u, "?")) {
    op = take_row(u, kOperatorTable);
    if (!op || op->kind == OPERATOR_CONVERSION || op->kind >= OPERATOR_TYPE_NAME || !special)
      fail(u);
    else if (op->kind == OPERATOR_PLAIN)
      base = text_piece(u, op->text);
    if (special) *special = op;
  } else {
    base = simple_name(u);
  }
  Piece arguments[MAX_LIST];
  uint32_t count = 0;
  while (u->ok && !take(u, "@")) {
    if (take(u, "$$V") || take(u, "$$Z")) continue;
    if (count == MAX_LIST) {
      fail(u);
      break;
    }
    SymbolText target;
    if (take(u, "$0")) {
      int64_t value = number(u);
      uint32_t mark = u->used;
      put_number(u, value);
      arguments[count++] = since(u, mark);
    } else if (take(u, "$1?") || take(u, "$E?")) {
      bool address = u->at[-2] == '1';
      symbol(u, &target);
      uint32_t mark = u->used;
      if (address) put(u, "&");
      put(u, target.full);
      arguments[count++] = since(u, mark);
    } else {
      arguments[count++] = type_piece(u, type(u));
    }
  }
  u->refs = outer;
  uint32_t mark = u->used;
  put(u, base);
  put(u, "<");
  join(u, arguments, count, ", ");
  put(u, ">");
  Piece name = since(u, mark);
  if (remembered) remember_name(u, name);
  return name;
}

// One scope of a qualified name after the first: a namespace, class or template, the
// anonymous namespace, or a numbered scope inside a function.
void scope(Undecorator *u, Components *names) {
  if (names->count + 2 > MAX_COMPONENTS) {
    fail(u);
    return;
  }
  Piece *slot = &names->items[names->count++];
  if (digit_next(u)) {
    *slot = name_backref(u);
  } else if (take(u, "?$")) {
    *slot = template_name(u, true, nullptr);
  } else if (take(u, "?A")) {
    simple_name(u);
    *slot = text_piece(u, "`anonymous namespace'");
    remember_name(u, *slot);
  } else if (take(u, "?")) {
    uint32_t mark = u->used;
    put(u, "`");
    put_number(u, number(u));
    put(u, "'");
    *slot = since(u, mark);
    SymbolText function;
    if (!take(u, "??") || !symbol(u, &function)) {
      fail(u);
      return;
    }
    mark = u->used;
    put(u, "`");
    put(u, function.full);
    put(u, "'");
    names->items[names->count++] = since(u, mark);
  } else {
    *slot = simple_name(u);
  }
}

// The scopes after the first name up to the "@" that ends them, outermost first.
Piece scopes(Undecorator *u, Components *names) {
  while (u->ok && !take(u, "@")) scope(u, names);
  Piece ordered[MAX_COMPONENTS];
  for (uint32_t i = 0; i < names->count; i++) ordered[i] = names->items[names->count - 1 - i];
  return join(u, ordered, names->count, "::");
}

Piece qualified_name(Undecorator *u) {
  Nesting nesting(u);
  Components names;
  if (digit_next(u))
    names.items[0] = name_backref(u);
  else if (take(u, "?$"))
    names.items[0] = template_name(u, true, nullptr);
  else
    names.items[0] = simple_name(u);
  names.count = 1;
  return scopes(u, &names);
}

void qualify(Undecorator *u, TypeText *t, const DecoratedCode *qualifiers) {
  // A pointer shows its own qualifiers, which its code gave already.
  if (!qualifiers || !qualifiers->text[0] || t->shape == SHAPE_POINTER) return;
  uint32_t mark = u->used;
  put(u, t->before);
  if (t->shape == SHAPE_PLAIN)
    put(u, " ");
  else
    space_if_needed(u, mark);
  put(u, qualifiers->text);
  t->before = since(u, mark);
}

Piece parameters(Undecorator *u) {
  if (take(u, "X")) return text_piece(u, "void");
  Piece items[MAX_LIST];
  uint32_t count = 0;
  while (u->ok && !take(u, "@")) {
    if (count == MAX_LIST) {
      fail(u);
      break;
    }
    if (take(u, "Z")) {
      items[count++] = text_piece(u, "...");
      break;
    }
    if (digit_next(u)) {
      uint32_t index = (uint32_t)(*u->at++ - '0');
      if (index >= u->refs.type_count) {
        fail(u);
        break;
      }
      items[count++] = type_piece(u, u->refs.types[index]);
      continue;
    }
    const char *start = u->at;
    TypeText t = type(u);
    // Only types that took more than one letter can be referred back to.
    if (u->at - start > 1 && u->refs.type_count < BACKREFS) u->refs.types[u->refs.type_count++] = t;
    items[count++] = type_piece(u, t);
  }
  return join(u, items, count, ", ");
}

// A function's type from its calling convention on; a member's qualifiers of "this" come
// first when with_this is set.
FunctionText function_type(Undecorator *u, bool with_this) {
  Nesting nesting(u);
  FunctionText f = {};
  if (with_this) {
    while (take(u, "E") || take(u, "I") || take(u, "F")) {
    }
    const DecoratedCode *qualifiers = take_row(u, kQualifiers, 4);
    if (!qualifiers)
      fail(u);
    else
      f.qualifiers = text_piece(u, qualifiers->text);
  }
  const DecoratedCode *convention = take_row(u, kConventions);
  if (!convention) {
    fail(u);
    return f;
  }
  f.convention = text_piece(u, convention->text);
  f.has_result = !take(u, "@");
  if (f.has_result) f.result = type(u);
  f.parameters = parameters(u);
  if (!take(u, "Z") && !take(u, "_E")) fail(u);
  return f;
}

TypeText function_as_type(Undecorator *u, const FunctionText &f) {
  TypeText t = {};
  t.shape = SHAPE_FUNCTION;
  t.convention = f.convention;
  uint32_t mark = u->used;
  if (f.has_result) {
    put(u, f.result.before);
    put(u, " ");
  }
  t.before = since(u, mark);
  mark = u->used;
  put(u, "(");
  put(u, f.parameters);
  put(u, ")");
  if (f.qualifiers.length) put(u, " ");
  put(u, f.qualifiers);
  if (f.has_result) put(u, f.result.after);
  t.after = since(u, mark);
  return t;
}

TypeText pointer(Undecorator *u, const PointerCode *code) {
  const char *extra = "";
  for (;;) {
    if (take(u, "E") || take(u, "F")) continue;  // 64-bit and unaligned pointers read the same
    if (!take(u, "I")) break;
    extra = " __restrict";
  }
  Piece owner = Piece{};
  TypeText pointee;
  if (take(u, "6")) {
    pointee = function_as_type(u, function_type(u, false));
  } else if (take(u, "8")) {
    owner = qualified_name(u);
    pointee = function_as_type(u, function_type(u, true));
  } else {
    const DecoratedCode *qualifiers = take_row(u, kQualifiers);
    if (!qualifiers) {
      fail(u);
      return TypeText{};
    }
    if (qualifiers >= kTypeQualifiers + 4) owner = qualified_name(u);
    pointee = type(u);
    qualify(u, &pointee, qualifiers);
  }
  TypeText t = {};
  t.shape = SHAPE_POINTER;
  uint32_t mark = u->used;
  put(u, pointee.before);
  if (pointee.shape == SHAPE_FUNCTION) {
    put(u, "(");
    put(u, pointee.convention);
    put(u, " ");
  } else {
    space_if_needed(u, mark);
    if (pointee.shape == SHAPE_ARRAY) put(u, "(");
  }
  if (owner.length) {
    put(u, owner);
    put(u, "::");
  }
  put(u, code->mark);
  put(u, code->qualifiers);
  put(u, extra);
  t.before = since(u, mark);
  mark = u->used;
  if (pointee.shape == SHAPE_FUNCTION || pointee.shape == SHAPE_ARRAY) put(u, ")");
  put(u, pointee.after);
  t.after = since(u, mark);
  return t;
}

TypeText array(Undecorator *u) {
  int64_t dimensions = number(u);
  if (dimensions <= 0 || dimensions > MAX_LIST) {
    fail(u);
    return TypeText{};
  }
  int64_t sizes[MAX_LIST];
  for (int64_t i = 0; i < dimensions; i++) sizes[i] = number(u);
  TypeText element = type(u);
  TypeText t = element;
  t.shape = SHAPE_ARRAY;
  uint32_t mark = u->used;
  for (int64_t i = 0; i < dimensions; i++) {
    put(u, "[");
    put_number(u, sizes[i]);
    put(u, "]");
  }
  put(u, element.after);
  t.after = since(u, mark);
  return t;
}

TypeText type(Undecorator *u) {
  Nesting nesting(u);
  TypeText t = {};
  if (!u->ok) return t;
  const DecoratedCode *code;
  const PointerCode *pointer_code;
  uint32_t mark = u->used;
  if (take(u, "?") || take(u, "$$C")) {
    const DecoratedCode *qualifiers = take_row(u, kQualifiers, 4);
    if (qualifiers) {
      t = type(u);
      qualify(u, &t, qualifiers);
    } else if (u->at[-1] == '?') {
      // A type the compiler names itself, such as a deduced <auto>: "?<auto>@@".
      t.before = simple_name(u);
      if (!take(u, "@")) fail(u);
    } else {
      fail(u);
    }
  } else if (digit_next(u)) {
    uint32_t index = (uint32_t)(*u->at++ - '0');
    if (index < u->refs.type_count)
      t = u->refs.types[index];
    else
      fail(u);
  } else if ((code = take_row(u, kBuiltins))) {
    t.before = text_piece(u, code->text);
  } else if ((code = take_row(u, kTags))) {
    Piece name = qualified_name(u);
    mark = u->used;
    put(u, code->text);
    put(u, " ");
    put(u, name);
    t.before = since(u, mark);
  } else if ((pointer_code = take_row(u, kPointerTable))) {
    t = pointer(u, pointer_code);
  } else if (take(u, "$$B") || take(u, "Y")) {
    if (u->at[-1] == 'B' && !take(u, "Y")) return type(u);
    t = array(u);
  } else {
    fail(u);
  }
  return t;
}

// The text of a special name that stands first in a qualified name.
Piece special_name(Undecorator *u, const OperatorCode *op) {
  uint32_t mark = u->used;
  if (op->kind == OPERATOR_BASE_CLASS) {
    put(u, op->text);
    for (int i = 0; i < 4; i++) {
      if (i) put(u, ", ");
      put_number(u, number(u));
    }
    put(u, ")'");
  } else if (op->kind == OPERATOR_INITIALIZER) {
    SymbolText variable;
    Piece name = take(u, "?") && symbol(u, &variable) ? variable.name : simple_name(u);
    mark = u->used;
    put(u, op->text);
    put(u, name);
    put(u, "''");
  } else if (op->kind == OPERATOR_PLAIN) {
    put(u, op->text);
  }
  return since(u, mark);
}

// A variable's type and storage, after its name.
Piece variable(Undecorator *u, Piece name) {
  const DecoratedCode *storage = take_row(u, kStorage);
  TypeText t = type(u);
  const DecoratedCode *qualifiers = take_row(u, kQualifiers);
  if (!storage || !qualifiers) fail(u);
  qualify(u, &t, qualifiers);
  uint32_t mark = u->used;
  if (storage) put(u, storage->text);
  uint32_t type_start = u->used;
  put(u, t.before);
  space_if_needed(u, type_start);
  put(u, name);
  put(u, t.after);
  return since(u, mark);
}

// A virtual table, its qualifiers and the bases it is for.
Piece table(Undecorator *u, Piece *name) {
  const DecoratedCode *qualifiers = take_row(u, kQualifiers);
  if (!qualifiers) fail(u);
  Piece bases[MAX_LIST];
  uint32_t count = 0;
  while (u->ok && !take(u, "@")) {
    if (count == MAX_LIST) return fail(u), Piece{};
    bases[count++] = qualified_name(u);
  }
  // A class has one table for each base that needs one: the bases belong to the name.
  uint32_t mark = u->used;
  put(u, *name);
  for (uint32_t i = 0; i < count; i++) {
    put(u, "{for `");
    put(u, bases[i]);
    put(u, "'}");
  }
  *name = since(u, mark);
  mark = u->used;
  if (qualifiers && qualifiers->text[0]) {
    put(u, qualifiers->text);
    put(u, " ");
  }
  put(u, *name);
  return since(u, mark);
}

// A function's class, type and name as one text; a conversion operator's name gets its
// result type.
Piece function(Undecorator *u, Piece *name, const OperatorCode *op) {
  const FunctionClass *kind = take_row(u, kClasses);
  if (!kind) {
    fail(u);
    return Piece{};
  }
  // A thunk that adjusts "this": by a fixed amount, or through a displacement in the
  // object's virtual base (a 32-bit signed slot, then the amount).
  int64_t adjustment = 0, displacement = 0;
  if (kind->kind == FUNCTION_DISPLACEMENT_THUNK) displacement = (int32_t)(uint32_t)number(u);
  if (kind->kind >= FUNCTION_THUNK) adjustment = number(u);
  FunctionText f = function_type(u, kind->kind != FUNCTION_STATIC && kind->kind != FUNCTION_GLOBAL);
  if (op && op->kind == OPERATOR_CONVERSION) {
    Piece result = type_piece(u, f.result);
    uint32_t mark = u->used;
    put(u, *name);
    put(u, op->text);
    put(u, result);
    *name = since(u, mark);
  }
  TypeText t = function_as_type(u, f);
  uint32_t mark = u->used;
  if (kind->kind >= FUNCTION_THUNK) put(u, "[thunk]: ");
  put(u, kind->access);
  if (kind->kind == FUNCTION_STATIC) put(u, "static ");
  if (kind->kind >= FUNCTION_VIRTUAL) put(u, "virtual ");
  put(u, t.before);
  put(u, f.convention);
  put(u, " ");
  put(u, *name);
  if (kind->kind == FUNCTION_THUNK) {
    put(u, "`adjustor{");
    put_number(u, adjustment);
    put(u, "}'");
  } else if (kind->kind == FUNCTION_DISPLACEMENT_THUNK) {
    put(u, "`vtordisp{");
    put_number(u, displacement);
    put(u, ", ");
    put_number(u, adjustment);
    put(u, "}'");
  }
  put(u, t.after);
  return since(u, mark);
}

// A whole decorated name after its leading "?".
bool symbol(Undecorator *u, SymbolText *out) {
  Nesting nesting(u);
  *out = SymbolText{};
  if (!u->ok) return false;
  const OperatorCode *op = nullptr;
  Components names;
  names.count = 1;
  if (take(u, "?$")) {
    names.items[0] = template_name(u, false, &op);
  } else if (take(u, "?")) {
    op = take_row(u, kOperatorTable);
    if (!op) return fail(u);
    if (op->kind == OPERATOR_STRING) {
      // Written where the arena's next piece goes; a text the arena had to cut fails.
      char *text = u->arena + u->used;
      size_t room = ARENA_SIZE - u->used;
      if (!take(u, "@_") || !undecorate_literal(u->at, u->end, text, room < 1024 ? room : 1024))
        return fail(u);
      size_t length = strlen(text);
      if (room < 1024 && length + 1 >= room) return fail(u);
      u->at = u->end;
      uint32_t mark = u->used;
      u->used += (uint32_t)length;
      out->name = out->full = since(u, mark);
      return u->ok;
    }
    if (op->kind == OPERATOR_TYPE_NAME) {
      // The descriptor stands where a declarator's name would.
      TypeText described = type(u);
      uint32_t mark = u->used;
      put(u, described.before);
      space_if_needed(u, mark);
      put(u, op->text);
      put(u, described.after);
      out->name = out->full = since(u, mark);
      return take(u, "@8") || fail(u);
    }
    names.items[0] = special_name(u, op);
  } else if (digit_next(u)) {
    names.items[0] = name_backref(u);
  } else {
    names.items[0] = simple_name(u);
  }
  Piece arguments = names.items[0];
  if (op && (op->kind == OPERATOR_CONSTRUCTOR || op->kind == OPERATOR_DESTRUCTOR)) {
    // The class's own name, read as the next scope.
    scope(u, &names);
    if (!u->ok) return false;
    uint32_t mark = u->used;
    put(u, op->text);
    put(u, names.items[1]);
    put(u, arguments);
    names.items[0] = since(u, mark);
  }
  out->name = scopes(u, &names);
  if (!u->ok) return false;
  if (peek(u) >= '0' && peek(u) <= '4') {
    out->full = variable(u, out->name);
  } else if (take(u, "6") || take(u, "7")) {
    out->full = table(u, &out->name);
  } else if (take(u, "8")) {
    out->full = out->name;
  } else {
    out->full = function(u, &out->name, op);
  }
  return u->ok;
}

void copy_cut(char *out, size_t size, const char *text, size_t length) {
  if (!size) return;
  if (length > size - 1) length = size - 1;
  memcpy(out, text, length);
  out[length] = 0;
}

// "_name", "_name@12" (stdcall) and "@name@12" (fastcall): the name between the marks.
// An import's pointer, "__imp_" and the decorated name, stays as it is.
bool c_name(const char *decorated, size_t length, char *out, size_t size) {
  if (length < 2 || (decorated[0] != '_' && decorated[0] != '@')) return false;
  if (!strncmp(decorated, "__imp_", 6)) return false;
  const char *start = decorated + 1, *stop = decorated + length;
  const char *at = stop;
  while (at > start && at[-1] >= '0' && at[-1] <= '9') at--;
  bool sized = at < stop && at - 1 > start && at[-1] == '@';
  if (sized)
    stop = at - 1;
  else if (decorated[0] == '@')
    return false;
  if (memchr(start, '@', (size_t)(stop - start))) return false;
  copy_cut(out, size, start, (size_t)(stop - start));
  return true;
}

}  // namespace

bool undecorate_msvc(const char *decorated, UndecorateForm form, char *out, size_t size) {
  size_t length = strnlen(decorated, MAX_INPUT + 1);
  if (length <= MAX_INPUT && decorated[0] == '?') {
    static_assert(sizeof(Undecorator) < 20000, "the reader lives on the stack");
    Undecorator u;
    u.at = decorated + 1;
    u.end = decorated + length;
    u.ok = true;
    u.depth = 0;
    u.refs.name_count = u.refs.type_count = 0;
    u.used = 0;
    SymbolText text;
    if (symbol(&u, &text) && u.ok && u.at == u.end) {
      Piece chosen = form == UNDECORATE_NAME ? text.name : text.full;
      copy_cut(out, size, u.arena + chosen.at, chosen.length);
      return true;
    }
  } else if (length <= MAX_INPUT && c_name(decorated, length, out, size)) {
    return true;
  }
  copy_cut(out, size, decorated, length);
  return false;
}
