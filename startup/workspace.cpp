#include "startup/workspace.h"

// Nothing is attached to a program yet, so there is nothing to read or write.
void workspace_load() {}
void workspace_save() {}
