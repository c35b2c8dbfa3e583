// What winedump prints of a program database or an NB09 debug file, read back from its
// text: the independent side of the corpus comparisons.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

struct OracleSymbol {
  std::string name;
  uint16_t segment;
  uint32_t offset;
  std::string locals;  // of a procedure: its stack-relative locals as "name@offset "
};

struct OracleFile {
  std::string name;
  int blocks;
  std::vector<uint32_t> addresses;  // recorded_address of each pair
  std::vector<uint16_t> lines;
};

struct OracleDump {
  int modules = 0;
  std::vector<OracleSymbol> procedures;
  std::vector<OracleSymbol> publics;
  std::vector<OracleSymbol> data;  // global and local, of any section
  std::vector<OracleSymbol> thunks;
  std::vector<OracleFile> files;
};

// Runs `winedump-stable dump path`; false when it could not run or did not end well.
bool winedump_read(const std::string &path, OracleDump *dump);
