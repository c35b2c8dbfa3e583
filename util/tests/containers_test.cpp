#include <gtest/gtest.h>
#include <string.h>

#include <algorithm>
#include <deque>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "test_support.h"
#include "util/id_hash.h"
#include "util/index.h"
#include "util/namemap.h"
#include "util/record_arena.h"
#include "util/stringpool.h"
#include "util/tab.h"
#include "util/zone.h"
#include "util/zone_allocator.h"

namespace {

// The record of id is g_keys[id].
std::vector<int> g_keys(10002);
const uint32_t kNone = SINDEX_NONE;
typedef std::set<std::pair<int, uint32_t>> Reference;

int compare_int(const void *key, uint32_t, uint32_t id) {
  int k = *(const int *)key, r = g_keys[id];
  return (k > r) - (k < r);
}

void init_index(SortedIndex *si) {
  sindex_init(si);
  sindex_set_compare(si, compare_int, 0);
}

// The ids in index order; with two parts or more none may be short.
std::vector<uint32_t> walk(const SortedIndex *si) {
  std::vector<uint32_t> ids;
  for (int p = 0; p < si->partnum; p++) {
    EXPECT_GE(si->parts[p].count, si->partnum > 1 ? SINDEX_PART_MIN : 1) << "part " << p;
    ids.insert(ids.end(), si->parts[p].ids, si->parts[p].ids + si->parts[p].count);
  }
  EXPECT_EQ((int)ids.size(), si->num);
  return ids;
}

struct IndexTest : ::testing::Test {
  SortedIndex si;
  void SetUp() override { init_index(&si); }
  void TearDown() override { sindex_destroy(&si); }
  void add(uint32_t id, int key) {
    g_keys[id] = key;
    EXPECT_FALSE(sindex_insert(&si, &key, id));
  }
  bool remove(uint32_t id) { return sindex_remove(&si, &g_keys[id], id); }
};

TEST_F(IndexTest, SplitsAt151AndMergesBelow51) {
  struct Case {
    int part, removed, partnum, first_count;
  } cases[] = {
      {1, 24, 2, 76}, {1, 25, 1, 126},  // the second part joins the first
      {0, 25, 2, 51}, {0, 26, 1, 125},  // the first part takes in the second
  };
  for (const Case &c : cases) {
    std::vector<uint32_t> order(151);
    for (uint32_t i = 0; i < 151; i++) order[i] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(c.removed));
    for (uint32_t id : order) add(id, (int)id * 10);
    ASSERT_EQ(si.partnum, 2);
    EXPECT_EQ(si.parts[0].count, 76);
    EXPECT_EQ(si.parts[1].count, 75);
    std::vector<uint32_t> doomed(si.parts[c.part].ids, si.parts[c.part].ids + c.removed);
    for (uint32_t id : doomed) EXPECT_TRUE(remove(id));
    EXPECT_EQ(si.partnum, c.partnum) << c.part << " " << c.removed;
    EXPECT_EQ(si.parts[0].count, c.first_count);
    std::vector<uint32_t> ids = walk(&si);
    EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()));
    sindex_destroy(&si);
  }
}

// Marked removal keeps the order and the part bounds of removing one by one: every id,
// a run at the front, every other id, a run in the middle, the last few.
TEST_F(IndexTest, RemovesMarkedIdsInOnePass) {
  struct Case {
    int count;
    bool (*doomed)(uint32_t id);
  } cases[] = {
      {400, [](uint32_t) { return true; }},
      {400, [](uint32_t id) { return id < 300; }},
      {1000, [](uint32_t id) { return id % 2 == 0; }},
      {1000, [](uint32_t id) { return id >= 100 && id < 900; }},
      {200, [](uint32_t id) { return id >= 195; }},
  };
  for (const Case &c : cases) {
    std::vector<uint32_t> order(c.count), left;
    std::vector<uint8_t> marked(c.count + 1);
    for (int i = 0; i < c.count; i++) order[i] = (uint32_t)i;
    std::shuffle(order.begin(), order.end(), std::mt19937(c.count));
    for (uint32_t id : order) add(id, (int)id / 3);  // runs of equal keys, ordered by id
    for (uint32_t id = 0; id < (uint32_t)c.count; id++)
      c.doomed(id) ? (void)(marked[id] = 1) : left.push_back(id);
    EXPECT_EQ(sindex_remove_marked(&si, marked.data(), c.count), c.count - (int)left.size());
    EXPECT_EQ(walk(&si), left);
    sindex_destroy(&si);
  }
}

TEST_F(IndexTest, LookupsAtTheEdges) {
  uint32_t id;
  EXPECT_FALSE(sindex_iterate(&si, &id));  // empty
  add(4, 10), add(9, 20), add(1, 20), add(7, 20), add(2, 30);
  EXPECT_TRUE(sindex_insert(&si, &g_keys[7], 7));  // already there: nothing changes
  int wrong = 21;
  EXPECT_FALSE(sindex_remove(&si, &wrong, 7));  // the id under another key
  EXPECT_EQ(sindex_count(&si), 5);

  struct Case {
    int key;
    uint32_t find, floor, ceiling, before, after;
  } cases[] = {
      {5, kNone, kNone, 4, kNone, 4}, {10, 4, 4, 4, kNone, 1}, {15, kNone, 4, 1, 4, 1},
      {20, 1, 9, 1, 4, 2},            {30, 2, 2, 2, 9, kNone}, {35, kNone, 2, kNone, 2, kNone},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(sindex_find(&si, &c.key), c.find) << c.key;
    EXPECT_EQ(sindex_floor(&si, &c.key), c.floor) << c.key;
    EXPECT_EQ(sindex_ceiling(&si, &c.key), c.ceiling) << c.key;
    EXPECT_EQ(sindex_before(&si, &c.key), c.before) << c.key;
    EXPECT_EQ(sindex_after(&si, &c.key), c.after) << c.key;
  }

  int key = 20;
  ASSERT_EQ(sindex_collect(&si, &key), 3);
  std::vector<uint32_t> got;
  while (sindex_next(&si, &id)) got.push_back(id);
  EXPECT_EQ(got, (std::vector<uint32_t>{1, 7, 9}));  // equal keys by ascending id
  EXPECT_EQ(si.res, nullptr);

  got.clear();
  while (sindex_iterate(&si, &id)) {  // the copy lets the caller remove on the way
    got.push_back(id);
    EXPECT_TRUE(remove(id));
  }
  EXPECT_EQ(got, (std::vector<uint32_t>{4, 1, 7, 9, 2}));
  EXPECT_EQ(si.parts, nullptr);
}

// Against an ordered set of (key, id). A narrow key range gives long runs of equal keys
// across part boundaries; the first half mostly inserts, the second mostly removes.
TEST_F(IndexTest, MatchesReferenceUnderRandomChanges) {
  struct Run {
    unsigned seed;
    int keys, steps;
  } runs[] = {{1, 40, 16000}, {2, 100000, 16000}, {3, 3, 6000}};
  for (const Run &run : runs) {
    std::mt19937 rng(run.seed);
    auto rand = [&](int n) { return (int)(rng() % (unsigned)n); };
    Reference ref;
    std::vector<bool> present(10001);
    for (int step = 0; step < run.steps; step++) {
      uint32_t id = (uint32_t)rand(10001);
      bool grow = (rand(4) != 0) == (step < run.steps / 2);
      if (present[id]) {
        ASSERT_TRUE(sindex_insert(&si, &g_keys[id], id));
        if (!grow) {
          ASSERT_TRUE(remove(id));
          ref.erase({g_keys[id], id});
          present[id] = false;
        }
      } else if (grow) {
        g_keys[id] = rand(run.keys);
        ASSERT_FALSE(sindex_insert(&si, &g_keys[id], id));
        ref.insert({g_keys[id], id}), present[id] = true;
      } else {
        ASSERT_FALSE(remove(id));
      }
      int key = rand(run.keys + 2) - 1;
      auto lo = ref.lower_bound({key, 0}), hi = ref.lower_bound({key + 1, 0});
      auto at = [&](Reference::iterator it) { return it == ref.end() ? kNone : it->second; };
      auto before = [&](Reference::iterator it) {
        return it == ref.begin() ? kNone : std::prev(it)->second;
      };
      uint32_t found = sindex_find(&si, &key);
      ASSERT_TRUE(lo == hi ? found == kNone : found != kNone && g_keys[found] == key);
      ASSERT_EQ(sindex_floor(&si, &key), before(hi));
      ASSERT_EQ(sindex_ceiling(&si, &key), at(lo));
      ASSERT_EQ(sindex_before(&si, &key), before(lo));
      ASSERT_EQ(sindex_after(&si, &key), at(hi));
      if (step % 97 == 0) {
        std::vector<uint32_t> equal, got;
        for (auto it = lo; it != hi; ++it) equal.push_back(it->second);
        ASSERT_EQ(sindex_collect(&si, &key), (int)equal.size());
        while (sindex_next(&si, &id)) got.push_back(id);
        ASSERT_EQ(got, equal);
        int next = key + 1;
        got.resize(equal.size() + 1);
        ASSERT_EQ(sindex_between(&si, &key, &next, got.data(), (int)got.size()), (int)equal.size());
        got.pop_back();
        ASSERT_EQ(got, equal);
      }
      if (step % 499 == 0 || step == run.steps - 1) {
        std::vector<uint32_t> all;
        for (auto &e : ref) all.push_back(e.second);
        ASSERT_EQ(walk(&si), all) << "seed " << run.seed << " step " << step;
        ASSERT_EQ(sindex_check(&si), (int)ref.size());
      }
    }
    sindex_destroy(&si);
  }
}

// Ids added in one sorted pass to an empty or a filled index, some of them held already,
// stand where inserting them one by one would put them, in parts of at most 150.
TEST_F(IndexTest, SortedInsertMergesWithTheHeldIds) {
  struct Case {
    int held, added, keys;
  } cases[] = {{0, 1, 5}, {0, 1000, 100000}, {300, 3000, 50}, {5000, 40, 7}, {200, 200, 1}};
  std::mt19937 rng(4);
  for (const Case &c : cases) {
    Reference ref;
    for (uint32_t id = 0; id < (uint32_t)(c.held + c.added); id++) g_keys[id] = (int)(rng() % c.keys);
    for (uint32_t id = 0; id < (uint32_t)c.held; id++)
      sindex_insert(&si, &g_keys[id], id), ref.insert({g_keys[id], id});
    // Every fifth added id is one of the held ones.
    Reference added;
    for (uint32_t i = 0; i < (uint32_t)c.added; i++) {
      uint32_t id = c.held && i % 5 == 0 ? i % c.held : c.held + i;
      added.insert({g_keys[id], id}), ref.insert({g_keys[id], id});
    }
    std::vector<uint32_t> ids, all;
    std::vector<const void *> keys;
    for (auto &e : added) ids.push_back(e.second), keys.push_back(&g_keys[e.second]);
    for (auto &e : ref) all.push_back(e.second);
    ASSERT_TRUE(sindex_insert_sorted(&si, ids.data(), keys.data(), (int)ids.size()));
    ASSERT_EQ(walk(&si), all) << c.held << " + " << c.added;
    for (int p = 0; p < si.partnum; p++) EXPECT_LE(si.parts[p].count, SINDEX_PART_MAX);
    sindex_destroy(&si);
  }
}

// ---- SlotTable ----

// Against a queue: released ids join the back, growth by len * 30 % + 20 adds the new
// ids highest first. The 13 reserved ids are in use from the start.
TEST(SlotTable, ReleasedIdsComeBackOldestFirst) {
  SlotTable t;
  tab_init(&t, 12);
  tab_reserve(&t, 13);
  std::deque<int> free_ids;
  std::set<int> used;
  for (int id = 0; id < 13; id++) used.insert(id);
  std::mt19937 rng(7);
  for (int step = 0; step < 20000; step++) {
    if (used.empty() || rng() % 5 < 3) {
      int len = tab_count(&t);
      if (free_ids.empty())
        for (int id = len + (len * 3 + 5) / 10 + 19; id >= len; id--) free_ids.push_back(id);
      int id = tab_alloc(&t);
      ASSERT_EQ(id, free_ids.front());
      free_ids.pop_front();
      memset(tab_slot(&t, id), 0xA5, 12);
      used.insert(id);
    } else {
      auto it = std::next(used.begin(), rng() % used.size());
      ASSERT_TRUE(tab_release(&t, *it));
      ASSERT_FALSE(tab_release(&t, *it));  // a second release is ignored
      free_ids.push_back(*it);
      used.erase(it);
    }
    ASSERT_EQ(tab_used(&t), (int)used.size());
  }
  std::vector<int> walked, expect(used.rbegin(), used.rend());
  for (int id = -1; tab_prev_used(&t, &id);) walked.push_back(id);
  EXPECT_EQ(walked, expect);
  tab_clear(&t);
  EXPECT_EQ(tab_alloc(&t), 19);
  tab_free(&t);
}

// ---- Internal errors end the program with their text in the log ----

TEST(ContainersDeath, InternalErrors) {
  struct Case {
    void (*run)();
    const char *text;
  } cases[] = {
      {[] {
         SortedIndex si;
         init_index(&si);
         sindex_insert(&si, &g_keys[0], 0);
         sindex_set_compare(&si, compare_int, 1);
       },
       "Assertion index 60: !dd->partnum"},
      {[] {
         SortedIndex si;
         init_index(&si);
         g_keys[3] = 1, g_keys[10001] = 2;
         sindex_insert(&si, &g_keys[3], 3);
         sindex_insert(&si, &g_keys[10001], 10001);
         sindex_check(&si);
       },
       " t=0 i=1 (10001)"},
      {[] {
         SlotTable t;
         tab_init(&t, 4);
         tab_alloc(&t);
         tab_reserve(&t, 13);
       },
       "Assertion tab 28: !dd->len && !dd->emptynum"},
  };
  std::string path = temp_log_path("containers_death");
  for (const Case &c : cases) {
    EXPECT_EXIT((log_open_file(path.c_str(), "test.exe"), c.run()),
                ::testing::ExitedWithCode(kExitMinusOne), "");
    EXPECT_NE(read_file(path).find(c.text), std::string::npos) << c.text;
  }
}

// ---- NameMap, StringPool, ZoneAllocator ----

TEST(NameMap, CaseFlagDecidesWhatIsTheSameName) {
  struct Case {
    uint8_t casesens;
    std::vector<std::string> names;
    int namebytes;
  } cases[] = {
      {1, {"Main", "_start", "main"}, 5 + 7 + 5},
      {0, {"_start", "Main"}, 5 + 7},  // "_" sorts before the letters
  };
  int pooled = pool_count();
  for (const Case &c : cases) {
    NameMap m;
    namemap_init(&m, c.casesens);
    EXPECT_FALSE(namemap_add(&m, "Main", 1, 10));
    EXPECT_EQ(namemap_add(&m, "main", 2, 20), !c.casesens);
    EXPECT_FALSE(namemap_add(&m, "_start", 3, 30));
    EXPECT_FALSE(namemap_add(&m, "", 4, 0));
    EXPECT_FALSE(namemap_add(&m, nullptr, 4, 0));
    std::vector<std::string> names;
    const char *name;
    for (int i = 0; namemap_entry(&m, i, &name, nullptr, nullptr); i++) names.push_back(name);
    EXPECT_EQ(names, c.names);
    EXPECT_EQ(m.namebytes, c.namebytes);
    uint32_t value = 0, aux = 0;
    EXPECT_TRUE(namemap_find(&m, "main", &value, &aux));
    EXPECT_EQ(value * 10, aux);
    EXPECT_FALSE(namemap_find(&m, "mai", &value, &aux));
    EXPECT_TRUE(namemap_remove(&m, "_start"));
    EXPECT_FALSE(namemap_remove(&m, "_start"));
    EXPECT_EQ(m.namebytes, c.namebytes - 7);
    EXPECT_EQ(namemap_remove_value(&m, 2), c.casesens ? 1 : 0);
    namemap_destroy(&m);
    EXPECT_EQ(pool_count(), pooled);  // every name went back to the pool
  }
}

// Thousands of names, each looked up before it is added or removed (as the stores do)
// and some not: the parts and the place remembered from a look-up keep the name order.
TEST(NameMap, KeepsOrderOverManyPartsAndLookUps) {
  NameMap m;
  namemap_init(&m);
  std::map<std::string, uint32_t> reference;
  std::mt19937 rng(5);
  for (uint32_t i = 0; i < 6000; i++) {
    std::string name = "n" + std::to_string(rng() % 3000);
    if (i % 3 == 0) namemap_find(&m, ("n" + std::to_string(rng() % 3000)).c_str(), nullptr);
    else if (i % 3 == 1) namemap_find(&m, name.c_str(), nullptr);
    if (rng() % 4 == 0) {
      EXPECT_EQ(namemap_remove(&m, name.c_str()), reference.erase(name) == 1) << name;
    } else {
      EXPECT_EQ(namemap_add(&m, name.c_str(), i), reference.count(name) == 1) << name;
      reference[name] = i;
    }
  }
  ASSERT_EQ(namemap_count(&m), (int)reference.size());
  int i = 0;
  for (const auto &kv : reference) {
    const char *name;
    uint32_t value;
    ASSERT_TRUE(namemap_entry(&m, i++, &name, &value, nullptr));
    EXPECT_EQ(name, kv.first);
    EXPECT_EQ(value, kv.second);
  }
  namemap_destroy(&m);
}

TEST(StringPool, SharesEqualTextsByReference) {
  int pooled = pool_count();
  const char *a = pool_intern("Main");
  EXPECT_EQ(pool_intern(std::string("Main").c_str()), a);
  EXPECT_NE(pool_intern("main"), a);
  // Enough texts to move the slot array a few times; the copies themselves stay put.
  std::vector<const char *> many;
  for (int i = 0; i < 500; i++) many.push_back(pool_intern(std::to_string(i).c_str()));
  for (int i = 0; i < 500; i++) ASSERT_EQ(pool_intern(std::to_string(i).c_str()), many[i]);
  EXPECT_EQ(pool_count(), pooled + 502);
  for (int i = 0; i < 500; i++) pool_release(many[i]), pool_release(std::to_string(i).c_str());
  EXPECT_EQ(pool_references("Main"), 2);
  EXPECT_TRUE(pool_release("Main"));
  EXPECT_TRUE(pool_release(a));
  EXPECT_FALSE(pool_release("Main"));
  EXPECT_TRUE(pool_release("main"));
  EXPECT_EQ(pool_count(), pooled);
}

// Records share packs: a pack goes back to the zone with its last record, except the
// filling one, which is cut again from its start; a record that outgrows a pack's share
// has a block of its own.
TEST(RecordArena, PacksLiveWhileAnyRecordDoes) {
  const int blocks = zone_block_count();
  RecordArena arena;
  arena_init(&arena);
  std::vector<char *> first;  // enough for two packs and part of a third
  size_t per_pack = 0;        // records of the first pack
  for (int i = 0; i < 2 * ARENA_PACK_BYTES / 100 + 10; i++) {
    first.push_back((char *)arena_alloc(&arena, 100));
    ASSERT_NE(first.back(), nullptr);
    memset(first.back(), 'a' + i % 26, 100);
    if (!per_pack && zone_block_count() == blocks + 2) per_pack = first.size() - 1;
  }
  EXPECT_EQ(zone_block_count(), blocks + 3);
  char *lone = (char *)arena_alloc(&arena, ARENA_PACK_BYTES);
  EXPECT_EQ(zone_block_count(), blocks + 4);
  // In place while it is the last record of the filling pack, moved (content kept) after.
  char *grown = (char *)arena_resize(&arena, first.back(), 100, 300);
  EXPECT_EQ(grown, first.back());
  char *next = (char *)arena_alloc(&arena, 8);
  char *moved = (char *)arena_resize(&arena, grown, 300, 400);
  EXPECT_NE(moved, grown);
  EXPECT_EQ(std::string(moved, 100), std::string(100, grown[0]));
  first.back() = moved;
  arena_free(next);
  lone = (char *)arena_free(lone);
  EXPECT_EQ(zone_block_count(), blocks + 3);
  // Every record of the first pack but one: it stays; then the last one.
  for (size_t i = 1; i < per_pack; i++) first[i] = (char *)arena_free(first[i]);
  EXPECT_EQ(zone_block_count(), blocks + 3);
  for (size_t i = per_pack; i < first.size(); i++) EXPECT_EQ(first[i][0], 'a' + (int)i % 26);
  first[0] = (char *)arena_free(first[0]);
  EXPECT_EQ(zone_block_count(), blocks + 2);
  for (char *&record : first) record = (char *)arena_free(record);
  EXPECT_EQ(zone_block_count(), blocks + 1);  // the filling pack, empty
  char *again = (char *)arena_alloc(&arena, 100);
  EXPECT_EQ(zone_block_count(), blocks + 1);
  arena_free(again);
  arena_release(&arena);
  EXPECT_EQ(zone_block_count(), blocks);
}

// Ids found by hash and key through runs of equal and neighbouring hashes, after single
// removals (which move later buckets of a run back) and marked ones.
bool same_int(const void *key, uint32_t id) { return *(const int *)key == g_keys[id]; }

TEST(IdHash, FindsEveryIdThroughRemovals) {
  IdHash h;
  idhash_init(&h);
  const int blocks = zone_block_count();
  std::map<uint32_t, int> held;  // id -> key
  std::mt19937 random(7);
  auto hash = [](int key) { return (uint32_t)key % 97 * 64; };  // long runs that wrap
  for (int step = 0; step < 4000; step++) {
    const uint32_t id = random() % 3000;
    if (held.count(id)) {
      ASSERT_TRUE(idhash_remove(&h, hash(held[id]), id));
      held.erase(id);
    } else {
      held[id] = g_keys[id] = (int)(random() % 1000) * 3000 + (int)id;
      ASSERT_TRUE(idhash_insert(&h, hash(g_keys[id]), id));
    }
  }
  std::vector<uint8_t> marked(3000);
  for (auto &kv : held) marked[kv.first] = kv.first % 3 == 0;
  int removed = idhash_remove_marked(&h, marked.data(), 3000);
  for (auto it = held.begin(); it != held.end();) {
    removed -= marked[it->first];
    it = marked[it->first] ? held.erase(it) : std::next(it);
  }
  EXPECT_EQ(removed, 0);
  EXPECT_EQ(h.count, (int)held.size());
  for (auto &kv : held) EXPECT_EQ(idhash_find(&h, hash(kv.second), &kv.second, same_int), kv.first);
  const int missing = 3000 * 1000;
  EXPECT_EQ(idhash_find(&h, hash(missing), &missing, same_int), IDHASH_NONE);
  std::fill(marked.begin(), marked.end(), 1);
  idhash_remove_marked(&h, marked.data(), 3000);
  EXPECT_EQ(zone_block_count(), blocks);  // no buckets left
  idhash_destroy(&h);
}

TEST(ZoneAllocator, StandardContainersUseTheZones) {
  int blocks = zone_block_count();
  {
    std::vector<int, ZoneAllocator<int>> v(1000, 7);
    std::map<int, int, std::less<int>, ZoneAllocator<std::pair<const int, int>>> m{{1, 2}};
    EXPECT_EQ(zone_block_count(), blocks + 2);
  }
  EXPECT_EQ(zone_block_count(), blocks);
}

// A dump lists every entry, across the parts of the index and of the map, the index's
// in key order.
TEST(Containers, DumpsListEveryEntry) {
  std::string path = open_test_log("containers_dump");
  SortedIndex si;
  init_index(&si);
  NameMap m;
  namemap_init(&m);
  for (uint32_t id = 0; id < 400; id++) {
    g_keys[id] = 399 - (int)id;
    sindex_insert(&si, &g_keys[id], id);
    namemap_add(&m, ("n" + std::to_string(id)).c_str(), id);
  }
  ASSERT_GT(si.partnum, 1);
  sindex_dump(&si);
  namemap_dump(&m);
  const std::string body = log_body(path);
  size_t at = 0;
  for (int id = 399; id >= 0 && at != std::string::npos; id--)
    EXPECT_NE(at = body.find("] = " + std::to_string(id) + "\n", at), std::string::npos) << id;
  for (int id = 0; id < 400; id++)
    EXPECT_NE(body.find("{n" + std::to_string(id) + "} "), std::string::npos) << id;
  sindex_destroy(&si);
  namemap_destroy(&m);
}

}  // namespace
