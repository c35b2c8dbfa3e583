// The patches the user made (commands assembled, NOP fills), kept as the workspace keeps
// comments: where, as a symbolic address text, and the bytes. Patches read from the
// workspace are written into the debuggee again once their address resolves, so that they
// come back with the program and can be saved to its file later.
#pragma once
#include <stddef.h>
#include <stdint.h>

enum { USER_PATCH_BYTES = 64 };  // the most one patch record holds; longer writes split

struct UserPatch {
  char expression[260];
  uint8_t bytes[USER_PATCH_BYTES];
  uint32_t length;
  uint32_t address;  // resolved; 0 while the expression does not resolve
  bool applied;      // written into the present debuggee
};

// Writes bytes into the debuggee; gives the count written.
typedef uint32_t (*PatchWriter)(uint32_t address, const void *bytes, uint32_t length);
void user_patches_set_writer(PatchWriter writer);

// A patch just written by the user at address.
void user_patch_made(uint32_t address, const uint8_t *bytes, uint32_t length);
// A patch of the workspace: the expression and the bytes as hexadecimal text ("90 90");
// false when the text holds no bytes or too many.
bool user_patch_load(const char *expression, const char *hex);
// The bytes as the workspace writes them.
void user_patch_hex(const UserPatch *patch, char *out, size_t outlen);
// Resolves every expression again and writes the patches not yet in the debuggee.
void user_patches_reresolve();
int user_patch_count();
const UserPatch *user_patch_get(int index);
void user_patches_clear();
