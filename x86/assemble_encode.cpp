// The assembler's encoder: the bytes and the mask of one command from a fitting table
// row and the parsed operands.
#include <string.h>

#include "x86/assemble.h"
#include "x86/assemble_parse.h"
#include "x86/command_table.h"
#include "x86/names.h"

namespace {

enum { REG_ESP = 4, REG_EBP = 5 };

const uint8_t kSegmentPrefixes[6] = {0x26, 0x2E, 0x36, 0x3E, 0x64, 0x65};
// PUSH and POP of a segment register by its number; 0 where there is no such command.
const uint16_t kPushSegment[6] = {0x06, 0x0E, 0x16, 0x1E, 0xA00F, 0xA80F};
const uint16_t kPopSegment[6] = {0x07, 0x00, 0x17, 0x1F, 0xA10F, 0xA90F};

struct Constant {
  int size;
  int32_t value;
  bool any;
};

// The command's parts before they are written out in order.
struct Parts {
  int segment;  // override prefix, -1 none
  uint8_t opcode[3], opcode_mask[3];
  int opcode_length;
  bool has_modrm, has_sib;
  uint8_t modrm, modrm_mask, sib, sib_mask;
  Constant displacement;
  Constant immediates[3];
  int immediate_count;
  int jump;  // index of the relative jump among the immediates, -1 none
};

bool has_modrm_operand(int kind) {
  return kind == OPK_REG || kind == OPK_REG32 || kind == OPK_MMX || kind == OPK_3DN ||
         (kind >= OPK_RM && kind <= OPK_M_FXSTATE) || kind == OPK_SEG || kind == OPK_CR ||
         kind == OPK_DR;
}

bool fits_byte(int32_t v) { return v >= -128 && v <= 127; }

// A register number into a field of a byte: an "any" register leaves the field open.
void put_register(uint8_t *byte, uint8_t *mask, int number, int shift) {
  *byte = (uint8_t)((*byte & ~(7 << shift)) | (number & 7) << shift);
  if (number == REG_GROUP)
    *mask = (uint8_t)(*mask & ~(7 << shift));
  else
    *mask = (uint8_t)(*mask | 7 << shift);
}

void set_mod_rm(Parts *p, int mod, int rm) {
  p->modrm = (uint8_t)((p->modrm & 0x38) | mod << 6);
  p->modrm_mask |= 0xC0;
  put_register(&p->modrm, &p->modrm_mask, rm, 0);
}

// mod for a displacement after a base register; fills the displacement.
int displacement_mod(Parts *p, const AsmOperand &op, int base, int constant_sizes) {
  if (op.offset == 0 && !op.any_offset && (base & 7) != REG_EBP) return 0;
  bool short_form = (constant_sizes & ASM_SHORT_DISPLACEMENT) && (op.any_offset || fits_byte(op.offset));
  p->displacement = {short_form ? 1 : 4, op.offset, op.any_offset != 0};
  return short_form ? 1 : 2;
}

bool encode_memory(AsmLexer *lx, Parts *p, const AsmOperand &op, int constant_sizes) {
  int base = op.base, index = op.index, scale = op.scale;
  int default_segment = base == REG_ESP || base == REG_EBP ? SEG_SS : SEG_DS;
  if (op.segment >= 0 && op.segment != default_segment) p->segment = op.segment;
  if (base < 0 && index < 0) {
    set_mod_rm(p, 0, 5);
    p->displacement = {4, op.offset, op.any_offset != 0};
    return true;
  }
  if (index < 0 && base != REG_ESP) {
    set_mod_rm(p, displacement_mod(p, op, base, constant_sizes), base);
    return true;
  }
  bool no_displacement = op.offset == 0 && !op.any_offset;
  if (base == REG_EBP && scale == 1 && no_displacement) base = index, index = REG_EBP;
  if (index == REG_ESP && scale == 1) index = base, base = REG_ESP;
  // [reg*2+d] is one byte shorter as [reg+reg+d] when the short displacement may be used.
  if (base < 0 && scale == 2 && (no_displacement || ((constant_sizes & ASM_SHORT_DISPLACEMENT) &&
                                                     (op.any_offset || fits_byte(op.offset)))))
    base = index, scale = 1;
  if (index == REG_ESP) return lexer_fail(lx, "Invalid indexing mode");
  p->has_sib = true;
  p->sib = 0;
  p->sib_mask = 0xC0;
  p->sib |= (uint8_t)((scale == 8 ? 3 : scale == 4 ? 2 : scale == 2 ? 1 : 0) << 6);
  put_register(&p->sib, &p->sib_mask, index < 0 ? 4 : index, 3);
  if (base < 0) {
    set_mod_rm(p, 0, 4);
    put_register(&p->sib, &p->sib_mask, 5, 0);
    p->displacement = {4, op.offset, op.any_offset != 0};
    return true;
  }
  set_mod_rm(p, displacement_mod(p, op, base, constant_sizes), 4);
  put_register(&p->sib, &p->sib_mask, base, 0);
  return true;
}

void add_immediate(Parts *p, int size, int32_t value, bool any) {
  p->immediates[p->immediate_count++] = {size, value, any};
}

// The immediate of operand size, or the sign-extended byte of a row with the S bit.
bool encode_immediate(AsmLexer *lx, Parts *p, const CommandRow &row, const AsmOperand &op,
                      int operand_size, int constant_sizes) {
  uint32_t v = (uint32_t)op.offset;
  if (!op.any_offset && operand_size < 4) {
    uint32_t high = v >> (8 * operand_size);
    if (high != 0 && high != 0xFFFFFFFFu >> (8 * operand_size))
      return lexer_fail(lx, "Constant does not fit into operand");
  }
  int size = operand_size;
  if ((row.bits == CB_S || row.bits == CB_WS) && operand_size > 1) {
    int32_t extended = operand_size == 2 ? (int16_t)v : (int32_t)v;
    bool short_form = (constant_sizes & ASM_SHORT_IMMEDIATE) && (op.any_offset || fits_byte(extended));
    if (short_form) size = 1;
    p->opcode[0] = (uint8_t)((p->opcode[0] & ~2) | (short_form ? 2 : 0));
    p->opcode_mask[0] |= 2;
  }
  add_immediate(p, size, op.offset, op.any_offset != 0);
  return true;
}

bool encode_segment_opcode(AsmLexer *lx, Parts *p, const CommandRow &row, int segment) {
  bool pop = (row.command_class & CC_KIND) == CC_POP;
  if (pop && segment == SEG_CS) return lexer_fail(lx, "Unable to POP CS");
  uint16_t code = (pop ? kPopSegment : kPushSegment)[segment];
  p->opcode_length = code > 0xFF ? 2 : 1;
  p->opcode[0] = (uint8_t)code;
  p->opcode[1] = (uint8_t)(code >> 8);
  p->opcode_mask[0] = p->opcode_mask[1] = 0xFF;
  return true;
}

bool encode_operand(AsmLexer *lx, Parts *p, const CommandRow &row, int kind, const AsmOperand &op,
                    int operand_size, int constant_sizes) {
  uint8_t *last = &p->opcode[p->opcode_length - 1], *last_mask = &p->opcode_mask[p->opcode_length - 1];
  switch (kind) {
    case OPK_REG: case OPK_REG32: case OPK_MMX: case OPK_3DN: case OPK_SEG: case OPK_CR:
    case OPK_DR:
      put_register(&p->modrm, &p->modrm_mask, op.index, 3);
      return true;
    case OPK_REG_OP:
    case OPK_STI:
      put_register(last, last_mask, op.index, 0);
      return true;
    case OPK_SEG_OP:
      return encode_segment_opcode(lx, p, row, op.index);
    case OPK_STR_SRC:
    case OPK_XLAT:
      if (op.segment >= 0 && op.segment != SEG_DS) p->segment = op.segment;
      return true;
    case OPK_MOFFS:
      if (op.segment >= 0 && op.segment != SEG_DS) p->segment = op.segment;
      p->displacement = {4, op.offset, op.any_offset != 0};
      return true;
    case OPK_IMM:
    case OPK_IMM_LOGIC:
      return encode_immediate(lx, p, row, op, operand_size, constant_sizes);
    case OPK_IMM8S: case OPK_SHIFT: case OPK_IMM8U:
      add_immediate(p, 1, op.offset, op.any_offset != 0);
      return true;
    case OPK_IMM16U:
      add_immediate(p, 2, op.offset, op.any_offset != 0);
      return true;
    case OPK_VXD:
      add_immediate(p, 4, op.offset, op.any_offset != 0);
      return true;
    case OPK_REL8:
    case OPK_REL:
      p->jump = p->immediate_count;
      add_immediate(p, kind == OPK_REL8 ? 1 : 4, op.offset, op.any_offset != 0);
      return true;
    case OPK_FAR_IMM:
      p->displacement = {4, op.offset, op.any_offset != 0};
      add_immediate(p, 2, op.segment, op.any_offset != 0);
      return true;
    default:
      break;
  }
  if (has_modrm_operand(kind)) {
    if (op.kind == AO_MEMORY) return encode_memory(lx, p, op, constant_sizes);
    set_mod_rm(p, 3, op.index);
  }
  return true;
}

struct Writer {
  AsmResult *r;
  void byte(uint8_t b, uint8_t m) {
    if (r->length >= ASM_CODE) return;  // no command takes more; the guard keeps it so
    r->code[r->length] = b;
    r->mask[r->length++] = m;
  }
  void constant(const Constant &c) {
    for (int i = 0; i < c.size; i++) byte((uint8_t)((uint32_t)c.value >> (8 * i)), c.any ? 0 : 0xFF);
  }
};

}  // namespace

bool encode_row(AsmLexer *lx, const CommandRow &row, const AsmCommand &cmd, const RowFit &fit,
                uint32_t address, int constant_sizes, AsmResult *result, int32_t *jump_target,
                int *jump_open) {
  Parts p;
  memset(&p, 0, sizeof p);
  p.segment = -1;
  p.jump = -1;
  p.opcode_length = row.length;
  for (int i = 0; i < row.length; i++) {
    p.opcode_mask[i] = (uint8_t)(row.mask >> (8 * i));
    p.opcode[i] = (uint8_t)(row.code >> (8 * i)) & p.opcode_mask[i];
  }
  int kinds[ASM_MAX_OPERANDS];
  int n = written_kinds(row, kinds);
  for (int i = 0; i < n; i++) p.has_modrm |= has_modrm_operand(kinds[i]);
  if (p.has_modrm && row.length < 3) {
    p.modrm_mask = (uint8_t)(row.mask >> (8 * row.length));
    p.modrm = (uint8_t)(row.code >> (8 * row.length)) & p.modrm_mask;
  }
  int operand_size = fit.operand_size;
  bool w_bit0 = row.bits == CB_W || row.bits == CB_WS || row.bits == CB_IO;
  int bit = w_bit0 ? 1 : row.bits == CB_W3 ? 8 : 0;
  // Rows whose code already fixes the W bit (INSB, INSD ...) need no size.
  if (bit && !(p.opcode_mask[row.length - 1] & bit)) {
    if (operand_size == 0) return lexer_fail(lx, "Please specify operand size");
    uint8_t *last = &p.opcode[row.length - 1];
    *last = (uint8_t)(operand_size > 1 ? *last | bit : *last & ~bit);
    p.opcode_mask[row.length - 1] |= (uint8_t)bit;
  }
  if (operand_size == 0) operand_size = 4;
  for (int i = 0; i < n; i++)
    if (!encode_operand(lx, &p, row, kinds[i], cmd.operands[i], operand_size, constant_sizes))
      return false;
  if ((row.command_class & CC_KIND) == CC_3DNOW) add_immediate(&p, 1, (int32_t)(row.code >> 16), false);

  memset(result, 0, sizeof *result);
  Writer w = {result};
  if (cmd.lock) w.byte(0xF0, 0xFF);
  if (operand_size == 2 && row.bits != CB_SIZE2) w.byte(0x66, 0xFF);
  if (fit.address_size == 2) w.byte(0x67, 0xFF);
  if (p.segment >= 0) w.byte(kSegmentPrefixes[p.segment], 0xFF);
  for (int i = 0; i < p.opcode_length; i++) w.byte(p.opcode[i], p.opcode_mask[i]);
  if (p.has_modrm) w.byte(p.modrm, p.modrm_mask);
  if (p.has_sib) w.byte(p.sib, p.sib_mask);
  w.constant(p.displacement);
  for (int i = 0; i < p.immediate_count; i++) {
    if (i == p.jump) result->jump_position = result->length;
    w.constant(p.immediates[i]);
  }
  *jump_open = 0;
  if (p.jump >= 0) {
    // The offset is taken from the end of the command, so it is written once the length is known.
    const Constant &j = p.immediates[p.jump];
    result->jump_size = j.size;
    result->jump_offset = (int32_t)((uint32_t)j.value - (uint32_t)result->length);
    *jump_target = j.value;
    *jump_open = j.any || address == 0;
    int32_t offset = (int32_t)((uint32_t)j.value - address - (uint32_t)result->length);
    for (int i = 0; i < j.size; i++) {
      result->code[result->jump_position + i] = (uint8_t)((uint32_t)offset >> (8 * i));
      result->mask[result->jump_position + i] = *jump_open ? 0 : 0xFF;
    }
  }
  return true;
}
