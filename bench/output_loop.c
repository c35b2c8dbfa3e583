/* Writes N lines of debug output as fast as it can (N from the command line, default
   20000), then exits: the debuggee of drain_bench. */
#include <windows.h>
#include <stdlib.h>

int main(int argc, char **argv) {
  int n = argc > 1 ? atoi(argv[1]) : 20000;
  for (int i = 0; i < n; i++) OutputDebugStringA("tick\n");
  return 0;
}
