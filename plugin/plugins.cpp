#include "plugin/plugins.h"

// No plug-in is loaded or called yet, so there is nothing to describe, load or free.
void plugin_set_title(const char *) {}
void plugins_init() {}
void plugins_load() {}
void plugins_unload() {}
void plugins_shutdown() {}
