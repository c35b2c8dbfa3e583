// The layout script reader: the text of a ".layout" file turned into a tree of elements
// with their parameters. It knows the two element classes, "holder" (a container) and
// "section" (a single tag inside a holder); what the parameters mean is read later.
#pragma once
#include <stddef.h>

enum LayoutNodeKind { LAYOUT_ROOT = 0, LAYOUT_HOLDER = 1, LAYOUT_SECTION = 2 };

// Longest word of a script (a class name, parameter name or value).
enum { LAYOUT_WORD_MAX = 255 };

struct LayoutNode {
  LayoutNode *parent;     // null for the root
  int childnum;
  LayoutNode **children;  // in file order
  // name, value, name, value, ..., null; one block holding the pointers and then the
  // strings. A parameter written without "=value" has the empty string as value.
  char **params;
  int kind;               // LayoutNodeKind
  void *object;           // the Holder or Section built for the element
};

// Parses len bytes of text (a zero byte also ends it). Gives the root of the tree, or
// null with the syntax error's message in error (cut to errorlen) and, when asked, the
// line it stands in (from 1).
LayoutNode *layout_parse(const char *text, size_t len, char *error, size_t errorlen,
                         int *error_line = nullptr);
// Frees the node and everything below it; gives null.
LayoutNode *layout_free_tree(LayoutNode *node);
// The value of the named parameter (case-sensitive; the last one given wins), or null.
const char *layout_param(const LayoutNode *node, const char *name);
