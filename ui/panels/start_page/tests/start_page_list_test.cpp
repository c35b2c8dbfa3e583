// The recent-files list: order on adding again, removal, the registry form both ways
// (including a value cut short and the empty list's single zero), and the refresh over a
// look-up that files come and go in.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "ui/panels/start_page/start_page_list.h"
#include "util/zone.h"

namespace {

std::vector<std::string> paths(const RecentFiles &list) {
  std::vector<std::string> out;
  for (int i = 0; i < list.count; i++) out.push_back(list.items[i].path);
  return out;
}

struct List {
  RecentFiles list = {};
  ~List() { recent_free(&list); }
};

TEST(RecentFiles, AddingMovesToTheFront) {
  struct Case {
    std::vector<const char *> added;
    std::vector<std::string> want;
  };
  const Case cases[] = {
      {{"a.exe", "b.exe", "c.exe"}, {"c.exe", "b.exe", "a.exe"}},
      {{"a.exe", "b.exe", "a.exe"}, {"a.exe", "b.exe"}},
      {{"a.exe", "b.exe", "B.EXE"}, {"b.exe", "a.exe"}},  // the front one stays as it was
      {{"a.exe", "b.exe", "c.exe", "A.exe"}, {"a.exe", "c.exe", "b.exe"}},
      {{"x", "x", "x"}, {"x"}},
  };
  for (const Case &c : cases) {
    List l;
    for (const char *p : c.added) recent_add(&l.list, p);
    EXPECT_EQ(paths(l.list), c.want);
  }
  List many;
  for (int i = 0; i < 100; i++) recent_add(&many.list, std::to_string(i).c_str());
  EXPECT_EQ(many.list.count, 100);  // no limit
  EXPECT_STREQ(many.list.items[0].path, "99");
}

TEST(RecentFiles, RegistryForm) {
  List l;
  for (const char *p : {"C:\\one.exe", "C:\\two.exe", "C:\\three.exe"}) recent_add(&l.list, p);
  size_t size = 0;
  char *data = recent_encode(&l.list, &size);
  const std::string want = std::string("C:\\one.exe") + '\0' + "C:\\two.exe" + '\0' +
                           "C:\\three.exe" + '\0' + '\0';
  EXPECT_EQ(std::string(data, size), want);
  List back;
  recent_decode(&back.list, data, size);
  EXPECT_EQ(paths(back.list), paths(l.list));
  List cut;
  recent_decode(&cut.list, data, 15);  // the second path goes on past the end
  EXPECT_EQ(paths(cut.list), std::vector<std::string>{"C:\\one.exe"});
  zone_free(data);

  // Removing the last entry leaves the empty list, a single zero.
  while (recent_remove(&l.list, 0)) {
  }
  EXPECT_FALSE(recent_remove(&l.list, 0));
  data = recent_encode(&l.list, &size);
  EXPECT_EQ(std::string(data, size), std::string(1, '\0'));
  List none;
  recent_decode(&none.list, data, size);
  EXPECT_EQ(none.list.count, 0);
  zone_free(data);
}

struct Disk {
  std::map<std::string, std::pair<uint64_t, uint32_t>> files;
};
bool look(void *context, const char *path, uint64_t *time, uint32_t *size) {
  const Disk *d = (const Disk *)context;
  auto it = d->files.find(path);
  if (it == d->files.end()) return false;
  *time = it->second.first;
  *size = it->second.second;
  return true;
}

TEST(RecentFiles, RefreshSeesFilesComeAndGo) {
  Disk disk;
  disk.files["a.exe"] = {100, 5};
  const RecentLookup lookup = {&disk, look};
  List l;
  recent_add(&l.list, "a.exe");
  recent_add(&l.list, "b.exe");
  EXPECT_FALSE(l.list.items[0].exists);  // not looked at yet
  EXPECT_TRUE(recent_refresh(&l.list, &lookup));
  EXPECT_FALSE(recent_refresh(&l.list, &lookup));
  const RecentFile &a = l.list.items[1];
  EXPECT_TRUE(a.exists);
  EXPECT_EQ(a.size, 5u);
  EXPECT_EQ(a.write_time, 100u);
  struct Step {
    void (*change)(Disk *);
    bool changed;
  };
  const Step steps[] = {
      {[](Disk *d) { d->files.erase("a.exe"); }, true},
      {[](Disk *) {}, false},
      {[](Disk *d) { d->files["b.exe"] = {7, 0}; }, true},
      {[](Disk *d) { d->files["b.exe"] = {8, 0}; }, true},
      {[](Disk *d) { d->files["b.exe"] = {8, 1}; }, true},
  };
  for (const Step &s : steps) {
    s.change(&disk);
    EXPECT_EQ(recent_refresh(&l.list, &lookup), s.changed);
  }
  EXPECT_FALSE(l.list.items[1].exists);
  EXPECT_TRUE(l.list.items[0].exists);
  EXPECT_EQ(l.list.items[0].size, 1u);
}

// Stored paths come from the registry and may be of any length: the list's text holds
// them whole, each row with its columns.
TEST(RecentFiles, ListTextHoldsLongPaths) {
  List l;
  const std::string longest(1000, 'x');
  for (const std::string &p : {std::string("a.exe"), longest, std::string(330, 'y')})
    recent_add(&l.list, p.c_str());
  l.list.items[1].exists = 1;
  l.list.items[1].size = 42;
  int blocks = zone_block_count();
  char *text = recent_list_text(&l.list, [](uint64_t, char *out, size_t outlen) {
    snprintf(out, outlen, "01.02.2003");
  });
  EXPECT_EQ(std::string(text), std::string(330, 'y') + "\t\tNot found\n" + longest +
                                   "\t42\t01.02.2003\na.exe\t\tNot found\n");
  zone_free(text);
  EXPECT_EQ(zone_block_count(), blocks);
}

}  // namespace
