#include "crash_report.h"

#include "log.h"
#include "platform.h"
#include "path.h"
#include "visor.h"

namespace {

struct ExceptionName {
  uint32_t code;
  const char *name;
};

const ExceptionName kExceptionNames[] = {
    {0xC0000005, "Access violation"},       {0xC000008C, "Array bounds exceeded"},
    {0x80000003, "Breakpoint"},             {0x80000002, "Datatype misalignment"},
    {0xC000008D, "Flt denormal operand"},   {0xC000008E, "Flt divide by zero"},
    {0xC000008F, "Flt inexact result"},     {0xC0000090, "Flt invalid operation"},
    {0xC0000091, "Flt overflow"},           {0xC0000092, "Flt stack check"},
    {0xC0000093, "Flt underflow"},          {0xC000001D, "Illegal instruction"},
    {0xC0000006, "In page error"},          {0xC0000094, "Int divide by zero"},
    {0xC0000095, "Int overflow"},           {0xC0000026, "Invalid disposition"},
    {0xC0000025, "Noncontinuable exception"}, {0xC0000096, "Priv instruction"},
    {0x80000004, "Single step"},            {0xC00000FD, "Stack overflow"},
};

const int kFramesShown = 40;
// A damaged stack could chain frames without end; the walk stops well before that.
const int kFramesWalked = 100000;

}  // namespace

const char *exception_name(uint32_t code) {
  for (int i = (int)(sizeof kExceptionNames / sizeof kExceptionNames[0]) - 1; i >= 0; i--)
    if (kExceptionNames[i].code == code) return kExceptionNames[i].name;
  return "";
}

void crash_write_report(const char *message, uintptr_t address, const CrashRegisters *r,
                        FrameReader read_frame, void *context) {
  log_printf("\n============= EXCEPTION =============\n");
  log_printf("Address: %X\n", (unsigned)address);
  log_printf("Message: %s\n", message);
  log_printf("EAX: %8X ", r->eax);
  log_printf("EBX: %8X ", r->ebx);
  log_printf("ECX: %8X ", r->ecx);
  log_printf("EDX: %8X\n", r->edx);
  log_printf("ESI: %8X ", r->esi);
  log_printf("EDI: %8X ", r->edi);
  log_printf("ESP: %8X ", r->esp);
  log_printf("EBP: %8X\n", r->ebp);
  log_printf("====== F.R.A.M.E.S ======\n");
  uintptr_t pair[2] = {r->ebp, r->eip};
  int frames = 0;
  bool climbing = true;
  while (frames < kFramesWalked) {
    if (frames < kFramesShown) {
      char name[KQ_PATH];
      symbolic_address(pair[1], name, sizeof name);
      log_printf("\t[%X] = %X %s\n", (unsigned)pair[0], (unsigned)pair[1], name);
    }
    uintptr_t next[2];
    // Frames climb the stack; a pointer that does not climb ends the walk after it.
    if (!climbing || !read_frame(pair[0], next, context)) break;
    frames++;
    climbing = next[0] > pair[0];
    pair[0] = next[0];
    pair[1] = next[1];
  }
  log_printf("Yet another %i frames on the stack\n", frames);
}

void crash_log_unhandled(const char *message) {
  log_printf("======= Unhandled exception\n");
  log_printf("%s\n", message);
  plat_beep();
}
