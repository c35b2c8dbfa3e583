// Look-ups in the system's snapshots of threads and modules.
#pragma once
#include <stddef.h>
#include <stdint.h>

// Id of the first thread the snapshot lists for the process; 0 when none.
uint32_t snapshot_first_thread(uint32_t process_id);
// Path of the first module the snapshot lists for the process (its executable).
bool snapshot_executable_path(uint32_t process_id, char *out, size_t outlen);
