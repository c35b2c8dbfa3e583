#include <string.h>

#include "symbols/eval/eval_state.h"
#include "symbols/eval/expression.h"
#include "symbols/entries.h"
#include "symbols/modules.h"
#include "symbols/sources.h"
#include "symbols/types.h"

void expression_set_environment(const EvalEnvironment *env) {
  if (env) g_expr.env = *env;
  else memset(&g_expr.env, 0, sizeof g_expr.env);
}

const char *expression_last_error() { return g_expr.failed ? g_expr.error : nullptr; }

bool expression_condition(const char *text, uint32_t *value) {
  *value = 1;
  if (!text || !*text) return true;
  ValueDescriptor v;
  if (!expression_evaluate(text, &v)) {
    *value = 0;
    return false;
  }
  uint32_t address = v.address;
  if (value_convert(&v, type_base(BT_LONG))) *value = (uint32_t)value_u64(&v) != 0;
  else *value = address != 0;
  return true;
}

namespace {

// Numbers and pointers stand for their value, anything else for where it lies.
uint32_t address_of(ValueDescriptor *v) {
  const TypeRecord *t = v->type;
  if (t && t->kind == TK_POINTER) return (uint32_t)value_u64(v);
  uint32_t address = v->address;
  if (t && t->kind == TK_BASE && value_convert(v, type_base(BT_DWORD)))
    return (uint32_t)value_u64(v);
  return address;
}

}  // namespace

// Also what a text that does not evaluate may still name.
uint32_t expression_symbol_address(const char *name) {
  if (!name) return 0;
  if (const EntryRecord *e = entry_find(name)) return e->address;
  if (const SourceRecord *s = source_by_name(name)) return s->low;
  if (const ModuleRecord *m = eval_module_named(name)) return m->base;
  return 0;
}

uint32_t expression_address(const char *text) {
  ValueDescriptor v;
  return expression_evaluate(text, &v) ? address_of(&v) : expression_symbol_address(text);
}

bool expression_reads_registers(const char *text) {
  ValueDescriptor v;
  return expression_evaluate(text, &v) && g_expr.read_registers;
}

bool expression_locate(const char *text, uint32_t *address, uint32_t *size) {
  ValueDescriptor v;
  *size = 4;
  if (!expression_evaluate(text, &v)) {
    *address = expression_symbol_address(text);
    return *address != 0;
  }
  if (v.address && v.type && !(v.type->kind == TK_BASE && v.type->id == BT_VOID)) {
    *address = v.address;
    int type_size_bytes = type_size(v.type);
    *size = type_size_bytes > 0 ? (uint32_t)type_size_bytes : 1;
    return true;
  }
  *address = address_of(&v);
  return true;
}

int expression_bytes(const char *text, uint8_t *buffer, int size) {
  ValueDescriptor v;
  if (!expression_evaluate(text, &v) || !v.type) return 0;
  int kind = v.type->kind;
  if (kind != TK_BASE && kind != TK_POINTER && kind != TK_ARRAY && kind != TK_STRUCT) return 0;
  uint8_t bytes[VALUE_STRING_MAX];
  int n = value_bytes(&v, bytes);
  if (n < 0) return 0;
  if (n > size) n = size;
  memcpy(buffer, bytes, (size_t)n);
  return n;
}

namespace {

bool write_bytes(uint32_t address, const uint8_t *bytes, int n) {
  if (!n) return true;
  if (g_expr.env.write_memory && g_expr.env.write_memory(address, bytes, (uint32_t)n))
    return true;
  return expr_fail("Cannot write memory at 0x%lX", (unsigned long)address);
}

bool reload(ValueDescriptor *target) {
  if (target->reg) return register_load(target->reg - 1, target);
  return value_load(target);
}

}  // namespace

bool expression_assign(ValueDescriptor *target, const char *text) {
  ValueDescriptor v;
  if (!target->address && !target->reg) {
    eval_begin(nullptr, false);
    return expr_fail("Expression has no valid write address");
  }
  if (!expression_evaluate(text, &v)) return false;
  const TypeRecord *t = target->type;
  if (v.type && v.type->kind == TK_BASE && v.type->id == BT_VARIANT) {
    uint8_t bytes[VALUE_STRING_MAX];
    int n = value_bytes(&v, bytes);
    uint32_t at;
    if (t && t->kind == TK_POINTER && !target->reg) at = (uint32_t)value_u64(target);
    else if (t && t->kind == TK_ARRAY) at = target->address;
    else return expr_fail("Invariant variable");
    return write_bytes(at, bytes, n) && reload(target);
  }
  if (!value_convert(&v, target->type)) return expr_fail("Expression type mismatches");
  v.address = target->address;
  bool stored = target->reg ? register_store(target->reg - 1, &v) : value_store(&v);
  if (!stored) return expr_fail("Cannot write to 0x%lX", (unsigned long)target->address);
  return reload(target);
}

TypeRecord *expression_get_type(const char *spec) {
  TypeRecord *type = nullptr;
  if (!eval_begin(spec, false) || !parse_type_name(&type)) return nullptr;
  return type;
}
