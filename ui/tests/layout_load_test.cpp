// Loading layout scripts from files: what reaches the log, scripts that cannot be used,
// the fall-back to the built-in script and the syntax error that ends the program.
#include <string>

#include "layout_test_support.h"
#include "util/zone.h"

namespace {

// A script file of the test's own in the working folder, removed again.
struct ScriptFile {
  std::string path;
  ScriptFile(const char *name, const std::string &text) : path(temp_log_path(name)) {
    EXPECT_TRUE(write_file(path, text));
  }
  ~ScriptFile() { remove(path.c_str()); }
};

struct LoadCase {
  const char *name;
  const char *script;  // null: no such file
  LayoutResult result;
  const char *log;     // after "Parsing layout script '<file>'\n"; %s is the file
};

const LoadCase kLoads[] = {
    {"missing", nullptr, LAYOUT_CANNOT_OPEN, "WARNING: Cannot open '%s'\n"},
    {"comments", "<< nothing but >>\n  <<comments>>\n", LAYOUT_NO_HOLDER, ""},
    {"syntax", "<holder id=A>\n<section id=a>\n</section>", LAYOUT_SYNTAX_ERROR,
     "Error:Unexpected close tag class: holder -> section in line 3\n"},
    {"unknown", "<holder id=A><section id=a left=zz></holder>", LAYOUT_LOADED,
     "WARNING: Unknown section zz\n"},
    // Two sections without sides both fill the holder.
    {"cover", "<holder id=Both><section id=a><section id=b></holder>", LAYOUT_INCONSISTENT,
     "WARNING: Holder 'Both' cannot be laid out: two sections are not kept apart by bars\n"},
    // Naming itself as its left neighbour gives a section bars of its own that no
    // border reaches.
    {"self", "<holder id=Ok><section id=a></holder><holder id=Self><section id=a left=a></holder>",
     LAYOUT_INCONSISTENT,
     "WARNING: Holder 'Self' cannot be laid out: a section is not reached from the borders\n"},
};

// A row of n sections, each right of the one before.
std::string row_of(int n) {
  std::string text = "<holder id=Row><section id=s0>";
  for (int i = 1; i < n; i++)
    text += "<section id=s" + std::to_string(i) + " left=s" + std::to_string(i - 1) + ">";
  return text + "</holder>";
}

TEST(LayoutLoad, SectionsPerHolder) {
  Layout layout = {};
  EXPECT_EQ(read_script(&layout, row_of(256)), LAYOUT_LOADED);
  ASSERT_TRUE(layout_relayout(layout.holders[0], 2560, 10));
  EXPECT_EQ(rect_text(layout.holders[0]->sections[255]->rect), "2550 0 2560 10");
  std::string log = open_test_log("layout_sections");
  EXPECT_EQ(read_script(&layout, row_of(257)), LAYOUT_INCONSISTENT);
  EXPECT_EQ(log_body(log), "WARNING: Holder 'Row' cannot be laid out: it has more than 256 sections\n");
  remove(log.c_str());
  layout_free(&layout);
}

TEST(LayoutLoad, FilesAndWhatTheLogSays) {
  for (const LoadCase &c : kLoads) {
    SCOPED_TRACE(c.name);
    std::string log = open_test_log("layout_load");
    ScriptFile file("layout_load_script", c.script ? c.script : "");
    std::string name = c.script ? file.path : file.path + ".none";
    int blocks = zone_block_count();
    Layout layout = {};
    EXPECT_EQ(layout_read_file(&layout, name.c_str(), 0xABCDEF), c.result);
    EXPECT_EQ(layout.holdernum > 0, c.result == LAYOUT_LOADED);
    layout_free(&layout);
    EXPECT_EQ(zone_block_count(), blocks);
    char expect[1024];
    snprintf(expect, sizeof expect, c.log, name.c_str());
    EXPECT_EQ(log_body(log), "Parsing layout script '" + name + "'\n" + expect);
    remove(log.c_str());
  }
}

TEST(LayoutLoad, HolderParameters) {
  Layout layout = {};
  ASSERT_EQ(read_script(&layout,
                        "<holder id=A group=G bgcolor=Cyan><section id=a framed=false></holder>"
                        "<holder id=B bgcolor=purple><section framed=0x100 id=b></holder>"),
            LAYOUT_LOADED);
  Holder *a = holder_named(&layout, "A"), *b = holder_named(&layout, "B");
  EXPECT_STREQ(a->group, "G");
  EXPECT_EQ(a->bgcolor, 0xFFFF00u);
  EXPECT_EQ(b->group, nullptr);
  EXPECT_EQ(b->bgcolor, 0x123456u) << "an unknown colour keeps the common background";
  EXPECT_FALSE(a->sections[0]->framed);
  EXPECT_FALSE(b->sections[0]->framed) << "0x100 has a zero low byte";
  layout_free(&layout);
}

// A file that cannot be used leaves the built-in script in its place, never an empty
// screen.
TEST(LayoutLoad, FallsBackToTheBuiltInScript) {
  const std::string builtin = default_script();
  struct {
    const char *name;
    const char *script;
    const char *warning;  // %s: the file
    const char *why;      // for the user
  } cases[] = {
      {"missing", nullptr, "WARNING: Cannot open '%s'\n", ""},
      {"no holder", "<<empty>>", "WARNING: Layout script '%s' defines no holder\n", ""},
      {"inconsistent", "<holder id=X><section><section></holder>",
       "WARNING: Holder 'X' cannot be laid out: two sections are not kept apart by bars\n", ""},
      {"syntax", "<holder>\n<section id=code>\n</holder >\n", "Error:Unterminated tag in line 3\n",
       "Unterminated tag in line 3"},
  };
  for (auto &c : cases) {
    SCOPED_TRACE(c.name);
    std::string log = open_test_log("layout_fallback");
    ScriptFile file("layout_fallback_script", c.script ? c.script : "");
    std::string name = c.script ? file.path : file.path + ".none";
    Layout layout = {};
    char why[100] = "unchanged";
    EXPECT_TRUE(layout_load(&layout, name.c_str(), builtin.data(), builtin.size(), 0, why,
                            sizeof why));
    EXPECT_STREQ(why, c.why);
    EXPECT_EQ(layout.holdernum, 12);
    EXPECT_TRUE(holder_named(&layout, "Cover"));
    layout_free(&layout);
    char warning[1024];
    snprintf(warning, sizeof warning, c.warning, name.c_str());
    std::string body = log_body(log);
    EXPECT_NE(body.find(warning), std::string::npos) << body;
    EXPECT_NE(body.find("Using the built-in layout script instead of '" + name + "'\n"),
              std::string::npos) << body;
    remove(log.c_str());
  }
  // A script that loads is used as it is.
  ScriptFile file("layout_fallback_good", "<holder id=Mine><section id=cover></holder>");
  Layout layout = {};
  EXPECT_TRUE(layout_load(&layout, file.path.c_str(), builtin.data(), builtin.size(), 0));
  EXPECT_EQ(layout.holdernum, 1);
  EXPECT_STREQ(layout.holders[0]->id, "Mine");
  layout_free(&layout);
}

}  // namespace
