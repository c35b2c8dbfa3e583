// Entry points of the CodeView and PDB reader.
#include "plugin/kqplugin.h"

extern "C" __declspec(dllexport) void PLUGIN_Init(void) {
  KQ_SetTitle((char *)"CodeView NB09/NB10/NB11 and PDB 2.00 reader");
}
