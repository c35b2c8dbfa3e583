#include "plugins/tests/pdbutil_oracle.h"

#include <stdio.h>
#include <stdlib.h>

#include <map>
#include <regex>
#include <set>
#include <vector>

#include "plugins/tests/recording_api.h"

namespace {

std::string address_text(const std::string &section, const std::string &offset, int base) {
  uint32_t address = recorded_address((uint16_t)strtoul(section.c_str(), nullptr, 10),
                                      (uint32_t)strtoul(offset.c_str(), nullptr, base));
  return std::to_string(address);
}

}  // namespace

bool pdbutil_read(const std::string &pdb, PdbutilDump *dump) {
  std::string command =
      "llvm-pdbutil-14 dump -symbols -globals -publics -l -types '" + pdb + "' 2>/dev/null";
  FILE *pipe = popen(command.c_str(), "r");
  if (!pipe) return false;
  const std::regex record(R"(\| (S_\w+|LF_\w+) \[size = \d+\](?: `(.*)`)?)");
  const std::regex addr(R"(addr = (\d{4}):(\d+))");
  const std::regex offset(R"(offset = (-?\d+))");
  const std::regex member(R"(- LF_MEMBER \[name = `(.*)`, Type = .*, offset = (\d+),)");
  const std::regex size(R"(options: (.*), sizeof (\d+))");
  const std::regex fieldlist(R"(field list: (0x[0-9A-F]+))");
  const std::regex original(R"(original type = (0x[0-9A-F]+))");
  const std::regex type_index(R"(^\s*(0x[0-9A-F]+) \|)");
  const std::regex block(R"(^  (\d{4}):[0-9A-F]{8}-[0-9A-F]{8}, line/addr entries)");
  const std::regex pair(R"((\d+) ([0-9A-F]{8}))");
  std::string section, kind, name, file, line_section, frame_register = "EBP", pending_local;
  std::string procedure, locals, list, type;
  std::map<std::string, std::string> members;                   // field list index -> its members
  std::vector<std::pair<std::string, std::string>> structures;  // head, field list
  // Typedefs of structures and enumerations; by index, a structure's name, size, field list.
  std::vector<std::pair<std::string, std::string>> typedefs;  // name, type
  std::map<std::string, std::vector<std::string>> heads;
  std::set<std::string> enum_types;
  auto end_procedure = [&] {
    if (!procedure.empty()) dump->procedures.insert(procedure + ":" + locals);
    procedure.clear();
    locals.clear();
  };
  char buffer[4096];
  std::smatch m;
  while (fgets(buffer, sizeof buffer, pipe)) {
    std::string text(buffer);
    if (text.size() && text.back() == '\n') text.pop_back();
    std::string trimmed = text.substr(std::min(text.find_first_not_of(' '), text.size()));
    trimmed.erase(trimmed.find_last_not_of(' ') + 1);
    if (trimmed == "Symbols" || trimmed == "Global Symbols" || trimmed == "Public Symbols" ||
        trimmed == "Lines" || trimmed == "Types (TPI Stream)") {
      end_procedure();
      section = trimmed;
      continue;
    }
    if (section == "Lines") {
      if (std::regex_search(text, m, block)) {
        line_section = m[1];
      } else if (text.rfind(" ", 0) == 0 && !file.empty()) {
        for (std::sregex_iterator i(text.begin(), text.end(), pair), e; i != e; ++i) {
          uint32_t line = (uint32_t)strtoul((*i)[1].str().c_str(), nullptr, 10);
          if (line < 0xF00000)
            dump->lines.insert(file + ":" + std::to_string(line) + "@" +
                               address_text(line_section, (*i)[2], 16));
        }
      } else if (text.rfind("Mod ", 0) != 0 && text.rfind("  ", 0) != 0 && !text.empty()) {
        file = text.substr(0, text.find(" (MD5"));
        if (file.rfind("(unknown", 0) == 0) file.clear();
      }
      continue;
    }
    if (std::regex_search(text, m, record)) {
      kind = m[1];
      name = m[2];
      if (section == "Types (TPI Stream)" && std::regex_search(text, m, type_index)) type = m[1];
      if (kind == "S_GPROC32" || kind == "S_LPROC32" || kind == "S_GPROC32_ID" ||
          kind == "S_LPROC32_ID")
        end_procedure();
      if (kind == "S_LOCAL") pending_local = name;
      if (kind.rfind("S_DEFRANGE", 0) != 0) continue;
    }
    if (section == "Types (TPI Stream)") {
      if (std::regex_search(text, m, member)) members[type] += m[1].str() + "@" + m[2].str() + " ";
      if (std::regex_search(text, m, fieldlist)) list = m[1];
      if (kind == "LF_ENUM" && text.find("options: ") != std::string::npos &&
          text.find("forward ref") == std::string::npos) {
        dump->enums.insert(name);
        enum_types.insert(type);
      }
      if ((kind == "LF_STRUCTURE" || kind == "LF_CLASS" || kind == "LF_UNION") &&
          std::regex_search(text, m, size) && m[1].str().find("forward ref") == std::string::npos) {
        structures.push_back({(name == "<unnamed-tag>" ? "" : name) + " " + m[2].str(), list});
        heads[type] = {name, m[2].str(), list};
      }
      continue;
    }
    if (kind == "S_UDT" && std::regex_search(text, m, original)) typedefs.push_back({name, m[1]});
    if (text.find("local fp reg = ") != std::string::npos)
      frame_register = text.substr(text.find("local fp reg = ") + 15, 3);
    if (std::regex_search(text, m, addr)) {
      std::string at = address_text(m[1], m[2], 10);
      if (kind == "S_PUB32") dump->publics.insert(name + "@" + at);
      if ((kind == "S_GDATA32" || kind == "S_LDATA32" || kind == "S_GTHREAD32" ||
           kind == "S_LTHREAD32") &&
          at != "0")
        dump->data.insert(name + "@" + at);
      if (kind == "S_GPROC32" || kind == "S_LPROC32" || kind == "S_GPROC32_ID" ||
          kind == "S_LPROC32_ID") {
        procedure = name + "@" + at;
        frame_register = "EBP";
      }
      continue;
    }
    if (!procedure.empty() && std::regex_search(text, m, offset)) {
      // A local described twice (a range and a BP-relative record) is one member.
      std::string local;
      if (kind == "S_BPREL32") local = " " + name + "@" + m[1].str();
      if ((kind == "S_DEFRANGE_FRAMEPOINTER_REL" ||
           kind == "S_DEFRANGE_FRAMEPOINTER_REL_FULL_SCOPE") &&
          !pending_local.empty() && frame_register == "EBP") {
        local = " " + pending_local + "@" + m[1].str();
        pending_local.clear();
      }
      if (!local.empty() && (locals + " ").find(local + " ") == std::string::npos) locals += local;
    }
  }
  end_procedure();
  for (const auto &s : structures) dump->structures.insert(s.first + ":" + members[s.second]);
  for (const auto &t : typedefs) {
    auto head = heads.find(t.second);
    if (head != heads.end() && head->second[0] != t.first)
      dump->structures.insert(t.first + " " + head->second[1] + ":" + members[head->second[2]]);
    if (enum_types.count(t.second)) dump->enums.insert(t.first);
  }
  return pclose(pipe) == 0;
}

namespace {

std::string command_output(const std::string &command) {
  std::string text;
  FILE *pipe = popen(command.c_str(), "r");
  if (!pipe) return text;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
  return pclose(pipe) == 0 ? text : std::string();
}

}  // namespace

bool pdbutil_procedures_by_id(const std::string &pdb, const std::string &out) {
  std::string yaml = command_output("llvm-pdbutil-14 pdb2yaml -all '" + pdb + "'");
  size_t types = yaml.find("\nTpiStream:"), ids = yaml.find("\nIpiStream:");
  if (yaml.empty() || types == std::string::npos || ids == std::string::npos) return false;
  // The id stream's records from index 0x1000: each function type's id record.
  std::map<std::string, std::string> id_of;
  const std::regex record(R"(\n    - Kind:\s+(\w+))"), function(R"(FunctionType:\s+(\d+))");
  uint32_t index = 0x1000;
  std::smatch m;
  for (std::sregex_iterator i(yaml.begin() + (long)ids, yaml.end(), record), e; i != e; ++i) {
    std::string rest = yaml.substr((size_t)(i->position() + i->length()) + ids, 200);
    if ((*i)[1] == "LF_FUNC_ID" && std::regex_search(rest, m, function))
      id_of[m[1]] = std::to_string(index);
    index++;
  }
  std::string symbols = yaml.substr(0, types), rewritten;
  bool in_procedure = false;
  size_t changed = 0;
  for (size_t at = 0, end; at < symbols.size(); at = end + 1) {
    end = symbols.find('\n', at);
    if (end == std::string::npos) end = symbols.size();
    std::string line = symbols.substr(at, end - at);
    if (line.find("- Kind:") != std::string::npos) {
      in_procedure = line.size() > 9 && line.compare(line.size() - 10, 10, " S_GPROC32") == 0;
      if (in_procedure) line += "_ID";
    }
    if (in_procedure && std::regex_search(line, m, function) && id_of.count(m[1])) {
      line = line.substr(0, (size_t)m.position(1)) + id_of[m[1]];
      changed++;
    }
    rewritten += line + "\n";
  }
  std::string yaml_path = out + ".yaml";
  FILE *f = fopen(yaml_path.c_str(), "w");
  if (!f) return false;
  fputs((rewritten + yaml.substr(types + 1)).c_str(), f);
  fclose(f);
  std::string command = "llvm-pdbutil-14 yaml2pdb -pdb='" + out + "' '" + yaml_path + "'";
  return changed > 0 && system(command.c_str()) == 0;
}
