# Writes the C++ program of the PDB 7 load benchmark to OUT: COUNT namespaces, each with a
# structure of eight members (bit fields and a self pointer among them), a class using it,
# a class template instance and two functions, all called from main; 3000 give a PDB of
# about 8.5 MB with clang and lld, 10000 one of about 28 MB.
file(WRITE ${OUT} "")
foreach(i RANGE 1 ${COUNT})
  file(APPEND ${OUT} "namespace n${i} {
struct S${i} { int a; short b; char c[12]; double d; S${i} *next; unsigned f : 3; unsigned g : 5; long h; };
template <class T> struct Box { T value; T get() const { return value; } };
class C${i} { public: C${i}(int x) : s_{x, 2, {0}, 1.0, 0, 1, 2, 3} {} int run(int k); private: S${i} s_; };
int C${i}::run(int k) {
  Box<int> box = {k};
  int total = box.get();
  for (int j = 0; j < k; j++) total += s_.a * j;
  return total + s_.b;
}
int f${i}(int x) {
  C${i} c(x);
  S${i} local = {x, 1, {0}, 2.0, 0, 1, 2, 3};
  return c.run(x) + local.a;
}
}
")
endforeach()
file(APPEND ${OUT} "int main() {\n  int sum = 0;\n")
foreach(i RANGE 1 ${COUNT})
  file(APPEND ${OUT} "  sum += n${i}::f${i}(${i});\n")
endforeach()
file(APPEND ${OUT} "  return sum == 0;\n}\n")
