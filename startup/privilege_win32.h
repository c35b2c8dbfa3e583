#pragma once
// Enables or disables SeDebugPrivilege in the program's own token; on success raises
// CHG_PRIVILEGE. A failed switch changes nothing.
bool privilege_switch(bool enable);
