// The independent side of the DWARF tests: llvm-dwarfdump's and objdump's text dumps of a
// program, read into entries and line rows.
#pragma once
#include <stdint.h>

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

struct OracleDie {
  uint64_t offset;
  int parent;  // index, -1 for a unit
  std::string tag;
  std::map<std::string, std::string> attributes;  // DW_AT_x -> the text in parentheses
};

// Every entry of --debug-info, in order; null entries are left out.
std::vector<OracleDie> dwarfdump_entries(const std::string &file);
// The quoted name in an attribute's text ("" when none), and its first hexadecimal
// number (false when none).
std::string oracle_quoted(const std::string &text);
bool oracle_number(const std::string &text, uint64_t *number);

// (address, line) of the statement rows that cover an address: the last of those a
// sequence gives one address.
using OracleRows = std::set<std::pair<uint64_t, uint32_t>>;
OracleRows dwarfdump_rows(const std::string &file);
OracleRows objdump_rows(const std::string &file);
