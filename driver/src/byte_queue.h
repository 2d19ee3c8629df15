// A bounded byte queue for one direction of one port. Its storage is taken
// on first use and given back with Release(), so an idle port costs no
// buffer memory: a thousand mapped ports stay small.
#pragma once
#include <cstddef>
#include <cstring>
#include <memory>

namespace vonderil {

class ByteQueue {
 public:
  explicit ByteQueue(size_t capacity) : capacity_(capacity) {}

  size_t Size() const { return tail_ - head_; }
  bool Empty() const { return tail_ == head_; }
  size_t Capacity() const { return capacity_; }
  size_t Room() const { return capacity_ - Size(); }
  const char* Data() const { return storage_.get() + head_; }

  void Consume(size_t n) {
    head_ += n < Size() ? n : Size();
    if (head_ == tail_) head_ = tail_ = 0;
  }
  // Free space at the end, Room() bytes long; Commit(n) takes n of them.
  char* Tail() {
    if (!storage_) storage_.reset(new char[capacity_]);
    if (head_ > 0) {
      std::memmove(storage_.get(), storage_.get() + head_, Size());
      tail_ -= head_;
      head_ = 0;
    }
    return storage_.get() + tail_;
  }
  void Commit(size_t n) { tail_ += n; }
  // Appends what fits; returns how much that was.
  size_t Append(const char* data, size_t n) {
    if (n > Room()) n = Room();
    if (n == 0) return 0;
    std::memcpy(Tail(), data, n);
    Commit(n);
    return n;
  }
  void Clear() { head_ = tail_ = 0; }
  void Release() {
    Clear();
    storage_.reset();
  }

 private:
  size_t capacity_;
  std::unique_ptr<char[]> storage_;
  size_t head_ = 0;
  size_t tail_ = 0;
};

}  // namespace vonderil
