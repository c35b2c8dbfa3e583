#include <inttypes.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "symbols/address_name.h"
#include "symbols/eval/eval_state.h"
#include "symbols/eval/expression.h"
#include "symbols/types.h"

namespace {

// Nested structures and arrays deeper than this are left out.
const int kMaxNesting = 8;

// Text written into a caller's buffer, cut at its size.
struct Output {
  char *buffer;
  int size;
  int length;
};

bool full(const Output *out) { return out->length >= out->size - 1; }

void put(Output *out, const char *text, size_t n) {
  for (size_t i = 0; i < n && !full(out); i++) out->buffer[out->length++] = text[i];
  out->buffer[out->length] = 0;
}

void puts_text(Output *out, const char *text) { put(out, text, strlen(text)); }

void put_format(Output *out, const char *fmt, ...) KQ_PRINTF(2, 3);
void put_format(Output *out, const char *fmt, ...) {
  char text[128];
  va_list args;
  va_start(args, fmt);
  vsnprintf(text, sizeof text, fmt, args);
  va_end(args);
  puts_text(out, text);
}

void put_name(Output *out, uint32_t address, bool allow_offset) {
  char text[300];
  uint32_t reference = g_expr.env.reference ? g_expr.env.reference() : 0;
  address_name(reference, address, allow_offset, text, sizeof text);
  puts_text(out, text);
}

void put_char(Output *out, uint8_t c) {
  static const char kEscapes[] = "0\0\0\0\0\0\0\0btnvfr";  // by code 0..13
  if (c < 14 && kEscapes[c]) {
    put_format(out, "'\\%c'", kEscapes[c]);
  } else if (c < 0x20 || c == 0x7F) {
    put_format(out, "'\\x{%02X}'", c);
  } else {
    put_format(out, "'%c'", c);
  }
}

bool is_text_type(const TypeRecord *t) {
  return t && t->kind == TK_BASE && (t->id == BT_CHAR || t->id == BT_BYTE);
}

// The NUL-terminated text at address between double quotes, read in 256-byte pieces.
void put_string(Output *out, uint32_t address) {
  puts_text(out, "\"");
  uint8_t piece[256];
  for (bool done = false; !done && !full(out); address += sizeof piece) {
    uint32_t n = sizeof piece;
    bool ok = g_expr.env.read_memory && g_expr.env.read_memory(address, piece, n);
    for (n = 0; !ok && n < sizeof piece; n++)  // the piece crosses into unreadable memory
      if (!g_expr.env.read_memory || !g_expr.env.read_memory(address + n, piece + n, 1)) break;
    if (ok) n = sizeof piece;
    size_t len = strnlen((const char *)piece, n);
    put(out, (const char *)piece, len);
    done = len < n || n < sizeof piece;
  }
  puts_text(out, "\"");
}

void format_value(Output *out, ValueDescriptor *v, bool top, int depth);

// One element or member, loaded from its own address.
void format_part(Output *out, TypeRecord *type, uint32_t address, int depth) {
  ValueDescriptor part;
  if (value_place(&part, type, address)) format_value(out, &part, false, depth + 1);
  else puts_text(out, "??");
}

void format_elements(Output *out, TypeRecord *element, uint32_t address, uint32_t count,
                     int depth) {
  int size = type_size(element);
  puts_text(out, "{");
  for (uint32_t i = 0; i < count && !full(out); i++) {
    if (i) puts_text(out, ", ");
    format_part(out, element, address + i * (uint32_t)size, depth);
  }
  puts_text(out, "}");
}

void format_base(Output *out, const ValueDescriptor *v, int code) {
  uint64_t x = value_u64(v);
  switch (code) {
    case BT_CHAR: put_char(out, (uint8_t)x); break;
    case BT_SHORT: put_format(out, "%i", (int)(int16_t)x); break;
    case BT_LONG: put_format(out, "%i", (int)(int32_t)x); break;
    case BT_QUAD: put_format(out, "%" PRId64, (int64_t)x); break;
    case BT_BYTE: put_format(out, "0x%X", (unsigned)(uint8_t)x); break;
    case BT_WORD: put_format(out, "0x%X", (unsigned)(uint16_t)x); break;
    case BT_DWORD: put_name(out, (uint32_t)x, false); break;
    case BT_QWORD: put_format(out, "0x%" PRIX64, x); break;
    case BT_FLOAT: {
      float f;
      memcpy(&f, v->data, sizeof f);
      put_format(out, "%g", (double)f);
      break;
    }
    case BT_DOUBLE:
    case BT_REAL: put_format(out, "%g", value_double(v)); break;
    default: break;  // void and byte strings show nothing
  }
}

void format_value(Output *out, ValueDescriptor *v, bool top, int depth) {
  TypeRecord *t = v->type;
  if (!t || depth > kMaxNesting) return;
  uint32_t value = (uint32_t)value_u64(v);
  switch (t->kind) {
    case TK_BASE:
    case TK_ENUM: format_base(out, v, value_base_code(t)); break;
    case TK_POINTER: {
      TypeRecord *target = type_deref(t);
      if (!value) puts_text(out, "NULL");
      else if (is_text_type(target)) put_string(out, value);
      else if (top && type_is_value(target)) format_elements(out, target, value, 8, depth);
      else put_name(out, value, false);
      break;
    }
    case TK_ARRAY: {
      TypeRecord *element = type_deref(t);
      int size = type_size(element);
      if (is_text_type(element)) put_string(out, v->address);
      else format_elements(out, element, v->address, size > 0 ? (uint32_t)type_size(t) / (uint32_t)size : 0, depth);
      break;
    }
    case TK_STRUCT:
      if (!v->address) break;
      puts_text(out, "{");
      for (int i = 0, shift = 0; !full(out); i++) {
        TypeRecord *member = nullptr;
        if (!type_member(t, i, &shift, &member)) break;
        if (i) puts_text(out, ", ");
        format_part(out, member, v->address + (uint32_t)shift, depth);
      }
      puts_text(out, "}");
      break;
    case TK_FUNCTION:
      if (!value) puts_text(out, "NULL");
      else put_name(out, value, true);
      break;
    case TK_FRAME: put_name(out, v->address, true); break;
    default: break;
  }
}

void format_type(Output *out, const TypeRecord *t, int depth) {
  if (!t) t = type_base(BT_VOID);
  if (depth > kMaxNesting * 4 || !t) return;
  static const char *const kWords[] = {nullptr, nullptr, "enum", nullptr, nullptr,
                                       "struct", "@function", "@frame"};
  switch (t->kind) {
    case TK_BASE: puts_text(out, t->name ? t->name : ""); break;
    case TK_POINTER: format_type(out, type_deref(t), depth + 1); puts_text(out, "*"); break;
    case TK_ARRAY: format_type(out, type_deref(t), depth + 1); puts_text(out, "[]"); break;
    case TK_ENUM:
    case TK_STRUCT:
    case TK_FUNCTION:
    case TK_FRAME:
      puts_text(out, kWords[t->kind]);
      if (t->name) put_format(out, " %s", t->name);
      break;
    default: break;
  }
}

Output start(char *buffer, int size) {
  Output out = {buffer, size, 0};
  if (size > 0) buffer[0] = 0;
  return out;
}

}  // namespace

int expression_format_value(ValueDescriptor *value, char *buffer, int size) {
  Output out = start(buffer, size);
  if (size <= 0) return 0;
  if (!value_load(value)) {
    log_printf("Cannot format value %X\n", (unsigned)value->address);
    return 0;
  }
  format_value(&out, value, true, 0);
  return out.length;
}

int expression_format_type(const TypeRecord *type, char *buffer, int size) {
  Output out = start(buffer, size);
  if (size > 0) format_type(&out, type, 0);
  return out.length;
}
