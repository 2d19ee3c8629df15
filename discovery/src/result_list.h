// The records of the last search, in order of arrival. One writer (the
// receiver thread) adds while one reader (the caller) reads: a record is
// filled completely before it is linked, and linked before the count is
// raised, with release/acquire ordering, so every index up to the count
// just read is a complete record. Clear() frees records and must run only
// while no writer and no reader is active.
#pragma once
#include <atomic>

#include "findra_wire.h"

namespace findra {

class ResultList {
 public:
  ResultList() = default;
  ~ResultList();
  ResultList(const ResultList&) = delete;
  ResultList& operator=(const ResultList&) = delete;

  enum AddResult { kAdded = 0, kDuplicate = -13 };
  // Writer only. A record with the same MAC and name text as a kept one is
  // a duplicate and is not added.
  AddResult Add(const ModuleRecord& record);

  int Count() const { return count_.load(std::memory_order_acquire); }
  // Copies the record at a 1-based index (1 or less: the first). False when
  // there is no record there.
  bool Get(int index, ModuleRecord* out) const;

  void Clear();

 private:
  struct Node {
    ModuleRecord record;
    std::atomic<Node*> next{nullptr};
  };
  std::atomic<Node*> head_{nullptr};
  Node* tail_ = nullptr;  // writer only
  std::atomic<int> count_{0};
};

}  // namespace findra
