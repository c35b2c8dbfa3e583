// The assembler's operand parser: registers, immediates, far addresses, segment
// registers and memory operands with 32-bit addressing.
#include <string.h>

#include "x86/assemble_parse.h"
#include "x86/names.h"

namespace {

bool is_integer(const AsmToken &t) {
  return t.kind == TK_INTEGER || t.kind == TK_DECIMAL || t.kind == TK_CONST;
}

// offset + sign * value in 32-bit wrap-around arithmetic, as the command will hold it.
int32_t wrap_add(int32_t offset, int sign, uint32_t value) {
  return (int32_t)(sign < 0 ? (uint32_t)offset - value : (uint32_t)offset + value);
}

// Sets an immediate or displacement part from an integer token, negated for sign < 0.
void add_constant(AsmOperand *op, const AsmToken &t, int sign) {
  if (t.kind == TK_CONST)
    op->any_offset = 1;
  else
    op->offset = wrap_add(op->offset, sign, t.value);
}

// Registers counted per number, REG_GROUP for "any", in the order they were first
// written (so that [EBX+EAX] keeps EBX as its base), and the XLAT form's AL.
struct AddressTerms {
  int count[REG_GROUP + 1];
  int order[REG_GROUP + 1];
  int written;
  bool al;
};

// A scale written before or after its register.
bool read_scale(AsmLexer *lx, int *scale) {
  AsmToken t;
  if (!next_token(lx, &t, false)) return false;
  if (t.kind == TK_CONST) return lexer_fail(lx, "Undefined scale is not allowed");
  if (t.kind != TK_INTEGER && t.kind != TK_DECIMAL) return lexer_fail(lx, "Syntax error");
  if (t.value < 0 || t.value == 6 || t.value == 7 || t.value > 9) return lexer_fail(lx, "Invalid scale");
  *scale = t.value;
  return true;
}

bool add_register(AsmLexer *lx, AddressTerms *terms, const AsmToken &reg, int sign, int scale) {
  if (reg.kind == TK_REG16) return lexer_fail(lx, "Sorry, 16-bit addressing is not supported");
  if (reg.kind != TK_REG32) return lexer_fail(lx, "Syntax error");
  if (sign < 0) return lexer_fail(lx, "Unable to subtract register");
  bool seen = false;
  for (int i = 0; i < terms->written; i++) seen |= terms->order[i] == reg.value;
  if (!seen) terms->order[terms->written++] = reg.value;
  terms->count[reg.value] += scale;
  return true;
}

bool read_term(AsmLexer *lx, AsmOperand *op, AddressTerms *terms, const AsmToken &t, int sign) {
  AsmToken next;
  bool scaled = peek_token(lx, &next) && is_operator(next, '*');
  switch (t.kind) {
    case TK_REG8:
      if (t.value != 0 || scaled || sign < 0) return lexer_fail(lx, "Syntax error");
      if (terms->al) return lexer_fail(lx, "Too many registers");
      terms->al = true;
      return true;
    case TK_REG16:
    case TK_REG32: {
      int scale = 1;
      if (scaled) {
        next_token(lx, &next, false);
        if (!read_scale(lx, &scale)) return false;
      }
      return add_register(lx, terms, t, sign, scale);
    }
    case TK_CONST:
      if (scaled) return lexer_fail(lx, "Undefined scale is not allowed");
      op->any_offset = 1;
      return true;
    case TK_INTEGER:
    case TK_DECIMAL: {
      if (!scaled) {
        add_constant(op, t, sign);
        return true;
      }
      next_token(lx, &next, false);
      if (t.value < 0 || t.value == 6 || t.value == 7 || t.value > 9)
        return lexer_fail(lx, "Invalid scale");
      AsmToken reg;
      if (!next_token(lx, &reg, false)) return false;
      return add_register(lx, terms, reg, sign, t.value);
    }
    case TK_LOCAL:
      op->offset = wrap_add(op->offset, -sign, 4 * (uint32_t)t.value);
      return true;
    case TK_ARG:
      op->offset = wrap_add(op->offset, sign, 4 * (uint32_t)t.value + 4);
      return true;
    default:
      return lexer_fail(lx, "Syntax error");
  }
}

// Turns the register counts into base, index and scale.
bool place_registers(AsmLexer *lx, AsmOperand *op, const AddressTerms &terms) {
  int present = 0;
  for (int r = 0; r <= REG_GROUP; r++) present += terms.count[r] != 0;
  if (terms.al) {
    bool ebx_only = present == 0 || (present == 1 && terms.count[3] == 1);
    if (!ebx_only || op->offset != 0 || op->any_offset) return lexer_fail(lx, "Invalid address");
    op->kind = AO_XLAT;
    op->base = present ? 3 : -1;
    return true;
  }
  int placed = 0;
  for (int i = 0; i < terms.written; i++) {
    int r = terms.order[i], c = terms.count[r];
    if (c == 0) continue;
    if (c == 3 || c == 5 || c == 9) {
      if (present > 1) return lexer_fail(lx, "Too many registers");
      op->base = op->index = r;
      op->scale = c - 1;
    } else if (c == 2 || c == 4 || c == 8) {
      if (op->index >= 0)
        return lexer_fail(lx, placed >= 2 ? "Too many registers" : "Only one register may be scaled");
      op->index = r;
      op->scale = c;
    } else if (c == 1) {
      if (op->base < 0) {
        op->base = r;
      } else if (op->index < 0) {
        op->index = r;
        op->scale = 1;
      } else {
        return lexer_fail(lx, "Too many registers");
      }
    } else {
      return lexer_fail(lx, "Invalid scale");
    }
    placed++;
  }
  op->kind = AO_MEMORY;
  return true;
}

// The inside of "[...]", after the bracket.
bool parse_address(AsmLexer *lx, AsmOperand *op) {
  AddressTerms terms;
  memset(&terms, 0, sizeof terms);
  AsmToken t;
  for (bool first = true;; first = false) {
    if (!next_token(lx, &t, false)) return false;
    if (is_operator(t, ']') && !first) break;
    int sign = 1;
    if (is_operator(t, '+') || is_operator(t, '-')) {
      sign = t.value == '-' ? -1 : 1;
      if (!next_token(lx, &t, false)) return false;
    } else if (!first) {
      return lexer_fail(lx, "Syntax error");
    }
    if (!read_term(lx, op, &terms, t, sign)) return false;
  }
  return place_registers(lx, op, terms);
}

// Size keyword and segment in any order, then the bracketed address, which ends the operand.
bool parse_memory(AsmLexer *lx, AsmOperand *op, AsmToken t) {
  for (;; next_token(lx, &t, false)) {
    if (t.kind == TK_ERROR) return false;
    if (t.kind == TK_SIZE) {
      if (op->size) return lexer_fail(lx, "Duplicated size modifier");
      op->size = t.value;
    } else if (t.kind == TK_SEGMENT) {
      if (op->segment >= 0) return lexer_fail(lx, "Duplicated segment register");
      op->segment = t.value;
      if (!next_token(lx, &t, false)) return false;
      if (!is_operator(t, ':')) return lexer_fail(lx, "Semicolon expected");
    } else if (is_operator(t, '[')) {
      if (!parse_address(lx, op)) return false;
      AsmToken next;
      if (peek_token(lx, &next) && is_operator(next, '[')) return lexer_fail(lx, "Only one opening bracket allowed");
      return true;
    } else {
      bool address_like = t.kind == TK_END || is_operator(t, ',') || is_integer(t) ||
                          (t.kind >= TK_REG8 && t.kind <= TK_REG32);
      return lexer_fail(lx, address_like ? "Address expression requires brackets"
                                         : "Unrecognized operand");
    }
  }
}

const int kRegisterKinds[][2] = {
    {TK_REG8, AO_REGISTER}, {TK_REG16, AO_REGISTER}, {TK_REG32, AO_REGISTER},
    {TK_FPU, AO_FPU},       {TK_MMX, AO_MMX},        {TK_CRX, AO_CONTROL},
    {TK_DRX, AO_DEBUG},
};

bool parse_value(AsmLexer *lx, AsmOperand *op, AsmToken t) {
  for (const int *k : kRegisterKinds) {
    if (t.kind != k[0]) continue;
    op->kind = k[1];
    op->index = t.value;
    op->size = t.kind == TK_REG8 ? 1 : t.kind == TK_REG16 ? 2 : t.kind == TK_REG32 ? 4 : 0;
    return true;
  }
  if (is_operator(t, '-') || is_operator(t, '+')) {
    int sign = t.value == '-' ? -1 : 1;
    if (!next_token(lx, &t, false)) return false;
    if (!is_integer(t)) return lexer_fail(lx, "Integer number expected");
    op->kind = AO_IMMEDIATE;
    add_constant(op, t, sign);
    return true;
  }
  if (is_integer(t)) {
    AsmToken next;
    op->kind = AO_IMMEDIATE;
    if (!peek_token(lx, &next) || !is_operator(next, ':')) {
      add_constant(op, t, 1);
      return true;
    }
    next_token(lx, &next, false);
    AsmToken offset;
    if (!next_token(lx, &offset, false)) return false;
    if (!is_integer(offset)) return lexer_fail(lx, "Integer address expected");
    op->kind = AO_FAR_ADDRESS;
    op->segment = t.kind == TK_CONST ? 0 : t.value;
    op->any_offset = t.kind == TK_CONST || offset.kind == TK_CONST;
    add_constant(op, offset, 1);
    return true;
  }
  if (t.kind == TK_FLOAT) return lexer_fail(lx, "Floating-point numbers are not allowed in command");
  if (t.kind == TK_SEGMENT) {
    AsmToken next;
    if (!peek_token(lx, &next) || !is_operator(next, ':')) {
      op->kind = AO_SEGMENT;
      op->index = t.value;
      op->size = 2;
      return true;
    }
  }
  if (t.kind == TK_SEGMENT || t.kind == TK_SIZE || is_operator(t, '['))
    return parse_memory(lx, op, t);
  return lexer_fail(lx, "Unrecognized operand");
}

}  // namespace

bool parse_operand(AsmLexer *lx, AsmOperand *op) {
  memset(op, 0, sizeof *op);
  op->index = op->base = op->segment = -1;
  op->scale = 1;
  AsmToken t;
  if (!next_token(lx, &t, false)) return false;
  for (; t.kind == TK_JUMP_MODIFIER; next_token(lx, &t, false)) op->jump_modifiers |= t.value;
  if (t.kind == TK_ERROR) return false;
  int m = op->jump_modifiers;
  if ((m & (JM_SHORT | JM_LONG)) == (JM_SHORT | JM_LONG) ||
      (m & (JM_NEAR | JM_FAR)) == (JM_NEAR | JM_FAR) ||
      (m & (JM_SHORT | JM_FAR)) == (JM_SHORT | JM_FAR))
    return lexer_fail(lx, "Invalid combination of jump address modifiers");
  if (m && !(m & JM_FAR)) op->jump_modifiers |= JM_NEAR;
  if (t.kind == TK_END && m == 0) {
    lx->pos = t.start;
    return true;
  }
  if (!parse_value(lx, op, t)) return false;
  if (m && op->kind != AO_IMMEDIATE && op->kind != AO_FAR_ADDRESS && op->kind != AO_MEMORY)
    return lexer_fail(lx, "Jump address modifier is not allowed");
  return true;
}
