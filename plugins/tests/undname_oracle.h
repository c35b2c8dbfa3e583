// What a decorated name reads as, told by llvm-undname for C++ names and by the linker's
// marks for C names: the oracle side of the tests of undecorated entries.
#pragma once
#include <map>
#include <string>
#include <vector>

// llvm-undname's text for each name, in order; empty where it refuses one. False when the
// tool cannot be run or its output is out of step.
bool undname_texts(const std::vector<std::string> &names, const std::string &scratch_file,
                   std::vector<std::string> *texts);

// True when name stands in llvm-undname's text as the declared name.
bool holds_name(const std::string &text, const std::string &name);

// True when an entry named name may stand for decorated: the name itself, its C name
// without the underscore or at-sign before it and the argument size after it, or the
// declared name of text, llvm-undname's reading of it.
bool reads_as(const std::string &decorated, const std::string &text, const std::string &name);

// reads_as over a whole set of names, their texts looked up once.
struct UndnameOracle {
  std::map<std::string, std::string> texts;
  bool read(const std::vector<std::string> &names, const std::string &scratch_file);
  bool reads_as(const std::string &decorated, const std::string &name) const;
};
