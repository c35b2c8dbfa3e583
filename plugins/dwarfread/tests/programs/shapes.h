/* Types every unit of the test program shares. */
typedef unsigned char byte_t;
enum color { RED = 1, GREEN = 2, BLUE = 40 };
struct point {
  int x, y;
};
struct shape {
  struct point corners[4];
  enum color color;
  unsigned visible : 1, layer : 5, kind : 10;
  const char *name;
  union {
    float ratio;
    long count;
  } extra;
  struct shape *next;
  double (*area)(const struct shape *);
};
extern struct shape g_shapes[3];
extern volatile int g_counter;
double shape_area(const struct shape *s);
int shape_walk(struct shape *first, int limit);
