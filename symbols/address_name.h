// Address naming: "<module>" when the address lies in another module than the place it
// is shown at, "+/" and the nearest symbol, and the distance as "+/0x%lX" or "-/0x%lX";
// and reading such a name back.
#pragma once
#include <stddef.h>
#include <stdint.h>

// Names address as seen from reference. Gives true with a name, or false with the
// address as "0x%lX" (no symbol, or an offset where none is allowed).
bool address_name(uint32_t reference, uint32_t address, bool allow_offset, char *out,
                  size_t outlen);
// Reads a name written by address_name (or a bare symbol name, or "0x..." hexadecimal)
// from the start of text; gives the address and the characters read, or false when the
// module or symbol is unknown or the text is no name.
bool address_read(const char *text, uint32_t *address, int *consumed);
