// The diagnostic log: one text file per run, every line numbered and flushed at once.
#pragma once
#include <stddef.h>
#include <stdint.h>

#define KQ_PRINTF(f, a) __attribute__((format(printf, f, a)))

// Opens "<own module path with .log>" (truncating) and writes the greeting.
void log_open();
// Same with an explicit file and the program path named in the greeting; false when the
// file cannot be created (log_open turns that into the "msglog" assertion).
bool log_open_file(const char *path, const char *program);
// Writes "Bye!" and closes; no effect when not open.
void log_close();
bool log_is_open();

void log_write(const char *text);
void log_write_bytes(const char *text, size_t len);
void log_printf(const char *fmt, ...) KQ_PRINTF(1, 2);
void log_info(const char *fmt, ...) KQ_PRINTF(1, 2);
void log_warning(const char *fmt, ...) KQ_PRINTF(1, 2);
// Prefixes the message with the calling function's name and ": ".
void log_trace(const char *fmt, ...) KQ_PRINTF(1, 2);
// The program's trace lines: written to the log as they are and shown by the viewer the
// console window sets while it exists (null for none).
void log_console(const char *fmt, ...) KQ_PRINTF(1, 2);
void log_set_console_viewer(void (*show)(const char *text));
// Hex-dump lines (16 bytes each) of memory of the own process.
void log_hexdump(const void *address, size_t len);

// Number of lines begun so far (the zones record it as the tick of a block).
uint32_t log_line_counter();
// Line number at which to stop in a debugger (or warn); -1 for none.
void log_set_break_line(int line);
// Size beyond which the log is a fatal error; 0 switches the check off.
void log_set_size_limit(long bytes);

// Formats one hex-dump line of up to 16 bytes (address shown as given) into out, which
// must hold at least 80 characters; gives its length.
int log_format_dump_line(char *out, uint32_t address, const unsigned char *bytes, int count);
