// Standard containers whose storage comes from the host heap
// (hbCallocWithCheck / hbFree), so that host-side accounting sees them.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <new>
#include <utility>
#include <vector>

#include "hb/hb.hpp"

// Allocator over the host heap.  allocate() zero-fills and throws
// std::bad_alloc when the memory cannot be had; deallocate() accepts null.
template <class T>
struct kstrAllocator {
  using value_type = T;

  kstrAllocator() noexcept = default;
  template <class U>
  kstrAllocator(const kstrAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    static_assert(alignof(T) <= alignof(std::max_align_t),
                  "the host heap only guarantees malloc alignment");
    if (n == 0) n = 1;
    return static_cast<T*>(hbCallocWithCheck(n, sizeof(T)));
  }
  void deallocate(T* p, std::size_t) noexcept { hbFree(p); }

  template <class U>
  bool operator==(const kstrAllocator<U>&) const noexcept {
    return true;
  }
};

template <class T>
using kstrVector = std::vector<T, kstrAllocator<T>>;

template <class K, class V, class C = std::less<K>>
using kstrMap = std::map<K, V, C, kstrAllocator<std::pair<const K, V>>>;
