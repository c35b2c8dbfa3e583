// A small C++ program for the PDB 7 tests: classes, a namespace, a template, bit fields,
// a union, enums (one declared here and defined in one source file only), nested
// structures and thread-local data, over two source files.
#pragma once

namespace geo {

enum Colour { RED = 1, GREEN = 2, BLUE = 4 };

struct Flags {
  unsigned visible : 1;
  unsigned layer : 5;
  unsigned weight : 10;
};

union Value {
  int whole;
  float real;
  unsigned char bytes[4];
};

class Shape {
 public:
  struct Box {
    int left, top;
    struct Corner {
      short x, y;
    } corner;
  };
  Shape(int id) : id_(id), next_(0) {}
  virtual ~Shape() {}
  virtual int area() const;
  int id() const { return id_; }
  Box box;
  Flags flags;
  Value value;
  Colour colour;

 private:
  int id_;
  Shape *next_;
};

class Square : public Shape {
 public:
  Square(int id, int side) : Shape(id), side_(side) {}
  int area() const;

 private:
  int side_;
};

template <class T>
struct Pair {
  T first;
  T second;
  T sum() const { return first + second; }
};

enum class Tint : short;

struct Paint {
  Tint *tint;
  int coats;
};

int total_area(Shape **shapes, int count);
Tint *favourite_tint();

}  // namespace geo
