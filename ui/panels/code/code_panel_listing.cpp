#include "ui/panels/code/code_panel_listing.h"

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "symbols/entries.h"
#include "symbols/modules.h"
#include "symbols/sources.h"
#include "ui/rich_text/rich_text_read.h"
#include "ui/rich_text/rich_text_write.h"
#include "util/path.h"
#include "x86/disasm.h"

namespace {

const uint32_t kBlack = 0;
const char kSeparator[] = ";--------------------------------------------\n";

bool name_char(char c) { return isalnum((unsigned char)c) || strchr("@:~?_", c); }

// The name at text, joined across "+/" and "-/" when a name goes on after them.
int name_length(const char *text) {
  int n = 0;
  for (;;) {
    while (text[n] && name_char(text[n])) n++;
    if ((text[n] == '+' || text[n] == '-') && text[n + 1] == '/' && name_char(text[n + 2]))
      n += 2;
    else
      return n;
  }
}

void write_in(RichText *dd, RichHandle font, uint32_t color, const char *text) {
  rich_open_font(dd, font);
  rich_open_color(dd, color);
  rich_put_string(dd, text);
  rich_close_color(dd);
  rich_close_font(dd);
}

void write_linked(RichText *dd, const char *text, int count, uint32_t address) {
  rich_open_color(dd, CODE_LINK);
  rich_open_tag(dd, address, true);
  rich_put_chars(dd, text, count);
  rich_close_tag(dd);
  rich_close_color(dd);
}

// A run that starts with a digit: a number in the disassembler's hexadecimal, a link when it
// is an address inside a module. Gives the characters written.
int write_number(RichText *dd, const char *text) {
  int n = 0;
  while (isalnum((unsigned char)text[n]) || text[n] == '.') n++;
  char *end;
  const uint32_t value = (uint32_t)strtoul(text, &end, 16);
  if (end == text + n && module_by_address(value)) {
    write_linked(dd, text, n, value);
    return n;
  }
  rich_open_color(dd, CODE_ADDRESS);
  rich_put_chars(dd, text, n);
  rich_close_color(dd);
  return n;
}

int write_name(RichText *dd, const char *text) {
  const int n = name_length(text);
  char name[KQ_PATH];
  text_copy(name, (size_t)n + 1 < sizeof name ? (size_t)n + 1 : sizeof name, text);
  const EntryRecord *entry = entry_find(name);
  if (entry) write_linked(dd, text, n, entry->address);
  else rich_put_chars(dd, text, n);
  return n;
}

// The zero-ended printable text at address, when there is enough of it to be a string.
bool string_at(const CodeSource *source, uint32_t address, char *out) {
  uint8_t bytes[CODE_STRING + 1];
  const int count = address ? source->read(source->context, address, bytes, CODE_STRING) : 0;
  int n = 0;
  while (n < count && bytes[n] && isprint(bytes[n])) n++;
  if (n < CODE_STRING_MIN || (n < count && bytes[n])) return false;
  memcpy(out, bytes, (size_t)n);
  out[n] = 0;
  return true;
}

void write_headers(RichText *dd, uint32_t address, const CodeView *view) {
  char text[KQ_PATH];
  const CodeRegionStart region =
      view->marks->region_at(view->marks->context, address, text, sizeof text);
  const ModuleRecord *module = region == CODE_MODULE_START ? module_by_address(address) : nullptr;
  if (module) {
    rich_open_font(dd, dd->measurer->fonts[RICH_FONT_BIG]);
    rich_open_color(dd, kBlack);
    rich_put_markup(dd, " <image app.gif>\t");
    rich_put_string(dd, module->name);
    rich_close_color(dd);
    rich_close_font(dd);
    rich_skip(dd, CODE_MODULE_SKIP);
    rich_open_color(dd, kBlack);
    rich_put_string(dd, module->path);
    rich_close_color(dd);
    rich_put_char(dd, '\n');
  }
  if (region != CODE_NO_REGION) {
    rich_open_font(dd, view->base_font);
    rich_open_color(dd, kBlack);
    rich_open_paper(dd, CODE_REGION);
    rich_put_char(dd, ' ');
    rich_put_string(dd, text);
    rich_tab_column(dd, CODE_BAND);
    rich_close_paper(dd);
    rich_close_color(dd);
    rich_close_font(dd);
    rich_put_char(dd, '\n');
  }
  const EntryRecord *label = entry_equal(address);
  if (label) {
    snprintf(text, sizeof text, " %s", label->name);
    write_in(dd, view->base_font, CODE_LABEL, text);
    rich_put_char(dd, '\n');
  }
}

// The comment of the command's bytes, else the string it refers to.
void write_comment(RichText *dd, uint32_t address, const DisasmResult &r, int length,
                   const CodeView *view) {
  char text[KQ_PATH];
  const uint32_t end = address + (uint32_t)length;
  if (view->marks->comment &&
      view->marks->comment(view->marks->context, address, end, text, sizeof text)) {
    rich_tab_column(dd, CODE_COMMENT_X);
    rich_open_color(dd, CODE_COMMENT);
    rich_put_string(dd, text);
    rich_close_color(dd);
    return;
  }
  const uint32_t referred = r.immediate ? (uint32_t)r.immediate : (uint32_t)r.address_constant;
  char string[CODE_STRING + 1];
  if (!string_at(view->source, referred, string)) return;
  rich_tab_column(dd, CODE_COMMENT_X);
  write_in(dd, dd->measurer->fonts[RICH_FONT_GUI], CODE_COMMENT, string);
}

}  // namespace

void code_write_command(RichText *dd, const char *text) {
  int i = 0;
  while (text[i] == ' ' || text[i] == '\t') i++;
  while (isalnum((unsigned char)text[i]) || text[i] == '_') i++;
  rich_put_chars(dd, text, i);
  while (text[i]) {
    if (isdigit((unsigned char)text[i])) i += write_number(dd, text + i);
    else if (name_char(text[i])) i += write_name(dd, text + i);
    else rich_put_char(dd, text[i++]);
  }
}

void code_render_line(RichText *dd, CodeWindow *w, int i, const CodeView *view) {
  CodeLine *line = &w->lines[i];
  const int first_line = rich_line_count(dd) - 1;
  write_headers(dd, line->address, view);
  uint8_t bytes[CODE_READ];
  const uint64_t left = 0x100000000ull - line->address;
  const int want = left < CODE_READ ? (int)left : CODE_READ;
  const int count = view->source->read(view->source->context, line->address, bytes, want);
  DisasmResult r;
  const DecoderOptions options = g_decoder_options;
  g_decoder_options.tab_arguments = g_decoder_options.symbolic = 1;
  int length = decode_command(bytes, count, line->address, &r, DECODE_SYMBOLIC);
  g_decoder_options = options;
  if (!count) {
    length = 1;
    text_copy(r.text, sizeof r.text, "db ?");
    r.hex_dump[0] = 0;
  } else if (code_undecodable(r.error)) {
    length = 1;
    snprintf(r.text, sizeof r.text, "db\t%u", bytes[0]);
    snprintf(r.hex_dump, sizeof r.hex_dump, "%02X", bytes[0]);
    r.immediate = r.address_constant = 0;
  }
  line->document_line = rich_line_count(dd) - 1;
  if (source_is_line_start(line->address))
    rich_overlay_image(dd, view->source_picture, CODE_MARK_X, 0);
  if (view->marks->breakpoint_at(view->marks->context, line->address))
    rich_overlay_image(dd, view->breakpoint_picture, CODE_MARK_X, 0);
  rich_tab_column(dd, CODE_ADDRESS_X);
  if (line->cut) rich_set_tint(dd, CODE_CUT_STRENGTH, CODE_CUT_TINT);
  char address[DISASM_TEXT];
  snprintf(address, sizeof address, "%08X", line->address);
  write_in(dd, dd->measurer->fonts[RICH_FONT_GUI], CODE_ADDRESS, address);
  rich_tab_column(dd, CODE_COMMAND_X);
  if (view->show_bytes) {
    rich_open_color(dd, CODE_BYTES);
    rich_put_string(dd, r.hex_dump);
    rich_close_color(dd);
    rich_skip(dd, CODE_BYTES_SKIP);
    rich_tab_column(dd, CODE_BYTES_X);
  }
  rich_open_color(dd, kBlack);
  code_write_command(dd, r.text);
  rich_close_color(dd);
  write_comment(dd, line->address, r, length, view);
  rich_set_tint(dd, 0, 0);
  rich_put_char(dd, '\n');
  if (line->command_class == CC_JMP || line->command_class == CC_RET) {
    rich_open_color(dd, CODE_COMMENT);
    rich_put_string(dd, kSeparator);
    rich_close_color(dd);
  }
  for (int l = first_line; l < rich_line_count(dd) - 1; l++)
    rich_set_line_param(dd, l, (uint32_t)i);
}

int code_fill_listing(RichText *dd, CodeWindow *w, int from, int direction, int height,
                      const CodeView *view) {
  rich_clear(dd);
  for (int i = 0; i < w->count; i++) w->lines[i].document_line = -1;
  rich_open_font(dd, view->base_font);
  rich_open_color(dd, kBlack);
  int last = from;
  for (int i = from; i >= 0 && i < w->count && rich_height(dd) < height; i += direction) {
    code_render_line(dd, w, i, view);
    last = i;
  }
  rich_close_color(dd);
  rich_close_font(dd);
  return last;
}
