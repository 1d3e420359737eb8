// Vectors the object system hands across the property and method
// interfaces: Vector holds instance pointers, StringVector owns texts.
#pragma once

#include <cstdint>
#include <vector>

#include "pellam_api.hpp"

class OBInterface;

// An ordered list of instance pointers.  It takes no references: holding
// references is the business of whoever fills it (the "handle vector" type
// converts with one reference per element and releases them again).
class PELLAM_API Vector {
 public:
  Vector() = default;
  virtual ~Vector();

  int size() const noexcept { return static_cast<int>(items_.size()); }
  // The element at index, or null when the index is out of range.
  OBInterface* elementAt(int index) const noexcept;
  // Makes room for at least that many elements, so that filling it to
  // them does not grow it step by step.
  void ensureCapacity(int minCapacity);
  // Appends p (null allowed); takes no reference.
  void addElement(OBInterface* p);
  // Inserts p before index (index == size() appends); out of range: ignored.
  void insertElementAt(OBInterface* p, int index);
  // Removes the first occurrence of p (a linear search); false when absent.
  bool removeElement(OBInterface* p);
  // Removes the element at index; out of range: ignored.
  void removeElementAt(int index);
  void removeAllElements() noexcept { items_.clear(); }
  // Index of the first occurrence of p, or -1 when absent (a linear search,
  // as the host's).
  int indexOf(const OBInterface* p) const noexcept;

  const std::vector<OBInterface*>& elements() const noexcept { return items_; }

 private:
  std::vector<OBInterface*> items_;
};

// An ordered list of texts.  addElement copies the text (hbStrdup); a null
// text is kept as null.  The texts are freed with the vector.
class PELLAM_API StringVector {
 public:
  StringVector() = default;
  StringVector(const StringVector& other);
  StringVector& operator=(const StringVector& other);
  virtual ~StringVector();

  int size() const noexcept { return static_cast<int>(items_.size()); }
  // The text at index (may be null), or null when out of range.  Borrowed.
  const char* elementAt(int index) const noexcept;
  void addElement(const char* text);
  void removeAllElements() noexcept;

 private:
  std::vector<char*> items_;
};

// Counted vectors of numbers as the types "NReals" and "Nints" hand them
// out: a count and a pointer to that many values.  Both blocks come from
// hbCalloc and go back with hbFree (see obkNewNReals / obkFreeNReals).
struct NReals {
  int32_t count;
  double* data;
};

struct Nints {
  int32_t count;
  int32_t* data;
};

// A zero-filled record of count values (count < 0 is taken as 0).
PELLAM_API NReals* obkNewNReals(int32_t count);
PELLAM_API void obkFreeNReals(NReals* v);  // null allowed
PELLAM_API Nints* obkNewNints(int32_t count);
PELLAM_API void obkFreeNints(Nints* v);  // null allowed
