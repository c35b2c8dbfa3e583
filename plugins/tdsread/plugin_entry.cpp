// Entry points of the Borland debug information reader.
#include "plugin/kqplugin.h"

extern "C" __declspec(dllexport) void PLUGIN_Init(void) {
  KQ_SetTitle((char *)"Borland FB07-FB0A and TDS reader");
}
