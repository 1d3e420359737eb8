#include "obk/Vector.hpp"

#include <algorithm>
#include <new>

#include "hb/hb.hpp"

Vector::~Vector() = default;

OBInterface* Vector::elementAt(int index) const noexcept {
  if (index < 0 || index >= size()) return nullptr;
  return items_[static_cast<size_t>(index)];
}

void Vector::ensureCapacity(int minCapacity) {
  if (minCapacity > 0) items_.reserve(static_cast<size_t>(minCapacity));
}

void Vector::addElement(OBInterface* p) { items_.push_back(p); }

void Vector::insertElementAt(OBInterface* p, int index) {
  if (index < 0 || index > size()) return;
  items_.insert(items_.begin() + index, p);
}

bool Vector::removeElement(OBInterface* p) {
  auto it = std::find(items_.begin(), items_.end(), p);
  if (it == items_.end()) return false;
  items_.erase(it);
  return true;
}

void Vector::removeElementAt(int index) {
  if (index < 0 || index >= size()) return;
  items_.erase(items_.begin() + index);
}

int Vector::indexOf(const OBInterface* p) const noexcept {
  auto it = std::find(items_.begin(), items_.end(), p);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

StringVector::StringVector(const StringVector& other) {
  // The destructor does not run when a copy fails part way.
  try {
    for (const char* t : other.items_) addElement(t);
  } catch (...) {
    removeAllElements();
    throw;
  }
}

StringVector& StringVector::operator=(const StringVector& other) {
  if (this != &other) {
    StringVector copy(other);
    items_.swap(copy.items_);
  }
  return *this;
}

StringVector::~StringVector() { removeAllElements(); }

const char* StringVector::elementAt(int index) const noexcept {
  if (index < 0 || index >= size()) return nullptr;
  return items_[static_cast<size_t>(index)];
}

void StringVector::addElement(const char* text) {
  char* copy = hbStrdup(text);
  if (copy == nullptr && text != nullptr) throw std::bad_alloc();
  try {
    items_.push_back(copy);
  } catch (...) {
    hbFree(copy);
    throw;
  }
}

void StringVector::removeAllElements() noexcept {
  for (char* t : items_) hbFree(t);
  items_.clear();
}

NReals* obkNewNReals(int32_t count) {
  if (count < 0) count = 0;
  auto* v = static_cast<NReals*>(hbCallocWithCheck(1, sizeof(NReals)));
  v->count = count;
  try {
    v->data = static_cast<double*>(
        hbCallocWithCheck(static_cast<size_t>(count) + 1, sizeof(double)));
  } catch (...) {
    hbFree(v);
    throw;
  }
  return v;
}

void obkFreeNReals(NReals* v) {
  if (v == nullptr) return;
  hbFree(v->data);
  hbFree(v);
}

Nints* obkNewNints(int32_t count) {
  if (count < 0) count = 0;
  auto* v = static_cast<Nints*>(hbCallocWithCheck(1, sizeof(Nints)));
  v->count = count;
  try {
    v->data = static_cast<int32_t*>(
        hbCallocWithCheck(static_cast<size_t>(count) + 1, sizeof(int32_t)));
  } catch (...) {
    hbFree(v);
    throw;
  }
  return v;
}

void obkFreeNints(Nints* v) {
  if (v == nullptr) return;
  hbFree(v->data);
  hbFree(v);
}
