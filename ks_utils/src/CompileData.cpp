#include "ks_utils/CompileData.hpp"

#include "hb/hb.hpp"

CompileData::CompileData() = default;
CompileData::CompileData(const CompileData& other) = default;
CompileData& CompileData::operator=(const CompileData& other) = default;
CompileData::~CompileData() = default;

void* CompileData::operator new(std::size_t size) {
  return hbCallocWithCheck(size, 1);
}

void* CompileData::operator new[](std::size_t size) {
  return hbCallocWithCheck(size, 1);
}

void* CompileData::operator new(std::size_t, void* where) noexcept {
  return where;
}

void CompileData::operator delete(void* p) noexcept { hbFree(p); }

void CompileData::operator delete[](void* p) noexcept { hbFree(p); }

void CompileData::operator delete(void*, void*) noexcept {}
