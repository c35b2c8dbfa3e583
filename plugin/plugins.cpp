#include "plugin/plugins.h"

// No plug-in is loaded or called yet, so there is no plug-in to describe.
void plugin_set_title(const char *) {}
