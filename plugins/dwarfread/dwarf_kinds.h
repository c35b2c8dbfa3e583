// The DWARF codes the reader acts on: tags, attributes, location operations and line
// program opcodes. Codes not listed here are read past by their form.
#pragma once

enum DwarfTag {
  TAG_array_type = 0x01,
  TAG_class_type = 0x02,
  TAG_enumeration_type = 0x04,
  TAG_formal_parameter = 0x05,
  TAG_lexical_block = 0x0b,
  TAG_member = 0x0d,
  TAG_pointer_type = 0x0f,
  TAG_reference_type = 0x10,
  TAG_compile_unit = 0x11,
  TAG_structure_type = 0x13,
  TAG_subroutine_type = 0x15,
  TAG_typedef = 0x16,
  TAG_union_type = 0x17,
  TAG_inlined_subroutine = 0x1d,
  TAG_subrange_type = 0x21,
  TAG_base_type = 0x24,
  TAG_const_type = 0x26,
  TAG_subprogram = 0x2e,
  TAG_variable = 0x34,
  TAG_volatile_type = 0x35,
  TAG_restrict_type = 0x37,
  TAG_namespace = 0x39,
  TAG_unspecified_type = 0x3b,
  TAG_partial_unit = 0x3c,
  TAG_rvalue_reference_type = 0x42,
  TAG_atomic_type = 0x47,
  TAG_skeleton_unit = 0x4a,
};

enum DwarfAttribute {
  AT_location = 0x02,
  AT_name = 0x03,
  AT_byte_size = 0x0b,
  AT_bit_offset = 0x0c,
  AT_bit_size = 0x0d,
  AT_stmt_list = 0x10,
  AT_low_pc = 0x11,
  AT_high_pc = 0x12,
  AT_comp_dir = 0x1b,
  AT_inline = 0x20,
  AT_upper_bound = 0x2f,
  AT_abstract_origin = 0x31,
  AT_count = 0x37,
  AT_data_member_location = 0x38,
  AT_decl_file = 0x3a,
  AT_declaration = 0x3c,
  AT_encoding = 0x3e,
  AT_external = 0x3f,
  AT_frame_base = 0x40,
  AT_specification = 0x47,
  AT_type = 0x49,
  AT_ranges = 0x55,
  AT_data_bit_offset = 0x6b,
  AT_linkage_name = 0x6e,
  AT_str_offsets_base = 0x72,
  AT_addr_base = 0x73,
  AT_rnglists_base = 0x74,
  AT_loclists_base = 0x8c,
  AT_MIPS_linkage_name = 0x2007,
};

enum DwarfEncoding {
  ATE_boolean = 0x02,
  ATE_float = 0x04,
  ATE_signed = 0x05,
  ATE_signed_char = 0x06,
  ATE_unsigned = 0x07,
  ATE_unsigned_char = 0x08,
  ATE_UTF = 0x10,
};

enum DwarfOperation {
  OP_addr = 0x03,
  OP_plus_uconst = 0x23,
  OP_reg5 = 0x55,  // EBP
  OP_breg0 = 0x70,
  OP_breg5 = 0x75,  // EBP
  OP_breg31 = 0x8f,
  OP_fbreg = 0x91,
  OP_call_frame_cfa = 0x9c,
};

enum DwarfUnitType {
  UT_compile = 1,
  UT_type = 2,
  UT_partial = 3,
  UT_skeleton = 4,
  UT_split_compile = 5,
  UT_split_type = 6,
};
