#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "test_support.h"
#include "util/zone.h"

namespace {

TEST(Zone, AllocateResizeRelease) {
  int blocks = zone_block_count();
  size_t total = zone_total_size();
  EXPECT_EQ(zone_alloc(0), nullptr);

  char *p = (char *)zone_resize(nullptr, 4);  // resizing none allocates
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(memcmp(p, "1111", 4), 0);  // fresh data reads as "1"
  EXPECT_EQ(zone_block_count(), blocks + 1);
  EXPECT_EQ(zone_total_size(), total + 4);

  p = (char *)zone_resize(p, 2);  // shrinking keeps the capacity
  EXPECT_EQ(zone_size(p), 2u);
  EXPECT_EQ(zone_capacity(p), 4u);
  EXPECT_EQ(zone_use_capacity(p), 4u);

  EXPECT_EQ(zone_resize(p, 0), nullptr);  // resizing to 0 releases
  EXPECT_EQ(zone_block_count(), blocks);
  EXPECT_EQ(zone_total_size(), total);
  EXPECT_EQ(zone_free(nullptr), nullptr);
  EXPECT_EQ(zone_size(nullptr), 0u);
}

TEST(Zone, GrowReservesSlack) {
  void *p = zone_alloc(100);
  p = zone_grow(p, 1);
  EXPECT_EQ(zone_size(p), 101u);
  EXPECT_EQ(zone_capacity(p), 141u);
  void *q = zone_grow(p, 1);
  EXPECT_EQ(q, p);  // fits in the slack: not moved
  EXPECT_EQ(zone_size(q), 102u);

  // Appending many small pieces keeps the contents whole.
  char *text = nullptr;
  std::string expect;
  for (int i = 0; i < 1000; i++) {
    char piece[16];
    int n = snprintf(piece, sizeof piece, "%d,", i);
    text = (char *)zone_append(text, piece, n);
    expect.append(piece, n);
  }
  EXPECT_EQ(std::string(text, zone_size(text)), expect);
  zone_heap_check("grow");
  zone_free(text);
  zone_free(q);
}

TEST(Zone, InsertAndDeleteElements) {
  int *a = (int *)zone_alloc(3 * sizeof(int));
  for (int i = 0; i < 3; i++) a[i] = 10 + i;
  a = (int *)zone_insert(a, 1, 2, sizeof(int));
  ASSERT_EQ(zone_size(a), 5 * sizeof(int));
  EXPECT_EQ(a[0], 10);
  EXPECT_EQ(a[3], 11);
  EXPECT_EQ(a[4], 12);
  a[1] = 20;
  a[2] = 21;
  a = (int *)zone_delete(a, 0, 2, sizeof(int));
  ASSERT_EQ(zone_size(a), 3 * sizeof(int));
  EXPECT_EQ(a[0], 21);
  EXPECT_EQ(a[1], 11);
  EXPECT_EQ(a[2], 12);
  // Inserting into no block allocates it.
  int *b = (int *)zone_insert(nullptr, 0, 3, sizeof(int));
  EXPECT_EQ(zone_size(b), 3 * sizeof(int));
  zone_free(b);
  zone_free(a);
}

TEST(Zone, DuplicatesAndClear) {
  char *s = zone_strdup("text");
  char *d = (char *)zone_dup(s);
  EXPECT_STREQ(d, "text");
  zone_clear(d);
  EXPECT_EQ(d[0], 0);
  EXPECT_EQ(zone_dup(nullptr), nullptr);
  char *z = (char *)zone_alloc_zeroed(3);  // zeroed, and guarded as any block
  EXPECT_EQ(memcmp(z, "\0\0\0", 3), 0);
  zone_heap_check("zeroed");
  zone_free(z);
  zone_free(s);
  zone_free(d);
}

TEST(Zone, ReportsListLiveBlocks) {
  std::string path = open_test_log("zone_report");
  void *leak = zone_alloc(33);
  zone_block_report();
  zone_status_report();
  log_close();
  std::string text = read_file(path);
  char line[64];
  snprintf(line, sizeof line, "[0x%6X] size 33, tick ", (unsigned)(uintptr_t)leak);
  EXPECT_NE(text.find(line), std::string::npos) << text;
  EXPECT_NE(text.find("\t\t~~~ Memory Status ~~~\n"), std::string::npos);
  char blocks[32];
  snprintf(blocks, sizeof blocks, "\tblocks: %d\n", zone_block_count());
  EXPECT_NE(text.find(blocks), std::string::npos);
  zone_free(leak);
}

TEST(ZoneDeath, WritePastTheEndFailsTheHeapCheck) {
  std::string path = temp_log_path("zone_bumper");
  EXPECT_EXIT(
      {
        log_open_file(path.c_str(), "test.exe");
        char *p = (char *)zone_alloc(8);
        p[8] = 'Z';  // one byte past the end, into the rear bumper
        zone_heap_check("test");
      },
      ::testing::ExitedWithCode(kExitMinusOne), "");
  std::string text = read_file(path);
  EXPECT_NE(text.find("check_bumper 0x"), std::string::npos) << text;
  EXPECT_NE(text.find("Heap check failed at [0]==0x5A in block 0x"), std::string::npos) << text;
}

TEST(ZoneDeath, HeaderDamageFailsTheHeapCheck) {
  std::string path = temp_log_path("zone_inner");
  EXPECT_EXIT(
      {
        log_open_file(path.c_str(), "test.exe");
        char *p = (char *)zone_alloc(8);
        p[-3] = 7;  // into the inner bumper
        zone_heap_check("test");
      },
      ::testing::ExitedWithCode(kExitMinusOne), "");
  EXPECT_NE(read_file(path).find("Heap check failed at [17]==0x7 in block"), std::string::npos);
}

TEST(ZoneDeath, CeilingIsFatal) {
  std::string path = temp_log_path("zone_ceiling");
  EXPECT_EXIT(
      {
        log_open_file(path.c_str(), "test.exe");
        void *big = zone_alloc(MAXHEAPSIZE);
        void *small = zone_alloc(1);
        zone_resize(small, 2);
        zone_free(big);
      },
      ::testing::ExitedWithCode(kExitMinusOne), "");
  EXPECT_NE(read_file(path).find("Assertion zone 70: z_size < MAXHEAPSIZE"), std::string::npos);
}

}  // namespace
