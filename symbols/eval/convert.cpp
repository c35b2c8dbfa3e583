#include <math.h>
#include <stdint.h>
#include <string.h>

#include "symbols/eval/eval_state.h"
#include "symbols/modules.h"
#include "symbols/types.h"

namespace {

enum Arithmetic { AR_NONE, AR_SIGNED, AR_UNSIGNED, AR_FLOAT };

struct BaseForm {
  int arithmetic;
  int bits;  // integers: the width they are widened from
};

// By base type code: the signedness and width that widen a value read from the data.
// "char" is widened without sign: its values are characters.
const BaseForm kForms[BT_COUNT] = {
    {AR_NONE, 0},      {AR_SIGNED, 8},    {AR_SIGNED, 16},   {AR_SIGNED, 32},
    {AR_SIGNED, 64},   {AR_UNSIGNED, 8},  {AR_UNSIGNED, 16}, {AR_UNSIGNED, 32},
    {AR_UNSIGNED, 64}, {AR_FLOAT, 32},    {AR_FLOAT, 64},    {AR_FLOAT, 64},
    {AR_NONE, 0},
};

uint64_t widen(int code, uint64_t x) {
  switch (code) {
    case BT_SHORT: return (uint64_t)(int64_t)(int16_t)x;
    case BT_LONG: return (uint64_t)(int64_t)(int32_t)x;
    default:
      return kForms[code].bits >= 64 ? x : x & ((1ull << kForms[code].bits) - 1);
  }
}

bool is_integer(int code) {
  return code >= 0 && (kForms[code].arithmetic == AR_SIGNED ||
                       kForms[code].arithmetic == AR_UNSIGNED);
}

// Floating to integer truncates; values out of range saturate instead of overflowing.
int64_t truncate(double d) {
  if (isnan(d)) return 0;
  if (d >= 9223372036854775807.0) return INT64_MAX;
  if (d <= -9223372036854775808.0) return INT64_MIN;
  return (int64_t)d;
}

double real_of(const ValueDescriptor *v, int code) {
  if (code == BT_FLOAT) {
    float f;
    memcpy(&f, v->data, sizeof f);
    return f;
  }
  return value_double(v);
}

void store_real(ValueDescriptor *v, int code, double d) {
  if (code == BT_FLOAT) {
    memset(v->data, 0, 8);
    float f = (float)d;
    if (isfinite(d) && fabs(d) > 3.4028234663852886e38) f = d > 0 ? INFINITY : -INFINITY;
    memcpy(v->data, &f, sizeof f);
  } else {
    value_set_double(v, d);
  }
}

// Base to base: widen by the source, then integer or floating form of the target.
bool convert_base(ValueDescriptor *v, int from, int to) {
  if (from == to) return true;
  int af = kForms[from].arithmetic, at = kForms[to].arithmetic;
  if (af == AR_NONE || at == AR_NONE) return false;
  if (af == AR_FLOAT) {
    double d = real_of(v, from);
    if (at == AR_FLOAT) store_real(v, to, d);
    else value_set_u64(v, widen(to, (uint64_t)truncate(d)));
    return true;
  }
  uint64_t x = widen(from, value_u64(v));
  if (at != AR_FLOAT) {
    value_set_u64(v, widen(to, x));
    return true;
  }
  if (kForms[from].bits == 64) return false;  // "quad" and "qword" stay integers
  store_real(v, to, af == AR_SIGNED ? (double)(int64_t)x : (double)x);
  return true;
}

// Arrays of 2 GB and more come back from the store as negative sizes.
int size_of(const TypeRecord *type) {
  int size = type_size(type);
  return size < 0 ? INT32_MAX : size;
}

// Base and pointer types (and enums as their base) live in at most 8 bytes of memory.
int loaded_size(const TypeRecord *type) {
  if (!type) return 0;
  if (type->kind == TK_ENUM) type = type_deref(type);
  if (!type || (type->kind != TK_BASE && type->kind != TK_POINTER)) return -1;
  int size = size_of(type);
  return size > 8 ? 8 : size;
}

bool read_memory(uint32_t address, void *buffer, uint32_t size) {
  if (!size) return true;
  if (g_expr.env.read_memory && g_expr.env.read_memory(address, buffer, size)) return true;
  return expr_fail("Cannot read memory at 0x%lX", (unsigned long)address);
}

TypeRecord *unowned(TypeRecord *(*make)(TypeRecord *, uint32_t), TypeRecord *of) {
  ModuleRecord *current = module_current();
  module_set_current(nullptr);
  TypeRecord *t = make(of, 0);
  module_set_current(current);
  return t;
}

TypeRecord *make_pointer(TypeRecord *target, uint32_t) { return type_define_pointer(target); }

}  // namespace

uint64_t value_u64(const ValueDescriptor *v) {
  uint64_t x;
  memcpy(&x, v->data, sizeof x);
  return x;
}

void value_set_u64(ValueDescriptor *v, uint64_t x) { memcpy(v->data, &x, sizeof x); }

double value_double(const ValueDescriptor *v) {
  double d;
  memcpy(&d, v->data, sizeof d);
  return d;
}

void value_set_double(ValueDescriptor *v, double x) { memcpy(v->data, &x, sizeof x); }

// Only the value's first 8 bytes are read unless a byte string's length says more.
void value_clear(ValueDescriptor *v, TypeRecord *type) {
  v->address = 0;
  v->type = type ? type : type_base(BT_VOID);
  v->reg = 0;
  memset(v->data, 0, 8);
}

int value_base_code(const TypeRecord *type) {
  if (type && type->kind == TK_ENUM) type = type_deref(type);
  if (!type || type->kind != TK_BASE || type->id >= BT_COUNT) return -1;
  return (int)type->id;
}

bool value_convert(ValueDescriptor *v, TypeRecord *type) {
  if (!type) return false;
  const TypeRecord *from = v->type;
  int source_kind = from ? from->kind : TK_BASE;
  int from_code = value_base_code(from);
  switch (type->kind) {
    case TK_BASE:
      if (source_kind == TK_POINTER || source_kind == TK_ARRAY) {
        if (source_kind == TK_ARRAY) value_set_u64(v, v->address);
        from_code = BT_DWORD;
      }
      if (from_code < 0 || !convert_base(v, from_code, (int)type->id)) return false;
      break;
    case TK_POINTER:
    case TK_ARRAY:
      if (source_kind == TK_ARRAY) {
        if (type->kind == TK_POINTER) value_set_u64(v, v->address);
      } else if (source_kind == TK_POINTER || is_integer(from_code)) {
        uint64_t x = widen(source_kind == TK_POINTER ? BT_DWORD : from_code, value_u64(v));
        value_set_u64(v, (uint32_t)x);
        if (type->kind == TK_ARRAY) v->address = (uint32_t)x;
      } else {
        return false;
      }
      break;
    case TK_ENUM:
    case TK_STRUCT:
    case TK_FUNCTION:
    case TK_FRAME:
      log_printf("NIY\n");
      return false;
    default:
      return false;
  }
  // A converted value lives in the descriptor, except for an array, which is its place.
  if (type->kind != TK_ARRAY) v->address = 0;
  v->type = type;
  v->reg = 0;
  return true;
}

bool value_load(ValueDescriptor *v) {
  int size = loaded_size(v->type);
  if (size < 0) {
    value_set_u64(v, v->address);
    return true;
  }
  if (!v->address) return true;
  memset(v->data, 0, 8);
  return read_memory(v->address, v->data, (uint32_t)size);
}

bool value_store(const ValueDescriptor *v) {
  int size = loaded_size(v->type);
  if (size <= 0 || !v->address) return true;
  return g_expr.env.write_memory && g_expr.env.write_memory(v->address, v->data, (uint32_t)size);
}

int value_bytes(const ValueDescriptor *v, uint8_t *out) {
  const TypeRecord *t = v->type;
  if (value_base_code(t) == BT_VARIANT && t->kind == TK_BASE) {
    uint32_t n;
    memcpy(&n, v->data, sizeof n);
    if (n > VALUE_STRING_MAX) n = VALUE_STRING_MAX;
    memcpy(out, v->data + 4, n);
    return (int)n;
  }
  int size = size_of(t);
  if (t && (t->kind == TK_ARRAY || t->kind == TK_STRUCT) && v->address) {
    if (size > VALUE_STRING_MAX) size = VALUE_STRING_MAX;
    return read_memory(v->address, out, (uint32_t)size) ? size : -1;
  }
  if (size > 8) size = 8;
  memcpy(out, v->data, (size_t)size);
  return size;
}

bool value_index(ValueDescriptor *v, int32_t index) {
  const TypeRecord *t = v->type;
  if (!t || (t->kind != TK_POINTER && t->kind != TK_ARRAY)) return false;
  TypeRecord *element = type_deref(t);
  if (!element) element = type_base(BT_VOID);
  uint32_t base = t->kind == TK_POINTER ? (uint32_t)value_u64(v) : v->address;
  return value_place(v, element, base + (uint32_t)index * (uint32_t)size_of(element));
}

bool value_place(ValueDescriptor *v, TypeRecord *type, uint32_t address) {
  value_clear(v, type);
  v->address = address;
  // Address 0 would mean a value without a place: a null pointer is not read as 0.
  if (!address && loaded_size(v->type) >= 0)
    return expr_fail("Cannot read memory at 0x%lX", (unsigned long)address);
  return value_load(v);
}

TypeRecord *eval_pointer_type(TypeRecord *target) { return unowned(make_pointer, target); }
TypeRecord *eval_array_type(TypeRecord *element) { return unowned(type_define_array, element); }
