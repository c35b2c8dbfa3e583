// The animation graph on made-up stacks: where a new function appears, which links a
// stack makes, how fast what left the stack fades and goes, that a paused debuggee is
// not sampled, that clearing empties everything, and the flat projection.
#include <gtest/gtest.h>
#include <math.h>
#include <string.h>

#include <string>
#include <vector>

#include "ui/panels/animator/animator_graph.h"
#include "ui/rich_text/rich_text_fixed.h"
#include "ui/rich_text/rich_text_read.h"
#include "ui/rich_text/rich_text_write.h"
#include "util/zone.h"

namespace {

// Functions by address: each name stands for the function at 0x1000 times its place.
const char *const kNames[] = {"none", "leaf", "mid", "top", "main", "other", "fresh"};
enum { LEAF = 1, MID, TOP, MAIN, OTHER, FRESH };
uint32_t fn(int which) { return 0x1000u * (uint32_t)which; }

std::vector<AnimatorFrame> stack(std::initializer_list<int> inner_first) {
  std::vector<AnimatorFrame> frames;
  for (int which : inner_first) frames.push_back({fn(which), kNames[which]});
  return frames;
}

void sample(AnimatorGraph *g, std::initializer_list<int> inner_first, int times = 1) {
  const std::vector<AnimatorFrame> frames = stack(inner_first);
  for (int i = 0; i < times; i++) animator_sample(g, frames.data(), (int)frames.size());
}

class Graph : public ::testing::Test {
 protected:
  void SetUp() override {
    blocks_ = zone_block_count();
    animator_init(&g_, 1);
  }
  void TearDown() override {
    animator_free(&g_);
    EXPECT_EQ(blocks_, zone_block_count()) << "names or tables left behind";
  }
  Particle *particle(int which) { return animator_particle(&g_, fn(which)); }
  AnimatorGraph g_;
  int blocks_ = 0;
};

// A new function is placed beside the particle of the frame walked just before it (its
// callee), an innermost one low in the middle; either then moves by one tick's forces.
TEST_F(Graph, NewFunctionAppearsBesideItsCallee) {
  sample(&g_, {MAIN}, 60);  // main, long on top, has risen well above the floor
  const float main_x = particle(MAIN)->x, main_y = particle(MAIN)->y, main_z = particle(MAIN)->z;
  ASSERT_GT(main_y, 0.5f);
  struct Case {
    std::initializer_list<int> stack;
    int fresh;       // the new function
    bool by_main;    // placed beside main, or else low in the middle
  };
  const Case cases[] = {
      {{MAIN, TOP}, TOP, true},        // a caller of main
      {{LEAF, MAIN}, LEAF, false},     // main's new callee is innermost: nothing walked before
      {{MAIN, MID, OTHER}, MID, true}, // the inner frames come first
  };
  for (const Case &c : cases) {
    AnimatorGraph g;
    animator_init(&g, 7);
    sample(&g, {MAIN}, 60);
    sample(&g, c.stack);
    const Particle *p = animator_particle(&g, fn(c.fresh));
    ASSERT_NE(p, nullptr) << kNames[c.fresh];
    if (c.by_main) {
      EXPECT_NEAR(p->x, main_x, 0.45) << kNames[c.fresh];
      EXPECT_NEAR(p->z, main_z, 0.45) << kNames[c.fresh];
      EXPECT_NEAR(p->y, main_y, 0.3) << kNames[c.fresh];
    } else {
      EXPECT_NEAR(p->x, 0, 0.45) << kNames[c.fresh];
      EXPECT_NEAR(p->z, 0, 0.45) << kNames[c.fresh];
      EXPECT_LT(p->y, -0.5f) << kNames[c.fresh];
    }
    animator_free(&g);
  }
}

// Every frame's function is a particle once, and every pair of neighbouring frames a
// link from the caller (outer) to the callee (inner).
TEST_F(Graph, LinksRunFromCallerToCallee) {
  struct Case {
    std::initializer_list<int> stack;
    int particles;
    std::vector<std::pair<int, int>> links, not_links;
  };
  const Case cases[] = {
      {{LEAF, MID, TOP}, 3, {{MID, LEAF}, {TOP, MID}}, {{LEAF, MID}, {MID, TOP}, {TOP, LEAF}}},
      {{LEAF, LEAF, MID}, 2, {{LEAF, LEAF}, {MID, LEAF}}, {{LEAF, MID}}},  // recursion
      {{LEAF, MID, LEAF, MID}, 2, {{MID, LEAF}, {LEAF, MID}}, {{MID, MID}}},
      {{TOP}, 1, {}, {{TOP, TOP}}},
      {{}, 0, {}, {}},
  };
  for (const Case &c : cases) {
    AnimatorGraph g;
    animator_init(&g, 3);
    sample(&g, c.stack);
    EXPECT_EQ(animator_particle_count(&g), c.particles);
    EXPECT_EQ(animator_link_count(&g), (int)c.links.size());
    for (const auto &l : c.links)
      EXPECT_NE(animator_link(&g, fn(l.first), fn(l.second)), nullptr)
          << kNames[l.first] << ">" << kNames[l.second];
    for (const auto &l : c.not_links)
      EXPECT_EQ(animator_link(&g, fn(l.first), fn(l.second)), nullptr)
          << kNames[l.first] << ">" << kNames[l.second];
    animator_free(&g);
  }
}

// A link met again grows stronger; one not met weakens by 1 % a sample and goes below
// 0.001 (about 520 samples from the strength of two meetings), while both its particles
// stay.
TEST_F(Graph, LinksStrengthenWhenMetAndGoWhenNot) {
  sample(&g_, {LEAF, MID});
  const double first = animator_link(&g_, fn(MID), fn(LEAF))->strength;
  sample(&g_, {LEAF, MID});
  const double second = animator_link(&g_, fn(MID), fn(LEAF))->strength;
  EXPECT_GT(second, first);
  const double expected = log(second / 0.001) / log(1.01);
  int samples = 0;
  while (animator_link(&g_, fn(MID), fn(LEAF)) && samples < 2000) {
    sample(&g_, {samples % 2 ? LEAF : MID});  // both stay on the stack, apart
    samples++;
  }
  EXPECT_NEAR(samples, expected, 2);
  EXPECT_EQ(animator_link_count(&g_), 0);
  EXPECT_EQ(animator_particle_count(&g_), 2);
}

// A function that left the stack fades: its activity halves about every 70 samples and it
// goes, with its links, a few hundred samples later; the function still sampled stays.
TEST_F(Graph, FunctionThatLeftTheStackFadesAndGoes) {
  sample(&g_, {LEAF, MID, TOP}, 20);
  const double start = particle(LEAF)->activity;
  int halved = 0;
  while (particle(LEAF)->activity > start / 2) {
    sample(&g_, {MID, TOP});
    halved++;
  }
  EXPECT_GE(halved, 68);
  EXPECT_LE(halved, 72);
  int gone = halved;
  while (particle(LEAF) && gone < 5000) {
    sample(&g_, {MID, TOP});
    gone++;
  }
  EXPECT_GT(gone, 300);
  EXPECT_LT(gone, 1000);
  EXPECT_EQ(particle(LEAF), nullptr);
  EXPECT_NE(particle(MID), nullptr);
  EXPECT_EQ(animator_link(&g_, fn(MID), fn(LEAF)), nullptr);
  EXPECT_NE(animator_link(&g_, fn(TOP), fn(MID)), nullptr);
  EXPECT_EQ(animator_link_count(&g_), 1);
  // The freed slot serves the next newcomer, whose links are its own.
  sample(&g_, {FRESH, MID, TOP});
  EXPECT_NE(animator_link(&g_, fn(MID), fn(FRESH)), nullptr);
  EXPECT_EQ(animator_link_count(&g_), 2);
}

// Hot functions (often innermost) rise above those only passed through.
TEST_F(Graph, TheInnermostRises) {
  sample(&g_, {LEAF, MID, TOP}, 300);
  EXPECT_GT(particle(LEAF)->heat, 0.9);
  EXPECT_LT(particle(TOP)->heat, 0.2);
  EXPECT_GT(particle(LEAF)->y, particle(TOP)->y + 0.5f);
}

// A caller with many callees (the recursion's kq_descend has eight) is pulled by all of
// them at once; the graph must stay finite and in view however long it runs.
TEST_F(Graph, ManyCalleesStayInView) {
  std::vector<AnimatorFrame> frames;
  const char *const levels[] = {"level0", "level1", "level2", "level3", "level4", "level5",
                                "level6"};
  for (int i = 0; i < 3000; i++) {
    const int step = i / 12 % 14, depth = step <= 7 ? step : 14 - step;
    frames.clear();
    frames.push_back({fn(LEAF), "spin"});
    for (int level = depth; level >= 0; level--) {
      frames.push_back({fn(MID), "descend"});
      if (level) frames.push_back({fn(FRESH) + (uint32_t)level, levels[level - 1]});
    }
    frames.push_back({fn(MAIN), "main"});
    frames.push_back({fn(TOP), "start"});
    animator_sample(&g_, frames.data(), (int)frames.size());
    Particle *p;
    for (int id = -1; animator_next_particle(&g_, &id, &p);)
      ASSERT_TRUE(fabsf(p->x) < 5 && fabsf(p->y) < 5 && fabsf(p->z) < 5)
          << p->name << " at " << p->x << " " << p->y << " " << p->z << " after " << i;
  }
}

int take_count;
int take(void *context, AnimatorFrame *out, int max) {
  take_count++;
  const std::vector<AnimatorFrame> &frames = *(const std::vector<AnimatorFrame> *)context;
  int n = 0;
  for (; n < (int)frames.size() && n < max; n++) out[n] = frames[n];
  return n;
}

// While the debuggee is paused the graph keeps turning, the stack is not even taken, and
// nothing fades; running, every tick is a sample.
TEST_F(Graph, PausedDebuggeeIsNotSampled) {
  std::vector<AnimatorFrame> frames = stack({LEAF, MID});
  const AnimatorStack source = {take, &frames};
  take_count = 0;
  for (int i = 0; i < 5; i++) animator_tick(&g_, true, &source);
  EXPECT_EQ(take_count, 5);
  EXPECT_EQ(g_.samples, 5);
  const double activity = particle(LEAF)->activity;
  const float y = particle(LEAF)->y, angle = g_.angle;
  for (int i = 0; i < 100; i++) animator_tick(&g_, false, &source);
  EXPECT_EQ(take_count, 5);
  EXPECT_EQ(g_.samples, 5);
  EXPECT_EQ(particle(LEAF)->activity, activity);
  EXPECT_EQ(particle(LEAF)->y, y);
  EXPECT_NEAR(g_.angle, angle + 1.0f, 1e-3);
}

// Unloading empties the graph and frees every name; sampling again starts afresh.
TEST_F(Graph, ClearEmptiesEverything) {
  std::vector<AnimatorFrame> frames;
  std::vector<std::string> names;
  for (int i = 0; i < 300; i++) names.push_back("f" + std::to_string(i));
  for (int i = 0; i < 300; i++) frames.push_back({0x400000u + 16u * (uint32_t)i, names[i].c_str()});
  animator_sample(&g_, frames.data(), (int)frames.size());
  EXPECT_EQ(animator_particle_count(&g_), 300);
  EXPECT_EQ(animator_link_count(&g_), 299);
  animator_clear(&g_);
  EXPECT_EQ(animator_particle_count(&g_), 0);
  EXPECT_EQ(animator_link_count(&g_), 0);
  EXPECT_EQ(animator_particle(&g_, 0x400000u), nullptr);
  sample(&g_, {LEAF, MID});
  EXPECT_EQ(animator_particle_count(&g_), 2);
  EXPECT_STREQ(particle(MID)->name, "mid");
  EXPECT_NE(animator_link(&g_, fn(MID), fn(LEAF)), nullptr);
}

// Code addresses become the functions that hold them; an address no entry holds is left
// out and its neighbours are linked across it.
bool lookup(void *, uint32_t code, AnimatorFrame *frame) {
  const int which = (int)(code / 0x1000);
  if (which < LEAF || which > FRESH || code % 0x1000 >= 0x800) return false;
  *frame = {fn(which), kNames[which]};
  return true;
}

TEST_F(Graph, AddressesWithoutEntryAreSkipped) {
  const uint32_t code[] = {fn(LEAF) + 5, 0x9999, fn(MID) + 0x10, fn(MID) + 0x900, 0, fn(TOP)};
  AnimatorFrame frames[6];
  const int n = animator_frames(code, 6, lookup, nullptr, frames);
  ASSERT_EQ(n, 3);
  animator_sample(&g_, frames, n);
  EXPECT_EQ(animator_particle_count(&g_), 3);
  EXPECT_NE(animator_link(&g_, fn(MID), fn(LEAF)), nullptr);
  EXPECT_NE(animator_link(&g_, fn(TOP), fn(MID)), nullptr);
  EXPECT_EQ(animator_link_count(&g_), 2);
}

TEST(AnimatorView, ProjectionAndColours) {
  const RichRect r = {10, 20, 210, 120};  // 200 by 100, centre (110, 70)
  const float quarter = acosf(0);  // a quarter turn (mingw in strict mode has no M_PI_2)
  struct Case {
    float angle, x, y, z;
    int sx, sy;
  };
  const Case cases[] = {
      {0, 0, 0, 0, 110, 70},      {0, 1, 0, 0, 210, 70},      {0, -1, 0, 0, 10, 70},
      {0, 0, 1, 0, 110, 20},      {0, 0, -1, 0, 110, 120},    {0, 0, 0, 1, 110, 70},
      {quarter, 0, 0, 1, 210, 70}, {quarter, 1, 0, 0, 110, 70}, {0, 0.5f, 0.5f, 0, 160, 45},
  };
  for (const Case &c : cases) {
    const AnimatorPoint p = animator_project(c.angle, c.x, c.y, c.z, &r);
    EXPECT_NEAR(p.x, c.sx, 1) << c.angle << " " << c.x << " " << c.y << " " << c.z;
    EXPECT_NEAR(p.y, c.sy, 1) << c.angle << " " << c.x << " " << c.y << " " << c.z;
  }
  struct Shade {
    uint32_t color;
    double share;
    uint32_t scaled;
  };
  const Shade shades[] = {{0xFFFFFF, 1, 0xFFFFFF}, {0xFFFFFF, 0.5, 0x7F7F7F},
                          {0x00FFFF, 0.1, 0x001919}, {0xFFFFFF, 0.004, 0},
                          {0x00FFFF, 0.996, 0x00FFFF}, {0x123456, 0, 0}};
  for (const Shade &s : shades)
    EXPECT_EQ(animator_scale_color(s.color, s.share), s.scaled) << std::hex << s.color;
}

// The counters and the column as the panel draws them, and the set as read from outside;
// a name with markup characters stays text.
TEST_F(Graph, TextsOfThePanel) {
  const AnimatorFrame frames[] = {{fn(LEAF), "operator<"}, {fn(MID), "mid"}};
  animator_sample(&g_, frames, 2);
  g_.tick = 17;
  RichFixed fixed;
  rich_fixed_init(&fixed);
  RichText *dd = rich_create(&fixed.measurer);
  animator_write_counters(dd, &g_, -120);
  char *text = rich_text_range(dd, 0, rich_length(dd));
  EXPECT_STREQ(text, "2 #Particle\r\n1 #Link\r\n17 #Tick\r\n-120 Top\r\n");
  zone_free(text);
  animator_write_column(dd, &g_);
  text = rich_text_range(dd, 0, rich_length(dd));
  EXPECT_NE(strstr(text, " operator< \r\n"), nullptr) << text;
  EXPECT_NE(strstr(text, " mid \r\n"), nullptr) << text;
  EXPECT_EQ(rich_line_count(dd), 3);  // two particles and the empty line after
  zone_free(text);
  rich_destroy(dd);
  char *set = animator_describe(&g_, -120);
  const std::string described = set;
  zone_free(set);
  EXPECT_EQ(described.rfind("samples 1 ticks 17 top -120\n", 0), 0u) << described;
  EXPECT_NE(described.find("\noperator<\n"), std::string::npos) << described;
  EXPECT_NE(described.find("\nmid>operator<\n"), std::string::npos) << described;
}

}  // namespace
