#include "ui/panels/animator/animator_graph.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include "ui/rich_text/rich_text_write.h"
#include "util/zone.h"

namespace {

// Look-up keys carry their graph: the index's context is too narrow for a pointer.
struct FunctionKey {
  const AnimatorGraph *g;
  uint32_t function;
};
struct PairKey {
  const AnimatorGraph *g;
  uint32_t caller, callee;
};

int compare_function(const void *key, uint32_t, uint32_t id) {
  const FunctionKey *k = (const FunctionKey *)key;
  const uint32_t other = animator_particle_of(k->g, id)->function;
  return (k->function > other) - (k->function < other);
}

int compare_pair(const void *key, uint32_t, uint32_t id) {
  const PairKey *k = (const PairKey *)key;
  const Link *l = (const Link *)tab_slot(&k->g->links, (int)id);
  if (k->caller != l->caller) return k->caller < l->caller ? -1 : 1;
  return (k->callee > l->callee) - (k->callee < l->callee);
}

Link *link_of(const AnimatorGraph *g, uint32_t id) { return (Link *)tab_slot(&g->links, (int)id); }

// A uniform number from 0 to ANIMATOR_RANDOM_MAX.
int next_random(AnimatorGraph *g) {
  g->seed = g->seed * 214013u + 2531011u;
  return (int)((g->seed >> 16) & ANIMATOR_RANDOM_MAX);
}

float offset(AnimatorGraph *g, float spread) {
  return ((float)next_random(g) / ANIMATOR_RANDOM_MAX - 0.5f) * spread;
}

// A new particle beside the one of the frame walked before (its callee), or low in the
// middle for the innermost.
uint32_t add_particle(AnimatorGraph *g, const AnimatorFrame &frame, uint32_t callee) {
  const int id = tab_alloc(&g->particles);  // may move the table: the callee is read after
  const Particle *beside = callee == SINDEX_NONE ? nullptr : animator_particle_of(g, callee);
  Particle *p = animator_particle_of(g, (uint32_t)id);
  p->id = (uint32_t)id;
  p->name = zone_strdup(frame.name ? frame.name : "");
  p->function = frame.function;
  p->heat = p->activity = 0.1;
  p->x = (beside ? beside->x : 0.0f) + offset(g, 0.8f);
  p->y = (beside ? beside->y : -1.0f) + offset(g, 0.1f);
  p->z = (beside ? beside->z : 0.0f) + offset(g, 0.8f);
  const FunctionKey key = {g, frame.function};
  sindex_insert(&g->by_function, &key, (uint32_t)id);
  return (uint32_t)id;
}

void meet_link(AnimatorGraph *g, uint32_t caller, uint32_t callee) {
  const PairKey key = {g, caller, callee};
  const uint32_t found = sindex_find(&g->by_pair, &key);
  if (found != SINDEX_NONE) {
    Link *l = link_of(g, found);
    l->strength = approach(l->strength, 1, 0.1);
    return;
  }
  const int id = tab_alloc(&g->links);
  Link *l = link_of(g, (uint32_t)id);
  l->caller = caller;
  l->callee = callee;
  l->strength = 0.1;
  sindex_insert(&g->by_pair, &key, (uint32_t)id);
}

void remove_link(AnimatorGraph *g, int id) {
  const Link *l = link_of(g, (uint32_t)id);
  const PairKey key = {g, l->caller, l->callee};
  sindex_remove(&g->by_pair, &key, (uint32_t)id);
  tab_release(&g->links, id);
}

void remove_particle(AnimatorGraph *g, int id) {
  Particle *p = animator_particle_of(g, (uint32_t)id);
  const FunctionKey key = {g, p->function};
  sindex_remove(&g->by_function, &key, (uint32_t)id);
  p->name = (char *)zone_free(p->name);
  tab_release(&g->particles, id);
}

// Links weaken and pull their callers towards their callees.
void pull(AnimatorGraph *g) {
  Link *l;
  for (int id = -1; animator_next_link(g, &id, &l);) {
    l->strength = approach(l->strength, 0, 0.01);
    if (l->strength < 0.001) {
      remove_link(g, id);
      continue;
    }
    Particle *a = animator_particle_of(g, l->caller);
    const Particle *b = animator_particle_of(g, l->callee);
    const float vx = b->x - a->x, vy = b->y - a->y, vz = b->z - a->z;
    const float d = sqrtf(vx * vx + vy * vy + vz * vz);
    const float k = d * 0.5f * (float)l->strength;
    a->step_x += vx * k;
    a->step_y += vy * k;
    a->step_z += vz * k;
  }
}

// Particles fade; a hot one rises towards 1, every one sinks towards -1; the faded go
// with the links that name them.
void move(AnimatorGraph *g) {
  bool removed = false;
  Particle *p;
  for (int id = -1; animator_next_particle(g, &id, &p);) {
    p->activity = approach(p->activity, 0, 0.01);
    p->heat = approach(p->heat, 0, 0.002);
    if (p->activity < 0.004) {
      remove_particle(g, id);
      removed = true;
      continue;
    }
    p->step_y += (1 - p->y) * (float)p->heat;
    p->step_y += (-1 - p->y) * 0.1f;
    // The pulls add up: a caller of many callees would overshoot further each tick and
    // fly off, so one tick moves a particle no further than a short way.
    const float length = sqrtf(p->step_x * p->step_x + p->step_y * p->step_y +
                               p->step_z * p->step_z);
    if (length > ANIMATOR_STEP_MAX) {
      const float cut = ANIMATOR_STEP_MAX / length;
      p->step_x *= cut;
      p->step_y *= cut;
      p->step_z *= cut;
    }
    p->x += p->step_x;
    p->y += p->step_y;
    p->z += p->step_z;
    p->step_x = p->step_y = p->step_z = 0;
  }
  Link *l;
  for (int id = -1; removed && animator_next_link(g, &id, &l);)
    if (!tab_in_use(&g->particles, (int)l->caller) || !tab_in_use(&g->particles, (int)l->callee))
      remove_link(g, id);
}

}  // namespace

double approach(double value, double target, double rate) {
  return (target * rate + value) / (1 + rate);
}

void animator_init(AnimatorGraph *g, uint32_t seed) {
  *g = AnimatorGraph();
  tab_init(&g->particles, sizeof(Particle));
  tab_init(&g->links, sizeof(Link));
  sindex_init(&g->by_function);
  sindex_set_compare(&g->by_function, compare_function, 0);
  sindex_init(&g->by_pair);
  sindex_set_compare(&g->by_pair, compare_pair, 0);
  g->seed = seed;
}

void animator_clear(AnimatorGraph *g) {
  for (int id = -1; tab_prev_used(&g->links, &id);) remove_link(g, id);
  for (int id = -1; tab_prev_used(&g->particles, &id);) remove_particle(g, id);
}

void animator_free(AnimatorGraph *g) {
  animator_clear(g);
  sindex_destroy(&g->by_function);
  sindex_destroy(&g->by_pair);
  tab_free(&g->particles);
  tab_free(&g->links);
}

int animator_frames(const uint32_t *code, int count, AnimatorLookup lookup, void *context,
                    AnimatorFrame *out) {
  int n = 0;
  for (int i = 0; i < count; i++)
    if (lookup(context, code[i], &out[n])) n++;
  return n;
}

void animator_sample(AnimatorGraph *g, const AnimatorFrame *frames, int count) {
  g->samples++;
  uint32_t previous = SINDEX_NONE;
  for (int i = 0; i < count; i++) {
    const FunctionKey key = {g, frames[i].function};
    uint32_t id = sindex_find(&g->by_function, &key);
    if (id == SINDEX_NONE) {
      id = add_particle(g, frames[i], previous);
    } else {
      Particle *p = animator_particle_of(g, id);
      p->activity = approach(p->activity, 1, 0.1);
      if (i == 0) p->heat = approach(p->heat, 1, 0.1);
    }
    if (previous != SINDEX_NONE) meet_link(g, id, previous);
    previous = id;
  }
  pull(g);
  move(g);
}

void animator_tick(AnimatorGraph *g, bool running, const AnimatorStack *stack) {
  g->angle += 0.01f;
  if (!running) return;
  AnimatorFrame frames[ANIMATOR_FRAMES_MAX];
  animator_sample(g, frames, stack->take(stack->context, frames, ANIMATOR_FRAMES_MAX));
}

Particle *animator_particle(const AnimatorGraph *g, uint32_t function) {
  const FunctionKey key = {g, function};
  const uint32_t id = sindex_find(&g->by_function, &key);
  return id == SINDEX_NONE ? nullptr : animator_particle_of(g, id);
}

Link *animator_link(const AnimatorGraph *g, uint32_t caller_function, uint32_t callee_function) {
  const Particle *a = animator_particle(g, caller_function);
  const Particle *b = animator_particle(g, callee_function);
  if (!a || !b) return nullptr;
  const PairKey key = {g, a->id, b->id};
  const uint32_t id = sindex_find(&g->by_pair, &key);
  return id == SINDEX_NONE ? nullptr : link_of(g, id);
}

bool animator_next_particle(const AnimatorGraph *g, int *id, Particle **p) {
  if (!tab_prev_used(&g->particles, id)) return false;
  *p = animator_particle_of(g, (uint32_t)*id);
  return true;
}

bool animator_next_link(const AnimatorGraph *g, int *id, Link **l) {
  if (!tab_prev_used(&g->links, id)) return false;
  *l = link_of(g, (uint32_t)*id);
  return true;
}

AnimatorPoint animator_project(float angle, float x, float y, float z, const RichRect *r) {
  const float across = x * cosf(angle) + z * sinf(angle);
  const int width = r->right - r->left, height = r->bottom - r->top;
  return {(int)(across * (float)width / 2) + (r->left + r->right) / 2,
          (int)(-y * (float)height / 2) + (r->top + r->bottom) / 2};
}

uint32_t animator_scale_color(uint32_t color, double share) {
  const long percent = lround(share * 100);
  uint32_t scaled = 0;
  for (int shift = 0; shift < 24; shift += 8)
    scaled |= (uint32_t)(((color >> shift) & 0xFF) * percent / 100 & 0xFF) << shift;
  return scaled;
}

void animator_write_counters(RichText *dd, const AnimatorGraph *g, int top) {
  rich_clear(dd);
  rich_put_format(dd, "<color #FFFFFF>%i</color> #Particle\n", animator_particle_count(g));
  rich_put_format(dd, "<color #FFFFFF>%i</color> #Link\n", animator_link_count(g));
  rich_put_format(dd, "<color #FFFFFF>%i</color> #Tick\n", g->tick);
  rich_put_format(dd, "<color #FFFFFF>%i</color> Top\n", top);
}

void animator_write_column(RichText *dd, const AnimatorGraph *g) {
  rich_clear(dd);
  Particle *p;
  for (int id = -1; animator_next_particle(g, &id, &p);) {
    rich_put_format(dd, "<color #00FFFF>%f %f</color> ", p->x, p->y);
    rich_put_string(dd, p->name);  // names are text, not markup
    rich_put_string(dd, " \n");
  }
}

char *animator_describe(const AnimatorGraph *g, int top) {
  char line[64];
  snprintf(line, sizeof line, "samples %i ticks %i top %i\n", g->samples, g->tick, top);
  char *text = (char *)zone_append(nullptr, line, strlen(line));
  Particle *p;
  for (int id = -1; text && animator_next_particle(g, &id, &p);) {
    text = (char *)zone_append(text, p->name, strlen(p->name));
    text = (char *)zone_append(text, "\n", 1);
  }
  Link *l;
  for (int id = -1; text && animator_next_link(g, &id, &l);) {
    const char *caller = animator_particle_of(g, l->caller)->name;
    const char *callee = animator_particle_of(g, l->callee)->name;
    text = (char *)zone_append(text, caller, strlen(caller));
    text = (char *)zone_append(text, ">", 1);
    text = (char *)zone_append(text, callee, strlen(callee));
    text = (char *)zone_append(text, "\n", 1);
  }
  return text ? (char *)zone_append(text, "", 1) : nullptr;
}
