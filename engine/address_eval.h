// What the engine asks of the expression evaluator and the symbol database: addresses of
// breakpoint and guard texts, guard conditions, the symbolic form of an address, the source
// line around an address and where modules start. The program installs the evaluator's
// and the module list's functions here; without them (the engine's own tests, the
// benchmarks) plain hexadecimal numbers resolve, nothing else does, and no module is known.
#pragma once
#include <stddef.h>
#include <stdint.h>

struct AddressEvaluator {
  // The address text stands for (breakpoints: a symbol's address, a number, a pointer's
  // value); 0 when it names nothing.
  uint32_t (*address)(const char *text);
  // Where the value of text lies and the size of its type; false when it does not evaluate.
  bool (*locate)(const char *text, uint32_t *address, uint32_t *size);
  // The value of a condition; false when it cannot be evaluated.
  bool (*condition)(const char *text, uint32_t *value);
  // The form the code panel shows for an address (a symbol with an offset, or hex).
  void (*name_address)(uint32_t address, char *out, size_t outlen);
  // The source line holding address as [start, end); false when there is no line info.
  bool (*line_range)(uint32_t address, uint32_t *start, uint32_t *end);
  // Whether any source files are known, and whether address lies in one of them.
  bool (*have_sources)();
  bool (*in_source)(uint32_t address);
  // Whether a module of the module list is mapped from address on (its base).
  bool (*module_starts_at)(uint32_t address);
  // Whether the address of text follows the registers (a register, a local): such a
  // breakpoint text is resolved once, not again at every stop.
  bool (*reads_registers)(const char *text);
};

// The functions in use; never null.
extern AddressEvaluator g_address_eval;
// Installs evaluator (copied, every member set); null puts the plain-number one back.
void address_eval_install(const AddressEvaluator *evaluator);

// A plain hexadecimal number, with or without "0x", blanks around it allowed.
bool parse_hex_address(const char *text, uint32_t *address);
