#include <gtest/gtest.h>

#include <vector>

#include "platform/classes.h"
#include "platform/streams.h"

namespace {

struct Recorder {
  std::vector<std::string> log;
  void Changing(TObject*) { log.push_back("changing"); }
  void Changed(TObject*) { log.push_back("changed"); }
  void Other(TObject*) { log.push_back("other"); }
};

TEST(Events, PairsCompareByObjectAndMethod) {
  Recorder a, b;
  TNotifyEvent e1(&a, &Recorder::Changed), e2(&a, &Recorder::Changed);
  TNotifyEvent e3(&b, &Recorder::Changed), e4(&a, &Recorder::Other), none;
  EXPECT_EQ(e1, e2);
  EXPECT_NE(e1, e3);
  EXPECT_NE(e1, e4);
  EXPECT_FALSE(none.Assigned());
  EXPECT_EQ(none, TNotifyEvent());
  e1(nullptr);
  CallEvent(none, nullptr);  // never called
  EXPECT_EQ(a.log, std::vector<std::string>{"changed"});
  auto fn = [](void* data, int& x) { x += *static_cast<int*>(data); };
  int add = 3, x = 1;
  TMethod<void(int&)> m(+fn, &add);
  m(x);
  EXPECT_EQ(x, 4);
}

TEST(StringList, UpdateBracketFiresOnlyAtTheOutermostLevel) {
  Recorder r;
  TStringList l;
  l.OnChanging = TNotifyEvent(&r, &Recorder::Changing);
  l.OnChange = TNotifyEvent(&r, &Recorder::Changed);
  l.Add("a");
  EXPECT_EQ(r.log, (std::vector<std::string>{"changing", "changed"}));
  r.log.clear();
  l.BeginUpdate();
  l.BeginUpdate();
  l.Add("b");
  l.Add("c");
  l.EndUpdate();
  EXPECT_EQ(r.log, std::vector<std::string>{"changing"});
  l.EndUpdate();
  EXPECT_EQ(r.log, (std::vector<std::string>{"changing", "changed"}));
}

TEST(StringList, SortedListsFindAndRejectDuplicates) {
  TStringList l;
  l.SetSorted(true);
  l.SetDuplicates(dupError);
  l.Add("pear");
  l.Add("Apple");
  l.Add(W1251("яблоко"));
  l.Add("banana");
  EXPECT_EQ(l.Get(0), "Apple");
  EXPECT_EQ(l.Get(3), W1251("яблоко"));
  int i;
  EXPECT_TRUE(l.Find("APPLE", i));
  EXPECT_EQ(i, 0);
  EXPECT_FALSE(l.Find("cherry", i));
  EXPECT_EQ(i, 2);
  try {
    l.Add("PEAR");
    FAIL();
  } catch (const EStringListError& e) {
    EXPECT_EQ(e.Message(), "String list does not allow duplicates");
  }
  EXPECT_THROW(l.Insert(0, "x"), EStringListError);
  l.SetDuplicates(dupIgnore);
  EXPECT_EQ(l.Add("pear"), 2);
  EXPECT_EQ(l.Count(), 4);
  EXPECT_THROW(l.Get(4), EStringListError);
}

TEST(StringList, TextSplitsAtEveryKindOfBreak) {
  TStringList l;
  l.SetText("a\r\nb\nc\rd\n\re");
  ASSERT_EQ(l.Count(), 6);
  EXPECT_EQ(l.Get(4), "");
  EXPECT_EQ(l.Text(), "a\r\nb\r\nc\r\nd\r\n\r\ne\r\n");
  l.SetCommaText("one, \"two words\",\"q\"\"x\"");
  ASSERT_EQ(l.Count(), 3);
  EXPECT_EQ(l.Get(1), "two words");
  EXPECT_EQ(l.Get(2), "q\"x");
  EXPECT_EQ(l.CommaText(), "one,\"two words\",\"q\"\"x\"");
  l.Clear();
  l.Add("a=1");
  l.SetValue("b", "2");
  EXPECT_EQ(l.Values("B"), "2");
  EXPECT_EQ(l.Names(0), "a");
  TMemoryStream m;
  l.SaveToStream(&m);
  TStringList back;
  m.SetPosition(0);
  back.LoadFromStream(&m);
  EXPECT_TRUE(back.Equals(&l));
}

class Owned : public TComponent {
public:
  Owned(TComponent* owner, std::vector<std::string>* log, std::string name)
      : TComponent(owner), log_(log), n_(std::move(name)) {}
  ~Owned() override { log_->push_back("free " + n_); }
  TComponent* ref = nullptr;

protected:
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    if (op == opRemove && c == ref) ref = nullptr;
  }

private:
  std::vector<std::string>* log_;
  std::string n_;
};

TEST(Component, OwnerFreesItsComponentsAndReferencesAreCleared) {
  std::vector<std::string> log;
  auto* form = new TComponent(nullptr);
  auto* a = new Owned(form, &log, "a");
  auto* b = new Owned(form, &log, "b");
  auto* outside = new Owned(nullptr, &log, "outside");
  outside->ref = a;
  a->FreeNotification(outside);
  b->ref = a;
  EXPECT_EQ(form->ComponentCount(), 2);
  delete a;
  EXPECT_EQ(outside->ref, nullptr);
  EXPECT_EQ(b->ref, nullptr);  // siblings hear of it through the owner
  EXPECT_EQ(form->ComponentCount(), 1);
  delete form;
  EXPECT_EQ(log, (std::vector<std::string>{"free a", "free b"}));
  delete outside;
}

class Item : public TCollectionItem {
public:
  using TCollectionItem::TCollectionItem;
  int value = 0;
  void Assign(TPersistent* s) override {
    if (auto* o = dynamic_cast<Item*>(s)) { value = o->value; return; }
    TCollectionItem::Assign(s);
  }
};

class Counting : public TCollection {
public:
  Counting() : TCollection([](TCollection* c) { return new Item(c); }) {}
  int updates = 0;

protected:
  void Update(TCollectionItem*) override { ++updates; }
};

TEST(Collection, AddsAssignsAndBatchesUpdates) {
  Counting c;
  static_cast<Item*>(c.Add())->value = 1;
  static_cast<Item*>(c.Add())->value = 2;
  EXPECT_EQ(c.updates, 2);
  EXPECT_EQ(c.Items(1)->Index(), 1);
  Counting d;
  d.Assign(&c);
  EXPECT_EQ(d.updates, 1);
  ASSERT_EQ(d.Count(), 2);
  EXPECT_EQ(static_cast<Item*>(d.Items(1))->value, 2);
  d.Items(1)->SetIndex(0);
  EXPECT_EQ(static_cast<Item*>(d.Items(0))->value, 2);
  d.Delete(0);
  EXPECT_EQ(d.Count(), 1);
  TStringList notACollection;
  EXPECT_THROW(d.Assign(&notACollection), EConvertError);
  EXPECT_THROW(d.Items(5), EListError);
}

}  // namespace
