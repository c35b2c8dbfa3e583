# Writes the DWARF benchmarks' program: COUNT functions, each with a structure local, a
# loop and a global of its own, and a main. Run with -DOUT=file.c -DCOUNT=n.
set(text "struct item { int key; short parts[4]; const char *name; struct item *next; };\n")
math(EXPR last "${COUNT} - 1")
foreach(i RANGE ${last})
  string(APPEND text "int g_value${i};\n"
         "int step${i}(struct item *list, int limit) {\n"
         "  struct item local = {${i}, {1, 2, 3, 4}, \"step\", list};\n"
         "  int sum = 0;\n"
         "  for (int i = 0; i < limit; i++)\n"
         "    sum += local.parts[i % 4] + g_value${i};\n"
         "  return sum;\n"
         "}\n")
endforeach()
string(APPEND text "int main(void) { return step0(0, 3); }\n")
file(WRITE ${OUT} "${text}")
