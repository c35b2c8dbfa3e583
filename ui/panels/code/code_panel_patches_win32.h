// "Save patches…" of the code panel: the bytes of the cursor's module that differ from its
// image file, written to a copy of the file that the user names.
#pragma once
#include <stdint.h>

// Keeps a range the user wrote (assembled or filled) in the debuggee as the user's patch:
// the workspace keeps it, and a save checks that a file backs it.
void code_patch_written(uint32_t address, uint32_t length);
// Lists the module's patches in the log and saves them to the copy the user names; a
// written range that no file byte backs refuses the save with a message naming it.
void code_save_patches(uint32_t address);