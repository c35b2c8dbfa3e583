// The PE reader against two independent readers over every DLL Wine installs: section
// tables against winedump, entry points and exports (names, ordinals, addresses)
// against GNU objdump.
#include <dirent.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "symbols/mapped_files.h"
#include "symbols/pe_exports.h"
#include "symbols/pe_image.h"
#include "util/zone.h"

namespace {

const char kWineDlls[] = "/usr/lib/i386-linux-gnu/wine/i386-windows";

std::vector<std::string> wine_dlls() {
  std::vector<std::string> files;
  DIR *dir = opendir(kWineDlls);
  if (!dir) return files;
  for (struct dirent *d; (d = readdir(dir));) {
    size_t len = strlen(d->d_name);
    if (len > 4 && !strcmp(d->d_name + len - 4, ".dll"))
      files.push_back(std::string(kWineDlls) + "/" + d->d_name);
  }
  closedir(dir);
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<std::string> run_lines(const std::string &command) {
  std::vector<std::string> lines;
  FILE *p = popen((command + " 2>/dev/null").c_str(), "r");
  if (!p) return lines;
  char line[4096];
  while (fgets(line, sizeof line, p)) lines.push_back(line);
  pclose(p);
  return lines;
}

struct Section {
  std::string name;
  uint32_t virtual_size, rva, raw_offset, raw_size, characteristics;
  bool operator==(const Section &o) const {
    return std::tie(name, virtual_size, rva, raw_offset, raw_size, characteristics) ==
           std::tie(o.name, o.virtual_size, o.rva, o.raw_offset, o.raw_size, o.characteristics);
  }
};

// winedump -f: the section table, each section's raw name first on its line.
std::vector<Section> winedump_sections(const std::string &file, unsigned *count) {
  std::vector<Section> out;
  std::vector<std::string> lines = run_lines("winedump-stable -f '" + file + "'");
  bool table = false;
  for (size_t i = 0; i < lines.size(); i++) {
    const char *l = lines[i].c_str();
    sscanf(l, "  Number of Sections: %u", count);
    if (!strncmp(l, "Section Table", 13)) table = true;
    char name[64];
    Section s = {};
    if (!table || sscanf(l, " %63s", name) != 1 || !strstr(l, "VirtSize:")) continue;
    sscanf(strstr(l, "VirtSize:"), "VirtSize: %x VirtAddr: %x", &s.virtual_size, &s.rva);
    if (i + 4 >= lines.size()) break;
    sscanf(lines[i + 1].c_str(), " raw data offs: %x raw data size: %x", &s.raw_offset,
           &s.raw_size);
    sscanf(lines[i + 4].c_str(), " characteristics: %x", &s.characteristics);
    s.name = name;
    out.push_back(s);
  }
  return out;
}

typedef std::tuple<std::string, uint32_t, uint32_t> Export;  // name, ordinal, rva

struct ObjdumpFacts {
  uint32_t entry = 0, image_base = 0;
  std::vector<Export> exports;
};

// objdump -p: entry point, image base, and the exports from the address table and the
// name pointer table (which lists each name with its index in the address table).
ObjdumpFacts objdump_facts(const std::string &file) {
  ObjdumpFacts f;
  std::map<uint32_t, uint32_t> rvas;
  std::vector<std::pair<uint32_t, std::string>> names;
  uint32_t base = 0;
  bool in_names = false;
  for (const std::string &line : run_lines("objdump -p '" + file + "'")) {
    const char *l = line.c_str();
    unsigned index = 0, biased = 0, rva = 0;
    char name[1024];
    sscanf(l, "AddressOfEntryPoint %x", &f.entry);
    sscanf(l, "ImageBase %x", &f.image_base);
    sscanf(l, "Export Address Table -- Ordinal Base %u", &base);
    if (!strncmp(l, "[Ordinal/Name Pointer] Table", 28)) in_names = true;
    else if (line == "\n") in_names = false;
    else if (in_names && sscanf(l, " [%u] %1023s", &index, name) == 2) names.push_back({index, name});
    else if (sscanf(l, " [%u] +base[%u] %x", &index, &biased, &rva) == 3) rvas[index] = rva;
  }
  for (auto &n : names) f.exports.push_back(Export{n.second, base + n.first, rvas[n.first]});
  std::sort(f.exports.begin(), f.exports.end());
  return f;
}

TEST(PeOracle, EveryWineDllAgreesWithWinedumpAndObjdump) {
  std::vector<std::string> files = wine_dlls();
  ASSERT_FALSE(files.empty()) << "no Wine DLLs in " << kWineDlls << " (tools/setup.sh installs Wine)";
  int checked = 0, sections = 0, exports = 0;
  PeImage *image = (PeImage *)zone_alloc(sizeof(PeImage));
  for (const std::string &file : files) {
    SCOPED_TRACE(file);
    const uint8_t *view = map_file(file.c_str());
    ASSERT_TRUE(view);
    ASSERT_TRUE(pe_read_image(view, mapped_size(view), image));

    unsigned count = 0;
    std::vector<Section> expected = winedump_sections(file, &count);
    std::vector<Section> ours;
    for (int i = 0; i < image->section_count; i++) {
      const PeSectionHeader &s = image->sections[i];
      ours.push_back(Section{s.name, s.virtual_size, s.rva, s.raw_offset, s.raw_size,
                             s.characteristics});
    }
    EXPECT_EQ(count, image->header.section_count);
    EXPECT_EQ(expected, ours);

    ObjdumpFacts facts = objdump_facts(file);
    EXPECT_EQ(facts.entry, image->optional.entry_rva);
    EXPECT_EQ(facts.image_base, image->optional.image_base);
    PeExportDirectory dir;
    PeExport *list = nullptr;
    int n = pe_read_export_directory(image, &dir) ? pe_read_exports(image, &dir, &list) : 0;
    std::vector<Export> found;
    for (int i = 0; i < n; i++) found.push_back(Export{list[i].name, list[i].ordinal, list[i].rva});
    std::sort(found.begin(), found.end());
    EXPECT_EQ(facts.exports, found);
    zone_free(list);
    unmap_file(view);
    checked++;
    sections += (int)ours.size();
    exports += n;
  }
  zone_free(image);
  printf("PE oracle: %d DLLs, %d sections, %d named exports agree\n", checked, sections, exports);
}

}  // namespace
