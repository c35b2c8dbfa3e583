// The CodeView reader against the system's symbol handler (dbghelp) over the real
// programs of the debug-information corpus: every symbol dbghelp names must stand at the
// same address in what our reader defines, and every line entry dbghelp gives must carry
// the same line number at that address. The recorded PDB paths do not exist here, so the
// reader finds each PDB beside its image, as in the debugger. The DWARF reader likewise
// on the DWARF test programs, for their procedures and lines.
#include <gtest/gtest.h>
#include <windows.h>
#include <ctype.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "plugins/cvread/cv_reader.h"
#include "plugins/dwarfread/dwarf_reader.h"
#include "plugins/tests/corpus_files.h"
#include "plugins/tests/recording_api.h"
#include "symbols/demangle_itanium.h"
#include "symbols/pe_image.h"
#include "symbols/undecorate_msvc.h"
#include "tools/dbghelp_session.h"

namespace {

enum : uint32_t {
  kTagFunction = 5,
  kTagLabel = 9,
  kFlagValuePresent = 0x1,
  kFlagExport = 0x200,
  kFlagThreadRelative = 0x4000,
};

// What our reader defined, at the image's preferred base: the recording api numbers
// addresses by section, the image's section table places them.
struct Ours {
  std::multimap<std::string, uint32_t> entries;  // name -> address
  std::map<uint32_t, std::set<uint32_t>> lines;  // address -> line numbers
  std::map<uint32_t, std::set<std::string>> files;  // address -> source names, lower case
  size_t entry_count = 0, line_count = 0;
};

// Source names are compared without regard to case or the kind of slash, as Windows
// compares file names.
std::string lower(std::string text) {
  for (char &c : text) c = c == '/' ? '\\' : (char)tolower((unsigned char)c);
  return text;
}

uint32_t placed(const PeImage &image, uint32_t recorded) {
  uint32_t section = recorded >> 24;
  if (section == 0 || section > (uint32_t)image.section_count) return 0;
  return image.optional.image_base + image.sections[section - 1].rva + (recorded & 0xFFFFFF);
}

void collect(const PeImage &image, Ours *ours);

// Reads the image's CodeView entry as the plug-in does; the PDB is found beside the image,
// since the path recorded at link time does not exist here.
bool read_with_our_reader(const std::string &path, Ours *ours) {
  std::vector<uint8_t> bytes = read_whole_file(path);
  uint32_t offset = codeview_offset(bytes);
  static PeImage image;
  if (!offset || offset >= bytes.size() || !pe_read_image(bytes.data(), bytes.size(), &image))
    return false;
  recording_reset();
  bool ok = cv_load_debug_info(recording_api(), bytes.data(), bytes.size(), bytes.data() + offset,
                               path.c_str()) == LOAD_OK;
  EXPECT_EQ(recording()->mapped, 0) << "a PDB is left mapped";
  collect(image, ours);
  if (!ok) ADD_FAILURE() << recording()->log;
  return ok;
}

// What the recording holds, placed in the image.
void collect(const PeImage &image, Ours *ours) {
  for (const RecordedEntry &e : recording()->entries)
    ours->entries.insert({e.name, placed(image, e.address)});
  for (const RecordedSource &s : recording()->sources)
    for (size_t i = 0; i < s.lines.size(); i++) {
      ours->lines[placed(image, s.addresses[i])].insert(s.lines[i]);
      ours->files[placed(image, s.addresses[i])].insert(lower(s.name));
    }
  ours->entry_count = recording()->entries.size();
  for (const RecordedSource &s : recording()->sources) ours->line_count += s.lines.size();
}

struct Dbghelp {
  std::string kind;
  std::vector<std::pair<std::string, uint32_t>> symbols;
  std::vector<std::pair<uint32_t, uint32_t>> lines;  // address, line
  std::vector<std::string> files;                     // the source of each line, lower case
};

void on_module(void *context, uint32_t, const char *kind, const char *) {
  ((Dbghelp *)context)->kind = kind;
}

// Left out: labels (S_LABEL32), jump targets inside procedures that the debugger does not
// keep as entries; constants (enumerators among the global symbols), which dbghelp gives
// some unrelated address; what dbghelp takes from the image itself ("EntryPoint"); what it
// cannot place in the image either (address 0: a section number past the section table,
// such as the linker's directive record "__drectve"); thread-local data, which dbghelp
// places by its offset in a thread's block where we place its image's template.
void on_symbol(void *context, uint32_t address, uint32_t tag, uint32_t flags, const char *name) {
  if (tag != kTagLabel && !(flags & (kFlagValuePresent | kFlagExport | kFlagThreadRelative)) &&
      address != 0)
    ((Dbghelp *)context)->symbols.push_back({name, address});
}

void on_line(void *context, uint32_t address, uint32_t line, const char *file) {
  ((Dbghelp *)context)->lines.push_back({address, line});
  ((Dbghelp *)context)->files.push_back(lower(file));
}

// For DWARF, procedures only: dbghelp's data symbols and publics are not compared.
void on_procedure(void *context, uint32_t address, uint32_t tag, uint32_t flags,
                  const char *name) {
  if (tag == kTagFunction) on_symbol(context, address, tag, flags, name);
}

bool read_with_dbghelp(const std::string &path, Dbghelp *out, bool procedures_only = false) {
  const DbghelpSink sink = {out, on_module, procedures_only ? on_procedure : on_symbol, on_line};
  const char *why = "";
  bool ok = dbghelp_begin(path.c_str(), &why) && dbghelp_enumerate(path.c_str(), &sink, &why);
  dbghelp_end();
  if (!ok) ADD_FAILURE() << "dbghelp: " << why;
  return ok;
}

struct Agreement {
  int symbols_equal = 0, symbols_elsewhere = 0, symbols_missing = 0;
  int lines_equal = 0, lines_different = 0, lines_missing = 0;
  int files_different = 0;  // lines equal, but in another source
  int ours_only = 0;  // addresses with a line of ours that dbghelp gives no line for
  std::string first_disagreements;  // a few, to look at
};

void note(Agreement *a, const char *format, ...) {
  if (std::count(a->first_disagreements.begin(), a->first_disagreements.end(), '\n') >= 12)
    return;
  char text[512];
  va_list ap;
  va_start(ap, format);
  vsnprintf(text, sizeof text, format, ap);
  va_end(ap);
  a->first_disagreements += text;
}

Agreement compare(const Ours &ours, const Dbghelp &theirs) {
  Agreement a;
  for (const auto &symbol : theirs.symbols) {
    auto range = ours.entries.equal_range(symbol.first);
    // dbghelp keeps publics decorated, ours carry the names they read as (the reading
    // itself is held to llvm-undname and c++filt on the host).
    char plain[256];
    if (range.first == range.second &&
        (demangle_itanium_name(symbol.first.c_str(), plain, sizeof plain) ||
         undecorate_msvc(symbol.first.c_str(), UNDECORATE_NAME, plain, sizeof plain)))
      range = ours.entries.equal_range(plain);
    bool same = false;
    for (auto it = range.first; it != range.second; ++it) same = same || it->second == symbol.second;
    if (same) {
      a.symbols_equal++;
    } else if (range.first != range.second) {
      a.symbols_elsewhere++;
      note(&a, "  %s at %08X, ours at %08X\n", symbol.first.c_str(), symbol.second,
           range.first->second);
    } else {
      a.symbols_missing++;
      note(&a, "  %s at %08X, not ours\n", symbol.first.c_str(), symbol.second);
    }
  }
  for (size_t i = 0; i < theirs.lines.size(); i++) {
    const auto &line = theirs.lines[i];
    auto it = ours.lines.find(line.first);
    if (it == ours.lines.end()) {
      a.lines_missing++;
      note(&a, "  line %u at %08X, no line of ours there\n", line.second, line.first);
    } else if (it->second.count(line.second)) {
      a.lines_equal++;
      const std::set<std::string> &files = ours.files.at(line.first);
      if (!files.count(theirs.files[i])) {
        a.files_different++;
        note(&a, "  line %u at %08X in %s, ours in %s\n", line.second, line.first,
             theirs.files[i].c_str(), files.begin()->c_str());
      }
    } else {
      a.lines_different++;
      note(&a, "  line %u at %08X, ours %u\n", line.second, line.first, *it->second.begin());
    }
  }
  std::set<uint32_t> theirs_at;
  for (const auto &line : theirs.lines) theirs_at.insert(line.first);
  for (const auto &line : ours.lines) a.ours_only += theirs_at.count(line.first) ? 0 : 1;
  return a;
}

// Wine's dbghelp cannot follow the type-server import table of Visual C++ 5.0 (it reads
// an empty PDB name from it) and then drops the whole PDB, keeping only the exports. The
// table names the type PDB only for types, not for symbol addresses or lines, so dbghelp
// is given a copy of such a program whose PDB has that table's size set to 0.
struct CorpusProgram {
  const char *folder;  // under the corpus folder; null: the PDB 7 programs the build made
  const char *name;    // the image's base name: NAME.exe (or .dll) and NAME.pdb
  bool hide_type_server;
  const char *extension;
};

const CorpusProgram kPrograms[] = {
    {"pdb2-jg/vc60-peekPE", "peekPE", false, ".exe"},
    {"pdb2-jg/vc50-GameC", "GameC", true, ".exe"},
    {"pdb2-jg/masm-TestOglAsm", "TestOglAsm", false, ".exe"},
    {"pdb2-jg/vc40-gun_eyes", "gun_eyes", false, ".exe"},
    {"pdb2-jg/vc42-classs", "classs", false, ".exe"},
    {"pdb7-msf-negative/vs2013-MyDll", "MyDll", false, ".dll"},
    {nullptr, "points", false, ".exe"},
    {nullptr, "shapes", false, ".exe"},
    {nullptr, "shapes_o2", false, ".exe"},
};

std::string own_folder() {
  std::string path = _pgmptr ? _pgmptr : ".\\test";
  return path.substr(0, path.find_last_of("\\/") + 1);
}

bool write_file(const std::string &path, const uint8_t *data, size_t size) {
  FILE *f = fopen(path.c_str(), "wb");
  bool ok = f && fwrite(data, 1, size, f) == size;
  if (f) ok = fclose(f) == 0 && ok;
  return ok;
}

// The program and its PDB copied into a folder of the test's own, the PDB's type-server
// map size (DWORD 40 of the 64-byte symbol information header) set to 0.
struct HiddenTypeServerCopy {
  std::string folder, image, pdb;
  bool make(const std::string &source, const char *name) {
    folder = own_folder() + "cvread-dbghelp-" + std::to_string(GetCurrentProcessId()) + "\\";
    image = folder + name + ".exe";
    pdb = folder + name + ".pdb";
    CreateDirectoryA(folder.c_str(), nullptr);
    std::vector<uint8_t> bytes = read_whole_file(source + "/" + name + ".pdb");
    size_t header = pdb_stream_offset(bytes, 3);
    if (!header || header + 64 > bytes.size() || *(const uint32_t *)&bytes[header] != 0xFFFFFFFF)
      return false;
    memset(&bytes[header + 40], 0, 4);
    return write_file(pdb, bytes.data(), bytes.size()) &&
           CopyFileA((source + "/" + name + ".exe").c_str(), image.c_str(), FALSE);
  }
  ~HiddenTypeServerCopy() {
    DeleteFileA(image.c_str());
    DeleteFileA(pdb.c_str());
    RemoveDirectoryA(folder.c_str());
  }
};

void expect_agreement(const char *name, const Ours &ours, const Dbghelp &theirs) {
  Agreement a = compare(ours, theirs);
  printf("%-10s ours: %zu entries, %zu line entries; dbghelp (%s): %zu symbols, %zu line "
         "entries\n           symbols: %d same address, %d elsewhere, %d missing; "
         "lines: %d same line (%d in another source), %d other line, %d missing, "
         "%d ours only\n",
         name, ours.entry_count, ours.line_count, theirs.kind.c_str(), theirs.symbols.size(),
         theirs.lines.size(), a.symbols_equal, a.symbols_elsewhere, a.symbols_missing,
         a.lines_equal, a.files_different, a.lines_different, a.lines_missing, a.ours_only);
  EXPECT_GT(a.symbols_equal, 0);
  EXPECT_GT(a.lines_equal, 0);
  EXPECT_EQ(a.symbols_elsewhere, 0) << a.first_disagreements;
  EXPECT_EQ(a.symbols_missing, 0) << a.first_disagreements;
  EXPECT_EQ(a.lines_different, 0) << a.first_disagreements;
  EXPECT_EQ(a.files_different, 0) << a.first_disagreements;
  EXPECT_EQ(a.lines_missing, 0) << a.first_disagreements;
}

TEST(CvreadAgainstDbghelp, SymbolsAndLinesAgreeOnEveryCorpusProgram) {
  for (const CorpusProgram &program : kPrograms) {
    SCOPED_TRACE(program.name);
    std::string folder = program.folder ? corpus_path(program.folder) : PDB7_PROGRAMS;
    std::string image = folder + "/" + program.name + program.extension;
    Ours ours;
    ASSERT_TRUE(read_with_our_reader(image, &ours));
    HiddenTypeServerCopy copy;
    if (program.hide_type_server) {
      ASSERT_TRUE(copy.make(folder, program.name));
      image = copy.image;
    }
    Dbghelp theirs;
    ASSERT_TRUE(read_with_dbghelp(image, &theirs));
    EXPECT_EQ(theirs.kind, "SymPdb");
    expect_agreement(program.name, ours, theirs);
  }
}

TEST(DwarfreadAgainstDbghelp, ProceduresAndLinesAgreeOnTheDwarfPrograms) {
  for (const char *name : {"dwarf_shapes4", "dwarf_classes4"}) {
    SCOPED_TRACE(name);
    std::string image = own_folder() + name + ".exe";
    std::vector<uint8_t> bytes = read_whole_file(image);
    static PeImage pe;
    ASSERT_TRUE(pe_read_image(bytes.data(), bytes.size(), &pe));
    recording_reset();
    ASSERT_EQ(LOAD_OK, dwarf_load(recording_api(), bytes.data(), bytes.size(), nullptr));
    Ours ours;
    collect(pe, &ours);
    // dbghelp names a constructor or destructor without its class and namespaces.
    for (const RecordedEntry &e : recording()->entries) {
      size_t cut = e.name.rfind("::");
      if (cut != std::string::npos)
        ours.entries.insert({e.name.substr(cut + 2), placed(pe, e.address)});
    }
    Dbghelp all, theirs;
    ASSERT_TRUE(read_with_dbghelp(image, &all, true));
    // dbghelp keeps rows that are no statements (inside a line, for a discriminator); the
    // reader keeps statements only: a row that goes on with the line before it is left out.
    theirs.kind = all.kind;
    theirs.symbols = all.symbols;
    std::map<uint32_t, uint32_t> line_at(all.lines.begin(), all.lines.end());
    for (size_t i = 0; i < all.lines.size(); i++) {
      auto it = line_at.find(all.lines[i].first);
      bool goes_on = it != line_at.begin() && std::prev(it)->second == it->second;
      if (!goes_on || ours.lines.count(all.lines[i].first)) {
        theirs.lines.push_back(all.lines[i]);
        theirs.files.push_back(all.files[i]);
      }
    }
    expect_agreement(name, ours, theirs);
  }
}

}  // namespace
