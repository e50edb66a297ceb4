#pragma once
// The class library's basic shapes: objects, persistent objects with Assign, components with
// owners and free notification, pointer lists, string lists and collections.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/ansi.h"
#include "platform/events.h"
#include "platform/sysutils.h"

class TStream;

class TObject {
public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;
  // Class name for messages and form storage (the C++ type name unless a class says otherwise).
  virtual AnsiString ClassName() const;
};

class TPersistent : public TObject {
public:
  // Copies Source into this object; a source this class does not know goes to Source's
  // AssignTo, and when nobody knows the pair EConvertError "Cannot assign a %s to a %s".
  virtual void Assign(TPersistent* Source);

protected:
  virtual void AssignTo(TPersistent* Dest);
  [[noreturn]] void AssignError(TPersistent* Source);
};

enum TOperation { opInsert, opRemove };
enum TComponentStateFlag : unsigned { csLoading = 1, csReading = 2, csWriting = 4, csDestroying = 8,
                                       csDesigning = 16, csUpdating = 32 };

// A component belongs to its owner, which frees it. References between components ask for a
// free notification and are cleared in Notification when the other one goes away.
class TComponent : public TPersistent {
public:
  explicit TComponent(TComponent* AOwner);
  ~TComponent() override;

  TComponent* Owner() const { return owner_; }
  const AnsiString& Name() const { return name_; }
  virtual void SetName(const AnsiString& v) { name_ = v; }
  int Tag() const { return tag_; }
  void SetTag(int v) { tag_ = v; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int i) const { return components_.at(static_cast<size_t>(i)); }
  TComponent* FindComponent(const AnsiString& name) const;
  unsigned ComponentState() const { return state_; }
  bool Destroying() const { return state_ & csDestroying; }

  void InsertComponent(TComponent* c);
  void RemoveComponent(TComponent* c);
  void FreeNotification(TComponent* c);
  void RemoveFreeNotification(TComponent* c);
  // Frees every owned component (last created first).
  void DestroyComponents();

protected:
  virtual void Notification(TComponent* AComponent, TOperation Operation);
  virtual void Loaded() { state_ &= ~csLoading; }
  void SetComponentState(unsigned s) { state_ = s; }
  void BeginDestroy() { state_ |= csDestroying; }
  // Tells everyone who asked that this component goes away (the destructor does it too); a
  // derived destructor calls it first when its references must still work while they are told.
  void NotifyFreeing();

private:

  TComponent* owner_ = nullptr;
  AnsiString name_;
  int tag_ = 0;
  unsigned state_ = 0;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> freeNotifies_;
};

// A list of untyped pointers.
class TList : public TObject {
public:
  int Count() const { return static_cast<int>(items_.size()); }
  int Capacity() const { return static_cast<int>(items_.capacity()); }
  void SetCapacity(int n);
  void* Get(int i) const;
  void Put(int i, void* p);
  void* operator[](int i) const { return Get(i); }
  int Add(void* p);
  void Insert(int i, void* p);
  void Delete(int i);
  int Remove(void* p);
  int IndexOf(void* p) const;
  void* Extract(void* p);
  void Exchange(int a, int b);
  void Move(int from, int to);
  void* First() const { return Get(0); }
  void* Last() const { return Get(Count() - 1); }
  void Clear() { items_.clear(); items_.shrink_to_fit(); }
  void Pack();
  void Sort(const std::function<int(void*, void*)>& compare);
  void** List() { return items_.data(); }

private:
  [[noreturn]] void Error(int i) const;
  std::vector<void*> items_;
};

enum TDuplicates { dupIgnore, dupAccept, dupError };

// The string-list interface: lines of text with an object slot each.
class TStrings : public TPersistent {
public:
  virtual int Count() const = 0;
  virtual AnsiString Get(int Index) const = 0;
  virtual void Put(int Index, const AnsiString& S);
  virtual TObject* GetObject(int Index) const;
  virtual void PutObject(int Index, TObject* Obj);
  virtual void Insert(int Index, const AnsiString& S) = 0;
  virtual void InsertObject(int Index, const AnsiString& S, TObject* Obj);
  virtual void Delete(int Index) = 0;
  virtual void Clear() = 0;
  virtual int Add(const AnsiString& S);
  virtual int AddObject(const AnsiString& S, TObject* Obj);
  virtual void AddStrings(TStrings* Strings);
  virtual void Exchange(int Index1, int Index2);
  virtual void Move(int CurIndex, int NewIndex);
  virtual int IndexOf(const AnsiString& S) const;
  int IndexOfName(const AnsiString& Name) const;
  int IndexOfObject(TObject* Obj) const;
  virtual int Capacity() const { return Count(); }
  virtual void SetCapacity(int) {}

  AnsiString operator[](int i) const { return Get(i); }
  AnsiString Strings(int i) const { return Get(i); }
  TObject* Objects(int i) const { return GetObject(i); }
  AnsiString Names(int Index) const;
  AnsiString Values(const AnsiString& Name) const;
  void SetValue(const AnsiString& Name, const AnsiString& Value);
  AnsiString ValueFromIndex(int Index) const;

  // Lines joined with CR LF, each followed by it; setting splits at CR, LF or CR LF.
  virtual AnsiString Text() const;
  virtual void SetText(const AnsiString& Value);
  AnsiString CommaText() const;
  void SetCommaText(const AnsiString& Value);

  virtual void LoadFromFile(const AnsiString& FileName);
  virtual void LoadFromStream(TStream* Stream);
  virtual void SaveToFile(const AnsiString& FileName);
  virtual void SaveToStream(TStream* Stream);

  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return updateCount_; }

  void Assign(TPersistent* Source) override;
  bool Equals(TStrings* Strings) const;

protected:
  // Called with true when the outermost BeginUpdate starts and false when it ends.
  virtual void SetUpdateState(bool) {}
  [[noreturn]] void Error(const char* Msg, int Data) const;
  virtual int CompareStrings(const AnsiString& S1, const AnsiString& S2) const { return AnsiCompareText(S1, S2); }

private:
  int updateCount_ = 0;
};

// A string list in memory, optionally sorted.
class TStringList : public TStrings {
public:
  ~TStringList() override;
  int Count() const override { return static_cast<int>(items_.size()); }
  AnsiString Get(int Index) const override;
  void Put(int Index, const AnsiString& S) override;
  TObject* GetObject(int Index) const override;
  void PutObject(int Index, TObject* Obj) override;
  int Add(const AnsiString& S) override;
  int AddObject(const AnsiString& S, TObject* Obj) override;
  void Insert(int Index, const AnsiString& S) override;
  void InsertObject(int Index, const AnsiString& S, TObject* Obj) override;
  void Delete(int Index) override;
  void Clear() override;
  void Exchange(int Index1, int Index2) override;
  int IndexOf(const AnsiString& S) const override;
  int Capacity() const override { return static_cast<int>(items_.capacity()); }
  void SetCapacity(int n) override;

  // Binary search of a sorted list: true when found; Index is the place either way.
  virtual bool Find(const AnsiString& S, int& Index) const;
  virtual void Sort();
  void CustomSort(const std::function<int(TStringList*, int, int)>& compare);

  bool Sorted() const { return sorted_; }
  void SetSorted(bool v);
  TDuplicates Duplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates d) { duplicates_ = d; }
  bool CaseSensitive() const { return caseSensitive_; }
  void SetCaseSensitive(bool v);
  // Whether the list frees the objects in its slots (off by default).
  bool OwnsObjects() const { return ownsObjects_; }
  void SetOwnsObjects(bool v) { ownsObjects_ = v; }

  TNotifyEvent OnChange, OnChanging;

protected:
  void SetUpdateState(bool Updating) override;
  virtual void Changed();
  virtual void Changing();
  int CompareStrings(const AnsiString& S1, const AnsiString& S2) const override;
  void InsertItem(int Index, const AnsiString& S, TObject* Obj);

private:
  struct Item {
    AnsiString s;
    TObject* obj = nullptr;
  };
  std::vector<Item> items_;
  bool sorted_ = false, caseSensitive_ = false, ownsObjects_ = false;
  TDuplicates duplicates_ = dupIgnore;
};

class TCollection;

class TCollectionItem : public TPersistent {
public:
  explicit TCollectionItem(TCollection* Collection);
  ~TCollectionItem() override;
  TCollection* Collection() const { return collection_; }
  void SetCollection(TCollection* c);
  int Index() const;
  void SetIndex(int v);
  int ID() const { return id_; }
  virtual AnsiString DisplayName() const;

protected:
  // Reports a change of this item (AllItems: every item may have changed).
  void Changed(bool AllItems);

private:
  friend class TCollection;
  TCollection* collection_ = nullptr;
  int id_ = 0;
};

// An owned, ordered list of items of one class, made by the collection's item factory.
class TCollection : public TPersistent {
public:
  using ItemFactory = std::function<TCollectionItem*(TCollection*)>;
  explicit TCollection(ItemFactory factory);
  ~TCollection() override;

  int Count() const { return static_cast<int>(items_.size()); }
  TCollectionItem* Items(int i) const;
  TCollectionItem* Add();
  TCollectionItem* Insert(int Index);
  void Delete(int Index);
  void Clear();
  TCollectionItem* FindItemID(int ID) const;
  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return updateCount_; }
  void Assign(TPersistent* Source) override;
  virtual TPersistent* GetOwner() const { return nullptr; }

protected:
  // Called after a change; Item is the changed item, or nil when everything may have changed.
  virtual void Update(TCollectionItem*) {}
  void Changed();

private:
  friend class TCollectionItem;
  void InsertItem(TCollectionItem* item);
  void RemoveItem(TCollectionItem* item);

  ItemFactory factory_;
  std::vector<TCollectionItem*> items_;
  int nextId_ = 0;
  int updateCount_ = 0;
};
