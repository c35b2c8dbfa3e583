#include <windows.h>

#include "startup/program.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return program_main(); }
