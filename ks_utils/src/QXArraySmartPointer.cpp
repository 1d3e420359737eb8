#include "ks_utils/QXArraySmartPointer.hpp"

QXArraySmartPointer::QXArraySmartPointer(qxArray* array) noexcept
    : array_(array) {}

QXArraySmartPointer::~QXArraySmartPointer() { qxDestroyArray(array_); }

QXArraySmartPointer::QXArraySmartPointer(QXArraySmartPointer&& other) noexcept
    : array_(other.release()) {}

QXArraySmartPointer& QXArraySmartPointer::operator=(
    QXArraySmartPointer&& other) noexcept {
  if (this != &other) reset(other.release());
  return *this;
}

qxArray* QXArraySmartPointer::release() noexcept {
  qxArray* array = array_;
  array_ = nullptr;
  return array;
}

void QXArraySmartPointer::reset(qxArray* array) noexcept {
  if (array == array_) return;
  qxArray* old = array_;
  array_ = array;
  qxDestroyArray(old);
}
