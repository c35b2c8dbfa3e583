#include "plugins/dwarfread/tests/dwarfdump_oracle.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <sstream>

std::vector<std::string> run_lines(const std::string &command) {
  std::vector<std::string> lines;
  FILE *p = popen((command + " 2>/dev/null").c_str(), "r");
  if (!p) return lines;
  char line[8192];
  while (fgets(line, sizeof line, p)) {
    size_t n = strlen(line);
    while (n && (line[n - 1] == '\n' || line[n - 1] == '\r')) line[--n] = 0;
    lines.push_back(line);
  }
  pclose(p);
  return lines;
}

std::vector<OracleDie> dwarfdump_entries(const std::string &file) {
  std::vector<OracleDie> dies;
  std::vector<std::pair<size_t, int>> open;  // (indent, index)
  for (const std::string &line : run_lines("llvm-dwarfdump-14 --debug-info '" + file + "'")) {
    if (line.compare(0, 2, "0x") == 0 && line.find(": ") != std::string::npos) {
      size_t colon = line.find(':');
      size_t tag_at = line.find_first_not_of(' ', colon + 1);
      if (tag_at == std::string::npos || line.compare(tag_at, 7, "DW_TAG_") != 0) {
        if (tag_at != std::string::npos && line.compare(tag_at, 4, "NULL") == 0)
          while (!open.empty() && open.back().first >= tag_at) open.pop_back();
        continue;
      }
      while (!open.empty() && open.back().first >= tag_at) open.pop_back();
      OracleDie die{strtoull(line.c_str(), nullptr, 16), open.empty() ? -1 : open.back().second,
                    line.substr(tag_at), {}};
      dies.push_back(die);
      open.push_back({tag_at, (int)dies.size() - 1});
    } else if (!dies.empty()) {
      size_t at = line.find("DW_AT_");
      size_t paren = line.find('(', at);
      if (at == std::string::npos || paren == std::string::npos) continue;
      std::string name = line.substr(at, line.find_first_of("\t ", at) - at);
      dies.back().attributes[name] = line.substr(paren + 1, line.size() - paren - 2);
    }
  }
  return dies;
}

std::string oracle_quoted(const std::string &text) {
  size_t open = text.find('"');
  size_t close = text.rfind('"');
  return open != std::string::npos && close > open ? text.substr(open + 1, close - open - 1) : "";
}

bool oracle_number(const std::string &text, uint64_t *number) {
  size_t at = text.find("0x");
  if (at == std::string::npos) return false;
  *number = strtoull(text.c_str() + at, nullptr, 16);
  return true;
}

namespace {

// Statement rows in program order; of consecutive ones at one address within a sequence
// only the last covers any address.
struct RowRun {
  OracleRows rows;
  std::pair<uint64_t, uint32_t> last = {~0ull, 0};
  void add(uint64_t address, uint32_t line) {
    if (last.first == address) rows.erase(last);
    last = {address, line};
    rows.insert(last);
  }
  void end_sequence() { last = {~0ull, 0}; }
};

}  // namespace

OracleRows dwarfdump_rows(const std::string &file) {
  RowRun run;
  for (const std::string &line : run_lines("llvm-dwarfdump-14 --debug-line '" + file + "'")) {
    if (line.find("end_sequence") != std::string::npos) run.end_sequence();
    if (line.compare(0, 2, "0x") != 0 || line.find("is_stmt") == std::string::npos ||
        line.find("end_sequence") != std::string::npos)
      continue;
    std::istringstream fields(line);
    std::string address;
    uint32_t number = 0;
    fields >> address >> number;
    run.add(strtoull(address.c_str(), nullptr, 16), number);
  }
  return run.rows;
}

OracleRows objdump_rows(const std::string &file) {
  RowRun run;
  for (const std::string &line : run_lines("objdump --dwarf=decodedline '" + file + "'")) {
    std::istringstream fields(line);
    std::vector<std::string> words;
    for (std::string w; fields >> w;) words.push_back(w);
    if (words.size() < 3 || words[2].compare(0, 2, "0x") != 0) continue;
    // A sequence ends with a row whose line is "-".
    char *end = nullptr;
    unsigned long number = strtoul(words[1].c_str(), &end, 10);
    if (*end) run.end_sequence();
    if (*end || words.back() != "x") continue;
    run.add(strtoull(words[2].c_str(), nullptr, 16), (uint32_t)number);
  }
  return run.rows;
}

std::vector<std::pair<uint64_t, std::string>> nm_symbols(const std::string &file) {
  std::vector<std::pair<uint64_t, std::string>> symbols;
  // Portable form: name, type, value, size; an archive's members are headed "name[member]:".
  for (const std::string &line : run_lines("i686-w64-mingw32-nm -P '" + file + "'")) {
    std::istringstream in(line);
    std::string name, type, value;
    if (in >> name >> type >> value && type.size() == 1)
      symbols.push_back({strtoull(value.c_str(), nullptr, 16), name});
  }
  return symbols;
}

std::vector<std::string> cxxfilt_names(const std::vector<std::string> &names) {
  char path[] = "/tmp/kq-cxxfilt-XXXXXX";
  int fd = mkstemp(path);
  if (fd < 0) return {};
  FILE *f = fdopen(fd, "w");
  for (const std::string &name : names) fprintf(f, "%s\n", name.c_str());
  fclose(f);
  std::vector<std::string> lines = run_lines(std::string("c++filt < ") + path);
  unlink(path);
  return lines.size() == names.size() ? lines : std::vector<std::string>();
}
