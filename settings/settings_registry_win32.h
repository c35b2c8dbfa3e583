// Settings in the registry (HKEY_CURRENT_USER "SOFTWARE\KaquinDebugger") and their life:
// start-up, the options file of a loaded debuggee, the unload and the shut-down.
#pragma once
#include <stddef.h>

// The product's key, and the environment variable that names another one instead, so
// that tests running side by side keep to keys of their own.
extern const char kSettingsKey[];
extern const char kSettingsKeyVariable[];
// The key the settings and binary values live under.
const char *settings_key();

// Each entry's string value: loaded values clear the from-file flag. A missing key loads
// nothing; values that are not strings are ignored.
void settings_load_registry();
// Every entry without the from-file flag, as a string value.
bool settings_save_registry();
// Binary values of other parts kept under the same key.
bool registry_write_binary(const char *name, const void *bytes, size_t length);
// A zone copy of the value and its length; null unless it exists and is binary.
void *registry_read_binary(const char *name, size_t *length);

// Start-up: defaults (computed from this machine) and then the registry values.
bool settings_startup(const char *start_dir);
// Shut-down: saved to the registry, then freed.
void settings_shutdown();
// At EVN_Load: the debuggee's options file overrides.
void settings_read_debuggee_options(const char *debuggee_path);
// At EVN_Unload: the options file, the registry, then the registry read again.
void settings_save_at_unload(const char *debuggee_path);
// The options dialog's "Flush Into Config File": asks before overwriting the file of the
// start directory, marks every entry as from-file and writes the options file (in the
// debuggee's folder while one is loaded).
bool settings_create_options_file(const char *start_dir, const char *debuggee_path, void *owner);
