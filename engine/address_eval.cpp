#include "engine/address_eval.h"

#include <ctype.h>
#include <stdio.h>

namespace {

uint32_t plain_address(const char *text) {
  uint32_t address;
  return parse_hex_address(text, &address) ? address : 0;
}

// A bare number stands for a doubleword there.
bool plain_locate(const char *text, uint32_t *address, uint32_t *size) {
  *size = 4;
  return parse_hex_address(text, address);
}

bool plain_condition(const char *text, uint32_t *value) {
  (void)text;
  (void)value;
  return false;
}

void plain_name(uint32_t address, char *out, size_t outlen) {
  snprintf(out, outlen, "%08X", (unsigned)address);
}

bool no_line(uint32_t address, uint32_t *start, uint32_t *end) {
  (void)address;
  *start = *end = 0;
  return false;
}

bool no_sources() { return false; }
bool no_registers(const char *text) {
  (void)text;
  return false;
}
bool no_address(uint32_t address) {
  (void)address;
  return false;
}

const AddressEvaluator kPlainEvaluator = {plain_address, plain_locate, plain_condition,
                                          plain_name,    no_line,      no_sources,
                                          no_address,    no_address,   no_registers};

}  // namespace

AddressEvaluator g_address_eval = kPlainEvaluator;

void address_eval_install(const AddressEvaluator *evaluator) {
  g_address_eval = evaluator ? *evaluator : kPlainEvaluator;
}

bool parse_hex_address(const char *text, uint32_t *address) {
  *address = 0;
  if (!text) return false;
  while (isspace((unsigned char)*text)) text++;
  if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text += 2;
  uint64_t value = 0;
  int digits = 0;
  for (; isxdigit((unsigned char)*text); text++, digits++) {
    int c = tolower((unsigned char)*text);
    value = value * 16 + (uint64_t)(c <= '9' ? c - '0' : c - 'a' + 10);
    if (value > 0xFFFFFFFFu) return false;
  }
  while (isspace((unsigned char)*text)) text++;
  if (!digits || *text) return false;
  *address = (uint32_t)value;
  return true;
}
