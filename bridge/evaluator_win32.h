#pragma once
// Connects the expression evaluator and the symbol store to the engine: the evaluator
// reads the debuggee through the engine's memory access and registers, and the engine
// (breakpoints, guards, stepping by line) and the assembler ask the evaluator and the
// symbol store.
void evaluator_install();
void evaluator_remove();
