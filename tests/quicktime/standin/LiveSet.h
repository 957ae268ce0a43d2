#pragma once
// The live objects of one kind that the stand-in has handed out, so that a
// stale or forged pointer coming back is refused instead of used.

#include <mutex>
#include <unordered_set>

template <typename T>
class LiveSet {
 public:
  void Add(const T* inObject)
  {
    std::lock_guard theGuard(mLock);
    mObjects.insert(inObject);
  }

  // True when it was live (and is no longer).
  bool Remove(const T* inObject)
  {
    std::lock_guard theGuard(mLock);
    return mObjects.erase(inObject) != 0;
  }

  bool Contains(const T* inObject) const
  {
    std::lock_guard theGuard(mLock);
    return inObject && mObjects.count(inObject) != 0;
  }

 private:
  mutable std::mutex mLock;
  std::unordered_set<const T*> mObjects;
};
