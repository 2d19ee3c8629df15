#include "result_list.h"

#include <cstring>

namespace findra {

ResultList::~ResultList() { Clear(); }

ResultList::AddResult ResultList::Add(const ModuleRecord& record) {
  for (Node* n = head_.load(std::memory_order_relaxed); n;
       n = n->next.load(std::memory_order_relaxed)) {
    if (strcmp(n->record.mac, record.mac) == 0 && strcmp(n->record.name, record.name) == 0) {
      return kDuplicate;
    }
  }
  Node* node = new Node;
  node->record = record;
  if (tail_) {
    tail_->next.store(node, std::memory_order_release);
  } else {
    head_.store(node, std::memory_order_release);
  }
  tail_ = node;
  count_.fetch_add(1, std::memory_order_release);
  return kAdded;
}

bool ResultList::Get(int index, ModuleRecord* out) const {
  const int count = Count();
  if (count == 0) return false;
  if (index < 1) index = 1;
  if (index > count) return false;
  Node* n = head_.load(std::memory_order_acquire);
  for (int i = 1; i < index; ++i) n = n->next.load(std::memory_order_acquire);
  *out = n->record;
  return true;
}

void ResultList::Clear() {
  Node* n = head_.exchange(nullptr, std::memory_order_acq_rel);
  tail_ = nullptr;
  count_.store(0, std::memory_order_release);
  while (n) {
    Node* next = n->next.load(std::memory_order_relaxed);
    delete n;
    n = next;
  }
}

}  // namespace findra
