#include "ui/panels/code/code_panel_operands.h"

#include <ctype.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include "symbols/address_name.h"
#include "symbols/eval/expression.h"
#include "symbols/types.h"
#include "ui/panels/code/code_panel_edit.h"
#include "ui/rich_text/rich_text_write.h"
#include "util/path.h"

namespace {

uint32_t dword_of(const ValueDescriptor &v) {
  uint32_t value;
  memcpy(&value, v.data, sizeof value);
  return value;
}

// " = name" for an address with a symbol, else " = " and the number in the form given.
void write_address(RichText *box, uint32_t reference, uint32_t address, const char *bare,
                   const char *named) {
  char name[KQ_PATH], text[2 * KQ_PATH];
  if (address_name(reference, address, false, name, sizeof name))
    snprintf(text, sizeof text, named, name);
  else
    snprintf(text, sizeof text, bare, address);
  rich_put_string(box, text);
}

// " = " and the value's text in the target colour, when it is short enough to stand there;
// never the operand's own text again.
void write_target(RichText *box, ValueDescriptor *v, const char *operand) {
  char text[KQ_PATH];
  const int length = expression_format_value(v, text, sizeof text);
  if (length <= 0 || length > CODE_BOX_VALUE || (operand && !strcasecmp(text, operand))) return;
  rich_put_string(box, " = ");
  rich_open_color(box, CODE_TARGET);
  rich_put_string(box, text);
  rich_close_color(box);
}

// One operand with the follow address it offers; false when it does not evaluate.
bool write_operand(RichText *box, const char *operand, uint32_t reference, bool first,
                   uint32_t *follow) {
  ValueDescriptor v;
  if (!expression_evaluate(operand, &v)) return false;
  if (!first) rich_put_char(box, '\n');
  rich_open_color(box, CODE_OPERAND);
  rich_put_string(box, operand);
  rich_close_color(box);
  if (strchr(operand, '[')) {
    write_address(box, reference, v.address, " = [0x%X]", " = [%s]");
    write_target(box, &v, nullptr);
    *follow = v.address;
    return true;
  }
  const uint32_t value = dword_of(v);
  if (value) write_address(box, reference, value, " = 0x%X", " = %s");
  if (type_server(v.type) == '*') {
    ValueDescriptor target = {};
    target.address = value;
    target.type = type_deref(v.type);
    write_target(box, &target, operand);
  }
  *follow = value ? value : v.address;
  return true;
}

}  // namespace

uint32_t code_write_operands(RichText *box, uint32_t address, MemoryReader reader,
                             RichHandle font) {
  rich_clear(box);
  char text[DISASM_TEXT];
  code_command_text(address, reader, text, sizeof text);
  const char *p = text;
  while (*p == ' ') p++;
  while (isalnum((unsigned char)*p) || *p == '_') p++;
  rich_open_font(box, font);
  uint32_t follow = 0;
  bool first = true;
  while (*p) {
    while (*p == ' ' || *p == ',') p++;
    const size_t length = strcspn(p, ",");
    char operand[DISASM_TEXT];
    text_copy(operand, length + 1 < sizeof operand ? length + 1 : sizeof operand, p);
    p += length;
    if (!*operand) continue;
    if (write_operand(box, operand, address, first, &follow)) first = false;
  }
  rich_close_font(box);
  return follow;
}
