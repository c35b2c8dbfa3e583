#include "symbols/undecorate_msvc_table.h"

#define COUNT(table) (sizeof table / sizeof table[0])

// Longer codes need no order: the one-letter codes never start with "_" or "$".
const DecoratedCode kBuiltinTypes[] = {
    {"C", "signed char"},       {"D", "char"},
    {"E", "unsigned char"},     {"F", "short"},
    {"G", "unsigned short"},    {"H", "int"},
    {"I", "unsigned int"},      {"J", "long"},
    {"K", "unsigned long"},     {"M", "float"},
    {"N", "double"},            {"O", "long double"},
    {"X", "void"},              {"_D", "__int8"},
    {"_E", "unsigned __int8"},  {"_F", "__int16"},
    {"_G", "unsigned __int16"}, {"_H", "__int32"},
    {"_I", "unsigned __int32"}, {"_J", "__int64"},
    {"_K", "unsigned __int64"}, {"_L", "__int128"},
    {"_M", "unsigned __int128"}, {"_N", "bool"},
    {"_Q", "char8_t"},          {"_S", "char16_t"},
    {"_U", "char32_t"},         {"_W", "wchar_t"},
    {"$$T", "std::nullptr_t"},
};
const size_t kBuiltinTypeCount = COUNT(kBuiltinTypes);

// Each convention has two letters: the second marks an exported function.
const DecoratedCode kCallingConventions[] = {
    {"A", "__cdecl"},    {"B", "__cdecl"},    {"C", "__pascal"},   {"D", "__pascal"},
    {"E", "__thiscall"}, {"F", "__thiscall"}, {"G", "__stdcall"},  {"H", "__stdcall"},
    {"I", "__fastcall"}, {"J", "__fastcall"}, {"M", "__clrcall"},  {"N", "__clrcall"},
    {"O", "__eabi"},     {"P", "__eabi"},     {"Q", "__vectorcall"},
};
const size_t kCallingConventionCount = COUNT(kCallingConventions);

const DecoratedCode kTypeQualifiers[] = {
    {"A", ""}, {"B", "const"}, {"C", "volatile"}, {"D", "const volatile"},
    {"Q", ""}, {"R", "const"}, {"S", "volatile"}, {"T", "const volatile"},
};
const size_t kTypeQualifierCount = COUNT(kTypeQualifiers);

const DecoratedCode kTagKinds[] = {
    {"T", "union"}, {"U", "struct"}, {"V", "class"}, {"W4", "enum"},
};
const size_t kTagKindCount = COUNT(kTagKinds);

const DecoratedCode kVariableClasses[] = {
    {"0", "private: static "}, {"1", "protected: static "}, {"2", "public: static "},
    {"3", ""},                 {"4", ""},
};
const size_t kVariableClassCount = COUNT(kVariableClasses);

const OperatorCode kOperators[] = {
    {"0", "", OPERATOR_CONSTRUCTOR},
    {"1", "~", OPERATOR_DESTRUCTOR},
    {"2", "operator new", OPERATOR_PLAIN},
    {"3", "operator delete", OPERATOR_PLAIN},
    {"4", "operator=", OPERATOR_PLAIN},
    {"5", "operator>>", OPERATOR_PLAIN},
    {"6", "operator<<", OPERATOR_PLAIN},
    {"7", "operator!", OPERATOR_PLAIN},
    {"8", "operator==", OPERATOR_PLAIN},
    {"9", "operator!=", OPERATOR_PLAIN},
    {"A", "operator[]", OPERATOR_PLAIN},
    {"B", "operator ", OPERATOR_CONVERSION},
    {"C", "operator->", OPERATOR_PLAIN},
    {"D", "operator*", OPERATOR_PLAIN},
    {"E", "operator++", OPERATOR_PLAIN},
    {"F", "operator--", OPERATOR_PLAIN},
    {"G", "operator-", OPERATOR_PLAIN},
    {"H", "operator+", OPERATOR_PLAIN},
    {"I", "operator&", OPERATOR_PLAIN},
    {"J", "operator->*", OPERATOR_PLAIN},
    {"K", "operator/", OPERATOR_PLAIN},
    {"L", "operator%", OPERATOR_PLAIN},
    {"M", "operator<", OPERATOR_PLAIN},
    {"N", "operator<=", OPERATOR_PLAIN},
    {"O", "operator>", OPERATOR_PLAIN},
    {"P", "operator>=", OPERATOR_PLAIN},
    {"Q", "operator,", OPERATOR_PLAIN},
    {"R", "operator()", OPERATOR_PLAIN},
    {"S", "operator~", OPERATOR_PLAIN},
    {"T", "operator^", OPERATOR_PLAIN},
    {"U", "operator|", OPERATOR_PLAIN},
    {"V", "operator&&", OPERATOR_PLAIN},
    {"W", "operator||", OPERATOR_PLAIN},
    {"X", "operator*=", OPERATOR_PLAIN},
    {"Y", "operator+=", OPERATOR_PLAIN},
    {"Z", "operator-=", OPERATOR_PLAIN},
    {"_0", "operator/=", OPERATOR_PLAIN},
    {"_1", "operator%=", OPERATOR_PLAIN},
    {"_2", "operator>>=", OPERATOR_PLAIN},
    {"_3", "operator<<=", OPERATOR_PLAIN},
    {"_4", "operator&=", OPERATOR_PLAIN},
    {"_5", "operator|=", OPERATOR_PLAIN},
    {"_6", "operator^=", OPERATOR_PLAIN},
    {"_7", "`vftable'", OPERATOR_PLAIN},
    {"_8", "`vbtable'", OPERATOR_PLAIN},
    {"_9", "`vcall'", OPERATOR_PLAIN},
    {"_A", "`typeof'", OPERATOR_PLAIN},
    {"_B", "`local static guard'", OPERATOR_PLAIN},
    {"_C", "", OPERATOR_STRING},
    {"_D", "`vbase dtor'", OPERATOR_PLAIN},
    {"_E", "`vector deleting dtor'", OPERATOR_PLAIN},
    {"_F", "`default ctor closure'", OPERATOR_PLAIN},
    {"_G", "`scalar deleting dtor'", OPERATOR_PLAIN},
    {"_H", "`vector ctor iterator'", OPERATOR_PLAIN},
    {"_I", "`vector dtor iterator'", OPERATOR_PLAIN},
    {"_J", "`vector vbase ctor iterator'", OPERATOR_PLAIN},
    {"_K", "`virtual displacement map'", OPERATOR_PLAIN},
    {"_L", "`eh vector ctor iterator'", OPERATOR_PLAIN},
    {"_M", "`eh vector dtor iterator'", OPERATOR_PLAIN},
    {"_N", "`eh vector vbase ctor iterator'", OPERATOR_PLAIN},
    {"_O", "`copy ctor closure'", OPERATOR_PLAIN},
    {"_R0", "`RTTI Type Descriptor'", OPERATOR_TYPE_NAME},
    {"_R1", "`RTTI Base Class Descriptor at (", OPERATOR_BASE_CLASS},
    {"_R2", "`RTTI Base Class Array'", OPERATOR_PLAIN},
    {"_R3", "`RTTI Class Hierarchy Descriptor'", OPERATOR_PLAIN},
    {"_R4", "`RTTI Complete Object Locator'", OPERATOR_PLAIN},
    {"_S", "`local vftable'", OPERATOR_PLAIN},
    {"_T", "`local vftable ctor closure'", OPERATOR_PLAIN},
    {"_U", "operator new[]", OPERATOR_PLAIN},
    {"_V", "operator delete[]", OPERATOR_PLAIN},
    {"_X", "`placement delete closure'", OPERATOR_PLAIN},
    {"_Y", "`placement delete[] closure'", OPERATOR_PLAIN},
    {"__A", "`managed vector ctor iterator'", OPERATOR_PLAIN},
    {"__B", "`managed vector dtor iterator'", OPERATOR_PLAIN},
    {"__C", "`EH vector copy ctor iterator'", OPERATOR_PLAIN},
    {"__D", "`EH vector vbase copy ctor iterator'", OPERATOR_PLAIN},
    {"__E", "`dynamic initializer for '", OPERATOR_INITIALIZER},
    {"__F", "`dynamic atexit destructor for '", OPERATOR_INITIALIZER},
    {"__G", "`vector copy ctor iterator'", OPERATOR_PLAIN},
    {"__H", "`vector vbase copy ctor iterator'", OPERATOR_PLAIN},
    {"__I", "`managed vector copy ctor iterator'", OPERATOR_PLAIN},
    {"__J", "`local static thread guard'", OPERATOR_PLAIN},
    {"__L", "operator co_await", OPERATOR_PLAIN},
    {"__M", "operator<=>", OPERATOR_PLAIN},
};
const size_t kOperatorCount = COUNT(kOperators);

// Two letters each: the second marks a far function in 16-bit code.
const FunctionClass kFunctionClasses[] = {
    {"A", "private: ", FUNCTION_MEMBER},    {"B", "private: ", FUNCTION_MEMBER},
    {"C", "private: ", FUNCTION_STATIC},    {"D", "private: ", FUNCTION_STATIC},
    {"E", "private: ", FUNCTION_VIRTUAL},   {"F", "private: ", FUNCTION_VIRTUAL},
    {"G", "private: ", FUNCTION_THUNK},     {"H", "private: ", FUNCTION_THUNK},
    {"I", "protected: ", FUNCTION_MEMBER},  {"J", "protected: ", FUNCTION_MEMBER},
    {"K", "protected: ", FUNCTION_STATIC},  {"L", "protected: ", FUNCTION_STATIC},
    {"M", "protected: ", FUNCTION_VIRTUAL}, {"N", "protected: ", FUNCTION_VIRTUAL},
    {"O", "protected: ", FUNCTION_THUNK},   {"P", "protected: ", FUNCTION_THUNK},
    {"Q", "public: ", FUNCTION_MEMBER},     {"R", "public: ", FUNCTION_MEMBER},
    {"S", "public: ", FUNCTION_STATIC},     {"T", "public: ", FUNCTION_STATIC},
    {"U", "public: ", FUNCTION_VIRTUAL},    {"V", "public: ", FUNCTION_VIRTUAL},
    {"W", "public: ", FUNCTION_THUNK},      {"X", "public: ", FUNCTION_THUNK},
    {"Y", "", FUNCTION_GLOBAL},             {"Z", "", FUNCTION_GLOBAL},
    {"$0", "private: ", FUNCTION_DISPLACEMENT_THUNK},
    {"$1", "private: ", FUNCTION_DISPLACEMENT_THUNK},
    {"$2", "protected: ", FUNCTION_DISPLACEMENT_THUNK},
    {"$3", "protected: ", FUNCTION_DISPLACEMENT_THUNK},
    {"$4", "public: ", FUNCTION_DISPLACEMENT_THUNK},
    {"$5", "public: ", FUNCTION_DISPLACEMENT_THUNK},
};
const size_t kFunctionClassCount = COUNT(kFunctionClasses);

const PointerCode kPointers[] = {
    {"P", "*", ""},   {"Q", "*", "const"},   {"R", "*", "volatile"},
    {"S", "*", "const volatile"},            {"A", "&", ""},
    {"B", "&", "volatile"},                  {"$$Q", "&&", ""},
    {"$$R", "&&", "volatile"},
};
const size_t kPointerCount = COUNT(kPointers);
