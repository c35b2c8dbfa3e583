// The command decoder: prefixes, table search, operands, length, warnings.
#include <ctype.h>
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "x86/command_index.h"
#include "x86/command_shape.h"
#include "x86/command_table.h"
#include "x86/disasm.h"
#include "x86/format.h"
#include "x86/names.h"
#include "x86/row_spelling.h"

namespace {

enum PrefixGroup { PG_SEGMENT = 1, PG_DATA = 2, PG_ADDRESS = 4, PG_LOCK = 8, PG_REP = 16 };

struct PrefixInfo {
  uint8_t byte;
  uint8_t group;
  int8_t segment;
  const char *name;  // for the repeated-prefix text
};

constexpr PrefixInfo kPrefixes[] = {
    {0x26, PG_SEGMENT, SEG_ES, "ES"},        {0x2E, PG_SEGMENT, SEG_CS, "CS"},
    {0x36, PG_SEGMENT, SEG_SS, "SS"},        {0x3E, PG_SEGMENT, SEG_DS, "DS"},
    {0x64, PG_SEGMENT, SEG_FS, "FS"},        {0x65, PG_SEGMENT, SEG_GS, "GS"},
    {0x66, PG_DATA, SEG_NONE, "DATASIZE"},   {0x67, PG_ADDRESS, SEG_NONE, "ADDRSIZE"},
    {0xF0, PG_LOCK, SEG_NONE, "LOCK"},       {0xF2, PG_REP, SEG_NONE, "REPNE"},
    {0xF3, PG_REP, SEG_NONE, "REPE"},
};

// Prefix lookup by byte, made from kPrefixes at compile time: every command asks it.
struct PrefixSlots {
  int8_t slot[256];  // index into kPrefixes, or -1
};

constexpr PrefixSlots make_prefix_slots() {
  PrefixSlots s{};
  for (int8_t &v : s.slot) v = -1;
  for (int i = 0; i < (int)(sizeof kPrefixes / sizeof kPrefixes[0]); i++)
    s.slot[kPrefixes[i].byte] = (int8_t)i;
  return s;
}
constexpr PrefixSlots kPrefixSlots = make_prefix_slots();

const PrefixInfo *prefix_info(uint8_t byte) {
  int slot = kPrefixSlots.slot[byte];
  return slot < 0 ? nullptr : &kPrefixes[slot];
}

// The FPU stack registers as operands are written.
const Name kStackRegisters[8] = {"ST(0)"_name, "ST(1)"_name, "ST(2)"_name, "ST(3)"_name,
                                 "ST(4)"_name, "ST(5)"_name, "ST(6)"_name, "ST(7)"_name};
// The register part of XLAT's table operand by address size.
const Name kXlatTable32 = "EBX+AL"_name, kXlatTable16 = "BX+AL"_name;

// Operand sizes of the ModRM kinds that depend on the operand size.
enum { SIZE_OP = -1, SIZE_FAR = -2, SIZE_PAIR = -3 };
enum { FORM_ANY, FORM_REGISTER, FORM_MEMORY };

struct ModrmKind {
  int16_t size;         // bytes, or one of SIZE_OP, SIZE_FAR, SIZE_PAIR
  uint8_t memory_kind;  // MK_NONE with a SIZE_ code: the operand size
  bool mmx;             // register form names an MMX register
  uint8_t form;
};

// Kinds OPK_RM to OPK_M_FXSTATE.
const ModrmKind kModrmKinds[] = {
    {SIZE_OP, MK_NONE, false, FORM_ANY},         // OPK_RM
    {1, MK_BYTE, false, FORM_ANY},               // OPK_RM8
    {2, MK_WORD, false, FORM_ANY},               // OPK_RM16
    {4, MK_DWORD, false, FORM_ANY},              // OPK_RM32
    {4, MK_DWORD, false, FORM_REGISTER},         // OPK_R32
    {8, MK_QWORD, true, FORM_ANY},               // OPK_MMX_RM
    {8, MK_QWORD, true, FORM_REGISTER},          // OPK_MMX_R
    {8, MK_3DNOW, true, FORM_ANY},               // OPK_3DN_RM
    {8, MK_3DNOW, true, FORM_REGISTER},          // OPK_3DN_R
    {SIZE_OP, MK_NONE, false, FORM_ANY},         // OPK_JMP_RM
    {0, MK_NONE, false, FORM_MEMORY},            // OPK_M_ADDR
    {SIZE_FAR, MK_FARPTR, false, FORM_MEMORY},   // OPK_M_FARPTR
    {SIZE_FAR, MK_FARPTR, false, FORM_MEMORY},   // OPK_M_FARJMP
    {6, MK_FARPTR, false, FORM_MEMORY},          // OPK_M_DESCR
    {SIZE_PAIR, MK_NONE, false, FORM_MEMORY},    // OPK_M_BOUND
    {2, MK_WORD, false, FORM_MEMORY},            // OPK_M_INT16
    {2, MK_WORD, false, FORM_MEMORY},            // OPK_M_WORD
    {4, MK_DWORD, false, FORM_MEMORY},           // OPK_M_INT32
    {8, MK_QWORD, false, FORM_MEMORY},           // OPK_M_QWORD
    {10, MK_BCD, false, FORM_MEMORY},            // OPK_M_BCD
    {4, MK_FLOAT32, false, FORM_MEMORY},         // OPK_M_FLOAT32
    {8, MK_FLOAT64, false, FORM_MEMORY},         // OPK_M_FLOAT64
    {10, MK_FLOAT80, false, FORM_MEMORY},        // OPK_M_FLOAT80
    {28, MK_NONE, false, FORM_MEMORY},           // OPK_M_FPUENV
    {108, MK_NONE, false, FORM_MEMORY},          // OPK_M_FPUSTATE
    {512, MK_NONE, false, FORM_MEMORY},          // OPK_M_FXSTATE
};
static_assert(sizeof kModrmKinds / sizeof *kModrmKinds == OPK_M_FXSTATE - OPK_RM + 1,
              "one entry per ModRM kind");

struct ImmediateKind {
  int8_t size;  // bytes, or SIZE_OP
  bool is_signed;
};

// Kinds OPK_IMM to OPK_IMM16U.
const ImmediateKind kImmediateKinds[] = {
    {SIZE_OP, false},  // OPK_IMM
    {SIZE_OP, false},  // OPK_IMM_LOGIC
    {4, false},        // OPK_VXD
    {1, true},         // OPK_IMM8S
    {0, false},        // OPK_ONE
    {1, false},        // OPK_SHIFT
    {1, false},        // OPK_IMM8U
    {2, false},        // OPK_IMM16U
};
static_assert(sizeof kImmediateKinds / sizeof *kImmediateKinds == OPK_IMM16U - OPK_IMM + 1,
              "one entry per immediate kind");

// Flag masks of the conditions 0, 2, ... 10 (any bit set); 12 and 14 compare SF with OF.
const uint32_t kConditionFlags[6] = {0x800, 0x001, 0x040, 0x041, 0x080, 0x004};
const uint32_t FLAG_ZF = 0x40, FLAG_SF = 0x80, FLAG_OF = 0x800;

struct Decoder {
  const uint8_t *bytes;
  int count;
  DisasmResult *r;
  bool text;           // text modes
  bool symbolic_mode;  // DECODE_SYMBOLIC
  int prefixes;
  int seen;            // PrefixGroup bits
  int op_size, addr_size, counter_size;
  int segment;         // override, or SEG_NONE
  int rep;             // 0, 0xF2 or 0xF3
  uint32_t key;
  const CommandRow *row;
  const CommandRow *spelled;  // the row whose mnemonic is written: the row or its twin
  int opcode_len;      // opcode bytes taken after the prefixes
  int modrm;           // -1 until read
  int sib_len, disp_len, imm_len;
  bool immediate_set;
  bool has_memory;
  int deferred;
  int fixup_pos, fixups;
  int printed;         // operands written so far
  int mnemonic_pos;    // where the mnemonic starts in the text
  int slot;            // the operand being decoded
  CommandShape *shape; // null unless asked for
  TextOut out;
};

void fail(Decoder &d, int error) {
  if (d.r->error == DE_NONE) d.r->error = error;
}

void defer(Decoder &d, int error) {
  if (d.deferred == DE_NONE) d.deferred = error;
}

int key_byte(const Decoder &d, int n) { return d.key >> 8 * n & 0xFF; }

int last_opcode_byte(const Decoder &d) { return key_byte(d, d.row->length - 1); }

// MMX and 3DNow! classes hold an element size in the low nibble, not flags.
void add_rare(Decoder &d) {
  int kind = d.r->command_class & CC_KIND;
  if (kind != CC_MMX && kind != CC_3DNOW) d.r->command_class |= CF_RARE;
}

int modrm_pos(const Decoder &d) { return d.prefixes + d.opcode_len; }

int after_modrm(const Decoder &d) {
  return modrm_pos(d) + (d.modrm >= 0) + d.sib_len + d.disp_len;
}

// Little-endian value of size (1, 2 or 4) bytes at pos; DE_CROSS when it runs past the
// bytes.
bool read_value(Decoder &d, int pos, int size, uint32_t *value) {
  if (pos + size > d.count) {
    fail(d, DE_CROSS);
    return false;
  }
  const uint8_t *b = d.bytes + pos;
  uint32_t v = b[0];
  if (size >= 2) v |= (uint32_t)b[1] << 8;
  if (size == 4) v |= (uint32_t)b[2] << 16 | (uint32_t)b[3] << 24;
  *value = v;
  return true;
}

int32_t sign_extend(uint32_t value, int size) {
  if (size == 1) return (int8_t)value;
  if (size == 2) return (int16_t)value;
  return (int32_t)value;
}

void record_fixup(Decoder &d, int pos) {
  if (d.fixups == 0) d.fixup_pos = pos;
  d.fixups++;
}

void record_constant(Decoder &d, int32_t value) {
  if (value == 0) d.r->zero_constant = 1;
}

bool need_modrm(Decoder &d) {
  if (d.modrm >= 0) return true;
  if (modrm_pos(d) >= d.count) {
    fail(d, DE_CROSS);
    return false;
  }
  d.modrm = d.bytes[modrm_pos(d)];
  return true;
}

int reg_field(const Decoder &d) { return d.modrm >> 3 & 7; }

void separator(Decoder &d) {
  const DecoderOptions &o = g_decoder_options;
  if (d.printed++ == 0) {
    text_char(&d.out, ' ');
    if (o.tab_arguments) text_pad(&d.out, 8);
  } else {
    text_char(&d.out, ',');
    if (o.space_after_comma) text_char(&d.out, ' ');
  }
}

void put_register(Decoder &d, int size, int number) {
  const Name *name = register_name(size, number);
  if (!name) {
    fail(d, DE_INTERNAL);
    return;
  }
  if (d.text) text_name(&d.out, *name);
}

void put_named(Decoder &d, const Name &name) {
  if (d.text) text_name(&d.out, name);
}

void put_segment(Decoder &d, int number) {
  if (number > SEG_GS) defer(d, DE_BADSEG);
  put_named(d, g_segment_names[number]);
}

bool shows_size(const Decoder &d) {
  int cls = d.row->command_class, kind = cls & CC_KIND;
  return g_decoder_options.always_show_size || kind == CC_MMX || kind == CC_3DNOW ||
         (cls & CF_SHOWSIZE);
}

// The segment to write: an override that differs from the default, or any segment when
// default segments are shown.
int shown_segment(const Decoder &d, int default_segment) {
  int segment = d.segment != SEG_NONE ? d.segment : default_segment;
  if (segment != default_segment || g_decoder_options.show_default_segment) return segment;
  return SEG_NONE;
}

// The memory operand's parts for the shape; registers by number, -1 for none.
void note_memory(Decoder &d, int size, int segment, int base, int index, int scale,
                 int32_t disp) {
  CommandShape *s = d.shape;
  if (!s) return;
  s->memory_slot = d.slot;
  s->memory_size = size;
  s->memory_segment = d.segment != SEG_NONE ? d.segment : segment;
  s->base = base;
  s->index = index;
  s->scale = scale;
  s->disp = disp;
}

// The registers of the 16-bit forms by r/m: BX+SI, BX+DI, BP+SI, BP+DI, SI, DI, BP, BX.
const int8_t kBases16[8][2] = {{3, 6}, {3, 7}, {5, 6}, {5, 7}, {6, -1}, {7, -1}, {5, -1}, {3, -1}};

void finish_memory(Decoder &d, MemoryText *m, int size, int memory_kind) {
  d.has_memory = true;
  d.r->memory_kind = memory_kind;
  if (!d.text) return;
  m->size = shows_size(d) ? size : 0;
  m->symbolic = d.symbolic_mode && g_decoder_options.symbolic;
  write_memory(&d.out, m);
}

// The memory form of a ModRM operand: register part, displacement, default segment.
void decode_address(Decoder &d, int kind, int size, int memory_kind) {
  MemoryText m = {};
  int mod = d.modrm >> 6, rm = d.modrm & 7;
  int pos = modrm_pos(d) + 1;
  int default_segment = SEG_DS, disp_size = 0, base = -1, index = -1, scale = 1;
  if (d.addr_size == 2) {
    if (mod == 0 && rm == 6) {
      disp_size = 2;
    } else {
      m.base = &g_address_bases16[rm].name;
      default_segment = g_address_bases16[rm].segment;
      disp_size = mod;
    }
    d.r->index_scale = m.base ? 1 : 0;
  } else {
    if (rm == 4) {
      if (pos >= d.count) {
        fail(d, DE_CROSS);
        return;
      }
      int sib = d.bytes[pos++];
      d.sib_len = 1;
      base = sib & 7;
      index = sib >> 3 & 7;
      scale = 1 << (sib >> 6);
      if (index == 4) index = -1;
      if (base == 5 && mod == 0) {
        base = -1;
        disp_size = 4;
      }
    } else if (mod == 0 && rm == 5) {
      disp_size = 4;
    } else {
      base = rm;
    }
    if (mod == 1) disp_size = 1;
    if (mod == 2) disp_size = 4;
    if (base >= 0) {
      m.base = &g_dword_registers[base];
      default_segment = g_address_bases32[base].segment;
    }
    if (index >= 0) {
      m.index = &g_dword_registers[index];
      m.scale = scale;
    }
    d.r->index_scale = index >= 0 ? scale : base >= 0 ? 1 : 0;
  }
  uint32_t raw = 0;
  if (disp_size && !read_value(d, pos, disp_size, &raw)) return;
  d.disp_len = disp_size;
  int32_t disp = sign_extend(raw, disp_size);
  if (d.addr_size == 2) disp &= 0xFFFF;
  if (disp_size) {
    d.r->address_constant = disp;
    record_constant(d, disp);
  }
  if (disp_size == 4) record_fixup(d, pos);
  if (kind == OPK_JMP_RM && disp_size == 4 && (base >= 0 || index >= 0))
    d.r->jump_table = index >= 0 && (scale == 2 || scale == 8) ? 0 : (uint32_t)disp;
  m.disp = disp;
  if (d.addr_size == 2 && m.base)
    note_memory(d, size, default_segment, kBases16[rm][0], kBases16[rm][1], 1, disp);
  else
    note_memory(d, size, default_segment, d.addr_size == 2 ? -1 : base, index, scale, disp);
  m.segment = shown_segment(d, default_segment);
  if (kind == OPK_JMP_RM && g_decoder_options.near_keyword) m.keyword = &g_near_keyword;
  if (kind == OPK_M_FARJMP) m.keyword = &g_far_keyword;
  if (kind == OPK_M_FARPTR) d.r->warnings |= DW_SEGMENT;
  finish_memory(d, &m, size, memory_kind);
}

void decode_modrm_operand(Decoder &d, int kind) {
  if (!need_modrm(d)) return;
  const ModrmKind &mk = kModrmKinds[kind - OPK_RM];
  int size = mk.size;
  if (size == SIZE_OP) size = d.op_size;
  if (size == SIZE_FAR) size = d.op_size + 2;
  if (size == SIZE_PAIR) size = g_decoder_options.brackets_first ? d.op_size : 2 * d.op_size;
  int memory_kind = mk.size < 0 && mk.memory_kind == MK_NONE ? d.op_size : mk.memory_kind;
  if (d.modrm >> 6 == 3) {
    if (mk.form == FORM_MEMORY) defer(d, DE_MEMORY);
    if (mk.mmx)
      put_named(d, g_mmx_registers[d.modrm & 7]);
    else
      put_register(d, size >= 1 && size <= 4 ? size : d.op_size, d.modrm & 7);
    return;
  }
  if (mk.form == FORM_REGISTER) defer(d, DE_REGISTER);
  decode_address(d, kind, size, memory_kind);
}

// String operands, XLAT and memory offsets: memory without a ModRM byte.
void decode_implied_memory(Decoder &d, int kind) {
  MemoryText m = {};
  bool wide = d.addr_size == 4;
  int size = d.op_size;
  if (kind == OPK_STR_SRC) {
    m.base = wide ? &g_dword_registers[6] : &g_word_registers[6];
    m.segment = shown_segment(d, SEG_DS);
  } else if (kind == OPK_STR_DST) {
    m.base = wide ? &g_dword_registers[7] : &g_word_registers[7];
    m.segment = SEG_ES;
  } else if (kind == OPK_XLAT) {
    m.base = wide ? &kXlatTable32 : &kXlatTable16;
    m.segment = shown_segment(d, SEG_DS);
    size = 1;
  } else {
    uint32_t address;
    int pos = after_modrm(d);
    if (!read_value(d, pos, d.addr_size, &address)) return;
    d.disp_len = d.addr_size;
    if (wide) record_fixup(d, pos);
    d.r->address_constant = (int32_t)address;
    record_constant(d, (int32_t)address);
    m.disp = (int32_t)address;
    m.segment = shown_segment(d, SEG_DS);
    note_memory(d, size, SEG_DS, -1, -1, 1, m.disp);
  }
  finish_memory(d, &m, size, size);
}

// Immediates follow ModRM, SIB, displacement and any earlier immediate.
int constant_pos(const Decoder &d) { return after_modrm(d) + d.imm_len; }

// The offset has the operand size, as the processor reads it (ptr16:16 under 66).
void decode_far_address(Decoder &d) {
  int pos = constant_pos(d);
  uint32_t offset, selector;
  if (!read_value(d, pos, d.op_size, &offset) || !read_value(d, pos + d.op_size, 2, &selector))
    return;
  d.imm_len += d.op_size + 2;
  d.r->jump_target = offset;
  d.r->immediate = (int32_t)selector;
  if (offset == 0 || selector == 0) d.r->zero_constant = 1;
  if (d.op_size == 4) record_fixup(d, pos);
  d.r->warnings |= DW_FAR;
  if (d.text) write_far_address(&d.out, selector, offset);
}

void decode_relative(Decoder &d, int kind) {
  int pos = constant_pos(d);
  int size = kind == OPK_REL8 ? 1 : d.op_size;
  uint32_t raw;
  if (!read_value(d, pos, size, &raw)) return;
  d.imm_len += size;
  uint32_t target = d.r->address + (uint32_t)(pos + size) + (uint32_t)sign_extend(raw, size);
  if (d.op_size == 2) target &= 0xFFFF;
  d.r->jump_target = target;
  if (target == 0) d.r->zero_constant = 1;
  if (d.text) write_jump_target(&d.out, target, d.symbolic_mode, d.r->comment);
}

// The service number decides between a call and a jump through the VxD.
void spell_vxd_jump(Decoder &d) {
  char *m = d.out.buf + d.mnemonic_pos;
  const char *call = "vxdcall";
  for (int i = 0; i < 7; i++)
    if (tolower((unsigned char)m[i]) != call[i]) return;
  memcpy(m + 3, g_decoder_options.lower_case ? "jump" : "Jump", 4);
}

void decode_immediate(Decoder &d, int kind) {
  const ImmediateKind &ik = kImmediateKinds[kind - OPK_IMM];
  int size = ik.size;
  bool is_signed = ik.is_signed;
  if (size == SIZE_OP) {
    size = d.op_size;
    if ((d.row->bits & CB_S) && (key_byte(d, 0) & 0x02)) {
      size = 1;
      is_signed = true;
    }
  }
  int pos = constant_pos(d);
  uint32_t raw = 1;  // the implied constant of a shift by one
  if (size && !read_value(d, pos, size, &raw)) return;
  d.imm_len += size;
  int32_t value = is_signed ? sign_extend(raw, size) : (int32_t)raw;
  if (d.op_size == 2) value &= 0xFFFF;
  if (!d.immediate_set) {
    d.r->immediate = value;
    d.immediate_set = true;
  }
  if (size) record_constant(d, value);
  if (size == 4) record_fixup(d, pos);
  if (kind == OPK_SHIFT && (value == 0 || value > 31)) {
    d.r->warnings |= DW_SHIFT;
    add_rare(d);
  }
  if (kind == OPK_IMM16U && (value & 3)) d.r->warnings |= DW_STACK;
  if (!d.text) return;
  write_immediate(&d.out, kind, value, d.symbolic_mode);
  if (kind == OPK_VXD && (value & 0x8000)) spell_vxd_jump(d);
}

void decode_operand(Decoder &d, int kind) {
  switch (kind) {
    case OPK_REG:
      if (need_modrm(d)) put_register(d, d.op_size, reg_field(d));
      return;
    case OPK_REG_OP: put_register(d, d.op_size, last_opcode_byte(d) & 7); return;
    case OPK_REG32:
      if (need_modrm(d)) put_register(d, 4, reg_field(d));
      return;
    case OPK_ACC: put_register(d, d.op_size, 0); return;
    case OPK_AX: put_register(d, 2, 0); return;
    case OPK_DX_PORT: put_register(d, 2, 2); return;
    case OPK_CL: put_register(d, 1, 1); return;
    case OPK_ST0: put_named(d, kStackRegisters[0]); return;
    case OPK_STI: put_named(d, kStackRegisters[last_opcode_byte(d) & 7]); return;
    case OPK_MMX:
    case OPK_3DN:
      if (need_modrm(d)) put_named(d, g_mmx_registers[reg_field(d)]);
      return;
    case OPK_STR_SRC:
    case OPK_STR_DST:
    case OPK_XLAT:
    case OPK_MOFFS: decode_implied_memory(d, kind); return;
    case OPK_SEG:
      if (need_modrm(d)) put_segment(d, reg_field(d));
      return;
    case OPK_SEG_OP:
      if ((d.row->command_class & CC_KIND) == CC_POP) d.r->warnings |= DW_SEGMENT;
      put_segment(d, last_opcode_byte(d) >> 3 & 7);
      return;
    case OPK_CR:
    case OPK_DR:
      if (!need_modrm(d)) return;
      if (d.modrm >> 6 != 3) fail(d, DE_REGISTER);
      if (d.text)
        text_name(&d.out, (kind == OPK_CR ? g_control_registers : g_debug_registers)[reg_field(d)]);
      return;
    case OPK_I_NEARRET:
    case OPK_I_AH:
    case OPK_I_FLAGS:
    case OPK_I_ST0:
    case OPK_I_ST1:
    case OPK_I_EDI: return;
    case OPK_I_FARRET: d.r->warnings |= DW_FAR; return;
    case OPK_I_ACC:
      if (!register_name(d.op_size, 0)) fail(d, DE_INTERNAL);
      return;
    case OPK_I_COUNTER:
      if (!register_name(d.counter_size, 1)) fail(d, DE_INTERNAL);
      return;
  }
  if (kind >= OPK_RM && kind <= OPK_M_FXSTATE)
    decode_modrm_operand(d, kind);
  else if (kind >= OPK_IMM && kind <= OPK_IMM16U)
    decode_immediate(d, kind);
  else if (kind == OPK_REL8 || kind == OPK_REL)
    decode_relative(d, kind);
  else if (kind == OPK_FAR_IMM)
    decode_far_address(d);
  else
    fail(d, DE_INTERNAL);
}

// Prefix scan; gives false at a repeated prefix of one group.
bool scan_prefixes(Decoder &d) {
  while (d.prefixes < d.count) {
    const PrefixInfo *p = prefix_info(d.bytes[d.prefixes]);
    if (!p) return true;
    if (d.seen & p->group) return false;
    d.seen |= p->group;
    if (p->group == PG_SEGMENT) d.segment = p->segment;
    if (p->group == PG_DATA) d.op_size = 2;
    if (p->group == PG_ADDRESS) d.addr_size = 2;
    if (p->group == PG_REP) d.rep = p->byte;
    d.prefixes++;
  }
  return true;
}

int repeated_prefix(Decoder &d) {
  DisasmResult *r = d.r;
  const PrefixInfo *first = prefix_info(d.bytes[0]);
  r->prefix_count = 1;
  r->warnings = DW_PREFIX | (d.seen & PG_LOCK ? DW_LOCK : 0);
  r->command_class = CF_RARE;
  if (d.text) {
    text_word(&d.out, "PREFIX ");
    text_word(&d.out, first->name);
    text_char(&d.out, ':');
    write_hex_dump(r->hex_dump, d.bytes, 1, 0, 0, 0);
    if (!g_decoder_options.hide_prefix) snprintf(r->comment, DISASM_TEXT, "Superfluous prefix");
  }
  return 1;
}

bool has_string_operand(const CommandRow *row) {
  return row->operand1 == OPK_STR_SRC || row->operand1 == OPK_STR_DST ||
         row->operand2 == OPK_STR_SRC || row->operand2 == OPK_STR_DST;
}

// Position of the 3DNow! suffix byte: after ModRM, SIB and displacement; -1 if the
// bytes end before the ModRM operand does.
int suffix_position(const Decoder &d, int pos) {
  if (pos >= d.count) return -1;
  int modrm = d.bytes[pos++], mod = modrm >> 6, rm = modrm & 7;
  if (mod == 3) return pos;
  if (d.addr_size == 2) return pos + (mod == 0 ? (rm == 6 ? 2 : 0) : mod);
  if (rm == 4) {
    if (pos >= d.count) return -1;
    int base = d.bytes[pos++] & 7;
    if (mod == 0 && base == 5) return pos + 4;
  } else if (mod == 0 && rm == 5) {
    return pos + 4;
  }
  return pos + (mod == 1 ? 1 : mod == 2 ? 4 : 0);
}

// Table search with the short string forms and the 3DNow! suffix (steps of the search).
void find_row(Decoder &d) {
  const DecoderOptions &o = g_decoder_options;
  if (o.vxd_calls && (d.key & 0xFFFF) == 0x20CD) {
    d.row = VxdCallTable;
    return;
  }
  d.row = next_command_row(d.key, nullptr);
  // Short string forms, as long as they lose nothing: a segment or address-size prefix
  // keeps the explicit operands that show it.
  if (d.text && o.short_string_forms && d.row && has_string_operand(d.row) &&
      d.segment == SEG_NONE && d.addr_size == 4) {
    while (d.row && has_string_operand(d.row)) d.row = next_command_row(d.key, d.row);
    // The 16-bit spelling is the tail row coded with 66 in front of the same bytes.
    const CommandRow *twin = d.row && d.op_size == 2 ? next_command_row(d.key << 8 | 0x66, nullptr)
                                                     : nullptr;
    if (twin) d.spelled = twin;
  }
  if (!d.row || (d.row->command_class & CC_KIND) != CC_3DNOW) return;
  int pos = suffix_position(d, d.prefixes + d.row->length);
  if (pos < 0 || pos >= d.count) {
    fail(d, DE_CROSS);
    return;
  }
  int suffix = d.bytes[pos];
  while (d.row && (d.row->code >> 16 & 0xFF) != (uint32_t)suffix)
    d.row = next_command_row(d.key, d.row);
}

void write_mnemonic(Decoder &d) {
  const Name *spelling = row_spelling(d.spelled);
  if (spelling && spelling->length) {
    text_name(&d.out, *spelling);
    return;
  }
  const char *p = d.spelled->mnemonic;
  int size = 0;
  if (*p == '&') size = d.op_size;
  if (*p == '$') size = d.addr_size;
  if (size) p++;
  const char *end = p, *colon = nullptr;
  for (; *end && *end != ','; end++)
    if (*end == ':' && !colon) colon = end;
  if (colon && size == 2) end = colon;
  if (colon && size == 4) p = colon + 1;
  const char *letter = size == 4 ? (g_decoder_options.size_suffix != 2 ? "D" : "")
                                 : (g_decoder_options.size_suffix != 0 ? "W" : "");
  // Runs of plain characters go out whole; a '*' takes the size letter.
  bool split_blank = g_decoder_options.tab_arguments;
  while (p < end) {
    const char *stop = p;
    while (stop < end && *stop != '*' && !(*stop == ' ' && split_blank)) stop++;
    text_word_n(&d.out, p, (int)(stop - p));
    if (stop == end) return;
    if (*stop == '*') {
      text_word(&d.out, letter);
    } else {
      // A REP word stands in its own column before the string command.
      text_char(&d.out, ' ');
      text_pad(&d.out, 8);
      split_blank = false;
    }
    p = stop + 1;
  }
}

// Stack warnings from the opcode alone: INC ESP, DEC ESP, ADD or SUB ESP with an
// immediate that is not a multiple of 4.
void check_stack(Decoder &d) {
  const uint8_t *b = d.bytes + d.prefixes;
  int left = d.count - d.prefixes;
  bool odd = b[0] == 0x44 || b[0] == 0x4C ||
             (left >= 3 && (b[0] == 0x81 || b[0] == 0x83) && (b[1] == 0xC4 || b[1] == 0xEC) &&
              (b[2] & 3));
  if (odd) {
    d.r->warnings |= DW_STACK;
    add_rare(d);
  }
}

void take_row(Decoder &d) {
  DisasmResult *r = d.r;
  const CommandRow &row = *d.row;
  r->command_class = row.command_class;
  d.opcode_len = row.length - (d.rep ? 1 : 0);
  if (d.prefixes + d.opcode_len > d.count) {
    fail(d, DE_CROSS);
    return;
  }
  if (d.segment == SEG_FS || d.segment == SEG_GS || (d.seen & PG_LOCK)) add_rare(d);
  if (row.bits == CB_PRIV) r->warnings |= DW_PRIVILEGED;
  if (row.bits == CB_IO) r->warnings |= DW_IO;
  check_stack(d);
  if (d.bytes[d.prefixes] == 0x8E) r->warnings |= DW_SEGMENT;
  d.counter_size = d.op_size;
  if ((row.bits & CB_W) && !(last_opcode_byte(d) & 0x01)) d.op_size = 1;
  if (row.bits == CB_W3 && !(last_opcode_byte(d) & 0x08)) d.op_size = 1;
  if (row.bits == CB_SIZE2) d.op_size = 2;
}

void decode_operands(Decoder &d) {
  if (d.text) {
    if (d.seen & PG_LOCK) text_word(&d.out, "LOCK ");
    d.mnemonic_pos = d.out.len;
    write_mnemonic(d);
  }
  const uint8_t kinds[3] = {d.row->operand1, d.row->operand2, d.row->operand3};
  for (int i = 0; i < 3 && d.r->error == DE_NONE && kinds[i] != OPK_NONE; i++) {
    d.slot = i;
    if (d.text && kinds[i] < OPK_IMPLICIT) separator(d);
    decode_operand(d, kinds[i]);
  }
  if ((d.row->command_class & CC_KIND) == CC_3DNOW) d.imm_len++;
}

int finish_length(Decoder &d) {
  DisasmResult *r = d.r;
  if (r->error == DE_NONE) {
    int body = d.opcode_len + (d.modrm >= 0) + d.sib_len;
    if (d.text) write_hex_dump(r->hex_dump, d.bytes, d.prefixes, body, d.disp_len, d.imm_len);
    return d.prefixes + body + d.disp_len + d.imm_len;
  }
  int length = d.prefixes;
  if (r->error == DE_BADCMD && length < d.count &&
      (d.bytes[length] == 0x0F || d.bytes[length] == 0xFF))
    length++;
  if (length < d.count) length++;
  if (d.text) {
    text_start(&d.out, r->text);
    text_raw(&d.out, "???");
    write_hex_dump(r->hex_dump, d.bytes, d.prefixes, length - d.prefixes, 0, 0);
  }
  return length;
}

void check_hazards(Decoder &d) {
  if (!hazard_possible(d.key)) return;
  for (const CommandRow *h = HazardTable; h->mask != 0; h++) {
    if (((d.key ^ h->code) & h->mask) != 0) continue;
    if (h->command_class == HAZARD_ALWAYS && !g_decoder_options.hide_crash)
      d.r->warnings |= DW_CRASH;
    if (h->command_class == HAZARD_UNDER_LOCK && (d.seen & PG_LOCK))
      d.r->warnings |= DW_CRASH | DW_LOCKCRASH;
  }
}

void check_prefixes(Decoder &d) {
  DisasmResult *r = d.r;
  if (d.fixups) {
    r->fixup_offset = d.fixup_pos;
    r->fixup_size = 4 * d.fixups;
  }
  bool address_prefix = d.seen & PG_ADDRESS;
  if (!d.has_memory &&
      (d.segment != SEG_NONE || (address_prefix && d.spelled->mnemonic[0] != '$'))) {
    r->warnings |= DW_PREFIX;
    add_rare(d);
  }
  if (address_prefix) add_rare(d);
}

int decode(const uint8_t *bytes, int count, uint32_t address, DisasmResult *result, int mode,
           CommandShape *shape) {
  result->hex_dump[0] = result->text[0] = result->comment[0] = '\0';
  memset(&result->command_class, 0, sizeof *result - offsetof(DisasmResult, command_class));
  result->address = address;
  result->command_class = CC_BAD;
  if (count <= 0) return 0;
  Decoder d = {};
  d.shape = shape;
  d.bytes = bytes;
  d.count = count;
  d.r = result;
  d.text = mode >= DECODE_TEXT;
  d.symbolic_mode = mode >= DECODE_SYMBOLIC;
  d.op_size = d.addr_size = 4;
  d.segment = SEG_NONE;
  d.modrm = -1;
  text_start(&d.out, result->text);
  if (!scan_prefixes(d)) return repeated_prefix(d);
  result->prefix_count = d.prefixes;
  if (d.seen & PG_LOCK) result->warnings |= DW_LOCK;
  const uint8_t *opcode = bytes + d.prefixes;
  int left = count - d.prefixes;
  d.key = left >= 3 ? opcode[0] | opcode[1] << 8 | (uint32_t)opcode[2] << 16
                    : (left >= 1 ? opcode[0] : 0) | (left >= 2 ? opcode[1] << 8 : 0);
  if (d.rep) d.key = d.key << 8 | d.rep;
  // Without an opcode byte the key would be all zeros and match by accident.
  if (d.prefixes < count) find_row(d);
  if (!d.row && result->error == DE_NONE)
    result->error = count - d.prefixes < 2 ? DE_CROSS : DE_BADCMD;
  if (result->error == DE_NONE) {
    if (!d.spelled) d.spelled = d.row;
    take_row(d);
    if (result->error == DE_NONE) decode_operands(d);
  }
  int length = finish_length(d);
  if (mode != DECODE_LENGTH) check_hazards(d);
  if (result->error == DE_NONE && d.deferred != DE_NONE) result->error = d.deferred;
  if (result->error == DE_NONE) check_prefixes(d);
  if (d.text) write_comment(result);
  if (shape && result->error == DE_NONE) {
    shape->row = d.row;
    shape->op_size = d.op_size;
    shape->addr_size = d.addr_size;
    shape->segment = d.segment;
    shape->rep = d.rep;
    shape->operand_register = d.modrm >= 0 ? reg_field(d) : -1;
  }
  return length;
}

}  // namespace

int decode_command(const uint8_t *bytes, int count, uint32_t address, DisasmResult *result,
                   int mode) {
  return decode(bytes, count, address, result, mode, nullptr);
}

int decode_command_shape(const uint8_t *bytes, int count, uint32_t address,
                         DisasmResult *result, CommandShape *shape) {
  *shape = CommandShape{};
  shape->memory_slot = shape->base = shape->index = shape->operand_register = -1;
  shape->segment = SEG_NONE;
  return decode(bytes, count, address, result, DECODE_ANALYSE, shape);
}

int jump_taken(int cc, uint32_t flags) {
  int test = cc >> 1 & 7;
  bool sf_ne_of = !(flags & FLAG_SF) != !(flags & FLAG_OF);
  bool taken = test < 6  ? (flags & kConditionFlags[test]) != 0
               : test == 6 ? sf_ne_of
                           : (flags & FLAG_ZF) || sf_ne_of;
  return taken != (bool)(cc & 1);
}
