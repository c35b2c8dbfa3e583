#include "x86/names.h"

const char *const g_byte_registers[9] = {"AL", "CL", "DL", "BL", "AH", "CH", "DH", "BH", "R8"};
const char *const g_word_registers[9] = {"AX", "CX", "DX", "BX", "SP", "BP", "SI", "DI", "R16"};
const char *const g_dword_registers[9] = {"EAX", "ECX", "EDX", "EBX",
                                          "ESP", "EBP", "ESI", "EDI", "R32"};
const char *const g_segment_names[8] = {"ES", "CS", "SS", "DS", "FS", "GS", "SEG?", "SEG?"};
const char *const g_size_keywords[11] = {"(0-BYTE)", "BYTE",     "WORD",  "(3-BYTE)",
                                         "DWORD",    "(5-BYTE)", "FWORD", "(7-BYTE)",
                                         "QWORD",    "(9-BYTE)", "TBYTE"};
const char *const g_fpu_registers[9] = {"ST0", "ST1", "ST2", "ST3", "ST4", "ST5", "ST6", "ST7",
                                        "FPU"};
const char *const g_mmx_registers[9] = {"MM0", "MM1", "MM2", "MM3", "MM4", "MM5", "MM6", "MM7",
                                        "MMX"};
const char *const g_control_registers[9] = {"CR0", "CR1", "CR2", "CR3", "CR4",
                                            "CR5", "CR6", "CR7", "CRX"};
const char *const g_debug_registers[9] = {"DR0", "DR1", "DR2", "DR3", "DR4",
                                          "DR5", "DR6", "DR7", "DRX"};

const AddressBase g_address_bases16[8] = {
    {"BX+SI", SEG_DS}, {"BX+DI", SEG_DS}, {"BP+SI", SEG_SS}, {"BP+DI", SEG_SS},
    {"SI", SEG_DS},    {"DI", SEG_DS},    {"BP", SEG_SS},    {"BX", SEG_DS}};
const AddressBase g_address_bases32[8] = {
    {"EAX", SEG_DS}, {"ECX", SEG_DS}, {"EDX", SEG_DS}, {"EBX", SEG_DS},
    {"", SEG_SS},    {"EBP", SEG_SS}, {"ESI", SEG_DS}, {"EDI", SEG_DS}};

const char *register_name(int size, int number) {
  static const char *const *const by_size[5] = {nullptr, g_byte_registers, g_word_registers,
                                                nullptr, g_dword_registers};
  if (size < 1 || size > 4 || !by_size[size] || number < 0 || number > 7) return nullptr;
  return by_size[size][number];
}
