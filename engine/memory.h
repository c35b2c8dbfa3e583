// Debuggee memory as every reader of the program sees it: breakpoint bytes hidden on
// reading, kept armed on writing.
#pragma once
#include <stdint.h>

// Reads up to length bytes; a range that runs into unreadable memory gives the readable
// part before it. Breakpoint bytes read as the saved bytes. Gives the count read.
uint32_t memory_read(uint32_t address, void *buffer, uint32_t length);
// Writes and puts the breakpoints inside the range back; raises CHG_MEMORY. Gives the
// count written (0 on failure).
uint32_t memory_write(uint32_t address, const void *buffer, uint32_t length);
// As memory_write, but a read-only page is written only when the setting WriteReadOnly
// is on or the user agrees.
uint32_t memory_write_checked(uint32_t address, const void *buffer, uint32_t length);

// The question before writing read-only memory; true to write. The default asks with a
// message box; tests install their own answer. Null puts the message box back.
typedef bool (*WriteConfirm)(const char *title, const char *text);
void memory_set_write_confirm(WriteConfirm confirm);

// The debuggee's bytes as they are, breakpoints included; the writer flushes the
// instruction cache over what it wrote.
uint32_t memory_read_raw(uint32_t address, void *buffer, uint32_t length);
uint32_t memory_write_raw(uint32_t address, const void *buffer, uint32_t length);

// Length of the command at address (at least 1), read as memory_read reads (through the
// code cache); its class
// into *command_class when that is not null (CC_BAD when nothing could be read).
int command_length_at(uint32_t address, int *command_class);

// The same readers and writers in the form the decoder and the assembler take.
int memory_reader(uint32_t address, uint8_t *out, int count);
int memory_writer(uint32_t address, const uint8_t *bytes, int count);
