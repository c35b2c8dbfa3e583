#include "symbols/pe_dump.h"

#include <string.h>

#include "symbols/modules.h"
#include "util/path.h"

namespace {

const FlagName kFileFlags[] = {
    {0x1, "RELOCS_STRIPPED"},      {0x2, "EXECUTABLE_IMAGE"},       {0x4, "LINE_NUMS_STRIPPED"},
    {0x8, "LOCAL_SYMS_STRIPPED"},  {0x10, "AGGRESIVE_WS_TRIM"},     {0x20, "LARGE_ADDRESS_AWARE"},
    {0x80, "BYTES_REVERSED_LO"},   {0x100, "32BIT_MACHINE"},        {0x200, "DEBUG_STRIPPED"},
    {0x400, "REMOVABLE_RUN_FROM_SWAP"}, {0x800, "NET_RUN_FROM_SWAP"}, {0x1000, "SYSTEM"},
    {0x2000, "DLL"},               {0x4000, "UP_SYSTEM_ONLY"},      {0x8000, "BYTES_REVERSED_HI"},
};

const FlagName kSectionFlags[] = {
    {0x20, "EXECUTABLE"},     {0x40, "INITIATED"},    {0x80, "UNINITIATED"},
    {0x1000, "COMDAT"},       {0x1000000, "RELOC"},   {0x2000000, "DISCARDED"},
    {0x4000000, "CACHED"},    {0x8000000, "PAGED"},   {0x10000000, "SHARED"},
    {0x20000000, "EXECUTE"},  {0x40000000, "READ"},   {0x80000000, "WRITE"},
};

const FlagName kSubsystems[] = {
    {0, "UNKNOWN"}, {1, "NATIVE"}, {2, "GUI"}, {3, "CONSOLE"},
    {5, "OS2"},     {7, "POSIX_GUI"}, {8, "DRIVER"}, {9, "WINDOWS_CE"},
};

// Indexed by directory number; COM_DESCRIPTOR (14) is never printed.
const char *const kDirectoryNames[] = {
    "EXPORT", "IMPORT", "RESOURCE", "EXCEPTION", "SECURITY", "BASERELOC", "DEBUG",
    "ARCHITECTURE", "GLOBALPTR", "TLS", "LOAD_CONFIG", "BOUND_IMPORT", "IAT", "DELAY_IMPORT",
    "COM_DESCRIPTOR",
};
const int kDirectoriesPrinted = 14;

template <int N>
int count_of(const FlagName (&)[N]) { return N; }

void dump_file_header(const PeImage *image, ModuleText *t) {
  const PeFileHeader &h = image->header;
  char flags[512];
  file_flags_text(h.characteristics, flags, sizeof flags);
  text_append(t, "// Signature: %s\n", (const char *)image->signature);
  text_append(t, "// FileHeader\n");
  text_append(t, "// \tMachine:\t%i\n", (int)h.machine);
  text_append(t, "// \tNumberOfSections:\t%i\n", (int)h.section_count);
  text_append(t, "// \tTimeDateStamp:\t0x%X\n", h.timestamp);
  text_append(t, "// \tPointerToSymbolTable:\t0x%X\n", h.symbol_table);
  text_append(t, "// \tNumberOfSymbols:\t%i\n", (int)h.symbol_count);
  text_append(t, "// \tSizeOfOptionalHeader:\t0x%X\n", h.optional_size);
  text_append(t, "// \tCharacteristics:\t%s\n", flags);
  text_append(t, "//\n");
}

void dump_optional_header(const PeOptionalHeader &o, ModuleText *t) {
  text_append(t, "// OptionalHeader\n");
  text_append(t, "// \tMagic 0x%X\n", o.magic);
  text_append(t, "// \tLinkerVersion %i.%i\n", (int)o.linker_major, (int)o.linker_minor);
  text_append(t, "// \tSizeOfCode:\t0x%X\n", o.size_of_code);
  text_append(t, "// \tSizeOfInitializedData:\t0x%X\n", o.size_of_data);
  text_append(t, "// \tSizeOfUninitializedData:\t0x%X\n", o.size_of_bss);
  text_append(t, "// \tAddressOfEntryPoint:\t0x%X\n", o.entry_rva);
  text_append(t, "// \tBaseOfCode:\t0x%X\n", o.base_of_code);
  text_append(t, "// \tBaseOfData:\t0x%X\n", o.base_of_data);
  text_append(t, "// \tImageBase:\t0x%X\n", o.image_base);
  text_append(t, "// \tSectionAlignment:\t0x%X\n", o.section_alignment);
  text_append(t, "// \tFileAlignment:\t0x%X\n", o.file_alignment);
  text_append(t, "// \tOperatingSystemVersion:\t%i.%i\n", (int)o.os_major, (int)o.os_minor);
  text_append(t, "// \tImageVersion:\t%i.%i\n", (int)o.image_major, (int)o.image_minor);
  text_append(t, "// \tSubsystemVersion:\t%i.%i\n", (int)o.subsystem_major,
              (int)o.subsystem_minor);
  text_append(t, "// \tWin32VersionValue:\t0x%X\n", o.win32_version);
  text_append(t, "// \tSizeOfImage:\t0x%X\n", o.size_of_image);
  text_append(t, "// \tSizeOfHeaders:\t0x%X\n", o.size_of_headers);
  text_append(t, "// \tCheckSum:\t0x%X\n", o.checksum);
  text_append(t, "// \tSubsystem:\t%s\n", subsystem_name(o.subsystem));
  text_append(t, "// \tDllCharacteristics:\t%i\n", (int)o.dll_characteristics);
  text_append(t, "// \tSizeOfStackReserve:\t0x%X\n", o.stack_reserve);
  text_append(t, "// \tSizeOfStackCommit:\t0x%X\n", o.stack_commit);
  text_append(t, "// \tSizeOfHeapReserve:\t0x%X\n", o.heap_reserve);
  text_append(t, "// \tSizeOfHeapCommit:\t0x%X\n", o.heap_commit);
  text_append(t, "// \tLoaderFlags:\t0x%X\n", o.loader_flags);
  text_append(t, "// \tNumberOfRvaAndSizes:\t%i\n", (int)o.rva_count);
  text_append(t, "//\n");
}

void dump_directories(const PeOptionalHeader &o, ModuleText *t) {
  text_append(t, "// DataDirectory:\tVirtualAddress\tSize\n");
  for (int i = 0; i < kDirectoriesPrinted; i++) {
    const char *name = kDirectoryNames[i];
    text_append(t, "// \t%s%s\t0x%X\t\t0x%X\n", name, strlen(name) < 8 ? "\t" : "",
                o.directories[i].rva, o.directories[i].size);
  }
  text_append(t, "//\n");
}

void dump_sections(const PeImage *image, ModuleText *t) {
  text_append(t, "// Sections:\t\tVirtualAddress\tPointerToRawData SizeOfRawData\tCharacteristics\n");
  for (int i = 0; i < image->section_count; i++) {
    const PeSectionHeader &s = image->sections[i];
    char flags[512];
    section_flags_text(s.characteristics, flags, sizeof flags);
    text_append(t, "// \t%s\t\t0x%X\t\t0x%X\t\t0x%X\t\t%s\n", s.name, s.rva, s.raw_offset,
                s.raw_size, flags);
  }
  text_append(t, "//\n");
}

}  // namespace

void flags_text(const FlagName *table, int count, uint32_t value, char *out, size_t outlen) {
  char text[512] = "";
  for (int i = 0; i < count; i++) {
    if (!(value & table[i].bit)) continue;
    if (text[0]) strncat(text, " | ", sizeof text - strlen(text) - 1);
    strncat(text, table[i].name, sizeof text - strlen(text) - 1);
  }
  text_copy(out, outlen, text);
}

void file_flags_text(uint32_t characteristics, char *out, size_t outlen) {
  flags_text(kFileFlags, count_of(kFileFlags), characteristics, out, outlen);
}

void section_flags_text(uint32_t characteristics, char *out, size_t outlen) {
  flags_text(kSectionFlags, count_of(kSectionFlags), characteristics, out, outlen);
}

const char *subsystem_name(uint32_t subsystem) {
  for (const FlagName &s : kSubsystems)
    if (s.bit == subsystem) return s.name;
  return "";
}

void pe_dump(const PeImage *image, const char *path, ModuleText *t) {
  text_append(t, "// ========================== \n");
  text_append(t, "// <%s>\n", path);
  text_append(t, "// ========================== \n");
  text_append(t, "//\n");
  dump_file_header(image, t);
  dump_optional_header(image->optional, t);
  dump_directories(image->optional, t);
  dump_sections(image, t);
}
