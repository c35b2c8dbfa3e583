#include "startup/command_line.h"

#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "util/log.h"

StartupRequest g_startup_request = {{0}, NO_PROCESS, 0, false, {0}, false};

void startup_request_clear(StartupRequest *request) {
  memset(request, 0, sizeof *request);
  request->process_id = NO_PROCESS;
}

static bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

static const char *skip_space(const char *p) {
  while (is_space(*p)) p++;
  return p;
}

// A quoted token runs to the next quote (or the end of the line); a plain one up to the
// first character of "-/=:\"\n\r\t ". So an unquoted path with a drive colon or a dash
// must be quoted. Gives the position after the token and the blanks behind it.
static const char *read_token(const char *p, char *out, size_t outlen) {
  size_t n = 0;
  p = skip_space(p);
  if (*p == '"') {
    p++;
    for (; *p && *p != '"'; p++)
      if (n + 1 < outlen) out[n++] = *p;
    if (*p == '"') p++;
  } else {
    for (; *p && !strchr("-/=:\"\n\r\t ", *p); p++)
      if (n + 1 < outlen) out[n++] = *p;
  }
  out[n] = 0;
  return skip_space(p);
}

// Decimal, hexadecimal with "0x" or octal with a leading 0; anything beyond 32 bits
// becomes all ones, which means "none" for a process id.
static uint32_t read_number(const char *text) {
  unsigned long long v = strtoull(text, nullptr, 0);
  return v > 0xFFFFFFFFull ? 0xFFFFFFFFu : (uint32_t)v;
}

void parse_command_line(const char *line, StartupRequest *request) {
  startup_request_clear(request);
  log_trace("cmdline='%s'\n", line);
  char token[KQ_PATH], value[KQ_PATH];
  const char *p = read_token(line, token, sizeof token);
  while (*p) {
    if (*p != '-' && *p != '/') {
      p = read_token(p, token, sizeof token);
      if (!token[0]) {
        if (*p) p++;  // an empty quoted token may have ended the line
        continue;
      }
      log_trace("default value='%s'\n", token);
      text_copy(request->file, sizeof request->file, token);
      continue;
    }
    p = read_token(p + 1, token, sizeof token);
    log_trace("param name='%s'\n", token);
    value[0] = 0;
    if (*p == ':' || *p == '=') {
      p = read_token(p + 1, value, sizeof value);
      log_trace("param value='%s'\n", value);
    }
    if (!strcasecmp(token, "pid")) {
      request->process_id = read_number(value);
    } else if (!strcasecmp(token, "event")) {
      request->event_handle = read_number(value);
    } else if (!strcasecmp(token, "file")) {
      text_copy(request->file, sizeof request->file, value);
    } else if (!strcasecmp(token, "run")) {
      request->run = true;
      text_copy(request->run_expression, sizeof request->run_expression, value);
    } else if (!strcasecmp(token, "maximize")) {
      request->maximize = true;
    } else {
      log_warning("Unknown parameter name '%s'", token);
    }
  }
}
