#include "plugins/tests/undname_oracle.h"

#include <stdio.h>
#include <string.h>

#include <fstream>
#include <regex>
#include <sstream>

bool undname_texts(const std::vector<std::string> &names, const std::string &scratch_file,
                   std::vector<std::string> *texts) {
  {
    std::ofstream list(scratch_file);
    for (const std::string &n : names) list << n << "\n";
  }
  // It exits with failure when it refused any name: its output tells which.
  FILE *pipe = popen(("llvm-undname-14 < '" + scratch_file + "' 2>/dev/null").c_str(), "r");
  if (!pipe) return false;
  std::string out;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  pclose(pipe);
  std::vector<std::string> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  // Each name comes back, then its text unless refused, then an empty line.
  texts->clear();
  for (size_t at = 0; texts->size() < names.size() && at < lines.size(); at++) {
    if (lines[at] != names[texts->size()]) return false;
    bool refused = at + 1 >= lines.size() || lines[at + 1].empty();
    texts->push_back(refused ? "" : lines[at + 1]);
    at += refused ? 1 : 2;
  }
  return texts->size() == names.size();
}

bool holds_name(const std::string &text, const std::string &name) {
  if (text == name) return true;
  for (size_t at = text.find(name); at != std::string::npos; at = text.find(name, at + 1)) {
    char before = at ? text[at - 1] : ' ', after = text.c_str()[at + name.size()];
    if (strchr(" *&", before) && strchr("(`)[", after)) return true;
  }
  return false;
}

bool reads_as(const std::string &decorated, const std::string &text, const std::string &name) {
  static const std::regex c_name(R"(^(?:_(?!_imp_)([^@]+)(?:@\d+)?|@([^@]+)@\d+)$)");
  std::smatch m;
  if (name == decorated) return true;
  if (std::regex_match(decorated, m, c_name)) return name == m[1].str() + m[2].str();
  return !text.empty() && holds_name(text, name);
}

bool UndnameOracle::read(const std::vector<std::string> &names, const std::string &scratch) {
  std::vector<std::string> list;
  for (const std::string &n : names)
    if (n.size() > 1 && n[0] == '?') list.push_back(n);
  std::vector<std::string> read_texts;
  if (!undname_texts(list, scratch, &read_texts)) return false;
  for (size_t i = 0; i < list.size(); i++) texts[list[i]] = read_texts[i];
  return true;
}

bool UndnameOracle::reads_as(const std::string &decorated, const std::string &name) const {
  auto found = texts.find(decorated);
  return ::reads_as(decorated, found == texts.end() ? "" : found->second, name);
}
