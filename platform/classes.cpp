#include "platform/classes.h"

#include <algorithm>
#include <cxxabi.h>
#include <typeinfo>

#include "platform/safe_file.h"
#include "platform/streams.h"

AnsiString TObject::ClassName() const {
  const char* mangled = typeid(*this).name();
  int status = 0;
  char* d = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
  AnsiString r = status == 0 && d ? d : mangled;
  free(d);
  size_t p = r.rfind("::");
  return p == AnsiString::npos ? r : r.substr(p + 2);
}

// ---------------------------------------------------------------------------- TPersistent

void TPersistent::Assign(TPersistent* Source) {
  if (Source) Source->AssignTo(this);
  else AssignError(nullptr);
}

void TPersistent::AssignTo(TPersistent* Dest) { Dest->AssignError(this); }

void TPersistent::AssignError(TPersistent* Source) {
  AnsiString src = Source ? Source->ClassName() : AnsiString("nil");
  throw EConvertError(Format(W1251("Нельзя присвоить %s объекту %s."), {src, ClassName()}));
}

// ---------------------------------------------------------------------------- TComponent

TComponent::TComponent(TComponent* AOwner) {
  if (AOwner) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
  state_ |= csDestroying;
  NotifyFreeing();
  DestroyComponents();
  if (owner_) owner_->RemoveComponent(this);
}

void TComponent::NotifyFreeing() {
  // Everyone who asked is told once; each may remove itself while being told.
  while (!freeNotifies_.empty()) {
    TComponent* c = freeNotifies_.back();
    freeNotifies_.pop_back();
    auto& theirs = c->freeNotifies_;
    theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
    c->Notification(this, opRemove);
  }
}

void TComponent::DestroyComponents() {
  while (!components_.empty()) {
    TComponent* c = components_.back();
    RemoveComponent(c);
    delete c;
  }
}

TComponent* TComponent::FindComponent(const AnsiString& name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : components_)
    if (SameText(c->name_, name)) return c;
  return nullptr;
}

void TComponent::InsertComponent(TComponent* c) {
  if (c->owner_) c->owner_->RemoveComponent(c);
  components_.push_back(c);
  c->owner_ = this;
  Notification(c, opInsert);
}

void TComponent::RemoveComponent(TComponent* c) {
  auto it = std::find(components_.begin(), components_.end(), c);
  if (it == components_.end()) return;
  Notification(c, opRemove);
  components_.erase(std::find(components_.begin(), components_.end(), c));
  c->owner_ = nullptr;
}

void TComponent::FreeNotification(TComponent* c) {
  if (!c || c == this) return;
  if (std::find(freeNotifies_.begin(), freeNotifies_.end(), c) == freeNotifies_.end()) {
    freeNotifies_.push_back(c);
    c->FreeNotification(this);
  }
}

void TComponent::RemoveFreeNotification(TComponent* c) {
  auto it = std::find(freeNotifies_.begin(), freeNotifies_.end(), c);
  if (it == freeNotifies_.end()) return;
  freeNotifies_.erase(it);
  c->RemoveFreeNotification(this);
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
  if (Operation == opRemove && AComponent) RemoveFreeNotification(AComponent);
  for (size_t i = components_.size(); i-- > 0;)
    if (i < components_.size() && components_[i] != AComponent) components_[i]->Notification(AComponent, Operation);
}

// ---------------------------------------------------------------------------- TList

void TList::Error(int i) const { throw EListError(Format("List index out of bounds (%d)", {i})); }

void TList::SetCapacity(int n) {
  if (n < Count()) throw EListError(Format(W1251("Недопустимая ёмкость списка (%d)."), {n}));
  items_.reserve(static_cast<size_t>(n));
}

void* TList::Get(int i) const {
  if (i < 0 || i >= Count()) Error(i);
  return items_[static_cast<size_t>(i)];
}

void TList::Put(int i, void* p) {
  if (i < 0 || i >= Count()) Error(i);
  items_[static_cast<size_t>(i)] = p;
}

int TList::Add(void* p) {
  items_.push_back(p);
  return Count() - 1;
}

void TList::Insert(int i, void* p) {
  if (i < 0 || i > Count()) Error(i);
  items_.insert(items_.begin() + i, p);
}

void TList::Delete(int i) {
  if (i < 0 || i >= Count()) Error(i);
  items_.erase(items_.begin() + i);
}

int TList::Remove(void* p) {
  int i = IndexOf(p);
  if (i >= 0) Delete(i);
  return i;
}

int TList::IndexOf(void* p) const {
  auto it = std::find(items_.begin(), items_.end(), p);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void* TList::Extract(void* p) {
  int i = IndexOf(p);
  if (i < 0) return nullptr;
  Delete(i);
  return p;
}

void TList::Exchange(int a, int b) {
  if (a < 0 || a >= Count()) Error(a);
  if (b < 0 || b >= Count()) Error(b);
  std::swap(items_[static_cast<size_t>(a)], items_[static_cast<size_t>(b)]);
}

void TList::Move(int from, int to) {
  if (from == to) return;
  void* p = Get(from);
  if (to < 0 || to >= Count()) Error(to);
  items_.erase(items_.begin() + from);
  items_.insert(items_.begin() + to, p);
}

void TList::Pack() { items_.erase(std::remove(items_.begin(), items_.end(), nullptr), items_.end()); }

void TList::Sort(const std::function<int(void*, void*)>& compare) {
  std::stable_sort(items_.begin(), items_.end(), [&](void* a, void* b) { return compare(a, b) < 0; });
}

// ---------------------------------------------------------------------------- TStrings

void TStrings::Error(const char* Msg, int Data) const { throw EStringListError(Format(Msg, {Data})); }

void TStrings::Put(int Index, const AnsiString& S) {
  TObject* obj = GetObject(Index);
  BeginUpdate();
  try {
    Delete(Index);
    InsertObject(Index, S, obj);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

TObject* TStrings::GetObject(int) const { return nullptr; }
void TStrings::PutObject(int, TObject*) {}

void TStrings::InsertObject(int Index, const AnsiString& S, TObject* Obj) {
  Insert(Index, S);
  PutObject(Index, Obj);
}

int TStrings::Add(const AnsiString& S) {
  int i = Count();
  Insert(i, S);
  return i;
}

int TStrings::AddObject(const AnsiString& S, TObject* Obj) {
  int i = Add(S);
  PutObject(i, Obj);
  return i;
}

void TStrings::AddStrings(TStrings* Strings) {
  BeginUpdate();
  try {
    for (int i = 0; i < Strings->Count(); ++i) AddObject(Strings->Get(i), Strings->GetObject(i));
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStrings::Exchange(int Index1, int Index2) {
  BeginUpdate();
  try {
    AnsiString s1 = Get(Index1), s2 = Get(Index2);
    TObject *o1 = GetObject(Index1), *o2 = GetObject(Index2);
    Put(Index1, s2);
    PutObject(Index1, o2);
    Put(Index2, s1);
    PutObject(Index2, o1);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStrings::Move(int CurIndex, int NewIndex) {
  if (CurIndex == NewIndex) return;
  BeginUpdate();
  try {
    AnsiString s = Get(CurIndex);
    TObject* o = GetObject(CurIndex);
    Delete(CurIndex);
    InsertObject(NewIndex, s, o);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

int TStrings::IndexOf(const AnsiString& S) const {
  for (int i = 0; i < Count(); ++i)
    if (CompareStrings(Get(i), S) == 0) return i;
  return -1;
}

int TStrings::IndexOfName(const AnsiString& Name) const {
  for (int i = 0; i < Count(); ++i) {
    AnsiString s = Get(i);
    size_t p = s.find('=');
    if (p != AnsiString::npos && CompareStrings(s.substr(0, p), Name) == 0) return i;
  }
  return -1;
}

int TStrings::IndexOfObject(TObject* Obj) const {
  for (int i = 0; i < Count(); ++i)
    if (GetObject(i) == Obj) return i;
  return -1;
}

AnsiString TStrings::Names(int Index) const {
  AnsiString s = Get(Index);
  size_t p = s.find('=');
  return p == AnsiString::npos ? AnsiString() : s.substr(0, p);
}

AnsiString TStrings::Values(const AnsiString& Name) const {
  int i = IndexOfName(Name);
  return i < 0 ? AnsiString() : ValueFromIndex(i);
}

AnsiString TStrings::ValueFromIndex(int Index) const {
  AnsiString s = Get(Index);
  size_t p = s.find('=');
  return p == AnsiString::npos ? AnsiString() : s.substr(p + 1);
}

void TStrings::SetValue(const AnsiString& Name, const AnsiString& Value) {
  int i = IndexOfName(Name);
  if (Value.empty()) {
    if (i >= 0) Delete(i);
  } else if (i < 0) {
    Add(Name + "=" + Value);
  } else {
    Put(i, Name + "=" + Value);
  }
}

AnsiString TStrings::Text() const {
  size_t total = 0;
  int n = Count();
  for (int i = 0; i < n; ++i) total += Get(i).size() + 2;
  AnsiString r;
  r.reserve(total);
  for (int i = 0; i < n; ++i) {
    r += Get(i);
    r += "\r\n";
  }
  return r;
}

void TStrings::SetText(const AnsiString& Value) {
  BeginUpdate();
  try {
    Clear();
    size_t i = 0, n = Value.size();
    while (i < n) {
      size_t b = i;
      while (i < n && Value[i] != '\r' && Value[i] != '\n') ++i;
      Add(Value.substr(b, i - b));
      if (i < n && Value[i] == '\r') ++i;
      if (i < n && Value[i] == '\n') ++i;
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

AnsiString TStrings::CommaText() const {
  AnsiString r;
  for (int i = 0; i < Count(); ++i) {
    AnsiString s = Get(i);
    bool quote = s.empty() || s.find_first_of(" ,\"") != AnsiString::npos;
    for (char c : s) if (static_cast<unsigned char>(c) < ' ') quote = true;
    if (i) r += ',';
    if (quote) {
      r += '"';
      for (char c : s) {
        if (c == '"') r += '"';
        r += c;
      }
      r += '"';
    } else {
      r += s;
    }
  }
  return r;
}

void TStrings::SetCommaText(const AnsiString& Value) {
  BeginUpdate();
  try {
    Clear();
    size_t i = 0, n = Value.size();
    auto skipBlanks = [&] { while (i < n && static_cast<unsigned char>(Value[i]) <= ' ') ++i; };
    skipBlanks();
    while (i < n) {
      AnsiString s;
      if (Value[i] == '"') {
        ++i;
        while (i < n) {
          if (Value[i] == '"') {
            if (i + 1 < n && Value[i + 1] == '"') { s += '"'; i += 2; continue; }
            ++i;
            break;
          }
          s += Value[i++];
        }
      } else {
        while (i < n && Value[i] != ',' && static_cast<unsigned char>(Value[i]) > ' ') s += Value[i++];
      }
      Add(s);
      skipBlanks();
      if (i < n && Value[i] == ',') {
        ++i;
        skipBlanks();
        if (i >= n) Add("");
      }
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStrings::LoadFromFile(const AnsiString& FileName) {
  TFileStream f(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&f);
}

void TStrings::LoadFromStream(TStream* Stream) {
  BeginUpdate();
  try {
    int64_t size = Stream->Size() - Stream->Position();
    AnsiString s(static_cast<size_t>(std::max<int64_t>(size, 0)), '\0');
    if (size > 0) Stream->ReadBuffer(s.data(), size);
    SetText(s);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStrings::SaveToFile(const AnsiString& FileName) {
  TSafeFileStream f(FileName);
  SaveToStream(&f);
  f.Commit();
}

void TStrings::SaveToStream(TStream* Stream) {
  AnsiString s = Text();
  Stream->WriteBuffer(s.data(), static_cast<int64_t>(s.size()));
}

void TStrings::BeginUpdate() {
  if (updateCount_ == 0) SetUpdateState(true);
  ++updateCount_;
}

void TStrings::EndUpdate() {
  if (updateCount_ <= 0) return;
  --updateCount_;
  if (updateCount_ == 0) SetUpdateState(false);
}

void TStrings::Assign(TPersistent* Source) {
  if (auto* src = dynamic_cast<TStrings*>(Source)) {
    BeginUpdate();
    try {
      Clear();
      AddStrings(src);
    } catch (...) {
      EndUpdate();
      throw;
    }
    EndUpdate();
    return;
  }
  TPersistent::Assign(Source);
}

bool TStrings::Equals(TStrings* Strings) const {
  if (Count() != Strings->Count()) return false;
  for (int i = 0; i < Count(); ++i)
    if (Get(i) != Strings->Get(i)) return false;
  return true;
}

// ---------------------------------------------------------------------------- TStringList

static const char* kListIndexError = "List index out of bounds (%d)";

TStringList::~TStringList() {
  OnChange = nullptr;
  OnChanging = nullptr;
  if (ownsObjects_)
    for (auto& it : items_) delete it.obj;
}

AnsiString TStringList::Get(int Index) const {
  if (Index < 0 || Index >= Count()) Error(kListIndexError, Index);
  return items_[static_cast<size_t>(Index)].s;
}

void TStringList::Put(int Index, const AnsiString& S) {
  if (sorted_) throw EStringListError(W1251("Операция недопустима для упорядоченного списка."));
  if (Index < 0 || Index >= Count()) Error(kListIndexError, Index);
  Changing();
  items_[static_cast<size_t>(Index)].s = S;
  Changed();
}

TObject* TStringList::GetObject(int Index) const {
  if (Index < 0 || Index >= Count()) Error(kListIndexError, Index);
  return items_[static_cast<size_t>(Index)].obj;
}

void TStringList::PutObject(int Index, TObject* Obj) {
  if (Index < 0 || Index >= Count()) Error(kListIndexError, Index);
  Changing();
  items_[static_cast<size_t>(Index)].obj = Obj;
  Changed();
}

int TStringList::Add(const AnsiString& S) { return AddObject(S, nullptr); }

int TStringList::AddObject(const AnsiString& S, TObject* Obj) {
  int index;
  if (!sorted_) {
    index = Count();
  } else if (Find(S, index)) {
    switch (duplicates_) {
      case dupIgnore: return index;
      case dupError: throw EStringListError("String list does not allow duplicates");
      case dupAccept: break;
    }
  }
  InsertItem(index, S, Obj);
  return index;
}

void TStringList::Insert(int Index, const AnsiString& S) { InsertObject(Index, S, nullptr); }

void TStringList::InsertObject(int Index, const AnsiString& S, TObject* Obj) {
  if (sorted_) throw EStringListError(W1251("Операция недопустима для упорядоченного списка."));
  if (Index < 0 || Index > Count()) Error(kListIndexError, Index);
  InsertItem(Index, S, Obj);
}

void TStringList::InsertItem(int Index, const AnsiString& S, TObject* Obj) {
  Changing();
  items_.insert(items_.begin() + Index, Item{S, Obj});
  Changed();
}

void TStringList::Delete(int Index) {
  if (Index < 0 || Index >= Count()) Error(kListIndexError, Index);
  Changing();
  TObject* obj = items_[static_cast<size_t>(Index)].obj;
  items_.erase(items_.begin() + Index);
  if (ownsObjects_) delete obj;
  Changed();
}

void TStringList::Clear() {
  if (items_.empty()) return;
  Changing();
  std::vector<Item> old;
  old.swap(items_);
  if (ownsObjects_)
    for (auto& it : old) delete it.obj;
  Changed();
}

void TStringList::Exchange(int Index1, int Index2) {
  if (Index1 < 0 || Index1 >= Count()) Error(kListIndexError, Index1);
  if (Index2 < 0 || Index2 >= Count()) Error(kListIndexError, Index2);
  Changing();
  std::swap(items_[static_cast<size_t>(Index1)], items_[static_cast<size_t>(Index2)]);
  Changed();
}

int TStringList::IndexOf(const AnsiString& S) const {
  if (!sorted_) return TStrings::IndexOf(S);
  int i;
  return Find(S, i) ? i : -1;
}

void TStringList::SetCapacity(int n) {
  if (n < Count()) Error(W1251("Недопустимая ёмкость списка (%d).").c_str(), n);
  items_.reserve(static_cast<size_t>(n));
}

bool TStringList::Find(const AnsiString& S, int& Index) const {
  int lo = 0, hi = Count() - 1;
  bool found = false;
  while (lo <= hi) {
    int mid = (lo + hi) / 2;
    int c = CompareStrings(items_[static_cast<size_t>(mid)].s, S);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) {
        found = true;
        if (duplicates_ != dupAccept) lo = mid;
      }
    }
  }
  Index = lo;
  return found;
}

void TStringList::Sort() {
  CustomSort([](TStringList* l, int a, int b) {
    return l->CompareStrings(l->items_[static_cast<size_t>(a)].s, l->items_[static_cast<size_t>(b)].s);
  });
}

void TStringList::CustomSort(const std::function<int(TStringList*, int, int)>& compare) {
  if (Count() < 2) return;
  Changing();
  // Sort a permutation with the caller's index-based comparison, then apply it.
  std::vector<int> order(items_.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return compare(this, a, b) < 0; });
  std::vector<Item> sortedItems;
  sortedItems.reserve(items_.size());
  for (int i : order) sortedItems.push_back(std::move(items_[static_cast<size_t>(i)]));
  items_.swap(sortedItems);
  Changed();
}

void TStringList::SetSorted(bool v) {
  if (sorted_ == v) return;
  if (v) Sort();
  sorted_ = v;
}

void TStringList::SetCaseSensitive(bool v) {
  if (caseSensitive_ == v) return;
  caseSensitive_ = v;
  if (sorted_) Sort();
}

int TStringList::CompareStrings(const AnsiString& S1, const AnsiString& S2) const {
  return caseSensitive_ ? AnsiCompareStr(S1, S2) : AnsiCompareText(S1, S2);
}

void TStringList::SetUpdateState(bool Updating) {
  if (Updating) CallEvent(OnChanging, this);
  else CallEvent(OnChange, this);
}

void TStringList::Changing() {
  if (UpdateCount() == 0) CallEvent(OnChanging, this);
}

void TStringList::Changed() {
  if (UpdateCount() == 0) CallEvent(OnChange, this);
}

// ---------------------------------------------------------------------------- collections

TCollectionItem::TCollectionItem(TCollection* Collection) {
  if (Collection) Collection->InsertItem(this);
}

TCollectionItem::~TCollectionItem() {
  if (collection_) collection_->RemoveItem(this);
}

void TCollectionItem::SetCollection(TCollection* c) {
  if (c == collection_) return;
  if (collection_) collection_->RemoveItem(this);
  if (c) c->InsertItem(this);
}

int TCollectionItem::Index() const {
  if (!collection_) return -1;
  auto& v = collection_->items_;
  auto it = std::find(v.begin(), v.end(), this);
  return it == v.end() ? -1 : static_cast<int>(it - v.begin());
}

void TCollectionItem::SetIndex(int v) {
  int cur = Index();
  if (cur < 0 || v < 0 || cur == v) return;
  auto& items = collection_->items_;
  if (v >= static_cast<int>(items.size())) v = static_cast<int>(items.size()) - 1;
  items.erase(items.begin() + cur);
  items.insert(items.begin() + v, this);
  Changed(true);
}

AnsiString TCollectionItem::DisplayName() const { return ClassName(); }

void TCollectionItem::Changed(bool AllItems) {
  if (collection_ && collection_->updateCount_ == 0) collection_->Update(AllItems ? nullptr : this);
}

TCollection::TCollection(ItemFactory factory) : factory_(std::move(factory)) {}

TCollection::~TCollection() {
  updateCount_ = 1;  // no updates while going away
  while (!items_.empty()) delete items_.back();
}

TCollectionItem* TCollection::Items(int i) const {
  if (i < 0 || i >= Count()) throw EListError(Format("List index out of bounds (%d)", {i}));
  return items_[static_cast<size_t>(i)];
}

TCollectionItem* TCollection::Add() {
  TCollectionItem* item = factory_(this);
  if (item->collection_ != this) item->SetCollection(this);
  Changed();
  return item;
}

TCollectionItem* TCollection::Insert(int Index) {
  TCollectionItem* item = Add();
  item->SetIndex(Index);
  return item;
}

void TCollection::Delete(int Index) { delete Items(Index); }

void TCollection::Clear() {
  if (items_.empty()) return;
  BeginUpdate();
  while (!items_.empty()) delete items_.back();
  EndUpdate();
}

TCollectionItem* TCollection::FindItemID(int ID) const {
  for (auto* it : items_)
    if (it->id_ == ID) return it;
  return nullptr;
}

void TCollection::BeginUpdate() { ++updateCount_; }

void TCollection::EndUpdate() {
  if (updateCount_ <= 0) return;
  if (--updateCount_ == 0) Changed();
}

void TCollection::Changed() {
  if (updateCount_ == 0) Update(nullptr);
}

void TCollection::Assign(TPersistent* Source) {
  if (auto* src = dynamic_cast<TCollection*>(Source)) {
    BeginUpdate();
    try {
      Clear();
      for (auto* it : src->items_) Add()->Assign(it);
    } catch (...) {
      EndUpdate();
      throw;
    }
    EndUpdate();
    return;
  }
  TPersistent::Assign(Source);
}

void TCollection::InsertItem(TCollectionItem* item) {
  items_.push_back(item);
  item->collection_ = this;
  item->id_ = nextId_++;
}

void TCollection::RemoveItem(TCollectionItem* item) {
  auto it = std::find(items_.begin(), items_.end(), item);
  if (it != items_.end()) items_.erase(it);
  item->collection_ = nullptr;
  Changed();
}
