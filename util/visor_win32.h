// Map files of loaded modules (the program itself and its plug-ins).
#pragma once
#include <windows.h>

bool visor_load_map(HMODULE module);
void visor_unload_map(HMODULE module);
