// llvm-pdbutil's dump of a program database, read back as the sets the PDB 7 tests
// compare: each entry a text of name and address (section * 0x01000000 + offset, as the
// recording api gives it), a procedure with its frame-pointer-relative locals; data
// includes thread-local data.
#pragma once
#include <set>
#include <string>

struct PdbutilDump {
  std::multiset<std::string> procedures;  // "name@address: local@offset ..."
  std::set<std::string> data;             // "name@address", module and global data
  std::multiset<std::string> publics;     // "name@address"
  std::set<std::string> lines;            // "file:line@address"
  std::multiset<std::string> structures;  // "name size: member@offset ..." (definitions)
  std::set<std::string> enums;            // names of the definitions (a base type known)
};

// Runs llvm-pdbutil-14 on pdb; false when it cannot be run.
bool pdbutil_read(const std::string &pdb, PdbutilDump *dump);

// Writes to out the database pdb with every S_GPROC32 of its modules made an S_GPROC32_ID
// that names its function's id record (what compilers write and lld rewrites), through
// llvm-pdbutil's YAML form; false when that fails.
bool pdbutil_procedures_by_id(const std::string &pdb, const std::string &out);
