// Names as the Visual C++ compiler and linker decorate them, shown as a user reads them:
// "?area@Shape@geo@@QBENXZ" is geo::Shape::area, "_printf" and "_stdcall@12" are plain C
// names. Platform-free; the input is untrusted (it comes from debug information).
#pragma once
#include <stddef.h>

enum UndecorateForm {
  UNDECORATE_NAME,       // the qualified name: geo::vec<int, 4>::push
  UNDECORATE_SIGNATURE,  // with access, types and calling convention
};

// True when decorated is a decorated C++ name or a C name with the linker's marks (a
// leading underscore, stdcall's and fastcall's argument size) and out holds what it stands
// for, cut at size - 1 characters. False for anything else (an undecorated name, a form
// this reader does not know, a forged one): out then holds decorated itself, cut.
bool undecorate_msvc(const char *decorated, UndecorateForm form, char *out, size_t size);
