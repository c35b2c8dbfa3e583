// The memory side of the register history: for each history record, the bytes its
// stepped command was about to overwrite, so that step back puts memory back as well.
// Records pair one to one with the history's records; execution control keeps them so.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "engine/registers.h"

enum JournalMark : uint8_t {
  JOURNAL_EXACT,      // holds every byte its command wrote
  JOURNAL_OFF,        // taken with the journal switched off: registers only, silently
  JOURNAL_TOO_LARGE,  // its writes passed the byte limit, or gave way to newer records
  JOURNAL_SYSTEM,     // the command entered the system, whose writes are unknown
  JOURNAL_CALL,       // a call ran at full speed (a step over it)
  JOURNAL_RAN,        // the debuggee ran freely
  JOURNAL_REPEATS,    // a repeated string command ran more than the one repeat it holds
  JOURNAL_FAILED,     // set by a restore that could not write the bytes back
};

// Each add drops the oldest record when the journal holds HISTORY_SIZE, as the history
// does. Saves the bytes the command code[0..count) at regs' EIP writes before its trap (a
// repeated string command: one repeat), as the newest record.
void journal_add_step(const RegisterSet &regs, const uint8_t *code, int count);
// The followed thread stopped after the newest record's command ran: a repeated string
// command held to one repeat must have counted ECX (CX) down by no more than one, or its
// record would put back part of what it wrote, so it keeps registers only.
void journal_step_stopped(uint32_t ecx);
// A record without bytes, for a phase whose writes are not foreseen.
void journal_add_mark(JournalMark mark, uint32_t address);
// Writes the newest record's bytes back, newest range first, through the memory writer
// (breakpoints stay armed), and drops it. All of them or none: a range that cannot be
// written puts back the ones already written and gives JOURNAL_FAILED.
JournalMark journal_restore_newest(uint32_t *address);
void journal_clear();
// Bytes the journal holds (saved bytes and their range headers).
size_t journal_bytes_held();
// The log and status-bar text for stepping back over a record so marked; null when the
// step back restored all there was.
const char *journal_mark_text(JournalMark mark);
