#include "plugins/tests/winedump_oracle.h"

#include <stdio.h>
#include <sys/wait.h>

#include <regex>

#include "plugins/tests/recording_api.h"

namespace {

const std::regex kModule(R"(--------symbol file-----------)");
const std::regex kProcedure(
    R"(=>\s+(Global|Local)-Proc V2: '(.*)' \(([0-9a-f]{4}):([0-9a-f]{8})#)");
const std::regex kPublic(R"(=>\s+Public V[12] '(.*)' ([0-9a-f]{4}):([0-9a-f]{8}) )");
const std::regex kData(R"(=>\s+(Global|Local)-Data V2 '(.*)' ([0-9a-f]{4}):([0-9a-f]{8}) type:)");
const std::regex kThunk(R"(=>\s+Thunk V1 '(.*)' \(([0-9a-f]{4}):([0-9a-f]{8})#)");
const std::regex kLocal(R"(=>\s+BP-relative V2: '(.*)' @(-?\d+) type:)");
const std::regex kFile(R"(lines for file #\d+/\d+ (.*) (\d+)$)");
const std::regex kBlock(R"(^\s+([0-9a-f]{4}):([0-9a-f]{8})-([0-9a-f]{8}) #(\d+)$)");
const std::regex kPair(R"(^\s+([0-9a-f]+) (\d+)$)");

uint32_t hex(const std::string &text) { return (uint32_t)std::stoul(text, nullptr, 16); }

OracleSymbol symbol(const std::string &name, const std::string &segment,
                    const std::string &offset) {
  return OracleSymbol{name, (uint16_t)hex(segment), hex(offset), ""};
}

}  // namespace

bool winedump_read(const std::string &path, OracleDump *dump) {
  std::string command = "winedump-stable dump '" + path + "' 2>/dev/null";
  FILE *pipe = popen(command.c_str(), "r");
  if (!pipe) return false;
  char buffer[4096];
  uint16_t segment = 0;
  int pairs_left = 0;
  std::smatch m;
  while (fgets(buffer, sizeof buffer, pipe)) {
    std::string line(buffer);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (pairs_left > 0 && std::regex_match(line, m, kPair)) {
      dump->files.back().addresses.push_back(recorded_address(segment, hex(m[1])));
      dump->files.back().lines.push_back((uint16_t)std::stoul(m[2]));
      pairs_left--;
    } else if (!dump->files.empty() && std::regex_match(line, m, kBlock)) {
      segment = (uint16_t)hex(m[1]);
      pairs_left = std::stoi(m[4]);
    } else if (std::regex_search(line, m, kFile)) {
      dump->files.push_back(OracleFile{m[1], std::stoi(m[2]), {}, {}});
    } else if (std::regex_search(line, m, kProcedure)) {
      dump->procedures.push_back(symbol(m[2], m[3], m[4]));
    } else if (std::regex_search(line, m, kPublic)) {
      dump->publics.push_back(symbol(m[1], m[2], m[3]));
    } else if (std::regex_search(line, m, kLocal)) {
      if (!dump->procedures.empty())
        dump->procedures.back().locals += m[1].str() + "@" + m[2].str() + " ";
    } else if (std::regex_search(line, m, kData)) {
      dump->data.push_back(symbol(m[2], m[3], m[4]));
    } else if (std::regex_search(line, m, kThunk)) {
      dump->thunks.push_back(symbol(m[1], m[2], m[3]));
    } else if (std::regex_search(line, kModule)) {
      dump->modules++;
    }
  }
  int status = pclose(pipe);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
