// Data types of the object system and their repository.  A type knows its
// host form (qxArray) and its native form (the void* values that property
// infos and method bodies exchange):
//
//   "string"        const char* (may be null)       char row or 0x0 char
//   "double"        double*                          real numeric scalar
//   "bool"          uint8_t* (one-byte block)        logical or real scalar
//   "int"           int32_t*                         real integral scalar
//   "long"          int64_t*                         real integral scalar
//   "handle"        OBInterface*                     1x1 handle, or empty
//   "handle vector" Vector* (one ref per element)    handle array, or empty
//   "string vector" StringVector*                    cell of char, or char row
//   "PELLAM array"  qxArray*                         anything
//   "NReals"        NReals*                          real numeric array
//   "Nints"         Nints*                           integral numeric array
//   "<App>.<Class>" and "<App>.<Class> vector": as "handle" / "handle
//                   vector", every element of the class or a subclass; made
//                   on first request and resolved by class name when matched.
//
// Values made by fromHost or copy belong to the caller, who gives them back
// with release.  Native allocations are hbMalloc/hbCalloc blocks.
#pragma once

#include <functional>
#include <map>
#include <utility>
#include <string>
#include <vector>

#include "jpi/jpi.hpp"
#include "pellam_api.hpp"
#include "qx/qx.hpp"

class OBInterface;
class OBClass;
class Vector;
class StringVector;

// The conversion half of a type (what the type's conversion object offers).
class PELLAM_API OBDataConverter {
 public:
  virtual ~OBDataConverter();
  // A new host array for the native value (borrowed; null allowed: the
  // type's empty form).  Raises ErrorIdException for an invalid value.
  virtual qxArray* toHost(const void* value) const = 0;
  // A new native value owned by the caller (release it through the type).
  // Raises ErrorIdException "obk:InvalidValue" when the array does not
  // match, or the type's own error ("obk:InvalidEnumValue", ...).
  virtual void* fromHost(const qxArray* a) const = 0;
};

class PELLAM_API OBDataType : public OBDataConverter {
 public:
  explicit OBDataType(std::string name);
  ~OBDataType() override;

  const char* getName() const noexcept { return name_.c_str(); }
  const OBDataConverter* getConverter() const noexcept { return this; }

  // True when the host array can be converted to this type.  Null: false.
  virtual bool matches(const qxArray* a) const = 0;
  // A new value equal to value (null gives null).
  virtual void* copy(const void* value) const = 0;
  // Frees a value made by fromHost or copy (null allowed).
  virtual void release(void* value) const = 0;
  // Value comparison; two nulls are equal, one null is not.
  virtual bool isEqual(const void* a, const void* b) const = 0;
  // A new Java reference for the value (give it back with pljReleaseObject),
  // or null: no converter, a null value, or the host runs no Java machine
  // (then no Java call is made).
  virtual jobject toJava(const void* value) const;
  // True for types whose values hold instances (copy skips them).
  virtual bool isHandleBearing() const noexcept { return false; }
  // True for the type whose values are host arrays themselves, which
  // method dispatch lends and hands over without converting.
  virtual bool isHostArray() const noexcept { return false; }
  // The allowed values as an n-by-1 cell, or null for a free-form type.
  virtual qxArray* getAllowedValues() const;

 protected:
  // Raises "obk:InvalidValue" naming this type.
  [[noreturn]] void throwNoMatch() const;

 private:
  std::string name_;
};

// "string": const char* values, hbMalloc texts.  Derive from it for an
// override type that converts like "string" but lists allowed values.
class PELLAM_API StringType : public OBDataType {
 public:
  StringType() : OBDataType("string") {}
  explicit StringType(std::string name) : OBDataType(std::move(name)) {}
  bool matches(const qxArray* a) const override;
  qxArray* toHost(const void* value) const override;
  void* fromHost(const qxArray* a) const override;
  void* copy(const void* value) const override;
  void release(void* value) const override;
  bool isEqual(const void* a, const void* b) const override;
  jobject toJava(const void* value) const override;
};

// A "string"-like type whose allowed values come from a callback returning
// a new n-by-1 cell (the values restrict nothing: setters check).
class PELLAM_API OverrideStringType : public StringType {
 public:
  OverrideStringType(std::string name, std::function<qxArray*()> allowed)
      : StringType(std::move(name)), allowed_(std::move(allowed)) {}
  qxArray* getAllowedValues() const override;

 private:
  std::function<qxArray*()> allowed_;
};

class PELLAM_API DoubleDataType : public OBDataType {
 public:
  DoubleDataType() : OBDataType("double") {}
  bool matches(const qxArray* a) const override;
  qxArray* toHost(const void* value) const override;
  void* fromHost(const qxArray* a) const override;
  void* copy(const void* value) const override;
  void release(void* value) const override;
  bool isEqual(const void* a, const void* b) const override;
};

class PELLAM_API BoolDataType : public OBDataType {
 public:
  BoolDataType() : OBDataType("bool") {}
  bool matches(const qxArray* a) const override;
  qxArray* toHost(const void* value) const override;
  void* fromHost(const qxArray* a) const override;
  void* copy(const void* value) const override;
  void release(void* value) const override;
  bool isEqual(const void* a, const void* b) const override;
  jobject toJava(const void* value) const override;
};

// "int" (int32_t) and "long" (int64_t).  A host value must be a real scalar
// with an integral value inside the range.
class PELLAM_API IntDataType : public OBDataType {
 public:
  IntDataType() : OBDataType("int") {}
  bool matches(const qxArray* a) const override;
  qxArray* toHost(const void* value) const override;
  void* fromHost(const qxArray* a) const override;
  void* copy(const void* value) const override;
  void release(void* value) const override;
  bool isEqual(const void* a, const void* b) const override;
  jobject toJava(const void* value) const override;
};

class PELLAM_API LongDataType : public OBDataType {
 public:
  LongDataType() : OBDataType("long") {}
  bool matches(const qxArray* a) const override;
  qxArray* toHost(const void* value) const override;
  void* fromHost(const qxArray* a) const override;
  void* copy(const void* value) const override;
  void release(void* value) const override;
  bool isEqual(const void* a, const void* b) const override;
};

// "handle", or "<App>.<Class>" when a class name is given.  A host array
// holds one reference; fromHost and copy give one new reference; release
// drops one.  fromHost of a destroyed instance raises "obk:InvalidObject".
class PELLAM_API OBInterfaceType : public OBDataType {
 public:
  OBInterfaceType() : OBDataType("handle") {}
  // A typed handle: fullClassName is "<App>.<Class>".
  explicit OBInterfaceType(const std::string& fullClassName)
      : OBDataType(fullClassName), className_(fullClassName) {}
  bool matches(const qxArray* a) const override;
  qxArray* toHost(const void* value) const override;
  void* fromHost(const qxArray* a) const override;
  void* copy(const void* value) const override;
  void release(void* value) const override;
  bool isEqual(const void* a, const void* b) const override;
  jobject toJava(const void* value) const override;
  bool isHandleBearing() const noexcept override { return true; }
  // The required class name ("" for plain "handle").
  const std::string& requiredClassName() const noexcept { return className_; }

 private:
  std::string className_;
};

// "handle vector", or "<App>.<Class> vector".  Values are Vectors holding
// one reference per element; release drops them and deletes the Vector.
class PELLAM_API OBInterfaceVectorType : public OBDataType {
 public:
  OBInterfaceVectorType() : OBDataType("handle vector") {}
  explicit OBInterfaceVectorType(const std::string& fullClassName)
      : OBDataType(fullClassName + " vector"), className_(fullClassName) {}
  bool matches(const qxArray* a) const override;
  qxArray* toHost(const void* value) const override;  // N-by-1; empty: 0x0
  void* fromHost(const qxArray* a) const override;    // empty array: null
  void* copy(const void* value) const override;
  void release(void* value) const override;
  bool isEqual(const void* a, const void* b) const override;
  bool isHandleBearing() const noexcept override { return true; }
  const std::string& requiredClassName() const noexcept { return className_; }

 private:
  std::string className_;
};

class PELLAM_API StringVectorType : public OBDataType {
 public:
  StringVectorType() : OBDataType("string vector") {}
  bool matches(const qxArray* a) const override;
  qxArray* toHost(const void* value) const override;  // n-by-1 cell
  void* fromHost(const qxArray* a) const override;
  void* copy(const void* value) const override;
  void release(void* value) const override;
  bool isEqual(const void* a, const void* b) const override;
};

// "PELLAM array": the value is a qxArray*.  toHost and fromHost duplicate;
// copy is a persistent duplicate; release destroys.  Method dispatch lends
// inputs as they are and hands outputs to the caller without a copy.
class PELLAM_API PellamArrayType : public OBDataType {
 public:
  PellamArrayType() : OBDataType("PELLAM array") {}
  bool matches(const qxArray* a) const override;
  qxArray* toHost(const void* value) const override;  // null: 0x0 double
  void* fromHost(const qxArray* a) const override;
  void* copy(const void* value) const override;
  void release(void* value) const override;
  bool isEqual(const void* a, const void* b) const override;
  bool isHostArray() const noexcept override { return true; }
};

class PELLAM_API NRealsType : public OBDataType {
 public:
  NRealsType() : OBDataType("NReals") {}
  bool matches(const qxArray* a) const override;
  qxArray* toHost(const void* value) const override;  // 1-by-n double
  void* fromHost(const qxArray* a) const override;
  void* copy(const void* value) const override;
  void release(void* value) const override;
  bool isEqual(const void* a, const void* b) const override;
};

class PELLAM_API NintsType : public OBDataType {
 public:
  NintsType() : OBDataType("Nints") {}
  bool matches(const qxArray* a) const override;
  qxArray* toHost(const void* value) const override;  // 1-by-n double
  void* fromHost(const qxArray* a) const override;
  void* copy(const void* value) const override;
  void release(void* value) const override;
  bool isEqual(const void* a, const void* b) const override;
};

// An enumerated type: int32_t* values, texts in the host.  A set matches a
// text ignoring case; an unknown text raises "obk:InvalidEnumValue" naming
// the valid texts.  An unknown integer reads as "".
class PELLAM_API EnumStringType : public OBDataType {
 public:
  explicit EnumStringType(std::string name) : OBDataType(std::move(name)) {}
  // Adds a value; a text already present (ignoring case) is ignored.
  void addEnumValue(const char* text, int value);
  // The text of value, or "" when none.  Borrowed.
  const char* getEnumString(int value) const noexcept;
  // The value of text (ignoring case); false when unknown.
  bool getEnumValue(const char* text, int& value) const noexcept;
  int getNumValues() const noexcept { return static_cast<int>(texts_.size()); }

  bool matches(const qxArray* a) const override;  // any text
  qxArray* toHost(const void* value) const override;
  void* fromHost(const qxArray* a) const override;
  void* copy(const void* value) const override;
  void release(void* value) const override;
  bool isEqual(const void* a, const void* b) const override;
  qxArray* getAllowedValues() const override;

 private:
  std::vector<std::pair<std::string, int>> texts_;  // in order added
  std::map<std::string, int> byLowerText_;
};

// The process-wide type repository.  All built-in types above are present
// from the first call.
class PELLAM_API OBTypeRepository {
 public:
  // The type of that name, or null when absent (flag ignored).  Names of the
  // form "<App>.<Class>" and "<App>.<Class> vector" are made on first
  // request.
  static OBDataType* getType(const char* name, bool flag = false);
  // Adds a type and takes ownership.  A duplicate name is ignored: answers
  // false and the caller keeps ownership.  Null: false.
  static bool addType(OBDataType* type);
};
