// Source names of C++ symbols mangled as gcc and clang mangle them outside Microsoft's compilers
// ("_ZN6shapes4areaEv" is shapes::area()), as mingw-w64 images carry them in their COFF symbols and
// DWARF linkage names.
#pragma once
#include <stddef.h>

// Writes the source form of name into out[0..size), cut to fit; takes the extra leading underscore
// that 32-bit COFF adds. False, with out empty, when name is no such mangled name or uses a form
// this reader does not spell (expressions in template arguments).
bool demangle_itanium(const char *name, char *out, size_t size);
// The same, a function's name alone, without its return and parameter types or clone marks
// ("geo::Shape::area"): the shape of the other names in the symbol store.
bool demangle_itanium_name(const char *name, char *out, size_t size);
