// The codes of decorated Visual C++ names: built-in types, calling conventions, operators
// and the compiler's own functions, member function classes, and qualifiers.
#pragma once
#include <stddef.h>
#include <stdint.h>

struct DecoratedCode {
  const char *code;  // the letters in the decorated name
  const char *text;  // what a reader sees
};

// What the name of a special function needs besides its text.
enum OperatorKind {
  OPERATOR_PLAIN,
  OPERATOR_CONSTRUCTOR,  // the class's own name
  OPERATOR_DESTRUCTOR,   // ~ and the class's name
  OPERATOR_CONVERSION,   // "operator " and the result type
  OPERATOR_TYPE_NAME,    // a type follows: the type, then the text
  OPERATOR_BASE_CLASS,   // four numbers follow, shown in the text
  OPERATOR_INITIALIZER,  // a variable's name follows, shown in the text
  OPERATOR_STRING,       // a string literal's text follows
};

struct OperatorCode {
  const char *code;  // after the "?" that starts the name
  const char *text;
  OperatorKind kind;
};

// A member function's class letter: its access and whether it is static, virtual or a thunk.
// The thunks come last: they are virtual too.
enum FunctionKind {
  FUNCTION_GLOBAL,
  FUNCTION_MEMBER,
  FUNCTION_STATIC,
  FUNCTION_VIRTUAL,
  FUNCTION_THUNK,
  FUNCTION_DISPLACEMENT_THUNK
};
struct FunctionClass {
  const char *code;
  const char *access;  // "public: " and the like
  FunctionKind kind;
};

// Pointers and references: the letters, the mark shown, and the pointer's own qualifiers.
struct PointerCode {
  const char *code;
  const char *mark;
  const char *qualifiers;
};

extern const DecoratedCode kBuiltinTypes[];
extern const size_t kBuiltinTypeCount;
extern const DecoratedCode kCallingConventions[];
extern const size_t kCallingConventionCount;
extern const DecoratedCode kTypeQualifiers[];  // A-D, and Q-T for members
extern const size_t kTypeQualifierCount;
extern const DecoratedCode kTagKinds[];  // union, struct, class, enum
extern const size_t kTagKindCount;
extern const DecoratedCode kVariableClasses[];  // 0-4: static members, globals, locals
extern const size_t kVariableClassCount;
extern const OperatorCode kOperators[];
extern const size_t kOperatorCount;
extern const FunctionClass kFunctionClasses[];
extern const size_t kFunctionClassCount;
extern const PointerCode kPointers[];
extern const size_t kPointerCount;
