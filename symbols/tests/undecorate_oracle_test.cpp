// The undecorator against llvm-undname on every decorated name of the corpus files and of
// an object that clang compiles here for the Visual C++ target; C names against the
// identifiers of the sample's source.
#include <gtest/gtest.h>
#include <stdio.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "plugins/tests/undname_oracle.h"
#include "symbols/undecorate_msvc.h"

namespace {

std::string run(const std::string &command) {
  std::string out;
  FILE *pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  return pclose(pipe) == 0 ? out : std::string();
}

std::vector<std::string> lines_of(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Names in a file's bytes that start with "?" at the start of a string: after a NUL-ended
// run's boundary, or behind a length byte that fits them (the older symbol records).
void scan_names(const std::string &bytes, std::set<std::string> *names) {
  auto printable = [](unsigned char c) { return c > 32 && c < 127; };
  for (size_t i = 2; (i = bytes.find('?', i)) != std::string::npos; i++) {
    if (printable((unsigned char)bytes[i - 2])) continue;
    size_t length = (unsigned char)bytes[i - 1], end = i;
    while (end < bytes.size() && printable((unsigned char)bytes[end])) end++;
    std::string name;
    if (length >= 4 && end - i >= length)
      name = bytes.substr(i, length);
    else if (end < bytes.size() && bytes[end] == 0 && !printable((unsigned char)bytes[i - 1]))
      name = bytes.substr(i, end - i);
    if (name.size() >= 4 && name.find('@') != std::string::npos) names->insert(name);
  }
}

TEST(UndecorateOracle, AgreesWithLlvmUndname) {
  std::set<std::string> corpus, compiled;
  std::string files = run("find '" KQ_CORPUS "' -type f");
  for (const std::string &file : lines_of(files)) {
    std::ifstream in(file, std::ios::binary);
    scan_names(std::string(std::istreambuf_iterator<char>(in), {}), &corpus);
    if (file.size() > 4 && file.substr(file.size() - 4) == ".pdb")
      for (const std::string &line :
           lines_of(run("llvm-pdbutil-14 dump -publics -globals '" + file + "' 2>/dev/null")))
        if (line.find("S_PUB32") != std::string::npos ||
            line.find("S_GPROC32") != std::string::npos)
          corpus.insert(line.substr(line.find('`') + 1, line.rfind('`') - line.find('`') - 1));
  }
  std::string object = std::string(BUILD_DIR) + "/decorated_names_sample.obj";
  std::string symbols =
      run("clang-14 --target=i686-pc-windows-msvc -std=c++17 -fms-extensions -Wno-everything -c "
          "'" SAMPLE "' -o '" +
          object + "' && llvm-nm-14 --defined-only '" + object + "'");
  ASSERT_FALSE(symbols.empty()) << "clang-14 and llvm-nm-14 (packages clang-14, llvm-14)";
  std::ifstream sample_in(SAMPLE);
  std::string source((std::istreambuf_iterator<char>(sample_in)), {});
  size_t c_names = 0;
  for (const std::string &line : lines_of(symbols)) {
    std::string name = line.substr(line.rfind(' ') + 1);
    char out[256];
    if (name[0] == '?') {
      compiled.insert(name);
    } else if (line.find(" T ") != std::string::npos) {
      // A C function: its plain name is the one the source declares.
      EXPECT_TRUE(undecorate_msvc(name.c_str(), UNDECORATE_NAME, out, sizeof out)) << name;
      EXPECT_NE(source.find(std::string(" ") + out + "("), std::string::npos) << name;
      c_names++;
    }
  }
  EXPECT_GE(c_names, 3u);
  for (const std::set<std::string> *names : {&corpus, &compiled}) {
    std::vector<std::string> list;
    for (const std::string &n : *names)
      if (n[0] == '?') list.push_back(n);
    std::vector<std::string> oracle;
    ASSERT_TRUE(undname_texts(list, std::string(BUILD_DIR) + "/undecorate_names.txt", &oracle))
        << "llvm-undname-14 (package llvm-14)";
    size_t both = 0, full_equal = 0, name_found = 0, only_oracle = 0, strings = 0;
    for (size_t i = 0; i < list.size(); i++) {
      char name[1024], full[2048];
      bool mine = undecorate_msvc(list[i].c_str(), UNDECORATE_NAME, name, sizeof name);
      undecorate_msvc(list[i].c_str(), UNDECORATE_SIGNATURE, full, sizeof full);
      EXPECT_TRUE(mine || !strcmp(name, list[i].c_str()));
      if (oracle[i].empty()) {
        EXPECT_FALSE(mine) << list[i] << " read as " << full;
        continue;
      }
      if (!mine) {
        // String literals stay decorated; anything else is reported and counted.
        if (list[i].compare(0, 5, "??_C@") == 0)
          strings++;
        else if (++only_oracle <= 5)
          printf("not read: %s\n  %s\n", list[i].c_str(), oracle[i].c_str());
        continue;
      }
      both++;
      full_equal += oracle[i] == full;
      name_found += holds_name(oracle[i], name);
      EXPECT_EQ(oracle[i], full) << list[i];
    }
    printf(
        "%s: %zu decorated names, %zu read by both, full text equal %zu, name part found %zu, "
        "string literals left decorated %zu, read by llvm-undname only %zu\n",
        names == &corpus ? "corpus" : "clang-cl object", list.size(), both, full_equal, name_found,
        strings, only_oracle);
    EXPECT_EQ(name_found, both);
    EXPECT_GE(both, names == &corpus ? 2000u : 90u);
    EXPECT_LE(only_oracle * 100, both);  // forms the reader leaves decorated stay rare
  }
}

// Forged names that nest without end, refer back to nothing or never close: each is
// refused and handed back as it came, cut to the buffer.
TEST(UndecorateForged, RefusedAndHandedBackCut) {
  auto repeat = [](const std::string &piece, int n) {
    std::string text;
    while (n--) text += piece;
    return text;
  };
  const std::string cases[] = {
      "?f@@YAX" + repeat("PA", 1000) + "H@Z",
      "?f@@YAX" + repeat("PAU?$A@", 400) + "H" + repeat("@@", 400) + "@Z",
      "?f@@YAX" + repeat("P6AX", 500) + repeat("XZ", 500) + "@Z",
      "?x@" + repeat("?1??f@", 300) + "@3HA",
      "?f@@YAX" + repeat("V?$A@", 12) + "H" + repeat("@@0", 12) + "@Z",
      "?f@@YAX0@Z",
      "?f@@YAXH",
      "??$f@$0BBBBBBBBBBBBBBBBBBBB@@@YAXXZ",
  };
  for (const std::string &forged : cases) {
    char out[64];
    EXPECT_FALSE(undecorate_msvc(forged.c_str(), UNDECORATE_SIGNATURE, out, sizeof out));
    EXPECT_EQ(forged.substr(0, sizeof out - 1), out);
  }
}

}  // namespace
