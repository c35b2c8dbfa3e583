#include "symbols/user_patches.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "symbols/address_name.h"
#include "util/path.h"
#include "util/zone.h"

namespace {

struct UserPatches {
  UserPatch *items;  // zone block
  int count;
  PatchWriter write;
};
UserPatches g_user_patches;

uint32_t resolve(const char *expression) {
  uint32_t address = 0;
  int consumed = 0;
  if (!address_read(expression, &address, &consumed) || expression[consumed]) return 0;
  return address;
}

bool append(const UserPatch &patch) {
  UserPatch *grown = (UserPatch *)zone_append(g_user_patches.items, &patch, sizeof patch);
  if (!grown) return false;
  g_user_patches.items = grown;
  g_user_patches.count++;
  return true;
}

}  // namespace

void user_patches_set_writer(PatchWriter writer) { g_user_patches.write = writer; }

void user_patch_made(uint32_t address, const uint8_t *bytes, uint32_t length) {
  for (uint32_t done = 0; done < length;) {
    UserPatch p = {};
    p.address = address + done;
    p.length = length - done < (uint32_t)USER_PATCH_BYTES ? length - done : (uint32_t)USER_PATCH_BYTES;
    memcpy(p.bytes, bytes + done, p.length);
    address_name(p.address, p.address, true, p.expression, sizeof p.expression);
    p.applied = true;
    if (!append(p)) return;
    done += p.length;
  }
}

bool user_patch_load(const char *expression, const char *hex) {
  UserPatch p = {};
  text_copy(p.expression, sizeof p.expression, expression);
  for (const char *s = hex; *s;) {
    char *end;
    unsigned long byte = strtoul(s, &end, 16);
    if (end == s || byte > 0xFF || p.length == USER_PATCH_BYTES) return false;
    p.bytes[p.length++] = (uint8_t)byte;
    s = end + strspn(end, " ");
  }
  return p.length && append(p);
}

void user_patch_hex(const UserPatch *patch, char *out, size_t outlen) {
  size_t len = 0;
  out[0] = '\0';
  for (uint32_t i = 0; i < patch->length && len + 4 <= outlen; i++)
    len += (size_t)snprintf(out + len, outlen - len, i ? " %02X" : "%02X", patch->bytes[i]);
}

void user_patches_reresolve() {
  for (int i = 0; i < g_user_patches.count; i++) {
    UserPatch &p = g_user_patches.items[i];
    uint32_t address = resolve(p.expression);
    if (address != p.address) p.applied = false;
    p.address = address;
    if (address && !p.applied && g_user_patches.write)
      p.applied = g_user_patches.write(address, p.bytes, p.length) == p.length;
  }
}

int user_patch_count() { return g_user_patches.count; }

const UserPatch *user_patch_get(int index) {
  return index >= 0 && index < g_user_patches.count ? &g_user_patches.items[index] : nullptr;
}

void user_patches_clear() {
  g_user_patches.items = (UserPatch *)zone_free(g_user_patches.items);
  g_user_patches.count = 0;
}
