/* A program for the engine tests to debug. The first argument says what it does:
     output [DLL]    writes 200 characters of debug output; with DLL, then loads it and
                     writes the line "loaded"; then exits with 0
     exit N          exits with code N
     fault           sets its last error to 2 and writes to address 0
     faultloop       16 more threads write to address 0; the main thread sleeps
     loop [EVENT]    signals the named event, then spins for ever
     chatter         writes numbered lines of debug output for ever, one a millisecond
     threads         starts two spinning threads, then ends its main thread alone
     sleepers        starts a second thread; the two sleep for ever
     loadlib [DLL [EVENT [PROC]]]
                     loads and frees a DLL late (version.dll unless named), waiting
                     between the two for the named event when one is given (at most ten
                     minutes: a test in the emulated test machine takes minutes to
                     attach) and then calling its export PROC, which takes no
                     arguments; then exits with 0 (3 when it cannot)
     spin [fill]     stops on an INT3 with EAX pointing at its ProbeTable, then counts
                     g_spins up for ever; with "fill" it stores over g_pages with one
                     repeated string command again and again instead
     probe [crash|wait|thread|bytes]
                     stops on an INT3 with EAX pointing at its ProbeTable, then runs
                     kq_round five times, writing the 2-byte g_word after each, and exits
                     with 0; with "crash" it calls kq_crasher instead, which faults; with
                     "wait" it first counts g_spins up until g_go is not 0 (the debugger
                     writes it); "thread" waits so too, with a second thread started before
                     the INT3 that sleeps for ever; with "bytes" it writes the 16 bytes of g_bytes one by one
                     instead, byte i getting i + 1, and exits with 0; with "writes" it runs
                     kq_writes, one command of each kind that writes memory, and exits with 0 */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int *volatile g_nowhere;

/* Code of a known shape for the stepping tests: a frame, a call inside the program, a
   call into a system library, three NOPs. Labels are global so the table can hold them.
   kq_round is exported, so that a debugger knows it by name; the build with KQ_MOVED puts
   it 64 bytes further on, as a rebuilt program would, and leaves the data where it was. */
#ifdef KQ_MOVED
#define KQ_ROUND_PAD "  .fill 64, 1, 0xCC\n"
#else
#define KQ_ROUND_PAD ""
#endif
void kq_round(void);
void kq_crasher(void);
extern char kq_probe[], kq_probe_call[], kq_probe_lib[], kq_probe_nops[], kq_leaf[],
    kq_round_ret[], kq_never[], kq_crash_call[];
__asm__(".section .drectve\n  .ascii \" -export:kq_round\"\n"
        ".text\n" KQ_ROUND_PAD
        ".globl _kq_round\n_kq_round:\n"
        "  push %ebp\n  mov %esp, %ebp\n  call _kq_probe\n"
        ".globl _kq_round_ret\n_kq_round_ret:\n"
        "  pop %ebp\n  ret\n"
        ".globl _kq_probe\n_kq_probe:\n"
        "  push %ebp\n  mov %esp, %ebp\n"
        ".globl _kq_probe_call\n_kq_probe_call:\n"
        "  call _kq_leaf\n"
        ".globl _kq_probe_lib\n_kq_probe_lib:\n"
        "  call *__imp__GetCurrentProcessId@0\n"
        ".globl _kq_probe_nops\n_kq_probe_nops:\n"
        "  nop\n  nop\n  nop\n  pop %ebp\n  ret\n"
        ".globl _kq_leaf\n_kq_leaf:\n"
        "  mov $7, %eax\n  ret\n"
        ".globl _kq_never\n_kq_never:\n"
        "  ret\n"
        ".globl _kq_crasher\n_kq_crasher:\n"
        ".globl _kq_crash_call\n_kq_crash_call:\n"
        "  call _kq_fault\n  ret\n"
        "_kq_fault:\n  movl $1, 0\n  ret\n");

/* One command of each kind that writes memory, in three parts of fewer than 32 steps
   (a repeated string command is one step per repeat), then a call that writes. g_pages
   holds a page boundary at 4096. */
static unsigned char g_pages[8192] __attribute__((aligned(4096)));
void kq_writes(void);
extern char kq_writes_string[], kq_writes_fpu[], kq_writes_call[], kq_writes_end[];
__asm__(".text\n.intel_syntax noprefix\n"
        ".globl _kq_writes\n_kq_writes:\n"
        "  push ebp\n  mov ebp, esp\n  push 0x11223344\n  pushad\n  popad\n"
        "  enter 8, 2\n  leave\n  push dword ptr [_g_pages + 8]\n  pop dword ptr [esp - 8]\n"
        "  mov eax, 0x0BADF00D\n  mov dword ptr [_g_pages + 4094], eax\n"
        ".globl _kq_writes_string\n_kq_writes_string:\n"
        "  cld\n  lea edi, [_g_pages + 4088]\n  lea esi, [_g_pages + 100]\n  mov ecx, 3\n"
        "  rep movsd\n"
        "  lea edi, [_g_pages + 4094]\n  mov al, 0x5A\n  mov ecx, 4\n  rep stosb\n"
        "  std\n  lea edi, [_g_pages + 4097]\n  mov al, 0xA5\n  mov ecx, 3\n  rep stosb\n"
        "  cld\n"
        ".globl _kq_writes_fpu\n_kq_writes_fpu:\n"
        "  fldpi\n  fstp qword ptr [_g_pages + 200]\n  fldpi\n  fstp tbyte ptr [_g_pages + 210]\n"
        "  mov eax, fs:[0x14]\n  xor eax, 0x5555\n  mov fs:[0x14], eax\n"
        "  lea esi, [_g_pages + 300]\n  mov eax, [esi]\n  mov edx, [esi + 4]\n"
        "  mov ebx, 1\n  mov ecx, 2\n  cmpxchg8b qword ptr [esi]\n"
        "  movd mm0, ecx\n  movq qword ptr [_g_pages + 400], mm0\n  emms\n"
        "  xchg dword ptr [_g_pages + 500], eax\n"
        ".globl _kq_writes_call\n_kq_writes_call:\n"
        "  call _kq_writer\n"
        ".globl _kq_writes_end\n_kq_writes_end:\n"
        "  mov esp, ebp\n  pop ebp\n  ret\n"
        "_kq_writer:\n  mov dword ptr [_g_pages + 600], 0x77777777\n  ret\n"
        ".att_syntax\n");

/* What the tests need to know of this program, handed over in EAX at the INT3. */
struct ProbeTable {
  void *round, *round_ret, *probe, *probe_call, *probe_lib, *probe_nops, *leaf, *never,
      *crash_call;
  volatile unsigned short *word;
  void *teb;
  HWND window;
  volatile unsigned *spins;
  volatile unsigned *go;
  volatile unsigned char *bytes;
  void *writes, *writes_string, *writes_fpu, *writes_call, *writes_end;
  unsigned char *pages;
};
static volatile unsigned short g_word;
static volatile unsigned g_spins, g_go;
static volatile unsigned char g_bytes[16] __attribute__((aligned(16)));
static struct ProbeTable g_probe = {kq_round, kq_round_ret, kq_probe, kq_probe_call,
                                    kq_probe_lib, kq_probe_nops, kq_leaf, kq_never,
                                    kq_crash_call, &g_word, NULL, NULL, &g_spins, &g_go,
                                    g_bytes, kq_writes, kq_writes_string, kq_writes_fpu,
                                    kq_writes_call, kq_writes_end, g_pages};

static DWORD WINAPI spin(void *arg) {
  (void)arg;
  for (;;) g_spins++;
  return 0;
}

static void fill_for_ever(void) {
  for (;;) {
    void *at = g_pages;
    unsigned count = sizeof g_pages / 4;
    __asm__ volatile("cld\n\trep stosl" : "+D"(at), "+c"(count) : "a"(g_spins) : "memory");
    g_spins++;
  }
}

static DWORD WINAPI sleep_for_ever(void *arg) {
  (void)arg;
  Sleep(INFINITE);
  return 0;
}

static void stop_with_table(void) {
  __asm__ volatile("int3" : : "a"(&g_probe) : "memory");
}

static int probe(const char *what) {
  __asm__("movl %%fs:0x18, %0" : "=r"(g_probe.teb));  /* the block's self pointer */
  /* The window library is loaded here, not imported: the other modes keep their modules. */
  HMODULE user32 = LoadLibraryA("user32.dll");
  HWND(WINAPI * create)(DWORD, LPCSTR, LPCSTR, DWORD, int, int, int, int, HWND, HMENU,
                        HINSTANCE, LPVOID) = (void *)GetProcAddress(user32, "CreateWindowExA");
  LONG(WINAPI * set_long)(HWND, int, LONG) = (void *)GetProcAddress(user32, "SetWindowLongA");
  g_probe.window = create(0, "STATIC", "kq probe", 0, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
  set_long(g_probe.window, GWL_USERDATA, 0x1234ABCD);
  if (!strcmp(what, "thread")) CreateThread(NULL, 0, sleep_for_ever, NULL, 0, NULL);
  SetLastError(0x2A);
  stop_with_table();
  if (!strcmp(what, "crash")) kq_crasher();
  if (!strcmp(what, "writes")) {
    kq_writes();
    return 0;
  }
  if (!strcmp(what, "bytes")) {
    for (int i = 0; i < 16; i++) g_bytes[i] = (unsigned char)(i + 1);
    return 0;
  }
  if (!strcmp(what, "wait") || !strcmp(what, "thread"))
    while (!g_go) g_spins++;
  for (int i = 1; i <= 5; i++) {
    kq_round();
    g_word = (unsigned short)i;
  }
  return 0;
}

static DWORD WINAPI write_nowhere(void *arg) {
  (void)arg;
  *g_nowhere = 1;
  return 0;
}


int main(int argc, char **argv) {
  const char *what = argc > 1 ? argv[1] : "";
  if (!strcmp(what, "output")) {
    char text[201];
    for (int i = 0; i < 200; i++) text[i] = (char)('0' + i % 10);
    text[200] = 0;
    OutputDebugStringA(text);
    if (argc > 2 && LoadLibraryA(argv[2])) OutputDebugStringA("loaded\n");
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
  if (!strcmp(what, "chatter"))
    for (unsigned n = 0;; n++) {
      char line[64];
      snprintf(line, sizeof line, "chatter %u of a debuggee that keeps writing\n", n);
      OutputDebugStringA(line);
      Sleep(1);
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
  if (!strcmp(what, "sleepers")) {
    CreateThread(NULL, 0, sleep_for_ever, NULL, 0, NULL);
    sleep_for_ever(NULL);
  }
  if (!strcmp(what, "loadlib")) {
    HMODULE dll = LoadLibraryA(argc > 2 ? argv[2] : "version.dll");
    if (!dll) return 3;
    if (argc > 3) WaitForSingleObject(CreateEventA(NULL, TRUE, FALSE, argv[3]), 600000);
    if (argc > 4) {
      FARPROC procedure = GetProcAddress(dll, argv[4]);
      if (!procedure) return 3;
      procedure();
    }
    FreeLibrary(dll);
    return 0;
  }
  if (!strcmp(what, "spin")) {
    /* Decided before the INT3, so that the loop follows it without a library call. */
    int fill = argc > 2 && !strcmp(argv[2], "fill");
    stop_with_table();
    if (fill) fill_for_ever();
    spin(NULL);
  }
  if (!strcmp(what, "probe")) return probe(argc > 2 ? argv[2] : "");
  return 1;
}
