// A vector of trivially copyable elements that holds its first few in
// place: the dimensions of an array, and the storage of a scalar, a single
// handle or a short text, are made with the array's other members, without
// an allocation of their own.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <type_traits>

namespace qx_detail {

template <class T, size_t N>
class SmallVector {
  static_assert(std::is_trivially_copyable_v<T> && N > 0);

 public:
  SmallVector() = default;
  SmallVector(std::initializer_list<T> values) { assign(values.begin(), values.end()); }
  SmallVector(const SmallVector& other) { assign(other.begin(), other.end()); }
  SmallVector& operator=(const SmallVector& other) {
    if (this != &other) assign(other.begin(), other.end());
    return *this;
  }
  ~SmallVector() = default;

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T* data() { return heap_ ? heap_.get() : inline_; }
  const T* data() const { return heap_ ? heap_.get() : inline_; }
  T* begin() { return data(); }
  T* end() { return data() + size_; }
  const T* begin() const { return data(); }
  const T* end() const { return data() + size_; }
  T& operator[](size_t i) { return data()[i]; }
  const T& operator[](size_t i) const { return data()[i]; }
  const T& back() const { return data()[size_ - 1]; }

  // Raises std::bad_alloc, leaving the elements as they were, when room
  // for them cannot be had.
  void reserve(size_t count) {
    if (count <= capacity_) return;
    std::unique_ptr<T[]> grown(new T[count]);
    if (size_ > 0) std::memcpy(grown.get(), data(), size_ * sizeof(T));
    heap_ = std::move(grown);
    capacity_ = count;
  }
  void assign(size_t count, const T& value) {
    reserve(count);
    std::fill_n(data(), count, value);
    size_ = count;
  }
  void assign(const T* first, const T* last) {
    const auto count = static_cast<size_t>(last - first);
    reserve(count);
    if (count > 0) std::memmove(data(), first, count * sizeof(T));
    size_ = count;
  }
  void push_back(const T& value) {
    if (size_ == capacity_) {
      const T copy = value;  // the value may lie in the elements that move
      reserve(2 * capacity_);
      data()[size_++] = copy;
      return;
    }
    data()[size_++] = value;
  }

  void pop_back() { --size_; }

  friend bool operator==(const SmallVector& a, const SmallVector& b) {
    return a.size_ == b.size_ && std::equal(a.begin(), a.end(), b.begin());
  }

 private:
  T inline_[N]{};
  std::unique_ptr<T[]> heap_;
  size_t size_ = 0;
  size_t capacity_ = N;
};

}  // namespace qx_detail
