#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "util/cKytHashSTR.h"
#include "util/cKytListSTR.h"

TEST(KytListSTR, OrderLookupAndTraversal) {
  cKytListSTR list;
  list.AddTailSTR("b");
  list.AddHead(cKytSTR("a"));
  list.AddTail(cKytSTR("C"));
  EXPECT_EQ(list.GetCount(), 3);
  cKytSTR s("untouched");
  EXPECT_FALSE(list.GetAt(3, s));
  EXPECT_FALSE(list.GetAt(-1, s));
  EXPECT_STREQ(s.GetDATA(), "untouched");
  EXPECT_TRUE(list.GetAt(2, s));
  EXPECT_STREQ(s.GetDATA(), "C");
  EXPECT_EQ(list.FindIndex("c"), -1);
  EXPECT_EQ(list.FindNoCaseIndex("c"), 2);
  EXPECT_TRUE(list.Find("b"));

  cKytListSTR copy;
  list.CopyTo(copy);
  EXPECT_TRUE(list.Remove("b"));
  EXPECT_FALSE(list.Remove("b"));
  EXPECT_EQ(copy.GetCount(), 3);

  std::vector<std::string> seen;
  copy.TrvsSTART();
  while (copy.TrvsNEXT(s)) seen.emplace_back(s.GetDATA());
  EXPECT_EQ(seen, (std::vector<std::string>{"a", "b", "C"}));

  EXPECT_TRUE(copy.RemoveHead(s));
  EXPECT_STREQ(s.GetDATA(), "a");
  copy.DeleteAll();
  EXPECT_FALSE(copy.GetHead(s));
  EXPECT_FALSE(copy.RemoveHead(s));
}

TEST(KytListSTR, SharedBetweenThreads) {
  cKytListSTR list;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&list] {
      for (int i = 0; i < 500; ++i) list.AddTailSTR("x");
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(list.GetCount(), 2000);
}

TEST(KytHashSTR, BucketHashUsesSignedBytes) {
  // h = h * 33 + c with c signed: "\xff" is -1, wrapping to 0xFFFFFFFF.
  EXPECT_EQ(cKytHashSTR::HashOf("\xff"), 0xFFFFFFFFu);
  EXPECT_EQ(cKytHashSTR::HashOf("ab"), 97u * 33u + 98u);
  EXPECT_EQ(cKytHashSTR::HashOf(""), 0u);
}

TEST(KytHashSTR, DuplicatesNewestFirstAndTraversalOrder) {
  cKytHashSTR table;  // ten buckets
  int one = 1, two = 2, three = 3;
  // "a" (97) and "k" (107) share bucket 7; "b" is in bucket 8.
  table.Add("b", &three);
  table.Add("a", &one);
  table.Add("k", &two);
  EXPECT_EQ(table.GetCount(), 3u);

  std::vector<std::string> keys;
  cKytSTR key;
  void* value = nullptr;
  table.TrvsSTART();
  while (table.TrvsNEXT(key, value)) keys.emplace_back(key.GetDATA());
  EXPECT_EQ(keys, (std::vector<std::string>{"k", "a", "b"}));

  table.Add("a", &two);
  ASSERT_TRUE(table.Find("a", value));
  EXPECT_EQ(value, &two);
  ASSERT_TRUE(table.Remove("a", value));
  EXPECT_EQ(value, &two);
  ASSERT_TRUE(table.Find("a", value));
  EXPECT_EQ(value, &one);
  EXPECT_FALSE(table.Find("A", value));
  EXPECT_EQ(table.GetCount(), 3u);
  EXPECT_TRUE(table.Remove("a", value));
  EXPECT_FALSE(table.Remove("a", value));
  EXPECT_EQ(table.GetCount(), 2u);
}
