#include <ctype.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include "symbols/eval/eval_state.h"
#include "symbols/eval/expression.h"
#include "symbols/entries.h"
#include "symbols/modules.h"
#include "symbols/sources.h"
#include "symbols/types.h"
#include "util/path.h"

ExpressionState g_expr;

bool expr_fail(const char *fmt, ...) {
  if (g_expr.failed) return false;
  va_list args;
  va_start(args, fmt);
  vsnprintf(g_expr.error, sizeof g_expr.error, fmt, args);
  va_end(args);
  g_expr.failed = true;
  return false;
}

namespace {

// Deeper nesting than this is refused rather than run off the stack.
const int kMaxDepth = 100;
int g_depth;

bool parse_expression(int min_level, ValueDescriptor *v);
bool parse_unary(ValueDescriptor *v);

bool at(int kind) { return lex_token().kind == kind; }

// Precedence of the binary operators by token kind; 0 for the others.
int binary_level(int kind) {
  switch (kind) {
    case TOK_COMMA: return 2;
    case TOK_QUESTION: return 3;
    case TOK_LOR: return 4;
    case TOK_LAND: return 5;
    case TOK_OR: return 6;
    case TOK_XOR: return 7;
    case TOK_AND: return 8;
    case TOK_EQ: case TOK_NE: return 9;
    case TOK_LT: case TOK_LE: case TOK_GT: case TOK_GE: case TOK_SHL: case TOK_SHR: return 11;
    case TOK_PLUS: case TOK_MINUS: return 12;
    case TOK_STAR: case TOK_MUL: case TOK_DIV: case TOK_MOD: return 13;
    default: return 0;
  }
}

// A literal's type follows its magnitude; hexadecimal ones are unsigned.
void make_integer(ValueDescriptor *v, uint64_t x, bool hex) {
  int code = x < 0x100 ? 0 : x < 0x10000 ? 1 : x <= 0xFFFFFFFFull ? 2 : 3;
  static const int kDecimal[] = {BT_CHAR, BT_SHORT, BT_LONG, BT_QUAD};
  static const int kHex[] = {BT_CHAR, BT_WORD, BT_DWORD, BT_QWORD};
  value_clear(v, type_base(hex ? kHex[code] : kDecimal[code]));
  value_set_u64(v, x);
}

bool make_string(ValueDescriptor *v) {
  value_clear(v, type_base(BT_VARIANT));
  int n = lex_string_bytes(lex_token(), v->data + 4);
  if (n < 0) return expr_fail("Incorrect string format");
  uint32_t len = (uint32_t)n;
  memcpy(v->data, &len, sizeof len);
  return true;
}

EntryRecord *entry_by_id(uint32_t id) {
  if (!tab_in_use(&g_entries.table, (int)id)) return nullptr;
  return *(EntryRecord **)tab_slot(&g_entries.table, (int)id);
}

// A name as the code at the instruction pointer sees it: a local of the current frame,
// a symbol of the current source file, then any symbol.
bool find_symbol(const char *name, uint32_t *address, TypeRecord **type) {
  EvalRegisters regs;
  memset(&regs, 0, sizeof regs);
  bool have_regs = g_expr.env.read_registers && g_expr.env.read_registers(&regs);
  uint32_t ip = regs.r[ER_EIP];
  const EntryRecord *e = have_regs ? entry_nearest(ip) : nullptr;
  if (e && e->type && e->type->kind == TK_FRAME && e->type->data) {
    const FrameData *frame = (const FrameData *)e->type->data;
    int shift = 0;
    if (ip >= frame->start && ip < frame->end &&
        type_find_member(e->type, name, &shift, type)) {
      *address = regs.r[ER_EBP] + (uint32_t)shift;
      g_expr.read_registers = true;
      return true;
    }
  }
  const SourceRecord *source = have_regs ? source_of_address(ip) : nullptr;
  uint32_t id = 0;
  e = source && namemap_find(&source->entry_map, name, &id) ? entry_by_id(id) : nullptr;
  if (!e) e = entry_find(name);
  if (!e) return false;
  *address = e->address;
  *type = e->type;
  return true;
}

// "T ptr [": the identifier is followed by the word ptr.
const char *after_ptr(const char *p) {
  while (isspace((unsigned char)*p)) p++;
  if (strncasecmp(p, "ptr", 3) || isalnum((unsigned char)p[3]) || p[3] == '_') return nullptr;
  return p + 3;
}

// "[" address "]" with the current token at "[": the value of type at that address.
bool memory_operand(ValueDescriptor *v, TypeRecord *type) {
  if (!at(TOK_LBRACKET)) return expr_fail("Left bracket expected");
  if (!lex_next(true)) return false;
  bool outer = g_expr.in_memory_operand;
  g_expr.in_memory_operand = true;
  ValueDescriptor a;
  bool ok = parse_expression(0, &a);
  g_expr.in_memory_operand = outer;
  if (!ok) return false;
  if (!at(TOK_RBRACKET)) return expr_fail("Closing bracket expected");
  if (!value_convert(&a, type_base(BT_DWORD))) return expr_fail("Invalid operation");
  value_clear(v, type);
  v->address = (uint32_t)value_u64(&a);
  return value_load(v) && lex_next(false);
}

bool identifier(ValueDescriptor *v) {
  char name[TOKEN_TEXT];
  text_copy(name, sizeof name, lex_token().text);
  if (const char *rest = after_ptr(g_expr.lex.pos)) {
    TypeRecord *type = type_find(name);
    if (!type) return expr_fail("Unknown type '%s'", name);
    g_expr.lex.pos = rest;
    return lex_next(false) && memory_operand(v, type);
  }
  int row = register_find(name);
  uint32_t address = 0;
  TypeRecord *type = nullptr;
  if (row < 0 && find_symbol(name, &address, &type)) {
    if (g_expr.in_memory_operand) {
      make_integer(v, address, true);
      v->type = type_base(BT_DWORD);
    } else {
      value_clear(v, type);
      v->address = address;
      if (!value_load(v)) return false;
    }
    return lex_next(false);
  }
  if (row < 0) {
    char upper[20];
    text_copy(upper, sizeof upper, name);
    for (char *p = upper; *p; p++) *p = (char)toupper((unsigned char)*p);
    row = register_find(upper);
  }
  if (row < 0) return expr_fail("Unknown symbol '%s'", name);
  if (!register_load(row, v)) return expr_fail("Registers cannot be read");
  g_expr.read_registers = true;
  return lex_next(false);
}

bool bracketed_name(ValueDescriptor *v) {
  const char *name = lex_token().text;
  uint32_t address = 0;
  if (const SourceRecord *source = source_by_path(name)) {
    address = source->low;
  } else if (const ModuleRecord *m = eval_module_named(name)) {
    address = m->base;
  } else {
    return expr_fail("Unknown module '%s'", name);
  }
  value_clear(v, nullptr);
  v->address = address;
  value_set_u64(v, address);
  return lex_next(false);
}

// "(" type ")" operand, or "(" expression ")"; the current token is "(".
bool parenthesis(ValueDescriptor *v) {
  LexPosition open = g_expr.lex;
  if (!lex_next(true)) return false;
  if (at(TOK_IDENT) && type_find(lex_token().text)) {
    TypeRecord *type = nullptr;
    if (!parse_type_name(&type)) return false;
    if (at(TOK_RPAREN)) {
      if (!lex_next(true) || !parse_unary(v)) return false;
      return value_convert(v, type) || expr_fail("Invalid typecast");
    }
    g_expr.lex = open;  // a type name that is no cast: read it again as an expression
    if (!lex_next(true)) return false;
  }
  if (!parse_expression(0, v)) return false;
  if (!at(TOK_RPAREN)) return expr_fail("Closing brace expected");
  return lex_next(false);
}

bool primary(ValueDescriptor *v) {
  const Token &t = lex_token();
  switch (t.kind) {
    case TOK_BRACKETED: return bracketed_name(v);
    case TOK_IDENT: return identifier(v);
    case TOK_INT:
    case TOK_HEX: make_integer(v, t.value, t.kind == TOK_HEX); return lex_next(false);
    case TOK_FLOAT:
      value_clear(v, type_base(BT_REAL));
      value_set_double(v, t.real);
      return lex_next(false);
    case TOK_STRING:
    case TOK_WSTRING: return make_string(v) && lex_next(false);
    case TOK_LPAREN: return parenthesis(v);
    case TOK_LBRACKET: return memory_operand(v, type_base(BT_DWORD));
    case TOK_LBRACE: return expr_fail("Structures are not supported yet");
    default: return expr_fail("Any term expected");
  }
}

bool no_indices(const ValueDescriptor *v) {
  char text[TOKEN_TEXT];
  expression_format_type(v->type, text, sizeof text);
  return expr_fail("Type '%s' does not support indices", text);
}

// Indexes and member accesses after a term, in any order.
bool postfix(ValueDescriptor *v) {
  for (;;) {
    if (at(TOK_LBRACKET)) {
      bool outer = g_expr.in_memory_operand;
      g_expr.in_memory_operand = false;
      ValueDescriptor index;
      bool ok = lex_next(false) && parse_expression(0, &index);
      g_expr.in_memory_operand = outer;
      if (!ok) return false;
      if (!value_convert(&index, type_base(BT_LONG))) return expr_fail("Invalid index type");
      if (!at(TOK_RBRACKET)) return expr_fail("Right bracket expected");
      if (!value_index(v, (int32_t)value_u64(&index))) return no_indices(v);
      if (!lex_next(false)) return false;
    } else if (at(TOK_DOT) || at(TOK_ARROW)) {
      if (at(TOK_ARROW) && !value_index(v, 0)) return no_indices(v);
      if (!lex_next(false)) return false;
      if (!at(TOK_IDENT)) return expr_fail("Field name expected");
      int shift = 0;
      TypeRecord *member = nullptr;
      if (!type_find_member(v->type, lex_token().text, &shift, &member))
        return expr_fail("Unknown symbol %s", lex_token().text);
      if (!value_place(v, member, v->address + (uint32_t)shift) || !lex_next(false))
        return false;
    } else {
      return true;
    }
  }
}

bool is_floating(int code) { return code == BT_FLOAT || code == BT_DOUBLE || code == BT_REAL; }

// "~", "!", "+", "-" by the operand's arithmetic; quad, qword and other types pass.
bool unary_arithmetic(int op, ValueDescriptor *v) {
  int code = value_base_code(v->type);
  if (code < 0 || code == BT_QUAD || code == BT_QWORD) return true;
  bool floating = is_floating(code);
  bool is_signed = code == BT_CHAR || code == BT_SHORT || code == BT_LONG;
  int work = floating && (op == TOK_PLUS || op == TOK_MINUS) ? BT_REAL
             : is_signed || floating                      ? BT_LONG
                                                          : BT_DWORD;
  if (!value_convert(v, type_base(work))) return expr_fail("Type mismatches");
  v->address = 0;
  if (work == BT_REAL) {
    if (op == TOK_MINUS) value_set_double(v, -value_double(v));
    return true;
  }
  uint32_t x = (uint32_t)value_u64(v), r;
  switch (op) {
    case TOK_TILDE: r = ~x; break;
    case TOK_NOT: r = !x; break;
    case TOK_PLUS: r = x; break;
    case TOK_MINUS: r = 0u - x; break;
    default: return expr_fail("Unsupported operator");
  }
  value_set_u64(v, work == BT_LONG ? (uint64_t)(int64_t)(int32_t)r : r);
  return true;
}

bool parse_unary_body(ValueDescriptor *v) {
  int op = lex_token().kind;
  if (op != TOK_AND && op != TOK_STAR && op != TOK_TILDE && op != TOK_NOT &&
      op != TOK_PLUS && op != TOK_MINUS)
    return primary(v) && postfix(v);
  if (!lex_next(true)) return false;
  if (!parse_unary(v)) return expr_fail("Any term expected");
  if (op == TOK_AND) {
    TypeRecord *pointer = eval_pointer_type(v->type);
    uint32_t address = v->address;
    value_clear(v, pointer);
    value_set_u64(v, address);
    return pointer || expr_fail("Invalid operation");
  }
  if (op == TOK_STAR) return value_index(v, 0) || expr_fail("Invalid operation");
  return unary_arithmetic(op, v);
}

bool parse_unary(ValueDescriptor *v) {
  if (++g_depth > kMaxDepth) {
    g_depth--;
    return expr_fail("Expression is nested too deeply");
  }
  bool ok = parse_unary_body(v);
  g_depth--;
  return ok;
}

// "+/" and "-/" after a value: a symbol of the value's module, or a distance.
bool address_offset(ValueDescriptor *v) {
  bool back = at(TOK_BACK);
  if (!lex_next(false)) return false;
  const Token &t = lex_token();
  uint32_t address = v->address;
  if (t.kind == TOK_IDENT) {
    address = entry_address_in_module(t.text, module_by_address(v->address));
    if (!address) return expr_fail("Unknown symbol %s", t.text);
  } else if (t.kind == TOK_INT || t.kind == TOK_HEX) {
    address = back ? address - (uint32_t)t.value : address + (uint32_t)t.value;
  } else {
    return expr_fail("Symbol or number expected");
  }
  value_clear(v, nullptr);
  v->address = address;
  value_set_u64(v, address);
  return lex_next(false);
}

bool concatenate(ValueDescriptor *v, const ValueDescriptor *r) {
  uint8_t left[VALUE_STRING_MAX], right[VALUE_STRING_MAX];
  int a = value_bytes(v, left), b = value_bytes(r, right);
  if (a < 0 || b < 0) return false;
  if (a + b > VALUE_STRING_MAX) b = VALUE_STRING_MAX - a;
  value_clear(v, type_base(BT_VARIANT));
  uint32_t len = (uint32_t)(a + b);
  memcpy(v->data, &len, sizeof len);
  memcpy(v->data + 4, left, (size_t)a);
  memcpy(v->data + 4 + a, right, (size_t)b);
  return true;
}

bool integer_operation(int op, uint32_t a, uint32_t b, bool is_signed, uint32_t *r) {
  int32_t sa = (int32_t)a, sb = (int32_t)b;
  switch (op) {
    case TOK_AND: *r = a & b; return true;
    case TOK_OR: *r = a | b; return true;
    case TOK_XOR: *r = a ^ b; return true;
    case TOK_EQ: *r = a == b; return true;
    case TOK_NE: *r = a != b; return true;
    case TOK_LOR: *r = a || b; return true;
    case TOK_LAND: *r = a && b; return true;
    case TOK_PLUS: *r = a + b; return true;
    case TOK_MINUS: *r = a - b; return true;
    case TOK_STAR: case TOK_MUL: *r = a * b; return true;
    case TOK_SHL: *r = a << (b & 31); return true;
    case TOK_SHR: *r = is_signed ? (uint32_t)(sa >> (b & 31)) : a >> (b & 31); return true;
    case TOK_LT: *r = is_signed ? sa < sb : a < b; return true;
    case TOK_LE: *r = is_signed ? sa <= sb : a <= b; return true;
    case TOK_GT: *r = is_signed ? sa > sb : a > b; return true;
    case TOK_GE: *r = is_signed ? sa >= sb : a >= b; return true;
    case TOK_DIV:
    case TOK_MOD:
      if (!b) return expr_fail("Division by zero");
      if (!is_signed) *r = op == TOK_DIV ? a / b : a % b;
      else if (sa == INT32_MIN && sb == -1) *r = op == TOK_DIV ? a : 0;
      else *r = (uint32_t)(op == TOK_DIV ? sa / sb : sa % sb);
      return true;
    default: return expr_fail("Unsupported operator");
  }
}

bool floating_operation(int op, double a, double b, double *r) {
  switch (op) {
    case TOK_PLUS: *r = a + b; return true;
    case TOK_MINUS: *r = a - b; return true;
    case TOK_STAR: case TOK_MUL: *r = a * b; return true;
    case TOK_DIV:
      if (b == 0) return expr_fail("Division by zero");
      *r = a / b;
      return true;
    // Comparisons hold or not as in C: anything with NaN is unordered, so only != holds.
    case TOK_EQ: *r = a == b; return true;
    case TOK_NE: *r = a != b; return true;
    case TOK_LT: *r = a < b; return true;
    case TOK_LE: *r = a <= b; return true;
    case TOK_GT: *r = a > b; return true;
    case TOK_GE: *r = a >= b; return true;
    case TOK_LAND: *r = a != 0 && b != 0; return true;
    case TOK_LOR: *r = a != 0 || b != 0; return true;
    default: *r = 0; return true;  // bit operations on floating values give 0
  }
}

// Operators whose result is a truth value: they compare floating values as such even
// when only the right operand is one.
bool is_truth_operator(int op) {
  return op == TOK_EQ || op == TOK_NE || op == TOK_LT || op == TOK_LE || op == TOK_GT ||
         op == TOK_GE || op == TOK_LAND || op == TOK_LOR;
}

bool binary(int op, ValueDescriptor *v, ValueDescriptor *r) {
  const TypeRecord *lt = v->type;
  if ((op == TOK_PLUS || op == TOK_MINUS) && lt &&
      (lt->kind == TK_POINTER || lt->kind == TK_ARRAY)) {
    if (!value_convert(r, type_base(BT_LONG))) return expr_fail("Invalid index type");
    uint32_t index = (uint32_t)value_u64(r);
    return value_index(v, (int32_t)(op == TOK_MINUS ? 0u - index : index));
  }
  if (op == TOK_COMMA) return concatenate(v, r);
  int code = value_base_code(lt);
  if (code < 0 || code == BT_VOID || code == BT_VARIANT) return expr_fail("Invalid operation");
  TypeRecord *result_type = type_base(code);  // an enum's result is its base type's
  bool floating =
      is_floating(code) || (is_truth_operator(op) && is_floating(value_base_code(r->type)));
  bool is_signed = code == BT_CHAR || code == BT_SHORT || code == BT_LONG || code == BT_QUAD;
  TypeRecord *work = type_base(floating ? BT_REAL : is_signed ? BT_LONG : BT_DWORD);
  if (!value_convert(v, work) || !value_convert(r, work)) return expr_fail("Type mismatches");
  if (floating) {
    double x = 0;
    if (!floating_operation(op, value_double(v), value_double(r), &x)) return false;
    value_set_double(v, x);
  } else {
    uint32_t x = 0;
    if (!integer_operation(op, (uint32_t)value_u64(v), (uint32_t)value_u64(r), is_signed, &x))
      return false;
    value_set_u64(v, is_signed ? (uint64_t)(int64_t)(int32_t)x : x);
  }
  v->address = 0;
  return value_convert(v, result_type) || expr_fail("Type mismatches");
}

bool conditional(ValueDescriptor *v) {
  ValueDescriptor condition = *v, second, third;
  if (!value_convert(&condition, type_base(BT_LONG))) return expr_fail("Invalid condition type");
  if (!lex_next(true) || !parse_expression(3, &second)) return false;
  if (!at(TOK_COLON)) return expr_fail("Colon expected");
  if (!lex_next(true) || !parse_expression(3, &third)) return false;
  *v = (uint32_t)value_u64(&condition) ? second : third;
  return true;
}

bool parse_expression_body(int min_level, ValueDescriptor *v) {
  if (!parse_unary(v)) return false;
  for (;;) {
    int op = lex_token().kind;
    if (op == TOK_BACK || op == TOK_FORTH) {
      if (!address_offset(v)) return false;
      continue;
    }
    int level = binary_level(op);
    if (level <= min_level) return true;
    if (op == TOK_QUESTION) {
      if (!conditional(v)) return false;
      continue;
    }
    ValueDescriptor r;
    if (!lex_next(false) || !parse_expression(level, &r) || !binary(op, v, &r)) return false;
  }
}

bool parse_expression(int min_level, ValueDescriptor *v) {
  if (++g_depth > kMaxDepth) {
    g_depth--;
    return expr_fail("Expression is nested too deeply");
  }
  bool ok = parse_expression_body(min_level, v);
  g_depth--;
  return ok;
}

}  // namespace

bool parse_type_name(TypeRecord **type) {
  if (!at(TOK_IDENT)) return expr_fail("Type name expected");
  TypeRecord *t = type_find(lex_token().text);
  if (!t) return expr_fail("Unknown type %s", lex_token().text);
  for (;;) {
    if (!lex_next(false)) return false;
    if (at(TOK_STAR)) {
      t = eval_pointer_type(t);
    } else if (at(TOK_LBRACKET)) {
      if (!lex_next(false)) return false;
      if (!at(TOK_RBRACKET)) return expr_fail("Right bracket expected");
      t = eval_array_type(t);
    } else {
      break;
    }
    if (!t) return expr_fail("Type name expected");
  }
  *type = t;
  return true;
}

ModuleRecord *eval_module_named(const char *name) {
  if (ModuleRecord *m = module_by_name(name)) return m;
  for (ModuleRecord *m = module_next(nullptr); m; m = module_next(m)) {
    const char *file = m->name;
    for (const char *p = m->name; *p; p++)
      if (*p == '\\' || *p == '/') file = p + 1;
    if (!strcasecmp(file, name)) return m;
  }
  return nullptr;
}

bool eval_begin(const char *text, bool brackets) {
  g_expr.failed = false;
  g_expr.error[0] = 0;
  g_expr.in_memory_operand = false;
  g_expr.read_registers = false;
  g_depth = 0;
  if (!text) return false;
  g_expr.lex.pos = text;
  return lex_next(brackets);
}

bool expression_evaluate(const char *text, ValueDescriptor *value) {
  value_clear(value, nullptr);
  return eval_begin(text, true) && parse_expression(0, value);
}
