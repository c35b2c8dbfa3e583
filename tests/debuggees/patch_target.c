/* A DLL for the patch tests, linked at the executable's base so that it is always
   relocated. kq_patch_value gives 0 + 2 from its call plus kq_patch_data (40): 42; with
   the call patched out and the data's first byte made 50 it gives 50. The load of
   kq_patch_data is a relocated address inside the code. No C runtime: nothing but the
   loader changes the image (the fixups, the import table of the one import). */
__declspec(dllexport) int kq_patch_data = 40;
__declspec(dllexport) int kq_patch_bss;
int kq_patch_value(void);
__asm__(".section .drectve\n  .ascii \" -export:kq_patch_value\"\n"
        ".text\n.intel_syntax noprefix\n"
        ".globl _kq_patch_value\n_kq_patch_value:\n"
        "  xor eax, eax\n  call _kq_patch_two\n  add eax, dword ptr [_kq_patch_data]\n  ret\n"
        "_kq_patch_two:\n  mov eax, 2\n  ret\n"
        ".globl _kq_patch_ticks\n_kq_patch_ticks:\n"
        "  call dword ptr [__imp__GetTickCount@0]\n  ret\n"
        ".globl _kq_patch_entry@12\n_kq_patch_entry@12:\n  mov eax, 1\n  ret 12\n"
        ".att_syntax\n");
