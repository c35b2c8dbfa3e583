#include "x86/names.h"

const Name g_byte_registers[9] = {"AL"_name, "CL"_name, "DL"_name, "BL"_name, "AH"_name,
                                  "CH"_name, "DH"_name, "BH"_name, "R8"_name};
const Name g_word_registers[9] = {"AX"_name, "CX"_name, "DX"_name, "BX"_name, "SP"_name,
                                  "BP"_name, "SI"_name, "DI"_name, "R16"_name};
const Name g_dword_registers[9] = {"EAX"_name, "ECX"_name, "EDX"_name, "EBX"_name, "ESP"_name,
                                   "EBP"_name, "ESI"_name, "EDI"_name, "R32"_name};
const Name g_segment_names[8] = {"ES"_name, "CS"_name, "SS"_name,   "DS"_name,
                                 "FS"_name, "GS"_name, "SEG?"_name, "SEG?"_name};
const Name g_size_keywords[11] = {"(0-BYTE)"_name, "BYTE"_name,     "WORD"_name,
                                  "(3-BYTE)"_name, "DWORD"_name,    "(5-BYTE)"_name,
                                  "FWORD"_name,    "(7-BYTE)"_name, "QWORD"_name,
                                  "(9-BYTE)"_name, "TBYTE"_name};
const Name g_fpu_registers[9] = {"ST0"_name, "ST1"_name, "ST2"_name, "ST3"_name, "ST4"_name,
                                 "ST5"_name, "ST6"_name, "ST7"_name, "FPU"_name};
const Name g_mmx_registers[9] = {"MM0"_name, "MM1"_name, "MM2"_name, "MM3"_name, "MM4"_name,
                                 "MM5"_name, "MM6"_name, "MM7"_name, "MMX"_name};
const Name g_control_registers[9] = {"CR0"_name, "CR1"_name, "CR2"_name, "CR3"_name, "CR4"_name,
                                     "CR5"_name, "CR6"_name, "CR7"_name, "CRX"_name};
const Name g_debug_registers[9] = {"DR0"_name, "DR1"_name, "DR2"_name, "DR3"_name, "DR4"_name,
                                   "DR5"_name, "DR6"_name, "DR7"_name, "DRX"_name};

const AddressBase g_address_bases16[8] = {
    {"BX+SI"_name, SEG_DS}, {"BX+DI"_name, SEG_DS}, {"BP+SI"_name, SEG_SS},
    {"BP+DI"_name, SEG_SS}, {"SI"_name, SEG_DS},    {"DI"_name, SEG_DS},
    {"BP"_name, SEG_SS},    {"BX"_name, SEG_DS}};
const AddressBase g_address_bases32[8] = {
    {"EAX"_name, SEG_DS}, {"ECX"_name, SEG_DS}, {"EDX"_name, SEG_DS}, {"EBX"_name, SEG_DS},
    {""_name, SEG_SS},    {"EBP"_name, SEG_SS}, {"ESI"_name, SEG_DS}, {"EDI"_name, SEG_DS}};

const Name *register_name(int size, int number) {
  static const Name *const by_size[5] = {nullptr, g_byte_registers, g_word_registers, nullptr,
                                         g_dword_registers};
  if (size < 1 || size > 4 || !by_size[size] || number < 0 || number > 7) return nullptr;
  return &by_size[size][number];
}
