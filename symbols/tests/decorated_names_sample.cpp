// Declarations whose decorated names the undecorator test reads back: classes, namespaces,
// templates, operators, constructors and destructors, const methods, static members,
// function pointers, arrays, lambdas and C names with each calling convention.
#include <stddef.h>
namespace geo {
struct Shape { Shape(); virtual ~Shape(); double area() const; static int count;
virtual void draw(int, char*);
  Shape &operator=(const Shape&); bool operator==(const Shape&) const; int operator[](int);
  void operator()(); operator int() const;
  static void *operator new(size_t); static void operator delete(void*); Shape &operator+=(int);
  Shape operator-() const; int operator->*(int);
  volatile int vi; };
void Shape::draw(int, char*) {} Shape::Shape() {} Shape::~Shape() {}
double Shape::area() const { return 0; } int Shape::count;
Shape &Shape::operator=(const Shape&) { return *this; }
bool Shape::operator==(const Shape&) const { return true; }
int Shape::operator[](int) { return 0; } void Shape::operator()() {}
Shape::operator int() const { return 1; }
void *Shape::operator new(size_t) { return 0; } void Shape::operator delete(void*) {}
Shape &Shape::operator+=(int) { return *this; }
Shape Shape::operator-() const { return *this; } int Shape::operator->*(int) { return 0; }
template <class T, int N> struct vec { T data[N > 0 ? N : 1]; void push(const T &); T *begin();
static vec *make(T (*)(int), int (&)[3]); };
template <class T, int N> void vec<T,N>::push(const T &) {}
template <class T, int N> T *vec<T,N>::begin() { return data; }
template <class T, int N> vec<T,N> *vec<T,N>::make(T (*)(int), int (&)[3]) { return 0; }
template struct vec<int, 4>; template struct vec<Shape*, -2>;
template struct vec<vec<char,1>, 100000>;
namespace { int hidden(int x) { return x; } }
int use_hidden(int x) { return hidden(x); }
}
int __stdcall stdf(int, long long, unsigned short) { return 0; }
int __fastcall fastf(float, double, long double) { return 0; }
int __cdecl cf(...) { return 0; }
void fp(int (*)(char, bool), void (__stdcall *)(), const char *const *, wchar_t *,
        int (geo::Shape::*)() const, int geo::Shape::*) {}
int arr[3][4]; int (*parr)[4]; const char *strs[2];
struct Outer {
  struct Inner { void f(unsigned char, signed char, long, unsigned long, unsigned int) {} };
  enum E { A };
  void g(E, Inner *) {}
};
template <class F> void call(F f) { f(); }
void lambdas() { call([]{}); static int local_static = 3; (void)local_static; }
void refs(int &&, const Outer &, Outer::E *, char16_t, char32_t, __int64, unsigned __int64,
          bool *) {}
template <class... T> void pack(T...) {}
void use() { Outer::Inner i; i.f(0,0,0,0,0); Outer o; o.g(Outer::A, &i); pack(1, 'c', 2.0); pack();
pack<>(); refs(1, o, 0, 0, 0, 0, 0, 0); }
template <void (*F)()> void tfun() { F(); }
template <int *P> int tptr() { return *P; }
int gi; void fv() {}
void use2() { tfun<fv>(); tptr<&gi>(); tfun<&lambdas>(); }
const volatile int cvi = 0; int *const cpi = 0; extern const int ext_ci; const int *pci;
struct Big { Big(const Big &); ~Big(); void *operator new[](size_t); void operator delete[](void*);
Big &operator<<(int); Big &operator>>(int); bool operator<(int); bool operator!() ; int operator~();
Big &operator++(); Big operator++(int); Big *operator&(); int operator%(int); int operator^(int);
int operator|(int); bool operator&&(int); bool operator||(int); int operator,(int);
Big &operator*=(int); Big &operator/=(int); Big &operator%=(int); Big &operator-=(int);
Big &operator<<=(int); Big &operator>>=(int); Big &operator&=(int); Big &operator|=(int);
Big &operator^=(int); bool operator!=(int); bool operator<=(int); bool operator>(int);
bool operator>=(int); int operator/(int); int operator*(int); int operator+(int); Big *operator->();
};
Big::Big(const Big &) {} Big::~Big() {}
void *Big::operator new[](size_t) { return 0; } void Big::operator delete[](void*) {}
Big &Big::operator<<(int) { return *this; } Big &Big::operator>>(int) { return *this; }
bool Big::operator<(int) { return 0; } bool Big::operator!() { return 0; }
int Big::operator~() { return 0; } Big &Big::operator++() { return *this; }
Big Big::operator++(int) { return *this; } Big *Big::operator&() { return this; }
int Big::operator%(int) { return 0; } int Big::operator^(int) { return 0; }
int Big::operator|(int) { return 0; } bool Big::operator&&(int) { return 0; }
bool Big::operator||(int) { return 0; } int Big::operator,(int) { return 0; }
Big &Big::operator*=(int) { return *this; } Big &Big::operator/=(int) { return *this; }
Big &Big::operator%=(int) { return *this; } Big &Big::operator-=(int) { return *this; }
Big &Big::operator<<=(int) { return *this; } Big &Big::operator>>=(int) { return *this; }
Big &Big::operator&=(int) { return *this; } Big &Big::operator|=(int) { return *this; }
Big &Big::operator^=(int) { return *this; }
bool Big::operator!=(int) { return 0; } bool Big::operator<=(int) { return 0; }
bool Big::operator>(int) { return 0; } bool Big::operator>=(int) { return 0; }
int Big::operator/(int) { return 0; } int Big::operator*(int) { return 0; }
int Big::operator+(int) { return 0; } Big *Big::operator->() { return this; }
union U { int a; float b; }; void un(U, U*, geo::Shape, geo::vec<int,4> *) {}
extern "C" int cfunc(int) { return 0; } extern "C" int __stdcall cstd(int, int) { return 0; }
extern "C" int __fastcall cfast(int) { return 0; }
template <class A, class B> struct Pair {};
typedef Pair<Pair<Pair<Pair<int, char>, char *>, const Pair<int, int> &>, int> Deep;
typedef Pair<Pair<Pair<Pair<Pair<Deep, int>, int>, int>, int>, int> Deeper;
void deep(Pair<Pair<Pair<Pair<Pair<Deeper, int>, int>, int>, int>, int> *) {}
