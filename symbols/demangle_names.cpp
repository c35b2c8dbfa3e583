#include "symbols/demangle_names.h"

#include <string.h>

namespace {

const DemangleOperator kOperators[] = {
    {"nw", "operator new"},      {"na", "operator new[]"}, {"dl", "operator delete"},
    {"da", "operator delete[]"}, {"ps", "operator+"},      {"ng", "operator-"},
    {"ad", "operator&"},         {"de", "operator*"},      {"co", "operator~"},
    {"pl", "operator+"},         {"mi", "operator-"},      {"ml", "operator*"},
    {"dv", "operator/"},         {"rm", "operator%"},      {"an", "operator&"},
    {"or", "operator|"},         {"eo", "operator^"},      {"aS", "operator="},
    {"pL", "operator+="},        {"mI", "operator-="},     {"mL", "operator*="},
    {"dV", "operator/="},        {"rM", "operator%="},     {"aN", "operator&="},
    {"oR", "operator|="},        {"eO", "operator^="},     {"ls", "operator<<"},
    {"rs", "operator>>"},        {"lS", "operator<<="},    {"rS", "operator>>="},
    {"eq", "operator=="},        {"ne", "operator!="},     {"lt", "operator<"},
    {"gt", "operator>"},         {"le", "operator<="},     {"ge", "operator>="},
    {"ss", "operator<=>"},       {"nt", "operator!"},      {"aa", "operator&&"},
    {"oo", "operator||"},        {"pp", "operator++"},     {"mm", "operator--"},
    {"cm", "operator,"},         {"pm", "operator->*"},    {"pt", "operator->"},
    {"cl", "operator()"},        {"ix", "operator[]"},     {"qu", "operator?"},
    {"aw", "operator co_await"},
};

const DemangleStandard kStandard[] = {
    {'a', "std::allocator"},
    {'b', "std::basic_string"},
    {'s', "std::basic_string<char, std::char_traits<char>, std::allocator<char> >"},
    {'i', "std::basic_istream<char, std::char_traits<char> >"},
    {'o', "std::basic_ostream<char, std::char_traits<char> >"},
    {'d', "std::basic_iostream<char, std::char_traits<char> >"},
};

const DemangleSpecial kSpecials[] = {
    {"TV", DS_TYPE, "vtable for "},
    {"TT", DS_TYPE, "VTT for "},
    {"TI", DS_TYPE, "typeinfo for "},
    {"TS", DS_TYPE, "typeinfo name for "},
    {"Th", DS_THUNK, "non-virtual thunk to "},
    {"Tv", DS_THUNK, "virtual thunk to "},
    {"Tc", DS_COVARIANT, "covariant return thunk to "},
    {"TC", DS_CONSTRUCTION, "construction vtable for "},
    {"TW", DS_NAME, "TLS wrapper function for "},
    {"TH", DS_NAME, "TLS init function for "},
    {"GV", DS_NAME, "guard variable for "},
    {"GR", DS_TEMPORARY, "reference temporary #0 for "},
    {"GA", DS_NAME, "hidden alias for "},
    {"GTt", DS_ENCODING, "transaction clone for "},
    {"GTn", DS_ENCODING, "non-transaction clone for "},
};

struct Builtin {
  char code;
  const char *spelling;
};

const Builtin kBuiltins[] = {
    {'v', "void"},        {'w', "wchar_t"},
    {'b', "bool"},        {'c', "char"},
    {'a', "signed char"}, {'h', "unsigned char"},
    {'s', "short"},       {'t', "unsigned short"},
    {'i', "int"},         {'j', "unsigned int"},
    {'l', "long"},        {'m', "unsigned long"},
    {'x', "long long"},   {'y', "unsigned long long"},
    {'n', "__int128"},    {'o', "unsigned __int128"},
    {'f', "float"},       {'d', "double"},
    {'e', "long double"}, {'g', "__float128"},
    {'z', "..."},
};

const Builtin kBuiltinsAfterD[] = {
    {'n', "decltype(nullptr)"},
    {'i', "char32_t"},
    {'s', "char16_t"},
    {'u', "char8_t"},
    {'a', "auto"},
    {'c', "decltype(auto)"},
    {'f', "decimal32"},
    {'d', "decimal64"},
    {'e', "decimal128"},
    {'h', "half"},
};

struct LiteralSuffix {
  const char *type, *suffix;
};

const LiteralSuffix kLiteralSuffixes[] = {
    {"int", ""},         {"unsigned int", "u"},         {"long", "l"}, {"unsigned long", "ul"},
    {"long long", "ll"}, {"unsigned long long", "ull"},
};

const char *find_builtin(const Builtin *table, size_t count, char code) {
  for (size_t i = 0; i < count; i++)
    if (table[i].code == code) return table[i].spelling;
  return nullptr;
}

}  // namespace

const DemangleOperator *demangle_operator(const char *p, const char *end) {
  if (end - p < 2) return nullptr;
  for (const DemangleOperator &op : kOperators)
    if (op.code[0] == p[0] && op.code[1] == p[1]) return &op;
  return nullptr;
}

const DemangleStandard *demangle_standard(char code) {
  for (const DemangleStandard &s : kStandard)
    if (s.code == code) return &s;
  return nullptr;
}

const DemangleSpecial *demangle_special(const char *p, const char *end) {
  for (const DemangleSpecial &s : kSpecials) {
    size_t length = strlen(s.code);
    if ((size_t)(end - p) >= length && !memcmp(s.code, p, length)) return &s;
  }
  return nullptr;
}

const char *demangle_builtin(const char *p, const char *end) {
  if (p >= end) return nullptr;
  if (p[0] != 'D') return find_builtin(kBuiltins, sizeof kBuiltins / sizeof *kBuiltins, p[0]);
  if (end - p < 2) return nullptr;
  return find_builtin(kBuiltinsAfterD, sizeof kBuiltinsAfterD / sizeof *kBuiltinsAfterD, p[1]);
}

const char *demangle_literal_suffix(const char *type, int length) {
  for (const LiteralSuffix &s : kLiteralSuffixes)
    if ((int)strlen(s.type) == length && !strncmp(s.type, type, (size_t)length)) return s.suffix;
  return nullptr;
}
