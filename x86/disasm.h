// The x86 command decoder and its disassembly text: the public records and entries.
#pragma once
#include <stddef.h>
#include <stdint.h>

enum DecodeMode {
  DECODE_LENGTH = 0,    // length and error only
  DECODE_ANALYSE = 1,   // every analysis field (2 acts as 1)
  DECODE_TEXT = 3,      // also hex dump, text and comment
  DECODE_SYMBOLIC = 4,  // also names of addresses and constants
};

enum CommandClass {
  CC_GENERAL = 0x00, CC_PUSH = 0x10, CC_POP = 0x20, CC_MMX = 0x30, CC_FPU = 0x40,
  CC_JMP = 0x50, CC_JMC = 0x60, CC_CALL = 0x70, CC_RET = 0x80, CC_POPF = 0x90,
  CC_IRET = 0xA0, CC_REP = 0xB0, CC_HALT = 0xC0, CC_3DNOW = 0xE0, CC_BAD = 0xF0,
  CC_KIND = 0xF0,  // mask of the kind
  CF_SHOWSIZE = 0x01, CF_RARE = 0x08,
};

enum DecodeError {
  DE_NONE = 0, DE_BADCMD = 1, DE_CROSS = 2, DE_BADSEG = 3, DE_MEMORY = 4, DE_REGISTER = 5,
  DE_INTERNAL = 6,
};

enum DecodeWarning {
  DW_FAR = 0x0001, DW_SEGMENT = 0x0002, DW_PRIVILEGED = 0x0004, DW_IO = 0x0008,
  DW_SHIFT = 0x0010, DW_PREFIX = 0x0020, DW_LOCK = 0x0040, DW_STACK = 0x0080,
  DW_CRASH = 0x1000, DW_LOCKCRASH = 0x2000,
};

enum { DISASM_TEXT = 256 };

struct DisasmResult {
  uint32_t address;
  char hex_dump[DISASM_TEXT];
  char text[DISASM_TEXT];
  char comment[DISASM_TEXT];
  int32_t command_class;
  int32_t memory_kind;
  int32_t prefix_count;
  int32_t index_scale;
  uint32_t jump_target;
  uint32_t jump_table;
  int32_t address_constant;
  int32_t immediate;
  int32_t zero_constant;
  int32_t fixup_offset;
  int32_t fixup_size;
  int32_t error;
  int32_t warnings;
};

// Process-wide options, set once at start-up; the code panel and the instruction
// search change tab_arguments and symbolic around their calls.
struct DecoderOptions {
  int lower_case = 1;
  int tab_arguments = 0;
  int symbolic = 0;
  int short_string_forms = 1;
  int space_after_comma = 0;
  int size_suffix = 0;
  int vxd_calls = 0;
  int show_default_segment = 0;
  int brackets_first = 0;
  int always_show_size = 0;
  int near_keyword = 0;
  int hide_privileged = 0, hide_io = 0, hide_far = 0, hide_shift = 0, hide_prefix = 0,
      hide_lock = 0, hide_stack = 0, hide_crash = 0;
};
extern DecoderOptions g_decoder_options;

// Names an exact symbol address for the text: writes the name into buffer (at most
// buflen characters with the terminating zero) and gives its length, or 0 for none.
typedef int (*AddressNamer)(uint32_t address, char *buffer, int buflen);
// Installs the naming used in DECODE_SYMBOLIC; null names nothing.
void set_address_namer(AddressNamer namer);

// Decodes the command in bytes[0..count) standing at address; gives its length (at least
// 1 when count is at least 1, 0 when count is 0). Never reads past count.
int decode_command(const uint8_t *bytes, int count, uint32_t address, DisasmResult *result,
                   int mode);

// Whether a conditional jump with condition nibble cc is taken under the flags.
int jump_taken(int cc, uint32_t flags);

// Text of a 64-bit float from its two doublewords; gives the characters written.
int format_double(char *buffer, uint32_t low, uint32_t high);
enum { DOUBLE_TEXT = 32 };  // characters format_double may write, with the zero

// Reads up to count bytes of the debuggee at address into out; gives how many it read.
typedef int (*MemoryReader)(uint32_t address, uint8_t *out, int count);
// Reads 16 bytes at address through reader, decodes them in DECODE_SYMBOLIC and copies
// the text (256 characters) into text; gives the length, or 0 with "???" when nothing
// could be read. KQ_Disasm is this over the debugger's memory reader.
int disasm_text_at(uint32_t address, char *text, MemoryReader reader);
