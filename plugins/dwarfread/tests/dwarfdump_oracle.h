// The independent side of the DWARF tests: llvm-dwarfdump's, objdump's and nm's text dumps
// of a program, read into entries, line rows and symbols, and c++filt's reading of names.
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

// (address, name) of every symbol nm lists in a program or an archive, names as written.
std::vector<std::pair<uint64_t, std::string>> nm_symbols(const std::string &file);
// c++filt's reading of each name, in order; empty when c++filt cannot be run.
std::vector<std::string> cxxfilt_names(const std::vector<std::string> &names);
// The output lines of a shell command.
std::vector<std::string> run_lines(const std::string &command);
