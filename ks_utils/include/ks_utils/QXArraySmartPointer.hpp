// Owner of one host array: destroys it when the owner goes out of scope.
#pragma once

#include "ks_utils/KsApi.hpp"
#include "qx/qx.hpp"

class KS_API QXArraySmartPointer {
 public:
  // Takes ownership of the array (null allowed).
  explicit QXArraySmartPointer(qxArray* array = nullptr) noexcept;
  ~QXArraySmartPointer();
  QXArraySmartPointer(QXArraySmartPointer&& other) noexcept;
  QXArraySmartPointer& operator=(QXArraySmartPointer&& other) noexcept;
  QXArraySmartPointer(const QXArraySmartPointer&) = delete;
  QXArraySmartPointer& operator=(const QXArraySmartPointer&) = delete;

  qxArray* get() const noexcept { return array_; }
  // Gives up ownership and returns the array; the pointer becomes null.
  qxArray* release() noexcept;
  // Destroys the held array (unless it is the same one) and takes the new.
  void reset(qxArray* array = nullptr) noexcept;

 private:
  qxArray* array_;
};
