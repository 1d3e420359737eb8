// The compile-state record returned by the mini-compile manager.  Its
// storage comes from the host heap, so the model that receives it frees it
// with a plain delete-expression.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

#include "ks_utils/KsApi.hpp"

struct KS_API CompileData {
  std::vector<bool> bitVector1;
  std::vector<bool> bitVector2;
  std::vector<bool> bitVector3;
  std::map<int64_t, int64_t> map1;
  std::map<int64_t, int64_t> map2;
  std::map<int64_t, int64_t> map3;
  std::vector<int64_t> vector1;
  std::vector<int64_t> vector2;
  std::vector<int64_t> vector3;
  std::vector<int64_t> vector4;

  CompileData();
  CompileData(const CompileData& other);
  CompileData& operator=(const CompileData& other);
  ~CompileData();

  // Zero-filled host memory (hbCallocWithCheck(size, 1)); throws
  // std::bad_alloc when none can be had.
  static void* operator new(std::size_t size);
  static void* operator new[](std::size_t size);
  static void* operator new(std::size_t size, void* where) noexcept;
  // Frees through hbFree (null allowed).
  static void operator delete(void* p) noexcept;
  static void operator delete[](void* p) noexcept;
  static void operator delete(void* p, void* where) noexcept;
};
