#include "log.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "path.h"
#include "platform.h"
#include "visor.h"

namespace {

struct LogState {
  FILE *file = nullptr;
  int depth = 0;
  bool at_line_start = true;
  uint32_t line_counter = 0;
  int break_line = -1;
  long size_limit = 1000000000L;
  void (*console_viewer)(const char *text) = nullptr;
};

LogState g_log;

const int kFormatBuffer = 2048;

void size_check() {
  if (g_log.size_limit != 0 && ftell(g_log.file) > g_log.size_limit) {
    // Off first, so that the fatal report itself still reaches the file.
    g_log.size_limit = 0;
    fatal_error("Logfile limit overflow.");
  }
}

const char kWarning[] = "WARNING: ";

// Without a debugger to break into, the break line is a warning of its own, written
// here rather than through a nested write, so that the line begun next takes the
// following number.
void begin_line() {
  g_log.line_counter++;
  if ((int)g_log.line_counter == g_log.break_line) {
    if (plat_debugger_present()) {
      plat_debug_break();
    } else {
      fprintf(g_log.file, " %u\t%sWaiting an error here...\n", g_log.line_counter, kWarning);
      g_log.line_counter++;
    }
  }
  fprintf(g_log.file, " %u\t", g_log.line_counter);
  g_log.at_line_start = false;
}
}  // namespace

bool log_open_file(const char *path, const char *program) {
  log_close();
  g_log.file = fopen(path, "wb");
  if (!g_log.file) return false;
  g_log.at_line_start = true;
  g_log.line_counter = 0;  // a new file numbers its lines from 1
  PlatTime t;
  plat_local_time(&t);
  log_printf("Hello from <%s>\n", program);
  log_printf("Current time: %02i:%02i\n", t.hour, t.minute);
  log_printf("Current date: %02i.%02i.%4i\n", t.day, t.month, t.year);
  return true;
}

void log_open() {
  char program[KQ_PATH], path[KQ_PATH];
  plat_module_path(program, sizeof program);
  path_replace_extension(path, sizeof path, program, ".log");
  bool msglog = log_open_file(path, program);
  KQ_ASSERT_AT(msglog, "log", 34, "msglog");
}

void log_close() {
  if (!g_log.file) return;
  log_write("Bye!\n");
  fclose(g_log.file);
  g_log.file = nullptr;
}

bool log_is_open() { return g_log.file != nullptr; }

void log_write_bytes(const char *text, size_t len) {
  if (!g_log.file || g_log.depth >= 3) return;
  g_log.depth++;
  size_t pos = 0;
  while (pos < len) {
    const char *lf = (const char *)memchr(text + pos, '\n', len - pos);
    size_t piece = lf ? (size_t)(lf - (text + pos)) + 1 : len - pos;
    if (g_log.at_line_start) begin_line();
    fwrite(text + pos, 1, piece, g_log.file);
    if (text[pos + piece - 1] == '\n') g_log.at_line_start = true;
    pos += piece;
  }
  fflush(g_log.file);
  g_log.depth--;
  size_check();
}

void log_write(const char *text) { log_write_bytes(text, strlen(text)); }

// Writes before, the formatted text (cut to 2047 characters) and after.
static void write_formatted(const char *before, const char *fmt, va_list ap, const char *after) {
  char buf[kFormatBuffer];
  vsnprintf(buf, sizeof buf, fmt, ap);
  log_write(before);
  log_write(buf);
  log_write(after);
}

void log_printf(const char *fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  write_formatted("", fmt, ap, "");
  va_end(ap);
}

void log_info(const char *fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  write_formatted("", fmt, ap, "\n");
  va_end(ap);
}

void log_warning(const char *fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  write_formatted(kWarning, fmt, ap, "\n");
  va_end(ap);
}

void log_console(const char *fmt, ...) {
  char buf[kFormatBuffer];
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  log_write(buf);
  if (g_log.console_viewer) g_log.console_viewer(buf);
}

void log_set_console_viewer(void (*show)(const char *text)) { g_log.console_viewer = show; }

__attribute__((noinline)) void log_trace(const char *fmt, ...) {
  char name[KQ_PATH + 2];
  symbolic_address((uintptr_t)__builtin_return_address(0), name, KQ_PATH);
  strcat(name, ": ");
  va_list ap;
  va_start(ap, fmt);
  write_formatted(name, fmt, ap, "");
  va_end(ap);
}

int log_format_dump_line(char *out, uint32_t address, const unsigned char *bytes, int count) {
  int n = sprintf(out, "%8X", (unsigned)address);
  for (int i = 0; i < 16; i++) {
    if (i == 0 || i == 8) out[n++] = ' ';
    if (i < count) n += sprintf(out + n, " %02X", bytes[i]);
    else { memcpy(out + n, "   ", 3); n += 3; }
  }
  out[n++] = ' ';
  for (int i = 0; i < count; i++) out[n++] = bytes[i] < 0x20 ? '.' : (char)bytes[i];
  out[n++] = '\n';
  out[n] = 0;
  return n;
}

void log_hexdump(const void *address, size_t len) {
  const unsigned char *p = (const unsigned char *)address;
  char line[96];
  for (size_t off = 0; off < len; off += 16) {
    int count = len - off < 16 ? (int)(len - off) : 16;
    log_format_dump_line(line, (uint32_t)(uintptr_t)(p + off), p + off, count);
    log_write(line);
  }
  if (g_log.file) size_check();
}

uint32_t log_line_counter() { return g_log.line_counter; }
void log_set_break_line(int line) { g_log.break_line = line; }
void log_set_size_limit(long bytes) { g_log.size_limit = bytes; }
