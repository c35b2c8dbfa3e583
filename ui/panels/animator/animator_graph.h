// The animation panel's graph, free of windows: one particle per function seen on the
// followed thread's call stack and one link per caller-callee pair, sampled every tick
// while the debuggee runs; lively ones rise and pull together, the others fade away.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "ui/rich_text/rich_text_records.h"
#include "util/index.h"
#include "util/tab.h"

struct Particle {
  uint32_t id;
  char *name;         // owned copy of the entry's name
  uint32_t function;  // the entry's address
  double heat;        // how often on top of the stack recently
  double activity;    // how often anywhere on the stack recently
  float x, y, z;
  float step_x, step_y, step_z;  // displacement gathered during one tick
};

struct Link {
  uint32_t caller, callee;  // particle ids
  double strength;
};

struct AnimatorGraph {
  SlotTable particles;      // Particle records
  SortedIndex by_function;  // particle ids by function address
  SlotTable links;          // Link records
  SortedIndex by_pair;      // link ids by (caller id, callee id)
  uint32_t seed;            // of the offsets given to new particles
  float angle;              // rotation about the vertical axis
  int tick;                 // frames painted
  int samples;              // stacks taken
};

// One frame of a sampled stack: the function that contains its code address.
struct AnimatorFrame {
  uint32_t function;
  const char *name;
};
// Fills frame with the function containing code; false when no entry holds it.
typedef bool (*AnimatorLookup)(void *context, uint32_t code, AnimatorFrame *frame);

enum { ANIMATOR_RANDOM_MAX = 32767 };
// The furthest a particle moves in one tick.
const float ANIMATOR_STEP_MAX = 0.1f;

// Moves value towards target: (target * rate + value) / (1 + rate).
double approach(double value, double target, double rate);

void animator_init(AnimatorGraph *g, uint32_t seed);
void animator_free(AnimatorGraph *g);
// Removes every particle and link.
void animator_clear(AnimatorGraph *g);
inline int animator_particle_count(const AnimatorGraph *g) { return tab_used(&g->particles); }
inline int animator_link_count(const AnimatorGraph *g) { return tab_used(&g->links); }

// The functions of a stack's code addresses, innermost first; addresses without an entry
// are left out. Gives how many were written to out (room for count).
int animator_frames(const uint32_t *code, int count, AnimatorLookup lookup, void *context,
                    AnimatorFrame *out);
// One sample of a stack given innermost first: particles and links met are refreshed or
// made, then every link pulls, every particle fades, rises or sinks and moves.
void animator_sample(AnimatorGraph *g, const AnimatorFrame *frames, int count);

// Where a tick takes the stack from: take writes up to max frames, innermost first, and
// gives how many.
struct AnimatorStack {
  int (*take)(void *context, AnimatorFrame *out, int max);
  void *context;
};
enum { ANIMATOR_FRAMES_MAX = 100 };
// One timer tick: the graph turns a little and, only while the debuggee runs, the stack is
// taken and sampled.
void animator_tick(AnimatorGraph *g, bool running, const AnimatorStack *stack);

// Look-ups; null when absent.
Particle *animator_particle(const AnimatorGraph *g, uint32_t function);
Link *animator_link(const AnimatorGraph *g, uint32_t caller_function, uint32_t callee_function);
// Walks the particles or links in use: start from -1; false after the last.
bool animator_next_particle(const AnimatorGraph *g, int *id, Particle **p);
bool animator_next_link(const AnimatorGraph *g, int *id, Link **l);
inline Particle *animator_particle_of(const AnimatorGraph *g, uint32_t id) {
  return (Particle *)tab_slot(&g->particles, (int)id);
}

// A position rotated by the angle about the vertical axis, flattened into the rectangle.
struct AnimatorPoint {
  int x, y;
};
AnimatorPoint animator_project(float angle, float x, float y, float z, const RichRect *r);
// A colour with each channel scaled by round(share * 100) / 100.
uint32_t animator_scale_color(uint32_t color, double share);

// The counters block ("#Particle", "#Link", "#Tick", "Top") and the column of particles
// (position and name), written into cleared documents.
void animator_write_counters(RichText *dd, const AnimatorGraph *g, int top);
void animator_write_column(RichText *dd, const AnimatorGraph *g);
// The set as text for whoever reads the panel from outside: "samples N ticks M top T"
// (the column's offset), then one line per particle (its name) and one per link
// ("caller>callee"). A zone block; null when out of memory.
char *animator_describe(const AnimatorGraph *g, int top);
