// The assembler's entry: prefixes and mnemonic, the operands, the search of the command
// table for the row that fits, the choice of the error message when none does, and the
// second pass that takes the long form of a jump whose short form is out of range.
#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include "x86/assemble.h"
#include "x86/assemble_parse.h"
#include "x86/command_table.h"

namespace {

const char *const kRepWords[] = {"REP ", "REPE ", "REPNE "};

// Messages for the mismatch bits of the last row, in the order they are tested.
struct MismatchMessage {
  int bit;
  const char *text;
};
const MismatchMessage kMismatchMessages[] = {
    {MM_MODIFIER, "Invalid jump size modifier"},
    {MM_COUNT, "Wrong number of operands"},
    {MM_KIND, "Command does not support given operands"},
    {MM_SIZE, "Bad operand size"},
    {MM_DIFFERENT, "Different size of operands"},
    {MM_SEGMENT, "Invalid segment register"},
    {MM_RANGE, "Constant out of expected range"},
};

// The next character that is not blank; ";" ends the text as a comment does.
char next_char(AsmLexer *lx) {
  while (lx->text[lx->pos] == ' ' || lx->text[lx->pos] == '\t') lx->pos++;
  return lx->text[lx->pos] == ';' ? 0 : lx->text[lx->pos];
}

bool parse_command(AsmLexer *lx, AsmCommand *cmd) {
  memset(cmd, 0, sizeof *cmd);
  int rep = 0;
  AsmToken t;
  for (bool first = true;; first = false) {
    if (!next_token(lx, &t, true)) return false;
    if (t.kind == TK_END && first) return lexer_fail(lx, "NULL input line");
    if (t.kind >= TK_REP && t.kind <= TK_REPNE) {
      if (rep) return lexer_fail(lx, "Duplicated REP prefix");
      rep = t.kind;
    } else if (t.kind == TK_LOCK) {
      if (cmd->lock) return lexer_fail(lx, "Duplicated LOCK prefix");
      cmd->lock = 1;
    } else {
      break;
    }
  }
  if (t.kind != TK_MNEMONIC || t.value > ASM_MNEMONIC) return lexer_fail(lx, "Command mnemonic expected");
  cmd->mnemonic_pos = t.start;
  int n = 0;
  if (rep) n = snprintf(cmd->mnemonic, sizeof cmd->mnemonic, "%s", kRepWords[rep - TK_REP]);
  for (int i = 0; i < t.value; i++) cmd->mnemonic[n++] = (char)toupper((unsigned char)lx->text[t.start + i]);
  cmd->mnemonic[n] = 0;
  for (int i = 0; i < ASM_MAX_OPERANDS; i++) {
    AsmOperand *op = &cmd->operands[i];
    if (!parse_operand(lx, op)) return false;
    if (op->kind == AO_NONE) {
      if (i > 0) return lexer_fail(lx, "Unrecognized operand");
      break;
    }
    cmd->count++;
    char c = next_char(lx);
    if (c == 0) break;
    if (c != ',' || i == ASM_MAX_OPERANDS - 1) return lexer_fail(lx, "Extra input after operand");
    lx->pos++;
  }
  return true;
}

// The n-th row that fits, or null with the error in lx.
const CommandRow *find_row(AsmLexer *lx, const AsmCommand &cmd, int match_index, bool second_pass,
                           RowFit *chosen) {
  int named = 0, fitting = 0, fewest = ASM_MAX_OPERANDS + 1, most = -1, last_mismatch = 0;
  bool size_only = false;  // a row would fit but for a size
  for (const CommandRow *row = CommandTable; row->mask; row++) {
    RowFit fit;
    if (!row_has_name(*row, cmd.mnemonic, &fit)) continue;
    named++;
    int kinds[ASM_MAX_OPERANDS];
    int n = written_kinds(*row, kinds);
    if (n < fewest) fewest = n;
    if (n > most) most = n;
    fit_row(*row, cmd, second_pass, &fit);
    last_mismatch = fit.mismatch;
    size_only |= fit.mismatch == MM_SIZE;
    if (fit.mismatch & MM_UNKNOWN_KIND) {
      lexer_fail(lx, "Internal Assembler error");
      return nullptr;
    }
    if (fit.mismatch == 0 && fitting++ == match_index) {
      *chosen = fit;
      return row;
    }
  }
  if (named == 0) {
    lx->pos = cmd.mnemonic_pos;
    lexer_fail(lx, "Unrecognized command");
  } else if (cmd.count < fewest) {
    lexer_fail(lx, "Too few operands");
  } else if (cmd.count > most) {
    lexer_fail(lx, "Too many operands");
  } else if (size_only) {
    lexer_fail(lx, "Bad operand size");
  } else if (named > 1) {
    lexer_fail(lx, "Command does not support given operands");
  } else {
    const char *text = "Erroneous command";
    for (const MismatchMessage &m : kMismatchMessages) {
      if (last_mismatch & m.bit) {
        text = m.text;
        break;
      }
    }
    lexer_fail(lx, text);
  }
  return nullptr;
}

bool asked_short(const AsmCommand &cmd) {
  for (int i = 0; i < cmd.count; i++)
    if (cmd.operands[i].jump_modifiers & JM_SHORT) return true;
  return false;
}

bool jump_out_of_range(AsmLexer *lx, const AsmCommand &cmd) {
  lx->error = nullptr;
  snprintf(lx->message, sizeof lx->message, "Relative jump out of range, use %s LONG form",
           cmd.mnemonic);
  return lexer_fail(lx, lx->message);
}

bool assemble(AsmLexer *lx, uint32_t address, AsmResult *result, int match_index, int constant_sizes) {
  AsmCommand cmd;
  if (!parse_command(lx, &cmd)) return false;
  for (int pass = 0; pass < 2; pass++) {
    RowFit fit;
    const CommandRow *row = find_row(lx, cmd, match_index, pass == 1, &fit);
    // A command with only a short form reports the range, not the missing long form.
    if (!row) return pass == 1 ? jump_out_of_range(lx, cmd) : false;
    int32_t target = 0;
    int open = 0;
    if (!encode_row(lx, *row, cmd, fit, address, constant_sizes, result, &target, &open)) return false;
    int32_t offset = (int32_t)((uint32_t)target - address - (uint32_t)result->length);
    if (result->jump_size != 1 || open || (offset >= -128 && offset <= 127)) return true;
    if (asked_short(cmd)) return jump_out_of_range(lx, cmd);
  }
  return false;
}

}  // namespace

int assemble_command(const char *text, uint32_t address, AsmResult *result, int match_index,
                     int constant_sizes, char *error_text) {
  memset(result, 0, sizeof *result);
  error_text[0] = 0;
  AsmLexer lx;
  lexer_start(&lx, text ? text : "");
  if (assemble(&lx, address, result, match_index, constant_sizes)) return result->length;
  memset(result, 0, sizeof *result);
  snprintf(error_text, ASM_ERROR_TEXT, "%s", lx.error ? lx.error : "Erroneous command");
  return -lx.error_pos;
}

int assemble_and_write(uint32_t address, const char *text, MemoryWriter writer) {
  AsmResult result;
  char error[ASM_ERROR_TEXT];
  for (int constant_sizes = 0; constant_sizes <= 2; constant_sizes++)
    if (assemble_command(text, address, &result, 0, constant_sizes, error) > 0)
      return writer(address, result.code, result.length);
  return 0;
}
