/* A program for the engine tests to debug. The first argument says what it does:
     output          writes 200 characters of debug output, then exits with 0
     exit N          exits with code N
     fault           sets its last error to 2 and writes to address 0
     faultloop       16 more threads write to address 0; the main thread sleeps
     loop [EVENT]    signals the named event, then spins for ever
     threads         starts two spinning threads, then ends its main thread alone
     loadlib         loads and frees a DLL late, then exits with 0 (3 when it cannot) */
#include <windows.h>
#include <stdlib.h>
#include <string.h>

static int *volatile g_nowhere;
static volatile unsigned g_spins;

static DWORD WINAPI write_nowhere(void *arg) {
  (void)arg;
  *g_nowhere = 1;
  return 0;
}

static DWORD WINAPI spin(void *arg) {
  (void)arg;
  for (;;) g_spins++;
  return 0;
}

int main(int argc, char **argv) {
  const char *what = argc > 1 ? argv[1] : "";
  if (!strcmp(what, "output")) {
    char text[201];
    for (int i = 0; i < 200; i++) text[i] = (char)('0' + i % 10);
    text[200] = 0;
    OutputDebugStringA(text);
    return 0;
  }
  if (!strcmp(what, "exit")) return argc > 2 ? atoi(argv[2]) : 1;
  if (!strcmp(what, "fault")) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    write_nowhere(NULL);
    return 0;
  }
  if (!strcmp(what, "faultloop")) {
    /* Many faulting threads keep the debugger's event queue full. */
    for (int i = 0; i < 16; i++) CreateThread(NULL, 0, write_nowhere, NULL, 0, NULL);
    Sleep(INFINITE);
  }
  if (!strcmp(what, "loop")) {
    if (argc > 2) SetEvent(OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]));
    spin(NULL);
  }
  if (!strcmp(what, "threads")) {
    CreateThread(NULL, 0, spin, NULL, 0, NULL);
    CreateThread(NULL, 0, spin, NULL, 0, NULL);
    ExitThread(0);
  }
  if (!strcmp(what, "loadlib")) {
    HMODULE dll = LoadLibraryA("version.dll");
    if (!dll) return 3;
    FreeLibrary(dll);
    return 0;
  }
  return 1;
}
