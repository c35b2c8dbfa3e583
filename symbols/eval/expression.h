// The C-like expression evaluator over the debuggee's registers, symbols and memory, and
// the formatting of values and types. One evaluation at a time, on the user-interface
// thread; the debuggee is reached through the installed environment.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "symbols/eval/value.h"

// Copies env; null installs one that reads and writes nothing.
void expression_set_environment(const EvalEnvironment *env);

// Evaluates text into value; false with the reason in expression_last_error() (a null
// text fails without one).
bool expression_evaluate(const char *text, ValueDescriptor *value);
// The message of the last failure, or null.
const char *expression_last_error();

// A breakpoint or guard condition: true when it could be evaluated, with value 1 when it
// holds. An empty or null text holds; a value that is no number holds at a non-zero
// address.
bool expression_condition(const char *text, uint32_t *value);
// The address text stands for: a number's value, a pointer's value, else where the value
// lies; a text that does not evaluate is taken as an entry, source or module name; 0 when
// it names nothing.
uint32_t expression_address(const char *text);
// A name in assembler text: the address of the entry of exactly that name, else of a
// source, else of a module of that name; never a register, flag or local. 0 for none.
uint32_t expression_symbol_address(const char *name);
// Whether the value of text depends on the registers: it names a register or a local of
// the current frame. False when it does not evaluate.
bool expression_reads_registers(const char *text);
// Where the value of text lies and the size of its type (guards); a value without a place
// gives expression_address and size 4. False when text names nothing.
bool expression_locate(const char *text, uint32_t *address, uint32_t *size);
// The bytes of the value of text (a number, pointer, array, structure or string), at most
// size; gives the length, 0 on failure.
int expression_bytes(const char *text, uint8_t *buffer, int size);
// Evaluates text and stores it into target (a variable in memory, or a register), then
// reloads target.
bool expression_assign(ValueDescriptor *target, const char *text);

// The registers by row, in the order of the register names: EAX..EIP, AX..SP, AL..DH, the
// flags C, P, A, Z, S, I, D, O, T, CS..GS, ST0..ST7, MM0..MM7, TIB, ERR.
enum { EXPRESSION_REGISTER_ROWS = 58 };
// The followed thread's registers through the environment (zeroed and false when they
// cannot be read).
bool expression_read_registers(EvalRegisters *regs);
// A row's name, or null outside the rows.
const char *expression_register_name(int row);
// A row of regs as the typed value the evaluator gives for its name.
bool expression_register_value(const EvalRegisters *regs, int row, ValueDescriptor *value);

// The value's text, cut at size - 1 characters; gives the length.
int expression_format_value(ValueDescriptor *value, char *buffer, int size);
int expression_format_type(const TypeRecord *type, char *buffer, int size);
// A type name ("long", "char*", "S[]") or null.
TypeRecord *expression_get_type(const char *spec);
