// The exception report written to the log when the program dies.
#pragma once
#include <stdint.h>

struct CrashRegisters {
  uint32_t eax, ebx, ecx, edx, esi, edi, esp, ebp, eip;
};

// Reads the 8 bytes at a frame pointer: the caller's frame pointer and return address.
typedef bool (*FrameReader)(uintptr_t frame, uintptr_t pair[2], void *context);

// Name of an exception code, or "" when it is not one we know.
const char *exception_name(uint32_t code);

// The fatal end outside any protected run: "======= Unhandled exception" and the message.
void crash_log_unhandled(const char *message);

// Writes the report: address, message, registers and the frame walk.
void crash_write_report(const char *message, uintptr_t address, const CrashRegisters *regs,
                        FrameReader read_frame, void *context);
