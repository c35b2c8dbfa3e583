// The script reader: elements, parameters and every syntax error, and the readers of
// parameter values.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "ui/layout_script.h"
#include "ui/layout_values.h"
#include "util/zone.h"

namespace {

// H{name=value,...}[children] for a holder, S{...} for a section.
std::string tree_text(const LayoutNode *node) {
  std::string text;
  for (int i = 0; i < node->childnum; i++) {
    const LayoutNode *c = node->children[i];
    EXPECT_EQ(c->parent, node);
    text += c->kind == LAYOUT_HOLDER ? "H{" : "S{";
    for (char **p = c->params; p[0]; p += 2) {
      text += p[0];
      text += "=";
      text += p[1];
      if (p[2]) text += ",";
    }
    text += "}";
    if (c->kind == LAYOUT_HOLDER) text += "[" + tree_text(c) + "]";
  }
  return text;
}

struct ParseCase {
  const char *name;
  std::string script;
  const char *tree;   // null: a syntax error
  const char *error;  // the message of the error
};

std::string long_word(int n) { return std::string(n, 'w'); }

TEST(LayoutScript, ElementsParametersAndErrors) {
  const ParseCase cases[] = {
      {"holder with section", "<holder id=A group=G bgcolor=red>\n  <section id=x width=140>\n</holder>",
       "H{id=A,group=G,bgcolor=red}[S{id=x,width=140}]", nullptr},
      {"blanks after < and =, none at all", "< holder id= A><section\tid=x></holder><holder></holder>",
       "H{id=A}[S{id=x}]H{}[]", nullptr},
      {"comments anywhere blanks are skipped", "<<top>>\n<holder <<c>> id=<<c>>A><<</x>>\n</holder><<end>>",
       "H{id=A}[]", nullptr},
      {"quoted words keep separators", "<\"holder\" id=\"my holder\" group=\"a=b<c>\"></\"holder\">",
       "H{id=my holder,group=a=b<c>}[]", nullptr},
      {"an unterminated quote runs to the end", "<holder id=\"A>", nullptr, "Unexpected end of file"},
      {"parameter without value", "<holder><section framed id=x></holder>",
       "H{}[S{framed=,id=x}]", nullptr},
      {"later duplicate kept in the node", "<holder id=a id=b></holder>", "H{id=a,id=b}[]", nullptr},
      {"nested holder", "<holder id=A><section id=a><holder id=B><section id=b></holder><section id=c></holder>",
       "H{id=A}[S{id=a}H{id=B}[S{id=b}]S{id=c}]", nullptr},
      {"empty text", "", "", nullptr},
      {"only comments and blanks", " <<one>>\n\t<<two>> ", "", nullptr},
      {"a zero byte ends the text", std::string("<holder></holder>\0<garbage", 26), "H{}[]", nullptr},
      {"word of 255 characters", "<holder id=" + long_word(255) + "></holder>",
       nullptr, nullptr},  // checked below
      {"unterminated comment", "<holder>\n<< no end >", nullptr, "Unexpected end of line"},
      {"comment closing a holder swallows the close", "<holder><<</holder>>></holder>", nullptr,
       "Unknown syntax"},
      {"text outside elements", "holder", nullptr, "Unknown syntax"},
      {"no class name", "< >", nullptr, "Class name expected"},
      {"class name at the end", "<", nullptr, "Class name expected"},
      {"end inside the parameters", "<holder id=A", nullptr, "Unexpected end of file"},
      {"end inside a holder", "<holder id=A>\n<section id=a>\n", nullptr, "Unexpected end of file"},
      {"value without name", "<holder =A>", nullptr, "Param name expected"},
      {"blank before the equals sign", "<holder id =A>", nullptr, "Param name expected"},
      {"colon after a value", "<holder id=a:b>", nullptr, "Param name expected"},
      {"equals sign without value", "<holder id=>", nullptr, "Param value expected"},
      {"empty quoted value", "<holder id=\"\">", nullptr, "Param value expected"},
      {"section outside a holder", "<section id=a>", nullptr, "Cannot create #section here"},
      {"unknown class", "<holder><panel></holder>", nullptr, "Cannot create #panel here"},
      {"classes are case-sensitive", "<Holder>", nullptr, "Cannot create #Holder here"},
      {"close tag at the top", "</holder>", nullptr, "Cannot create #/holder here"},
      {"close tag without name", "<holder></>", nullptr, "Close tag name expected"},
      {"blank before the close name", "<holder></ holder>", nullptr, "Close tag name expected"},
      {"blank before the close bracket", "<holder></holder >", nullptr, "Unterminated tag"},
      {"section closed", "<holder><section id=a></section></holder>", nullptr,
       "Unexpected close tag class: holder -> section"},
      {"close name in another case", "<holder></Holder>", nullptr,
       "Unexpected close tag class: holder -> Holder"},
      {"word of 256 characters", "<holder id=" + long_word(256) + "></holder>", nullptr,
       "Word longer than 255 characters"},
  };
  for (const ParseCase &c : cases) {
    SCOPED_TRACE(c.name);
    int blocks = zone_block_count();
    char error[260] = "unchanged";
    LayoutNode *root = layout_parse(c.script.data(), c.script.size(), error, sizeof error);
    if (c.tree) {
      ASSERT_TRUE(root) << error;
      EXPECT_EQ(root->kind, LAYOUT_ROOT);
      EXPECT_EQ(tree_text(root), c.tree);
      EXPECT_STREQ(error, "");
    } else if (c.error) {
      EXPECT_FALSE(root);
      EXPECT_STREQ(error, c.error);
    } else {
      ASSERT_TRUE(root) << error;
      EXPECT_EQ(strlen(layout_param(root->children[0], "id")), 255u);
    }
    root = layout_free_tree(root);
    EXPECT_EQ(zone_block_count(), blocks) << "the tree and the parse buffer are freed";
  }
}

TEST(LayoutScript, ParamLookupTakesTheLastOne) {
  const char text[] = "<holder id=a group=g id=b flag></holder>";
  char error[260];
  LayoutNode *root = layout_parse(text, sizeof text - 1, error, sizeof error);
  ASSERT_TRUE(root);
  const LayoutNode *h = root->children[0];
  EXPECT_STREQ(layout_param(h, "id"), "b");
  EXPECT_STREQ(layout_param(h, "flag"), "");
  EXPECT_EQ(layout_param(h, "ID"), nullptr);
  EXPECT_EQ(layout_param(h, "bgcolor"), nullptr);
  layout_free_tree(root);
}

// Thousands of nested holders read and free in constant stack.
TEST(LayoutScript, DeepNesting) {
  const int depth = 20000;
  std::string text;
  for (int i = 0; i < depth; i++) text += "<holder>";
  for (int i = 0; i < depth; i++) text += "</holder>";
  char error[260];
  LayoutNode *root = layout_parse(text.data(), text.size(), error, sizeof error);
  ASSERT_TRUE(root) << error;
  int levels = 0;
  for (const LayoutNode *n = root; n->childnum; n = n->children[0]) levels++;
  EXPECT_EQ(levels, depth);
  layout_free_tree(root);
}

TEST(LayoutValues, SizeSpecs) {
  struct {
    const char *text;
    bool ok;
    float rel, min;
  } cases[] = {
      {"30%", true, 0.3f, 1.0f},   {"%30", true, 0.3f, 1.0f},  {"%30%", true, 0.3f, 1.0f},
      {"140", true, 0.0f, 140.0f}, {"*", true, -1.0f, 0.0f},   {"abc", false, -1.0f, 1.0f},
      {"%", false, -1.0f, 1.0f},   {"**", false, -1.0f, 1.0f}, {"", false, -1.0f, 1.0f},
      {"12.5px", true, 0.0f, 12.5f}, {" 50", true, 0.0f, 50.0f}, {"0", true, 0.0f, 0.0f},
      // A negative or unbounded size means nothing on a screen: refused like no number.
      {"-5", false, -1.0f, 1.0f},  {"-100%", false, -1.0f, 1.0f}, {"1e30", false, -1.0f, 1.0f},
      {"nan", false, -1.0f, 1.0f}, {"inf%", false, -1.0f, 1.0f},
      {"100000", true, 0.0f, 100000.0f}, {"100001", false, -1.0f, 1.0f},
  };
  for (auto &c : cases) {
    SizeSpec spec = {-1.0f, 1.0f};
    EXPECT_EQ(layout_size_spec(c.text, &spec), c.ok) << c.text;
    EXPECT_FLOAT_EQ(spec.rel, c.rel) << c.text;
    EXPECT_FLOAT_EQ(spec.min, c.min) << c.text;
  }
}

TEST(LayoutValues, ColourNamesAndTruth) {
  struct {
    const char *name;
    bool ok;
    uint32_t colour;
  } colours[] = {{"black", true, 0x000000},   {"Red", true, 0x0000FF},    {"BLUE", true, 0xFF0000},
                 {"cyan", true, 0xFFFF00},    {"green", true, 0x00FF00},  {"yellow", true, 0x00FFFF},
                 {"magenta", true, 0xFF00FF}, {"white", true, 0xFFFFFF},  {"purple", false, 0xABCDEF},
                 {"#FF0000", false, 0xABCDEF}};
  for (auto &c : colours) {
    uint32_t colour = 0xABCDEF;
    EXPECT_EQ(layout_colour(c.name, &colour), c.ok) << c.name;
    EXPECT_EQ(colour, c.colour) << c.name;
  }
  struct {
    const char *text;
    bool value;
  } truths[] = {{"true", true},  {"TRUE", true}, {"False", false}, {"1", true},  {"0", false},
                {"256", false},  {"0x101", true}, {"#100", false}, {"#1", true}, {"010", true},
                {"-1", true},    {"yes", false},  {"", false}};
  for (auto &t : truths) EXPECT_EQ(layout_truth(t.text), t.value) << t.text;
}

}  // namespace
