// The code panel's line window: the commands decoded from a span before an anchor address
// to a span after it. x86 code cannot be decoded backwards, so every move of the view
// decodes this window afresh and cuts commands short where a line must start (the
// instruction pointer, region starts, symbols, source lines), which brings the guessed
// boundaries before the anchor into step with the real ones.
#pragma once
#include <stdint.h>

enum { CODE_SPAN = 1024, CODE_GOTO_SPAN = 100, CODE_READ = 16, CODE_NONE = -1 };

struct CodeLine {
  uint32_t address;
  uint8_t command_class;  // the kind nibble of the decoder's class (CC_JMP, CC_JMC, CC_RET...)
  bool cut;               // the command runs on into the next line
  int16_t target_arrow;   // the arrow this line is the target of, or CODE_NONE
  int16_t source_arrow;   // the arrow this line jumps along, or CODE_NONE
  int32_t document_line;  // the listing line of its command text, -1 when not rendered
  uint32_t jump_target;
};

// One per jump target inside the window: the target and every jump to it, in line order.
struct JumpArrow {
  uint16_t target, first, last;
  uint16_t member_count;
  uint16_t *members;  // zone block
  uint16_t lane;      // pixels right of the arrows' left edge
};

// Where the window's bytes and forced line starts come from.
struct CodeSource {
  void *context;
  // Up to count bytes at address; gives how many were read.
  int (*read)(void *context, uint32_t address, uint8_t *out, int count);
  // The first address above address at which a line must start; 0 for none.
  uint32_t (*next_start)(void *context, uint32_t address);
};

struct CodeWindow {
  uint32_t anchor;
  CodeLine *lines;  // zone block, ascending addresses, each line ending where the next starts
  int count;
  JumpArrow *arrows;  // zone block
  int arrow_count;
};

// Decodes [anchor - span, anchor + span] (held inside the address space) into lines and
// gives their count. What cannot be read or decoded makes lines of one byte.
int code_build_window(CodeWindow *w, const CodeSource *source, uint32_t anchor, uint32_t span);
void code_free_window(CodeWindow *w);
// The line that holds address, else the nearest line; CODE_NONE for an empty window.
int code_line_at(const CodeWindow *w, uint32_t address);
// Whether the decoder's error leaves a command it could not make out.
bool code_undecodable(int error);
