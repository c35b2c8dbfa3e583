// The reader on MSF 7.00 program databases: the Visual C++ 2013 DLL of the corpus and
// programs built here by clang and lld, each held to llvm-pdbutil's dump of the same file:
// every procedure with its locals, global and thread-local datum, public, line pair,
// structure layout and enumeration by name and address.
#include <gtest/gtest.h>

#include <stdio.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "plugins/cvread/cv_load.h"
#include "plugins/dwarfread/tests/dwarfdump_oracle.h"
#include "plugins/tests/corpus_files.h"
#include "plugins/tests/pdbutil_oracle.h"
#include "plugins/tests/recording_api.h"
#include "plugins/tests/undname_oracle.h"
#include "symbols/demangle_itanium.h"

namespace {

const std::string kBuilt = PDB7_PROGRAMS;
// An image, and the database read in place of the one beside it (else empty).
struct Sample {
  std::string image, database;
};
const Sample kSamples[] = {
    {corpus_path("pdb7-msf-negative/vs2013-MyDll/MyDll.dll"), ""},
    {kBuilt + "/points.exe", ""},
    {kBuilt + "/shapes.exe", ""},
    {kBuilt + "/shapes_o2.exe", ""},
    // Made from points.pdb: its procedures named through the id stream.
    {kBuilt + "/points.exe", kBuilt + "/points_id.pdb"},
};

std::string at(const std::string &name, uint32_t address) {
  return name + "@" + std::to_string(address);
}

PdbutilDump recorded_dump() {
  PdbutilDump d;
  for (const RecordedEntry &e : recording()->entries) {
    const RecordedType *type = recorded_type(e.type);
    if (type && type->kind == REC_FRAME) {
      std::string locals;
      for (const RecordedMember &m : type->members)
        locals += " " + m.name + "@" + std::to_string(m.shift);
      d.procedures.insert(at(e.name, e.address) + ":" + locals);
    }
    // Data and publics: any entry of that name and address.
    d.data.insert(at(e.name, e.address));
  }
  for (const RecordedSource &s : recording()->sources)
    for (size_t i = 0; i < s.lines.size(); i++)
      d.lines.insert(s.name + ":" + std::to_string(s.lines[i]) + "@" +
                     std::to_string(s.addresses[i]));
  for (const RecordedType &t : recording()->types) {
    const RecordedType *base = recorded_type(t.target);
    // An enumeration defined from its forward reference has no base: the name says so.
    if (t.kind == REC_ENUM)
      d.enums.insert(t.name + (base && base->name != "void" ? "" : " of void"));
    if (t.kind != REC_STRUCT || !t.size) continue;
    std::string members;
    for (const RecordedMember &m : t.members)
      members += m.name + "@" + std::to_string(m.shift) + " ";
    d.structures.insert(t.name + " " + std::to_string(t.size) + ":" + members);
  }
  return d;
}

// The address of a "name@address" item, or of a procedure's "name@address: locals".
std::string address_of(std::string item) {
  item = item.substr(0, item.find(": "));
  if (item.back() == ':') item.pop_back();
  return item.substr(item.rfind('@') + 1);
}

template <class Set>
size_t missing_from(const Set &oracle, const Set &defined, const char *what) {
  size_t missing = 0;
  for (const std::string &item : oracle)
    if (!defined.count(item) && ++missing <= 5) ADD_FAILURE() << what << " not defined: " << item;
  return missing;
}

TEST(Pdb7, EverySampleAgreesWithPdbutil) {
  ASSERT_TRUE(pdbutil_procedures_by_id(kBuilt + "/points.pdb", kBuilt + "/points_id.pdb"));
  for (const Sample &s : kSamples) {
    const std::string &image_path = s.image;
    const std::string sample = image_path.substr(0, image_path.rfind('.'));
    const std::string pdb = s.database.empty() ? sample + ".pdb" : s.database;
    SCOPED_TRACE(pdb);
    std::vector<uint8_t> image = read_whole_file(image_path);
    uint32_t where = codeview_offset(image);
    ASSERT_NE(where, 0u);
    recording_reset();
    if (!s.database.empty()) recording()->files[sample + ".pdb"] = read_whole_file(pdb);
    CvCounts counts;
    ASSERT_EQ(LOAD_OK, cv_load(recording_api(), image.data(), image.size(), image.data() + where,
                               image_path.c_str(), &counts))
        << recording()->log;
    EXPECT_EQ(recording()->mapped, 0);
    PdbutilDump oracle;
    ASSERT_TRUE(pdbutil_read(pdb, &oracle)) << "llvm-pdbutil-14 (package llvm-14)";
    PdbutilDump defined = recorded_dump();
    size_t procedures = missing_from(oracle.procedures, defined.procedures, "procedure");
    size_t data = missing_from(oracle.data, defined.data, "data");
    // Publics are defined under what their decorated names read as.
    std::set<std::string> publics(oracle.publics.begin(), oracle.publics.end());
    std::vector<std::string> public_names;
    for (const std::string &p : publics) public_names.push_back(p.substr(0, p.rfind('@')));
    UndnameOracle names;
    ASSERT_TRUE(names.read(public_names, testing::TempDir() + "pdb7_publics.txt"))
        << "llvm-undname-14 (package llvm-14)";
    // clang's names for mingw targets read as c++filt reads them, each entry the function's
    // name in that text.
    std::vector<std::string> mangled;
    for (const std::string &name : public_names)
      if (name.compare(0, 3, "__Z") == 0) mangled.push_back(name.substr(1));
    std::vector<std::string> theirs = cxxfilt_names(mangled);
    ASSERT_EQ(theirs.size(), mangled.size()) << "c++filt (package binutils)";
    std::map<std::string, std::string> itanium;
    for (size_t i = 0; i < mangled.size(); i++) {
      char ours[2048];
      EXPECT_TRUE(demangle_itanium(mangled[i].c_str(), ours, sizeof ours)) << mangled[i];
      EXPECT_EQ(theirs[i], ours) << mangled[i];
      itanium["_" + mangled[i]] = theirs[i];
    }
    // A public at the address of a procedure or datum is left out: the entry there is theirs.
    std::set<std::string> taken;
    for (const std::string &p : oracle.procedures) taken.insert(address_of(p));
    for (const std::string &d : oracle.data) taken.insert(address_of(d));
    size_t public_misses = 0;
    for (const std::string &p : publics) {
      std::string name = p.substr(0, p.rfind('@')), address = p.substr(p.rfind('@') + 1);
      if (taken.count(address)) continue;
      bool found = false;
      for (const RecordedEntry &e : recording()->entries)
        found = found || (std::to_string(e.address) == address &&
                          (itanium.count(name) ? itanium[name].find(e.name) != std::string::npos
                                               : names.reads_as(name, e.name)));
      if (!found && ++public_misses <= 5) ADD_FAILURE() << "public not defined: " << p;
    }
    size_t lines = missing_from(oracle.lines, defined.lines, "line pair");
    size_t structures = missing_from(oracle.structures, defined.structures, "structure");
    size_t enums = missing_from(oracle.enums, defined.enums, "enumeration with its base");
    for (const std::string &name : oracle.enums)
      EXPECT_EQ(defined.enums.count(name + " of void"), 0u) << "defined from a forward reference";
    EXPECT_EQ(counts.procedures, oracle.procedures.size());
    EXPECT_EQ(defined.lines.size(), oracle.lines.size());
    EXPECT_EQ(counts.publics + counts.covered, oracle.publics.size());
    printf(
        "%s: procedures with their %u locals %zu/%zu data %zu/%zu publics %zu/%zu line pairs "
        "%zu/%zu structures %zu/%zu enumerations %zu/%zu (agreeing/llvm-pdbutil)\n",
        sample.substr(sample.rfind('/') + 1).c_str(), counts.locals,
        oracle.procedures.size() - procedures, oracle.procedures.size(), oracle.data.size() - data,
        oracle.data.size(), publics.size() - public_misses, publics.size(),
        oracle.lines.size() - lines, oracle.lines.size(), oracle.structures.size() - structures,
        oracle.structures.size(), oracle.enums.size() - enums, oracle.enums.size());
    // Progress only grows, within the whole; cancelled at its second report, the load ends
    // there with fewer definitions and says so.
    std::vector<uint32_t> progress = recording()->progress;
    ASSERT_GE(progress.size(), 2u);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_LE(progress.back(), 1000u);
    size_t all = recording()->entries.size();
    recording_reset();
    if (!s.database.empty()) recording()->files[sample + ".pdb"] = read_whole_file(pdb);
    recording()->cancel_at = 2;
    EXPECT_EQ(LOAD_CANCELLED, cv_load(recording_api(), image.data(), image.size(),
                                      image.data() + where, image_path.c_str(), &counts));
    EXPECT_EQ(recording()->progress.size(), 2u);
    EXPECT_LT(recording()->entries.size(), all);
    EXPECT_EQ(recording()->refusals, std::vector<std::string>{"cancelled by the user"});
    EXPECT_EQ(recording()->mapped, 0);
  }
}

typedef std::vector<uint8_t> Bytes;

uint32_t get32(const Bytes &b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | (uint32_t)b[at + 3] << 24;
}
void set32(Bytes *b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; i++) (*b)[at + i] = (uint8_t)(v >> (8 * i));
}
// Where the root stream starts: its first page, named in the page the superblock names.
size_t root_at(const Bytes &pdb) { return get32(pdb, get32(pdb, 52) * 4096) * 4096; }
// Where stream n's page numbers lie: after those of the streams before it.
size_t pages_at(const Bytes &pdb, uint32_t n) {
  size_t root = root_at(pdb), pages = root + 4 + get32(pdb, root) * 4;
  for (uint32_t i = 0; i < n; i++) {
    uint32_t size = get32(pdb, root + 4 + i * 4);
    if (size != 0xFFFFFFFF) pages += (size + 4095) / 4096 * 4;
  }
  return pages;
}
size_t stream_at(const Bytes &pdb, uint32_t n) { return get32(pdb, pages_at(pdb, n)) * 4096; }

struct Damage {
  const char *what;
  void (*apply)(Bytes *pdb, Bytes *image, uint32_t rsds);
  const char *log;  // a line the load writes; "" for a load that succeeds
};

const Damage kDamages[] = {
    {"truncated", [](Bytes *pdb, Bytes *, uint32_t) { pdb->resize(3 * 4096); },
     "is not a program database 7.00\n"},
    {"root page number past the end",
     [](Bytes *pdb, Bytes *, uint32_t) { set32(pdb, get32(*pdb, 52) * 4096, 0x7FFFFFFF); },
     "is not a program database 7.00\n"},
    {"stream directory larger than the file",
     [](Bytes *pdb, Bytes *, uint32_t) { set32(pdb, 44, (uint32_t)pdb->size() + 4096); },
     "is not a program database 7.00\n"},
    {"debug stream larger than the file",
     [](Bytes *pdb, Bytes *, uint32_t) { set32(pdb, root_at(*pdb) + 4 + 3 * 4, 0x7FFFFFF0); },
     "Unknown symbol info version 0\n"},
    // Consecutive pages are read in place: only as far as the file goes.
    {"debug stream's pages running past the end",
     [](Bytes *pdb, Bytes *, uint32_t) {
       uint32_t size = get32(*pdb, root_at(*pdb) + 4 + 3 * 4), last = pdb->size() / 4096 - 1;
       for (uint32_t i = 0; i * 4096 < size; i++) set32(pdb, pages_at(*pdb, 3) + i * 4, last + i);
     },
     "Unknown symbol info version 0\n"},
    // Pages that do not follow one another are read in stream order.
    {"debug stream's first two pages swapped",
     [](Bytes *pdb, Bytes *, uint32_t) {
       size_t numbers = pages_at(*pdb, 3);
       uint32_t first = get32(*pdb, numbers), second = get32(*pdb, numbers + 4);
       std::swap_ranges(pdb->begin() + first * 4096, pdb->begin() + (first + 1) * 4096,
                        pdb->begin() + second * 4096);
       set32(pdb, numbers, second);
       set32(pdb, numbers + 4, first);
     },
     ""},
    {"GUID of another build", [](Bytes *, Bytes *image, uint32_t rsds) { (*image)[rsds + 4]++; },
     "belongs to another build (GUID"},
    {"first type a modifier of itself",
     [](Bytes *pdb, Bytes *, uint32_t) {
       size_t types = stream_at(*pdb, 2);
       size_t first = types + get32(*pdb, types + 4);
       (*pdb)[first + 2] = 0x01;  // LF_MODIFIER of 0x1000
       (*pdb)[first + 3] = 0x10;
       set32(pdb, first + 4, 0x1000);
     },
     ""},
};

TEST(Pdb7, DamagedFilesAreRefusedWithALogLine) {
  std::string image_path = kBuilt + "/points.exe";
  const Bytes image = read_whole_file(image_path);
  const Bytes pdb = read_whole_file(kBuilt + "/points.pdb");
  uint32_t rsds = codeview_offset(image);
  ASSERT_NE(rsds, 0u);
  for (const Damage &damage : kDamages) {
    SCOPED_TRACE(damage.what);
    Bytes forged_image = image, forged_pdb = pdb;
    damage.apply(&forged_pdb, &forged_image, rsds);
    recording_reset();
    recording()->files[kBuilt + "/points.pdb"] = forged_pdb;
    CvCounts counts = {};
    bool ok = cv_load(recording_api(), forged_image.data(), forged_image.size(),
                      forged_image.data() + rsds, image_path.c_str(), &counts) == LOAD_OK;
    EXPECT_EQ(ok, !*damage.log);
    EXPECT_NE(recording()->log.find(*damage.log ? damage.log : "successfully parsed"),
              std::string::npos)
        << recording()->log;
    if (!ok) {
      EXPECT_TRUE(recording()->entries.empty() && recording()->sources.empty());
    }
    EXPECT_EQ(recording()->mapped, 0);
  }
}

// cvdump's records of each sample, read back as the oracle's sets: the publics, the
// procedures by name and address, and the line pairs under their files.
PdbutilDump cvdump_read(const std::string &pdb) {
  PdbutilDump d;
  FILE *pipe = popen((std::string(CVDUMP) + " " + pdb).c_str(), "r");
  if (!pipe) return d;
  std::map<std::string, std::string> source;  // by module
  char text[4096];
  while (fgets(text, sizeof text, pipe)) {
    char module[32], kind[64], name[2048];
    unsigned section, offset, line;
    int count;
    if (sscanf(text, "symbol global S_PUB32_NT at %x:%x name %2047[^\n]", &section, &offset,
               name) == 3)
      d.publics.insert(at(name, section * 0x01000000u + offset));
    else if (sscanf(text, "symbol %31s %63s type %*x at %x:%x name %2047[^\n]", module, kind,
                    &section, &offset, name) == 5 &&
             std::string(kind).find("PROC32") != std::string::npos)
      d.procedures.insert(at(name, section * 0x01000000u + offset));
    else if (sscanf(text, "source %31s %2047s pairs %d", module, name, &count) == 3)
      source[module] = name;
    else if (sscanf(text, "line %31s %u at %x:%x", module, &line, &section, &offset) == 4)
      d.lines.insert(source[module] + ":" + std::to_string(line) + "@" +
                     std::to_string(section * 0x01000000u + offset));
  }
  pclose(pipe);
  return d;
}

TEST(Pdb7, CvdumpAgreesWithPdbutil) {
  for (const Sample &s : kSamples) {
    const std::string sample = s.image.substr(0, s.image.rfind('.'));
    const std::string pdb = s.database.empty() ? sample + ".pdb" : s.database;
    SCOPED_TRACE(pdb);
    PdbutilDump oracle;
    ASSERT_TRUE(pdbutil_read(pdb, &oracle)) << "llvm-pdbutil-14 (package llvm-14)";
    PdbutilDump dumped = cvdump_read(pdb);
    EXPECT_EQ(dumped.publics, oracle.publics);
    EXPECT_EQ(dumped.lines, oracle.lines);
    std::multiset<std::string> procedures;
    for (const std::string &p : oracle.procedures)  // without the locals after the address
      procedures.insert(p.substr(0, p.find_first_not_of("0123456789", p.find('@') + 1)));
    EXPECT_EQ(dumped.procedures, procedures);
    printf("%s: cvdump/llvm-pdbutil publics %zu/%zu procedures %zu/%zu line pairs %zu/%zu\n",
           sample.substr(sample.rfind('/') + 1).c_str(), dumped.publics.size(),
           oracle.publics.size(), dumped.procedures.size(), procedures.size(),
           dumped.lines.size(), oracle.lines.size());
  }
}

}  // namespace
