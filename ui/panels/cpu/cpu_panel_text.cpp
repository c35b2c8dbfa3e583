#include "ui/panels/cpu/cpu_panel_text.h"

#include <stdio.h>
#include <string.h>

#include <initializer_list>

#include "symbols/address_name.h"
#include "symbols/entries.h"
#include "symbols/eval/expression.h"
#include "ui/rich_text/rich_text_write.h"
#include "util/path.h"
#include "x86/disasm.h"

namespace {

enum { LONG_VALUE = 16, FLAG_ROWS = 8, SEGMENT_ROWS = 6, FPU_ROWS = 8 };

const uint32_t kBlack = 0;

uint64_t value_bits(const EvalRegisters *regs, int row) {
  ValueDescriptor v;
  uint64_t bits = 0;
  if (expression_register_value(regs, row, &v)) memcpy(&bits, v.data, sizeof bits);
  return bits;
}

// The name in grey, linked when asked; the value as a link of its own, in the small font
// when it is long and in the highlight colour when it changed.
void write_register(RichText *dd, const CpuView *view, int row, bool name_linked) {
  if (name_linked) rich_open_tag(dd, cpu_link(CPU_LINK_NAME, row), true);
  rich_open_color(dd, CPU_NAME);
  rich_put_format(dd, "%s:", expression_register_name(row));
  rich_close_color(dd);
  if (name_linked) rich_close_tag(dd);
  char text[DOUBLE_TEXT];
  const bool small = cpu_value_text(view->current, row, text, sizeof text) > LONG_VALUE;
  if (small) rich_open_font(dd, dd->measurer->fonts[RICH_FONT_SMALL]);
  rich_open_color(dd, cpu_value_changed(view, row) ? CPU_CHANGED : kBlack);
  rich_open_tag(dd, cpu_link(CPU_LINK_VALUE, row), true);
  rich_put_string(dd, text);
  rich_close_tag(dd);
  rich_close_color(dd);
  if (small) rich_close_font(dd);
}

void write_heading(RichText *dd, const char *text) {
  rich_open_color(dd, CPU_HEADING);
  rich_put_string(dd, text);
  rich_close_color(dd);
}

void write_stack(RichText *dd, const CpuView *view) {
  for (int i = 0; i < view->frames; i++) {
    const uint32_t address = view->returns[i];
    rich_open_tag(dd, cpu_link(CPU_LINK_FRAME, i), true);
    if (view->frame_picture) rich_image(dd, view->frame_picture);
    rich_close_tag(dd);
    rich_put_char(dd, ' ');
    rich_update(dd);  // the blank is written before the link opens, not inside it
    const EntryRecord *procedure = view->code_procedure ? entry_nearest(address) : nullptr;
    const bool here = procedure && procedure->address == view->code_procedure;
    if (here) rich_open_paper(dd, CPU_HIGHLIGHT);
    rich_open_tag(dd, cpu_link(CPU_LINK_RETURN, i), true);
    char name[KQ_PATH];
    if (!address_name(view->reference, address, true, name, sizeof name))
      snprintf(name, sizeof name, "%08X", address);
    rich_put_string(dd, name);
    rich_close_tag(dd);
    if (here) rich_close_paper(dd);
    rich_put_char(dd, '\n');
  }
}

}  // namespace

int cpu_value_text(const EvalRegisters *regs, int row, char *out, size_t outlen) {
  ValueDescriptor v;
  if (!outlen) return 0;
  out[0] = 0;
  if (!expression_register_value(regs, row, &v)) return 0;
  uint32_t words[2];
  memcpy(words, v.data, sizeof words);
  if (row >= CPU_ROW_ST0 && row < CPU_ROW_MM0) {
    char text[DOUBLE_TEXT];
    format_double(text, words[0], words[1]);
    return snprintf(out, outlen, "%s", text);
  }
  if (row >= CPU_ROW_MM0 && row < CPU_ROW_TIB) {
    const uint8_t *b = v.data;
    return snprintf(out, outlen, "%02X%02X %02X%02X %02X%02X %02X%02X", b[7], b[6], b[5], b[4],
                    b[3], b[2], b[1], b[0]);
  }
  const char *format = row <= CPU_ROW_EIP                      ? "%X"
                       : row >= CPU_ROW_C && row < CPU_ROW_CS  ? "%d"
                       : row >= CPU_ROW_CS && row < CPU_ROW_ST0 ? "%04X"
                                                                : "%08X";
  return snprintf(out, outlen, format, words[0]);
}

CpuClick cpu_click_target(const CpuView *view, const uint32_t *frames, uint32_t link) {
  const int index = (int)(link & 0xFFFF);
  const bool entry = index < view->frames;
  switch (link >> 16) {
    case CPU_LINK_NAME:
      if (view->current) return {CPU_TARGET_FOLLOW, (uint32_t)value_bits(view->current, index)};
      break;
    case CPU_LINK_FRAME:
      if (entry && frames) return {CPU_TARGET_DATA, frames[index]};
      break;
    case CPU_LINK_RETURN:
      if (entry) return {CPU_TARGET_CODE, view->returns[index]};
      break;
  }
  return {CPU_TARGET_NONE, 0};
}

bool cpu_value_changed(const CpuView *view, int row) {
  return value_bits(view->current, row) != value_bits(view->previous, row);
}

void cpu_write(RichText *dd, const CpuView *view) {
  rich_clear(dd);
  if (!view->current) return;
  const RichHandle font = view->zoom ? dd->measurer->fonts[RICH_FONT_SMALL] : view->fixed_font;
  rich_open_font(dd, font);
  rich_open_color(dd, kBlack);
  for (int row = CPU_ROW_EAX; row <= CPU_ROW_EIP; row++) {
    write_register(dd, view, row, true);
    rich_put_char(dd, '\n');
  }
  // The flags, with the segment registers beside the first six.
  for (int i = 0; i < FLAG_ROWS; i++) {
    write_register(dd, view, CPU_ROW_C + i, false);
    if (i < SEGMENT_ROWS) {
      rich_put_char(dd, ' ');
      write_register(dd, view, CPU_ROW_CS + i, false);
    }
    rich_put_char(dd, '\n');
  }
  for (int row : {CPU_ROW_TIB, CPU_ROW_ERR}) {
    write_register(dd, view, row, true);
    rich_put_char(dd, '\n');
  }
  write_heading(dd, view->mmx ? " MMX:\n" : " FPU:\n");
  for (int i = 0; i < FPU_ROWS; i++) {
    write_register(dd, view, (view->mmx ? CPU_ROW_MM0 : CPU_ROW_ST0) + i, view->mmx);
    rich_put_char(dd, '\n');
  }
  rich_close_color(dd);
  rich_close_font(dd);
  rich_open_color(dd, CPU_STACK);
  rich_open_font(dd, dd->measurer->fonts[RICH_FONT_SMALL]);
  write_heading(dd, " STACK:\n");
  write_stack(dd, view);
  rich_open_tag(dd, CPU_PICTURE_LINK, true);
  rich_put_markup(dd, "  <image Logo.gif>  \n");
  rich_close_tag(dd);
  rich_close_font(dd);
  rich_close_color(dd);
}
