// tdsdump's raw records of a Borland file, parsed for the reader's tests: the dump knows
// only the framing, so the fields a test compares are taken from the raw bytes here.
#pragma once
#include <stdint.h>

#include <map>
#include <string>
#include <vector>

struct DumpRecord {
  unsigned module;
  uint16_t kind;
  std::vector<uint8_t> bytes;  // from the length WORD on
  uint32_t u32(size_t at) const;
  uint16_t u16(size_t at) const;
};

struct DumpFile {
  unsigned module;
  uint32_t name;
  std::vector<uint16_t> lines;
  std::vector<uint16_t> segments;
  std::vector<uint32_t> offsets;
};

struct TdsDump {
  std::string signature;
  unsigned directory = 0;
  std::map<uint16_t, unsigned> subsections;  // count by kind
  std::vector<std::string> names;            // index 1 is names[0]
  std::vector<DumpRecord> types;             // index 0x1000 + i
  std::vector<DumpRecord> symbols;           // in file order
  unsigned globals = 0;                      // records of the global symbols
  std::vector<DumpFile> files;
  unsigned overruns = 0;         // records running past their module's subsection
  unsigned global_overruns = 0;  // the same in the global symbols
  // The name of a 1-based index, "" for 0 and unknown ones.
  std::string name(uint32_t index) const;
};

// Runs the tdsdump program on path; false when it fails.
bool tds_dump_read(const std::string &tdsdump, const std::string &path, TdsDump *dump);
