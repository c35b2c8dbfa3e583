#include "symbols/demangle_itanium.h"

#include <string.h>

#include "symbols/demangle_names.h"

namespace {

// The parser builds a tree of nodes, which the printer walks: a type's text is split in a left and
// a right part around a declarator ("void (*)(int)", "int (&) [3]").
enum NodeKind : unsigned char {
  NK_NAME,        // text
  NK_NESTED,      // a::b
  NK_TEMPLATE,    // a<list b>
  NK_QUALIFIED,   // a with cv
  NK_POINTER,     // a*
  NK_LREF,        // a&
  NK_RREF,        // a&&
  NK_FUNCTION,    // return a, parameter list b, cv and ref
  NK_ARRAY,       // element a, dimension text
  NK_MEMBER,      // class a, member type b
  NK_CTOR,        // the constructor of prefix a (text "~" for a destructor)
  NK_CONVERSION,  // operator a
  NK_SPECIAL,     // text, then a
  NK_ENCODING,    // name a, function b or none; cv and ref of a member function
  NK_LOCAL,       // a::b
  NK_LITERAL,     // of type a, digits text; cv is 1 when negative
  NK_TAGGED,      // a[abi:text]
  NK_LIST,        // item a, next cell b
  NK_PACK,        // a template argument pack: list a
  NK_EXPANSION,   // each element of the packs in a
  NK_LAMBDA,      // {lambda(list a)#number}
  NK_UNNAMED,     // {unnamed type#number}
  NK_CLONE,       // a [clone text]
};

enum { CV_CONST = 1, CV_VOLATILE = 2, CV_RESTRICT = 4, REF_L = 8, REF_R = 16 };

struct Node {
  NodeKind kind;
  unsigned char cv;
  int a, b;
  const char *text;
  int length;
  int number;
};

enum { kMaxNodes = 2048, kMaxSubstitutions = 512, kMaxDepth = 96, kNone = -1 };

struct Parser {
  const char *p, *end;
  Node nodes[kMaxNodes];
  int node_count;
  int subs[kMaxSubstitutions];
  int sub_count;
  int template_args;  // the list T_ refers to, or kNone
  int depth;
  bool failed;
};

struct Out {
  char *text;
  size_t size, length;  // length counts what was cut too
  int pack_index;       // the element of packs an expansion prints, or -1
  int depth;
  bool too_deep;  // substitutions nest trees in trees: the printer's depth has a limit
};

enum { kMaxPrintDepth = 256 };

// Whether the printer goes on into a node: not past the end of the buffer, which also keeps a name
// whose substitutions double its text at each step from taking long.
struct PrintDepth {
  Out *o;
  bool go;
  explicit PrintDepth(Out *out) : o(out) {
    go = o->length < o->size && o->depth < kMaxPrintDepth;
    if (o->depth >= kMaxPrintDepth) o->too_deep = true;
    o->depth++;
  }
  ~PrintDepth() { o->depth--; }
};

int add_node(Parser *ps, NodeKind kind, int a = kNone, int b = kNone) {
  if (ps->node_count == kMaxNodes) {
    ps->failed = true;
    return kNone;
  }
  Node &n = ps->nodes[ps->node_count];
  n = Node{kind, 0, a, b, nullptr, 0, 0};
  return ps->node_count++;
}

int add_text(Parser *ps, NodeKind kind, const char *text, int length, int a = kNone) {
  int id = add_node(ps, kind, a);
  if (id != kNone) {
    ps->nodes[id].text = text;
    ps->nodes[id].length = length;
  }
  return id;
}

int fail(Parser *ps) {
  ps->failed = true;
  return kNone;
}

char peek(const Parser *ps, int ahead = 0) { return ps->end - ps->p > ahead ? ps->p[ahead] : '\0'; }

bool take(Parser *ps, char c) {
  if (peek(ps) != c) return false;
  ps->p++;
  return true;
}

void substitutable(Parser *ps, int id) {
  if (id == kNone) return;
  if (ps->sub_count == kMaxSubstitutions) {
    ps->failed = true;
    return;
  }
  ps->subs[ps->sub_count++] = id;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// A decimal number; false when there is none or it is too large to be real.
bool number(Parser *ps, int *value) {
  if (!is_digit(peek(ps))) return false;
  long v = 0;
  while (is_digit(peek(ps))) {
    v = v * 10 + (*ps->p++ - '0');
    if (v > 1 << 20) return false;
  }
  *value = (int)v;
  return true;
}

// [<base 36 number>] _ : none is 0, "0_" is 1 and so on.
bool sequence(Parser *ps, int *value) {
  long v = 0;
  if (take(ps, '_')) {
    *value = 0;
    return true;
  }
  while (peek(ps) != '_') {
    char c = peek(ps);
    int digit = is_digit(c) ? c - '0' : c >= 'A' && c <= 'Z' ? c - 'A' + 10 : -1;
    if (digit < 0) return false;
    v = v * 36 + digit;
    if (v > 1 << 20) return false;
    ps->p++;
  }
  ps->p++;
  *value = (int)v + 1;
  return true;
}

// A list cell after last (or a new list when last is kNone); gives the new cell.
int append(Parser *ps, int last, int item) {
  int cell = add_node(ps, NK_LIST, item);
  if (cell != kNone && last != kNone) ps->nodes[last].b = cell;
  return cell;
}

int parse_type(Parser *ps);
int parse_name(Parser *ps, bool top, unsigned char *cv);

// Items up to an E, which is taken: their list, kNone when there is none.
int item_list(Parser *ps, int (*item)(Parser *)) {
  int list = kNone, last = kNone;
  while (!ps->failed && !take(ps, 'E')) {
    if (!peek(ps)) return fail(ps);
    last = append(ps, last, item(ps));
    if (list == kNone) list = last;
  }
  return list;
}
int parse_encoding(Parser *ps);

struct DepthGuard {
  Parser *ps;
  explicit DepthGuard(Parser *p) : ps(p) {
    if (++ps->depth > kMaxDepth) ps->failed = true;
  }
  ~DepthGuard() { ps->depth--; }
};

int source_name(Parser *ps) {
  int length;
  if (!number(ps, &length) || length <= 0 || ps->end - ps->p < length) return fail(ps);
  const char *text = ps->p;
  ps->p += length;
  // gcc names the anonymous namespace after the file; readers show it as such.
  if (length >= 10 && !strncmp(text, "_GLOBAL_", 8) && strchr("._$", text[8]) && text[9] == 'N')
    return add_text(ps, NK_NAME, "(anonymous namespace)", 21);
  return add_text(ps, NK_NAME, text, length);
}

// Ul <parameter types> E [<number>] _ and Ut [<number>] _
int unnamed_name(Parser *ps) {
  ps->p++;
  int id = kNone;
  if (take(ps, 'l')) {
    id = add_node(ps, NK_LAMBDA, item_list(ps, parse_type));
  } else if (take(ps, 't')) {
    id = add_node(ps, NK_UNNAMED);
  } else {
    return fail(ps);
  }
  // No number is the first; 0 the second.
  int n = -1;
  if (peek(ps) != '_' && !number(ps, &n)) return fail(ps);
  if (!take(ps, '_') || id == kNone) return fail(ps);
  ps->nodes[id].number = n + 2;
  return id;
}

int abi_tags(Parser *ps, int id) {
  while (!ps->failed && take(ps, 'B')) {
    int tag = source_name(ps);
    if (tag == kNone) return kNone;
    id = add_text(ps, NK_TAGGED, ps->nodes[tag].text, ps->nodes[tag].length, id);
  }
  return id;
}

int operator_name(Parser *ps) {
  if (peek(ps) == 'c' && peek(ps, 1) == 'v') {
    ps->p += 2;
    return add_node(ps, NK_CONVERSION, parse_type(ps));
  }
  if (peek(ps) == 'l' && peek(ps, 1) == 'i') {
    ps->p += 2;
    int name = source_name(ps);
    if (name == kNone) return kNone;
    int id = add_text(ps, NK_SPECIAL, "operator\"\" ", 11, name);
    return id;
  }
  const DemangleOperator *op = demangle_operator(ps->p, ps->end);
  if (!op) return fail(ps);
  ps->p += 2;
  return add_text(ps, NK_NAME, op->spelling, (int)strlen(op->spelling));
}

int unqualified_name(Parser *ps) {
  char c = peek(ps);
  int id;
  if (is_digit(c)) {
    id = source_name(ps);
  } else if (c == 'U') {
    id = unnamed_name(ps);
  } else if (c == 'L') {
    ps->p++;
    id = source_name(ps);
  } else if (c >= 'a' && c <= 'z') {
    id = operator_name(ps);
  } else {
    return fail(ps);
  }
  return abi_tags(ps, id);
}

// <template-arg>: a type, a literal or a pack.
int template_arg(Parser *ps) {
  // Older compilers wrote a pack with I.
  if (take(ps, 'J') || take(ps, 'I')) {
    return add_node(ps, NK_PACK, item_list(ps, template_arg));
  }
  if (take(ps, 'L')) {
    if (take(ps, '_')) {
      if (!take(ps, 'Z')) return fail(ps);
      int saved = ps->template_args;
      int id = parse_encoding(ps);
      ps->template_args = saved;
      return take(ps, 'E') ? id : fail(ps);
    }
    int type = parse_type(ps);
    bool negative = take(ps, 'n');
    const char *digits = ps->p;
    while (peek(ps) && peek(ps) != 'E') ps->p++;
    if (!take(ps, 'E') || ps->p - 1 == digits) return fail(ps);
    int id = add_text(ps, NK_LITERAL, digits, (int)(ps->p - 1 - digits), type);
    if (id != kNone) ps->nodes[id].cv = negative;
    return id;
  }
  return parse_type(ps);
}

// I <template-arg>+ E, as a list.
int template_args(Parser *ps) {
  DepthGuard guard(ps);
  ps->p++;
  int list = item_list(ps, template_arg);
  return list == kNone ? add_node(ps, NK_LIST) : list;
}

int substitution(Parser *ps) {
  ps->p++;
  const DemangleStandard *standard = demangle_standard(peek(ps));
  if (standard) {
    ps->p++;
    return add_text(ps, NK_NAME, standard->spelling, (int)strlen(standard->spelling));
  }
  int n;
  if (!sequence(ps, &n) || n >= ps->sub_count) return fail(ps);
  return ps->subs[n];
}

int template_param(Parser *ps) {
  ps->p++;
  int n;
  if (!sequence(ps, &n) || ps->template_args == kNone) return fail(ps);
  int cell = ps->template_args;
  for (; cell != kNone && n > 0; n--) cell = ps->nodes[cell].b;
  if (cell == kNone || ps->nodes[cell].a == kNone) return fail(ps);
  return ps->nodes[cell].a;
}

// Constructors and destructors: C1 C2 C3 C4 C5, CI1 <type> CI2 <type>, D0 D1 D2 D4 D5.
int structor(Parser *ps, int prefix) {
  bool destructor = *ps->p++ == 'D';
  bool inheriting = !destructor && take(ps, 'I');
  if (!is_digit(peek(ps)) || prefix == kNone) return fail(ps);
  ps->p++;
  if (inheriting && parse_type(ps) == kNone) return kNone;
  return abi_tags(ps, add_text(ps, NK_CTOR, destructor ? "~" : "", destructor, prefix));
}

// [r] [V] [K]
unsigned char cv_qualifiers(Parser *ps) {
  unsigned char q = 0;
  if (take(ps, 'r')) q |= CV_RESTRICT;
  if (take(ps, 'V')) q |= CV_VOLATILE;
  if (take(ps, 'K')) q |= CV_CONST;
  return q;
}

// N [<cv>] [<ref>] <prefix components> E; the cv and ref go to the encoding.
int nested_name(Parser *ps, bool top, unsigned char *cv) {
  ps->p++;
  unsigned char q = cv_qualifiers(ps);
  if (take(ps, 'R'))
    q |= REF_L;
  else if (take(ps, 'O'))
    q |= REF_R;
  if (cv) *cv = q;
  int current = kNone;
  while (!ps->failed && !take(ps, 'E')) {
    char c = peek(ps);
    int part;
    bool whole = false;  // the part replaces what came before
    if (c == 'S' && peek(ps, 1) == 't') {
      ps->p += 2;
      part = add_text(ps, NK_NAME, "std", 3);
    } else if (c == 'S') {
      part = substitution(ps);
      whole = true;
    } else if (c == 'T') {
      part = template_param(ps);
      whole = true;
    } else if (c == 'I') {
      if (current == kNone) return fail(ps);
      int args = template_args(ps);
      if (top) ps->template_args = args;
      current = add_node(ps, NK_TEMPLATE, current, args);
      if (peek(ps) != 'E') substitutable(ps, current);
      continue;
    } else if ((c == 'C' || c == 'D') && peek(ps, 1) != 't' && peek(ps, 1) != 'T') {
      part = structor(ps, current);
      current = part == kNone ? kNone : add_node(ps, NK_NESTED, current, part);
      if (peek(ps) != 'E') substitutable(ps, current);
      continue;
    } else if (c == 'M') {
      ps->p++;  // a closure's data member scope
      continue;
    } else if (!c) {
      return fail(ps);
    } else {
      part = unqualified_name(ps);
    }
    if (part == kNone) return fail(ps);
    current = whole || current == kNone ? part : add_node(ps, NK_NESTED, current, part);
    // Every prefix but the whole name is a candidate, unless it came from the table.
    if (peek(ps) != 'E' && c != 'S') substitutable(ps, current);
  }
  return current == kNone ? fail(ps) : current;
}

// Z <encoding> E <entity> [<discriminator>], or Z <encoding> E s for a string literal.
int local_name(Parser *ps) {
  ps->p++;
  int saved = ps->template_args;
  int function = parse_encoding(ps);
  ps->template_args = saved;
  if (!take(ps, 'E')) return fail(ps);
  int entity;
  if (take(ps, 's')) {
    entity = add_text(ps, NK_NAME, "string literal", 14);
  } else {
    if (take(ps, 'd')) {  // a default argument's scope
      int n = 0;
      if (peek(ps) != '_') number(ps, &n);
      if (!take(ps, '_')) return fail(ps);
    }
    entity = parse_name(ps, false, nullptr);
  }
  if (take(ps, '_')) {
    int n;
    if (take(ps, '_')) {
      if (!number(ps, &n) || !take(ps, '_')) return fail(ps);
    } else if (!number(ps, &n)) {
      return fail(ps);
    }
  }
  return add_node(ps, NK_LOCAL, function, entity);
}

int parse_name(Parser *ps, bool top, unsigned char *cv) {
  DepthGuard guard(ps);
  if (ps->failed) return kNone;
  char c = peek(ps);
  if (c == 'N') return nested_name(ps, top, cv);
  if (c == 'Z') return local_name(ps);
  int id;
  bool from_table = c == 'S' && peek(ps, 1) != 't';
  if (c == 'S' && peek(ps, 1) == 't') {
    ps->p += 2;
    int std = add_text(ps, NK_NAME, "std", 3);
    id = add_node(ps, NK_NESTED, std, unqualified_name(ps));
  } else if (c == 'S') {
    id = substitution(ps);
    if (peek(ps) != 'I') return fail(ps);  // only a template's name is substituted here
  } else {
    id = unqualified_name(ps);
  }
  if (peek(ps) == 'I') {
    if (!from_table) substitutable(ps, id);
    int args = template_args(ps);
    if (top) ps->template_args = args;
    id = add_node(ps, NK_TEMPLATE, id, args);
  }
  return id;
}

// F [Y] <return type> <parameter types> [<ref>] E
int function_type(Parser *ps) {
  ps->p++;
  take(ps, 'Y');
  int result = parse_type(ps);
  int list = kNone, last = kNone;
  unsigned char ref = 0;
  while (!ps->failed && !take(ps, 'E')) {
    if (peek(ps) == 'R' && peek(ps, 1) == 'E') {
      ps->p++;
      ref = REF_L;
      continue;
    }
    if (peek(ps) == 'O' && peek(ps, 1) == 'E') {
      ps->p++;
      ref = REF_R;
      continue;
    }
    if (!peek(ps)) return fail(ps);
    last = append(ps, last, parse_type(ps));
    if (list == kNone) list = last;
  }
  int id = add_node(ps, NK_FUNCTION, result, list);
  if (id != kNone) ps->nodes[id].cv = ref;
  return id;
}

// A reference to a reference collapses: & wins over &&.
int reference(Parser *ps, NodeKind kind, int to) {
  if (to == kNone) return kNone;
  const Node &inner = ps->nodes[to];
  if (inner.kind == NK_LREF || inner.kind == NK_RREF)
    return add_node(ps, kind == NK_LREF || inner.kind == NK_LREF ? NK_LREF : NK_RREF, inner.a);
  return add_node(ps, kind, to);
}

int parse_type(Parser *ps) {
  DepthGuard guard(ps);
  if (ps->failed) return kNone;
  char c = peek(ps);
  const char *builtin = demangle_builtin(ps->p, ps->end);
  if (builtin) {
    ps->p += c == 'D' ? 2 : 1;
    return add_text(ps, NK_NAME, builtin, (int)strlen(builtin));
  }
  int id;
  switch (c) {
    case 'u':
      ps->p++;
      return source_name(ps);
    case 'r':
    case 'V':
    case 'K': {
      unsigned char q = cv_qualifiers(ps);
      id = add_node(ps, NK_QUALIFIED, parse_type(ps));
      if (id != kNone) ps->nodes[id].cv = q;
      break;
    }
    case 'P':
    case 'R':
    case 'O': {
      NodeKind kind = c == 'P' ? NK_POINTER : c == 'R' ? NK_LREF : NK_RREF;
      ps->p++;
      int to = parse_type(ps);
      id = kind == NK_POINTER ? add_node(ps, kind, to) : reference(ps, kind, to);
      break;
    }
    case 'F':
      id = function_type(ps);
      break;
    case 'A': {
      ps->p++;
      const char *digits = ps->p;
      while (is_digit(peek(ps))) ps->p++;
      int length = (int)(ps->p - digits);
      if (!take(ps, '_')) return fail(ps);
      id = add_text(ps, NK_ARRAY, digits, length, parse_type(ps));
      break;
    }
    case 'M': {
      ps->p++;
      int owner = parse_type(ps);
      id = add_node(ps, NK_MEMBER, owner, parse_type(ps));
      break;
    }
    case 'T':
      id = template_param(ps);
      if (peek(ps) == 'I') {
        substitutable(ps, id);
        int args = template_args(ps);
        id = add_node(ps, NK_TEMPLATE, id, args);
      }
      break;
    case 'S':
      if (peek(ps, 1) == 't') {
        id = parse_name(ps, false, nullptr);
        break;
      }
      id = substitution(ps);
      if (peek(ps) != 'I') return id;
      id = add_node(ps, NK_TEMPLATE, id, template_args(ps));
      break;
    case 'D':
      if (peek(ps, 1) != 'p') return fail(ps);
      ps->p += 2;
      id = add_node(ps, NK_EXPANSION, parse_type(ps));
      break;
    case 'N':
    case 'Z':
      id = parse_name(ps, false, nullptr);
      break;
    default:
      if (!is_digit(c)) return fail(ps);
      id = parse_name(ps, false, nullptr);
      break;
  }
  if (ps->failed) return kNone;
  substitutable(ps, id);
  return id;
}

// Whether the encoding's function type starts with its return type: templates do, unless
// constructors, destructors or conversion operators.
bool has_return_type(const Parser *ps, int name) {
  const Node *n = &ps->nodes[name];
  if (n->kind == NK_TAGGED) n = &ps->nodes[n->a];
  if (n->kind != NK_TEMPLATE) return false;
  n = &ps->nodes[n->a];
  while (n->kind == NK_NESTED || n->kind == NK_TAGGED)
    n = &ps->nodes[n->kind == NK_NESTED ? n->b : n->a];
  return n->kind != NK_CTOR && n->kind != NK_CONVERSION;
}

// h <number> _, or v <number> _ <number> _
bool call_offset(Parser *ps, char kind) {
  int n;
  for (int i = 0; i < (kind == 'v' ? 2 : 1); i++) {
    take(ps, 'n');
    if (!number(ps, &n) || !take(ps, '_')) return false;
  }
  return true;
}

int special_name(Parser *ps) {
  const DemangleSpecial *special = demangle_special(ps->p, ps->end);
  if (!special) return fail(ps);
  ps->p += strlen(special->code);
  int id = kNone;
  switch (special->kind) {
    case DS_ENCODING:
      id = parse_encoding(ps);
      break;
    case DS_TYPE:
      id = parse_type(ps);
      break;
    case DS_NAME:
      id = parse_name(ps, false, nullptr);
      break;
    case DS_THUNK:
      if (!call_offset(ps, special->code[1])) return fail(ps);
      id = parse_encoding(ps);
      break;
    case DS_COVARIANT:
      for (int i = 0; i < 2; i++) {
        char kind = peek(ps);
        ps->p++;
        if ((kind != 'h' && kind != 'v') || !call_offset(ps, kind)) return fail(ps);
      }
      id = parse_encoding(ps);
      break;
    case DS_CONSTRUCTION: {
      // The derived class, an offset, then the base: shown as base-in-derived.
      int derived = parse_type(ps), n;
      if (!number(ps, &n) || !take(ps, '_')) return fail(ps);
      int base = parse_type(ps);
      int in = add_text(ps, NK_SPECIAL, "-in-", 4, derived);
      id = add_node(ps, NK_NESTED, base, in);
      if (id != kNone) ps->nodes[id].cv = 1;  // no "::" between the two
      break;
    }
    case DS_TEMPORARY: {
      id = parse_name(ps, false, nullptr);
      int n;
      if (!sequence(ps, &n)) return fail(ps);
      break;
    }
  }
  if (ps->failed) return kNone;
  return add_text(ps, NK_SPECIAL, special->text, (int)strlen(special->text), id);
}

// Sets the template arguments T_ refers to: those of its own name.
int parse_encoding(Parser *ps) {
  DepthGuard guard(ps);
  if (ps->failed) return kNone;
  if (peek(ps) == 'T' || (peek(ps) == 'G' && peek(ps, 1) != '\0')) return special_name(ps);
  unsigned char cv = 0;
  int name = parse_name(ps, true, &cv);
  if (ps->failed) return kNone;
  if (!peek(ps) || peek(ps) == 'E' || peek(ps) == '.') return name;
  int result = has_return_type(ps, name) ? parse_type(ps) : kNone;
  int list = kNone, last = kNone;
  while (!ps->failed && peek(ps) && peek(ps) != 'E' && peek(ps) != '.') {
    last = append(ps, last, parse_type(ps));
    if (list == kNone) list = last;
  }
  if (list == kNone) return fail(ps);
  int function = add_node(ps, NK_FUNCTION, result, list);
  int id = add_node(ps, NK_ENCODING, name, function);
  if (id != kNone) ps->nodes[id].cv = cv;
  return id;
}

// --- printing ---

void put(Out *o, const char *text, size_t length) {
  for (size_t i = 0; i < length; i++, o->length++)
    if (o->length + 1 < o->size) o->text[o->length] = text[i];
}

void puts_(Out *o, const char *text) { put(o, text, strlen(text)); }

char last_char(const Out *o) {
  return o->length && o->length < o->size ? o->text[o->length - 1] : '\0';
}

void print(const Parser *ps, int id, Out *o);
void print_left(const Parser *ps, int id, Out *o);
void print_right(const Parser *ps, int id, Out *o);

void print_cv(unsigned char cv, Out *o) {
  if (cv & CV_RESTRICT) puts_(o, " restrict");
  if (cv & CV_VOLATILE) puts_(o, " volatile");
  if (cv & CV_CONST) puts_(o, " const");
  if (cv & REF_L) puts_(o, " &");
  if (cv & REF_R) puts_(o, " &&");
}

// The elements of a list, comma separated; an element that prints nothing (an empty pack) takes no
// comma.
// Whether the node prints no text, found with a buffer of two bytes: the printer stops early.
bool prints_nothing(const Parser *ps, int id, const Out *o) {
  char probe[2];
  Out measure = {probe, sizeof probe, 0, o->pack_index, o->depth, false};
  print(ps, id, &measure);
  return measure.length == 0;
}

// An element that prints nothing takes its separator back, also past the end of the buffer,
// so that a cut text is always the start of the whole one.
void print_list(const Parser *ps, int cell, Out *o) {
  bool first = true;
  for (; cell != kNone; cell = ps->nodes[cell].b) {
    if (ps->nodes[cell].a == kNone) continue;
    size_t before = o->length;
    if (!first) puts_(o, ", ");
    size_t start = o->length;
    print(ps, ps->nodes[cell].a, o);
    if (o->length == start && (start < o->size || prints_nothing(ps, ps->nodes[cell].a, o)))
      o->length = before;
    else
      first = false;
  }
}

bool is_void(const Parser *ps, int id) {
  return id != kNone && ps->nodes[id].kind == NK_NAME && ps->nodes[id].length == 4 &&
         !strncmp(ps->nodes[id].text, "void", 4);
}

// A parameter list in parentheses; a lone void is no parameter.
void print_parameters(const Parser *ps, int list, Out *o) {
  puts_(o, "(");
  bool lone_void = list != kNone && ps->nodes[list].b == kNone && is_void(ps, ps->nodes[list].a);
  if (!lone_void) print_list(ps, list, o);
  puts_(o, ")");
}

// The number of elements of the first pack under id, or -1.
int pack_size(const Parser *ps, int id, int depth) {
  if (id == kNone || depth > kMaxDepth) return -1;
  const Node &n = ps->nodes[id];
  if (n.kind == NK_PACK) {
    int count = 0;
    for (int cell = n.a; cell != kNone; cell = ps->nodes[cell].b) count++;
    return count;
  }
  if (n.kind == NK_EXPANSION) return -1;
  int size = pack_size(ps, n.a, depth + 1);
  return size >= 0 || n.kind == NK_ARRAY || n.kind == NK_LITERAL ? size
                                                                 : pack_size(ps, n.b, depth + 1);
}

// What a pointer or reference points at, through the pack element being expanded; a reference to a
// reference collapses, & winning over &&.
int pointee(const Parser *ps, int id, NodeKind *kind, const Out *o) {
  int to = ps->nodes[id].a;
  for (int guard = 0; to != kNone && guard < kMaxDepth; guard++) {
    const Node &t = ps->nodes[to];
    if (t.kind == NK_PACK && o->pack_index >= 0) {
      int cell = t.a;
      for (int i = 0; cell != kNone && i < o->pack_index; i++) cell = ps->nodes[cell].b;
      if (cell == kNone) break;
      to = ps->nodes[cell].a;
    } else if (*kind != NK_POINTER && (t.kind == NK_LREF || t.kind == NK_RREF)) {
      if (t.kind == NK_LREF) *kind = NK_LREF;
      to = t.a;
    } else {
      break;
    }
  }
  return to;
}

bool is_function(const Parser *ps, int id) {
  return id != kNone && ps->nodes[id].kind == NK_FUNCTION;
}

void print_left(const Parser *ps, int id, Out *o) {
  PrintDepth guard(o);
  if (id == kNone || !guard.go) return;
  const Node &n = ps->nodes[id];
  switch (n.kind) {
    case NK_QUALIFIED:
      if (is_function(ps, n.a)) return print_left(ps, n.a, o);
      print_left(ps, n.a, o);
      print_cv(n.cv, o);
      return;
    case NK_POINTER:
    case NK_LREF:
    case NK_RREF: {
      NodeKind kind = n.kind;
      int to = pointee(ps, id, &kind, o);
      if (to == kNone) return;
      const char *mark = kind == NK_POINTER ? "*" : kind == NK_LREF ? "&" : "&&";
      print_left(ps, to, o);
      NodeKind inner = ps->nodes[to].kind;
      if (inner == NK_FUNCTION)
        puts_(o, "(");
      else if (inner == NK_ARRAY)
        puts_(o, " (");
      puts_(o, mark);
      return;
    }
    case NK_FUNCTION:
      print(ps, n.a, o);
      puts_(o, " ");
      return;
    case NK_ARRAY:
      print_left(ps, n.a, o);
      return;
    case NK_MEMBER: {
      int member = n.b;
      if (ps->nodes[member].kind == NK_QUALIFIED && is_function(ps, ps->nodes[member].a))
        member = ps->nodes[member].a;
      if (is_function(ps, member)) {
        print_left(ps, member, o);
        puts_(o, "(");
      } else {
        print_left(ps, member, o);
        puts_(o, " ");
      }
      print(ps, n.a, o);
      puts_(o, "::*");
      return;
    }
    default:
      print(ps, id, o);
  }
}

void print_right(const Parser *ps, int id, Out *o) {
  PrintDepth guard(o);
  if (id == kNone || !guard.go) return;
  const Node &n = ps->nodes[id];
  switch (n.kind) {
    case NK_QUALIFIED:
      print_right(ps, n.a, o);
      if (is_function(ps, n.a)) print_cv(n.cv, o);
      return;
    case NK_POINTER:
    case NK_LREF:
    case NK_RREF: {
      NodeKind kind = n.kind;
      int to = pointee(ps, id, &kind, o);
      if (to == kNone) return;
      NodeKind inner = ps->nodes[to].kind;
      if (inner == NK_FUNCTION || inner == NK_ARRAY) puts_(o, ")");
      print_right(ps, to, o);
      return;
    }
    case NK_FUNCTION:
      print_parameters(ps, n.b, o);
      print_cv(n.cv, o);
      return;
    case NK_ARRAY:
      puts_(o, last_char(o) == ']' ? "[" : " [");
      put(o, n.text, (size_t)n.length);
      puts_(o, "]");
      print_right(ps, n.a, o);
      return;
    case NK_MEMBER: {
      int member = n.b;
      unsigned char cv = 0;
      if (ps->nodes[member].kind == NK_QUALIFIED && is_function(ps, ps->nodes[member].a)) {
        cv = ps->nodes[member].cv;
        member = ps->nodes[member].a;
      }
      if (!is_function(ps, member)) return;
      puts_(o, ")");
      print_right(ps, member, o);
      print_cv(cv, o);
      return;
    }
    default:
      return;
  }
}

// The last component of a constructor's class, without its template arguments.
void print_structor(const Parser *ps, const Node &n, Out *o) {
  char scratch[512];
  Out inner = {scratch, sizeof scratch, 0, o->pack_index, o->depth, false};
  print(ps, n.a, &inner);
  o->too_deep |= inner.too_deep;
  size_t length = inner.length < sizeof scratch ? inner.length : sizeof scratch - 1;
  size_t end = length, start = 0;
  int depth = 0;
  for (size_t i = 0; i < length; i++) {
    char c = scratch[i];
    if ((c == '<' || c == '[') && depth++ == 0) end = i;
    if (c == '>' || c == ']') depth--;
    if (c == ':' && depth == 0 && i + 1 < length && scratch[i + 1] == ':')
      start = i + 2, end = length;
  }
  if (end < start) end = length;
  put(o, n.text, (size_t)n.length);
  put(o, scratch + start, end - start);
}

void print_literal(const Parser *ps, const Node &n, Out *o) {
  const Node *type = n.a == kNone ? nullptr : &ps->nodes[n.a];
  const char *suffix = nullptr;
  bool is_bool = false;
  if (type && type->kind == NK_NAME) {
    suffix = demangle_literal_suffix(type->text, type->length);
    is_bool = type->length == 4 && !strncmp(type->text, "bool", 4);
  }
  if (is_bool && n.length == 1 && (n.text[0] == '0' || n.text[0] == '1')) {
    puts_(o, n.text[0] == '1' ? "true" : "false");
    return;
  }
  if (!suffix) {
    puts_(o, "(");
    print(ps, n.a, o);
    puts_(o, ")");
  }
  if (n.cv) puts_(o, "-");
  put(o, n.text, (size_t)n.length);
  if (suffix) puts_(o, suffix);
}

void print_encoding(const Parser *ps, const Node &n, bool with_return, Out *o) {
  const Node &f = ps->nodes[n.b];
  if (f.a != kNone && with_return) {
    print(ps, f.a, o);
    puts_(o, " ");
  }
  print(ps, n.a, o);
  print_parameters(ps, f.b, o);
  print_cv(n.cv, o);
}

// "#n}" closing a lambda's or an unnamed type's name.
void print_number(int number, Out *o) {
  char digits[12];
  int length = 0;
  do {
    digits[sizeof digits - 1 - length++] = (char)('0' + number % 10);
    number /= 10;
  } while (number && length < (int)sizeof digits);
  puts_(o, "#");
  put(o, digits + sizeof digits - length, (size_t)length);
  puts_(o, "}");
}

void print(const Parser *ps, int id, Out *o) {
  PrintDepth guard(o);
  if (id == kNone || !guard.go) return;
  const Node &n = ps->nodes[id];
  switch (n.kind) {
    case NK_NAME:
      put(o, n.text, (size_t)n.length);
      return;
    case NK_NESTED:
      print(ps, n.a, o);
      puts_(o, n.cv ? "" : "::");
      print(ps, n.b, o);
      return;
    case NK_TEMPLATE:
      print(ps, n.a, o);
      puts_(o, last_char(o) == '<' ? " <" : "<");
      print_list(ps, n.b, o);
      puts_(o, last_char(o) == '>' ? " >" : ">");
      return;
    case NK_CTOR:
      print_structor(ps, n, o);
      return;
    case NK_CONVERSION:
      puts_(o, "operator ");
      print(ps, n.a, o);
      return;
    case NK_SPECIAL:
      put(o, n.text, (size_t)n.length);
      print(ps, n.a, o);
      return;
    case NK_ENCODING:
      print_encoding(ps, n, true, o);
      return;
    case NK_LOCAL:
      // The function around a local entity is shown without its return type.
      if (ps->nodes[n.a].kind == NK_ENCODING)
        print_encoding(ps, ps->nodes[n.a], false, o);
      else
        print(ps, n.a, o);
      puts_(o, "::");
      print(ps, n.b, o);
      return;
    case NK_LITERAL:
      print_literal(ps, n, o);
      return;
    case NK_TAGGED:
      print(ps, n.a, o);
      puts_(o, "[abi:");
      put(o, n.text, (size_t)n.length);
      puts_(o, "]");
      return;
    case NK_LIST:
      print_list(ps, id, o);
      return;
    case NK_PACK:
      if (o->pack_index < 0) return print_list(ps, n.a, o);
      {
        int cell = n.a;
        for (int i = 0; cell != kNone && i < o->pack_index; i++) cell = ps->nodes[cell].b;
        if (cell != kNone) print(ps, ps->nodes[cell].a, o);
      }
      return;
    case NK_EXPANSION: {
      int size = pack_size(ps, n.a, 0);
      if (size < 0) return print(ps, n.a, o);
      int saved = o->pack_index;
      for (int i = 0; i < size; i++) {
        if (i) puts_(o, ", ");
        o->pack_index = i;
        print(ps, n.a, o);
      }
      o->pack_index = saved;
      return;
    }
    case NK_LAMBDA:
      puts_(o, "{lambda");
      print_parameters(ps, n.a, o);
      print_number(n.number, o);
      return;
    case NK_UNNAMED:
      puts_(o, "{unnamed type");
      print_number(n.number, o);
      return;
    case NK_CLONE:
      print(ps, n.a, o);
      puts_(o, " [clone ");
      put(o, n.text, (size_t)n.length);
      puts_(o, "]");
      return;
    default:
      print_left(ps, id, o);
      print_right(ps, id, o);
  }
}

// .cold, .isra.0, .constprop.1.part.0: each a clone of what comes before.
int clone_suffixes(Parser *ps, int id) {
  while (!ps->failed && peek(ps) == '.') {
    const char *start = ps->p++;
    if (!((peek(ps) >= 'a' && peek(ps) <= 'z') || peek(ps) == '_')) return fail(ps);
    while ((peek(ps) >= 'a' && peek(ps) <= 'z') || peek(ps) == '_') ps->p++;
    while (peek(ps) == '.' && is_digit(peek(ps, 1))) {
      ps->p++;
      while (is_digit(peek(ps))) ps->p++;
    }
    id = add_text(ps, NK_CLONE, start, (int)(ps->p - start), id);
  }
  return id;
}

bool demangle(const char *name, bool name_only, char *out, size_t size) {
  if (!size) return false;
  out[0] = '\0';
  if (name[0] == '_' && name[1] == '_' && name[2] == 'Z') name++;
  if (name[0] != '_' || name[1] != 'Z') return false;
  static Parser parser;  // too large for a thread's stack; the plug-ins read one at a time
  Parser *ps = &parser;
  ps->p = name + 2;
  ps->end = name + strlen(name);
  ps->node_count = ps->sub_count = ps->depth = 0;
  ps->template_args = kNone;
  ps->failed = false;
  int id = clone_suffixes(ps, parse_encoding(ps));
  if (ps->failed || id == kNone || ps->p != ps->end) return false;
  Out o = {out, size, 0, -1, 0, false};
  while (name_only && ps->nodes[id].kind == NK_CLONE) id = ps->nodes[id].a;
  if (name_only && ps->nodes[id].kind == NK_ENCODING) id = ps->nodes[id].a;
  print(ps, id, &o);
  out[o.length < size ? o.length : size - 1] = '\0';
  if (o.too_deep) out[0] = '\0';
  return !o.too_deep;
}

}  // namespace

bool demangle_itanium(const char *name, char *out, size_t size) {
  return demangle(name, false, out, size);
}

bool demangle_itanium_name(const char *name, char *out, size_t size) {
  return demangle(name, true, out, size);
}
