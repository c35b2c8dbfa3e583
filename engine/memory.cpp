#include "engine/memory.h"

#include <windows.h>

#include "engine/breakpoints.h"
#include "engine/code_cache.h"
#include "engine/debuggee.h"
#include "settings/changes.h"
#include "settings/settings.h"
#include "x86/disasm.h"

namespace {

const uint32_t kPage = 0x1000;

bool ask_with_message_box(const char *title, const char *text) {
  return MessageBoxA(nullptr, text, title, MB_OKCANCEL | MB_ICONEXCLAMATION) == IDOK;
}

WriteConfirm g_confirm = ask_with_message_box;

HANDLE process() {
  return g_debuggee.state == DS_NOTLOADED ? nullptr : (HANDLE)g_debuggee.process;
}

uint32_t read_some(uint32_t address, void *buffer, uint32_t length) {
  SIZE_T got = 0;
  if (!ReadProcessMemory(process(), (const void *)(uintptr_t)address, buffer, length, &got))
    return 0;
  return (uint32_t)got;
}

}  // namespace

void memory_set_write_confirm(WriteConfirm confirm) {
  g_confirm = confirm ? confirm : ask_with_message_box;
}

uint32_t memory_read_raw(uint32_t address, void *buffer, uint32_t length) {
  if (!process() || length == 0) return 0;
  // Keep the range inside the address space rather than wrap.
  if (length - 1 > 0xFFFFFFFFu - address) length = 0xFFFFFFFFu - address + 1;
  uint32_t got = read_some(address, buffer, length);
  if (got) return got;
  // The system refuses a range with any unreadable page: give the pages before it.
  uint32_t done = 0;
  while (done < length) {
    uint32_t piece = kPage - (address + done) % kPage;
    if (piece > length - done) piece = length - done;
    uint32_t n = read_some(address + done, (char *)buffer + done, piece);
    done += n;
    if (n < piece) break;
  }
  return done;
}

uint32_t memory_write_raw(uint32_t address, const void *buffer, uint32_t length) {
  if (!process() || length == 0) return 0;
  SIZE_T put = 0;
  if (!WriteProcessMemory(process(), (void *)(uintptr_t)address, buffer, length, &put))
    return 0;
  FlushInstructionCache(process(), (const void *)(uintptr_t)address, put);
  code_cache_written(address, buffer, (uint32_t)put);
  return (uint32_t)put;
}

uint32_t memory_read(uint32_t address, void *buffer, uint32_t length) {
  uint32_t got = memory_read_raw(address, buffer, length);
  breakpoints_hide(address, (uint8_t *)buffer, got);
  return got;
}

uint32_t memory_write(uint32_t address, const void *buffer, uint32_t length) {
  uint32_t put = memory_write_raw(address, buffer, length);
  if (!put) return 0;
  breakpoints_rearm_written(address, put);
  changes_raise(CHG_MEMORY);
  return put;
}

uint32_t memory_write_checked(uint32_t address, const void *buffer, uint32_t length) {
  MEMORY_BASIC_INFORMATION info;
  if (!process() ||
      !VirtualQueryEx(process(), (const void *)(uintptr_t)address, &info, sizeof info))
    return 0;
  if (!(info.Protect & PAGE_READONLY)) return memory_write(address, buffer, length);
  if (!g_settings.WriteReadOnly &&
      !g_confirm("Write protection enabled",
                 "This is a read-only section.\nDo you want to write it anyway ?"))
    return 0;
  DWORD former;
  if (!VirtualProtectEx(process(), (void *)(uintptr_t)address, length, PAGE_READWRITE, &former))
    return 0;
  uint32_t put = memory_write(address, buffer, length);
  VirtualProtectEx(process(), (void *)(uintptr_t)address, length, former, &former);
  return put;
}

int memory_reader(uint32_t address, uint8_t *out, int count) {
  return count > 0 ? (int)memory_read(address, out, (uint32_t)count) : 0;
}

int memory_writer(uint32_t address, const uint8_t *bytes, int count) {
  return count > 0 ? (int)memory_write(address, bytes, (uint32_t)count) : 0;
}

int command_length_at(uint32_t address, int *command_class) {
  uint8_t bytes[16];
  DisasmResult result;
  int count = (int)code_cache_read(address, bytes, sizeof bytes);
  breakpoints_hide(address, bytes, (uint32_t)count);
  int length = decode_command(bytes, count, address, &result, DECODE_ANALYSE);
  if (command_class) *command_class = count ? result.command_class : CC_BAD;
  return length > 0 ? length : 1;
}
