// A memory resource that counts what is taken from it and given back, for
// tests of the pools that draw on the default resource.
#pragma once

#include <cstddef>
#include <memory_resource>

class CountingMemoryResource : public std::pmr::memory_resource {
 public:
  // Bytes taken and not yet given back.
  size_t outstanding = 0;

 private:
  void* do_allocate(size_t bytes, size_t alignment) override {
    void* block = std::pmr::new_delete_resource()->allocate(bytes, alignment);
    outstanding += bytes;
    return block;
  }
  void do_deallocate(void* block, size_t bytes, size_t alignment) override {
    outstanding -= bytes;
    std::pmr::new_delete_resource()->deallocate(block, bytes, alignment);
  }
  bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override {
    return this == &other;
  }
};

// Makes the counting resource the default for as long as it lives.
class CountingDefaultResource {
 public:
  CountingDefaultResource() : previous_(std::pmr::set_default_resource(&counting_)) {}
  ~CountingDefaultResource() { std::pmr::set_default_resource(previous_); }
  CountingDefaultResource(const CountingDefaultResource&) = delete;
  CountingDefaultResource& operator=(const CountingDefaultResource&) = delete;
  size_t outstanding() const { return counting_.outstanding; }

 private:
  CountingMemoryResource counting_;
  std::pmr::memory_resource* previous_;
};
