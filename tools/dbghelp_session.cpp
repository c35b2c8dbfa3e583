// dbghelp in this process, with lines loaded and names as recorded (not undecorated), so
// that they compare with what our readers define.
#include "tools/dbghelp_session.h"

#include <windows.h>

#include <dbghelp.h>
#include <string.h>

#include "util/path.h"

namespace {

const char *symbol_kind_name(SYM_TYPE type) {
  static const char *const names[] = {"SymNone",     "SymCoff", "SymCv",  "SymPdb",
                                      "SymExport",   "SymDeferred", "SymSym", "SymDia",
                                      "SymVirtual"};
  return (unsigned)type < sizeof names / sizeof names[0] ? names[type] : "SymUnknown";
}

BOOL CALLBACK on_symbol(PSYMBOL_INFO info, ULONG size, PVOID context) {
  const DbghelpSink *sink = (const DbghelpSink *)context;
  if (sink->on_symbol)
    sink->on_symbol(sink->context, (uint32_t)info->Address, info->Tag, info->Flags, info->Name);
  return TRUE;
}

BOOL CALLBACK on_line(PSRCCODEINFO line, PVOID context) {
  const DbghelpSink *sink = (const DbghelpSink *)context;
  if (sink->on_line)
    sink->on_line(sink->context, (uint32_t)line->Address, line->LineNumber, line->FileName);
  return TRUE;
}

}  // namespace

bool dbghelp_begin(const char *image, const char **why) {
  char folder[KQ_PATH];
  char *name_part = nullptr;
  DWORD length = GetFullPathNameA(image, sizeof folder, folder, &name_part);
  if (!length || length >= sizeof folder || !name_part) {
    *why = "the image path does not fit or has no file name";
    return false;
  }
  *name_part = 0;
  SymSetOptions(SYMOPT_LOAD_LINES | SYMOPT_FAIL_CRITICAL_ERRORS);
  if (!SymInitialize(GetCurrentProcess(), folder, FALSE)) {
    *why = "SymInitialize failed";
    return false;
  }
  return true;
}

bool dbghelp_enumerate(const char *image, const DbghelpSink *sink, const char **why) {
  HANDLE process = GetCurrentProcess();
  DWORD64 base = SymLoadModuleEx(process, nullptr, image, nullptr, 0, 0, nullptr, 0);
  if (!base) {
    *why = "SymLoadModuleEx failed";
    return false;
  }
  IMAGEHLP_MODULE64 module;
  memset(&module, 0, sizeof module);
  module.SizeOfStruct = sizeof module;
  if (!SymGetModuleInfo64(process, base, &module)) module.SymType = SymNone;
  if (sink->on_module)
    sink->on_module(sink->context, (uint32_t)base, symbol_kind_name(module.SymType),
                    module.LoadedPdbName[0] ? module.LoadedPdbName : module.LoadedImageName);
  bool ok = SymEnumSymbols(process, base, "*", on_symbol, (PVOID)sink) &&
            SymEnumLines(process, base, nullptr, nullptr, on_line, (PVOID)sink);
  if (!ok) *why = "the enumeration failed";
  SymUnloadModule64(process, base);
  return ok;
}

void dbghelp_end(void) { SymCleanup(GetCurrentProcess()); }
