// The script language: statements, values, comments, variables and the errors with their
// line numbers, each case shown as a dump of the tables it compiles into.
#include <gtest/gtest.h>

#include <string>

#include "setup/options.h"
#include "setup/script.h"
#include "setup/tests/setup_fixture.h"
#include "util/zone.h"

// One line per table entry: "value0 name=value", "link1 title>target",
// "file dest size [temp]", then the header strings and the error.
static std::string dump(const PackageInfo &info, const ScriptError &error) {
  std::string out;
  for (uint32_t i = 0; i < info.value_count; i++)
    out += "value" + std::to_string(info.values[i].kind) + " " +
           package_string(&info, info.values[i].name) + "=" +
           package_string(&info, info.values[i].value) + "\n";
  for (uint32_t i = 0; i < info.link_count; i++)
    out += "link" + std::to_string(info.links[i].kind) + " " +
           package_string(&info, info.links[i].title) + ">" +
           package_string(&info, info.links[i].target) + "\n";
  for (uint32_t i = 0; i < info.file_count; i++)
    out += std::string("file ") + package_string(&info, info.files[i].destination) + " " +
           std::to_string(info.files[i].size) + (info.files[i].temporary ? " temp" : "") + "\n";
  out += std::string("header ") + package_string(&info, info.header.company) + "|" +
         package_string(&info, info.header.product) + "|" +
         package_string(&info, info.header.regkey) + "|" +
         package_string(&info, info.header.folder) + "\n";
  if (error.text[0]) out += error.text;
  return out;
}

class ScriptTest : public ScratchTest {
 protected:
  std::string compile(const std::string &text) {
    PackageInfo info = {};
    Variables vars = {};
    ScriptError error;
    script_compile(text.data(), text.size(), &g_setup_files, scratch_.c_str(), &info, &vars,
                   &error);
    std::string out = dump(info, error);
    package_free(&info);
    variables_free(&vars);
    return out;
  }
};

TEST_F(ScriptTest, StatementsCompileIntoTables) {
  ASSERT_TRUE(write_bytes(path("one.txt"), "1"));
  ASSERT_TRUE(write_bytes(path("two.TXT"), "22"));
  ASSERT_TRUE(setup_make_folders(&g_setup_files, path("sub\\deeper").c_str()));
  ASSERT_TRUE(write_bytes(path("sub\\three.txt"), "333"));
  struct Case {
    const char *script, *dump;
  } cases[] = {
      // the batch part before "#pack" is not read
      {"echo set $X=1;\r\n#pack\r\nset $A=\"x\";local n,$A;", "value0 n=x\nheader |||\n"},
      {"#pack\nset $A = \"x\" ;\nlocal n , $A ;", "value0 n=x\nheader |||\n"},
      // quoted values keep "," and ";"; single quotes too; bare values end at ","
      {"#pack\nglobal 'a,b', \"c;d\";", "value1 a,b=c;d\nheader |||\n"},
      // fewer operands than three still need their ";"; missing ones are empty
      {"#pack\nlocal only;", "value0 only=\nheader |||\n"},
      {"#pack\nlocal only", "header |||\nError in 2: Semicolon expected"},
      // comments where a statement or value may begin
      {"#pack\n# a comment; local x,y;\nmenu Title, # why\n \"bin\\a.exe\";",
       "link0 Title>bin\\a.exe\nheader |||\n"},
      // variables: set twice replaces; lookup ignores case; one pass of expansion when a
      // string is stored; $PATH stays for installation
      {"#pack\nset $P=one; set $P=two; set $Folder=\"$p\\sub\";\ndesk $PATH\\x, $FOLDER;",
       "link1 $PATH\\x>$p\\sub\nheader |||two\\sub\n"},
      {"#pack\nset $COMPANY=Acme; set $PRODUCT='Widget Pro'; set $REGKEY=W; set $FOLDER=A\\W;",
       "header Acme|Widget Pro|W|A\\W\n"},
      // an operator needs a non-letter after it
      {"#pack\nsetting $A=1;", "header |||\nError in 2: Unknown operator"},
      {"#pack\nlocal a,b;\n\nwhat x;\nlocal c,d;", "value0 a=b\nheader |||\nError in 4: Unknown operator"},
      {"#pack\nset A=1;", "header |||\nError in 2: $name expected"},
      {"#pack\nset $A 1;", "header |||\nError in 2: Assignment expected"},
      {"line one\nline two\n", "header |||\nError in 3: Cannot find '#pack' label\n"},
      // files: the pattern's folder becomes the destination's, or the given folder
      {"#pack\nfile *.txt;", "file one.txt 1\nfile two.TXT 2\nheader |||\n"},
      {"#pack\nfile sub\\*.*; file o*.txt, docs\\text; temp cache.tmp;",
       "file sub\\three.txt 3\nfile docs\\text\\one.txt 1\nfile cache.tmp 0 temp\nheader |||\n"},
      {"#pack\nfile nothing*.here;", "header |||\n"},
  };
  for (const Case &c : cases) EXPECT_EQ(compile(c.script), c.dump) << c.script;
}

TEST_F(ScriptTest, StringsAreStoredOnce) {
  PackageInfo info = {};
  Variables vars = {};
  ScriptError error;
  std::string text = "#pack\nset $PRODUCT=Widget;\nmenu $PRODUCT, w.exe;\nlocal Widget, w.exe;\n";
  ASSERT_TRUE(script_compile(text.data(), text.size(), &g_setup_files, "", &info, &vars, &error));
  EXPECT_EQ(info.links[0].title, info.header.product);
  EXPECT_EQ(info.values[0].name, info.header.product);
  EXPECT_EQ(info.values[0].value, info.links[0].target);
  EXPECT_NE(log_text().find("Batch is OK"), std::string::npos);
  EXPECT_NE(log_text().find("name='$PRODUCT' value='Widget'"), std::string::npos);
  package_free(&info);
  variables_free(&vars);
}

TEST(Variables, ExpansionAndLookup) {
  Variables vars = {};
  variables_set(&vars, "$A", "alpha");
  variables_set(&vars, "$Empty", nullptr);
  variables_set(&vars, "$a", "second");  // another name: setting is case-sensitive
  struct Case {
    const char *text, *expanded;
  } cases[] = {
      {"$A-$a", "alpha-alpha"},  // lookup takes the first without regard to case
      // a variable without a value gives its own name; an unknown one stays
      {"x$EMPTY\\$Missing$", "x$Empty\\$Missing$"},
      {"$A_B $A.b", "$A_B alpha.b"},
      {"", ""},
  };
  for (const Case &c : cases) {
    char out[KQ_PATH];
    variables_expand(&vars, c.text, out, sizeof out);
    EXPECT_STREQ(out, c.expanded) << c.text;
  }
  EXPECT_STREQ(variables_lookup(&vars, "$empty"), "$Empty");
  EXPECT_EQ(variables_lookup(&vars, "$none"), nullptr);
  char small[6];
  variables_expand(&vars, "$A$A", small, sizeof small);
  EXPECT_STREQ(small, "alpha");
  variables_free(&vars);
}

TEST(CommandLine, ArgumentsAndOptions) {
  struct Case {
    const char *line, *pack, *out, *source;
    bool silent;
    int count;
  } cases[] = {
      {"setup.exe -PACK=kq /out:\"C:\\My Files\\x.exe\" -silent", "kq", "C:\\My Files\\x.exe", "",
       true, 4},
      {"\"C:\\Program Files\\setup.exe\"  -Source=src -pack:a.b -unknown=1", "a.b", "", "src",
       false, 4},
      {"setup.exe -PACKAGE=x -pack", "", "", "", false, 3},
      {"", "", "", "", false, 0},
  };
  for (const Case &c : cases) {
    SetupOptions options;
    EXPECT_EQ(setup_parse_arguments(c.line, &options), c.count) << c.line;
    EXPECT_STREQ(options.pack, c.pack) << c.line;
    EXPECT_STREQ(options.out, c.out) << c.line;
    EXPECT_STREQ(options.source, c.source) << c.line;
    EXPECT_EQ(options.silent, c.silent) << c.line;
  }
}
