// The C++ unit: classes with methods, a namespace, references and a template.
namespace geo {
class Counter {
 public:
  explicit Counter(int start) : value_(start) {}
  int add(int amount) { return value_ += amount; }
  int value() const { return value_; }

 private:
  int value_;
  char tag_[6];
};

template <typename T>
struct Pair {
  T first, second;
};

int sum(const Pair<int> &pair) { return pair.first + pair.second; }
}  // namespace geo

geo::Counter g_counter(4);
geo::Pair<short> g_pair = {1, 2};

int bump(int &target, int by) {
  target += by;
  return g_counter.add(by);
}

int main() {
  int value = 3;
  geo::Pair<int> pair = {value, 5};
  bump(value, geo::sum(pair));
  return g_counter.value() + value;
}
