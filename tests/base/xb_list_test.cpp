#include "base/xb_list.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

int g_values[8] = {0, 1, 2, 3, 4, 5, 6, 7};
void* P(int i) {
  return &g_values[i];
}

std::vector<int> Walk(XB_LIST& list) {
  std::vector<int> seen;
  for (void* e = list.First(); e; e = list.Next()) seen.push_back(*static_cast<int*>(e));
  return seen;
}

XB_LIST* Filled(int n) {
  XB_LIST* list = new XB_LIST(false);
  for (int i = 0; i < n; ++i) list->Append(P(i));
  return list;
}

TEST(ListTest, AppendAndIterate) {
  XB_LIST list(false);
  EXPECT_EQ(list.First(), nullptr);
  EXPECT_EQ(list.Next(), nullptr);
  EXPECT_EQ(list.Append(P(1)), 1u);
  EXPECT_EQ(list.Append(P(2)), 2u);
  EXPECT_EQ(list.Append(P(3)), 3u);
  EXPECT_EQ(Walk(list), (std::vector<int>{1, 2, 3}));
  // Next without First starts at the head; after the end it starts again.
  EXPECT_EQ(list.Next(), P(1));
  EXPECT_EQ(list.Next(), P(2));
  EXPECT_EQ(list.Next(), P(3));
  EXPECT_EQ(list.Next(), nullptr);
  EXPECT_EQ(list.Next(), P(1));
}

TEST(ListTest, RemovingTheCurrentElementKeepsTheLoopGoing) {
  for (int victim = 0; victim < 4; ++victim) {
    XB_LIST* list = Filled(4);
    std::vector<int> seen;
    for (void* e = list->First(); e; e = list->Next()) {
      const int v = *static_cast<int*>(e);
      seen.push_back(v);
      if (v == victim) list->Remove(e);
    }
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3})) << "removing " << victim;
    EXPECT_EQ(list->Count(), 3u);
    std::vector<int> rest = {0, 1, 2, 3};
    rest.erase(rest.begin() + victim);
    EXPECT_EQ(Walk(*list), rest);
    list->Append(P(7));  // the tail is consistent after removals
    rest.push_back(7);
    EXPECT_EQ(Walk(*list), rest);
    delete list;
  }
}

TEST(ListTest, RemoveAndRemoveHead) {
  XB_LIST* list = Filled(3);
  list->Remove(P(6));  // not in the list: nothing changes
  EXPECT_EQ(list->Count(), 3u);
  EXPECT_EQ(list->RemoveHead(), P(0));
  list->Remove(P(2));
  EXPECT_EQ(Walk(*list), (std::vector<int>{1}));
  list->Remove(P(1));
  EXPECT_EQ(list->Count(), 0u);
  EXPECT_EQ(list->RemoveHead(), nullptr);
  EXPECT_EQ(list->First(), nullptr);
  list->Remove(P(1));
  list->Append(P(5));
  EXPECT_EQ(Walk(*list), (std::vector<int>{5}));
  delete list;
}

class CountingList : public XB_LIST {
 public:
  CountingList() : XB_LIST(false) {}
  void DeleteElement(void* element) override { deleted.push_back(*static_cast<int*>(element)); }
  std::vector<int> deleted;
};

TEST(ListTest, DeleteAllStopsAtANullElement) {
  CountingList list;
  list.Append(P(1));
  list.Append(P(2));
  list.Append(nullptr);
  list.Append(P(3));
  list.DeleteAll();
  EXPECT_EQ(list.deleted, (std::vector<int>{1, 2}));
  EXPECT_EQ(list.Count(), 2u);
  EXPECT_EQ(list.RemoveHead(), nullptr);
  list.DeleteAll();
  EXPECT_EQ(list.deleted, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(list.Count(), 0u);
}

TEST(ListTest, OwningListReleasesElements) {
  // Run under the sanitizer build, a missed release shows up as a leak.
  XB_LIST list(true);
  for (int i = 0; i < 5; ++i) {
    char* text = static_cast<char*>(std::malloc(16));
    std::strcpy(text, "define");
    list.Append(text);
  }
  EXPECT_EQ(list.Count(), 5u);
}

}  // namespace
