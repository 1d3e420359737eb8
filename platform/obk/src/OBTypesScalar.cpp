// The scalar types: "string" (and override types over it), "double",
// "bool", "int", "long", and enumerated string types.
#include "obk/OBTypes.hpp"

#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "hb/hb.hpp"
#include "obk_internal.hpp"
#include "obk_java.hpp"

namespace {

bool isRealScalar(const qxArray* a) {
  return a != nullptr && qxIsDouble(a) && !qxIsSparse(a) && !qxIsComplex(a) &&
         qxGetNumberOfElements(a) == 1;
}

// A real scalar with an integral value inside [lo, hi].
bool isIntegralScalar(const qxArray* a, double lo, double hi) {
  if (!isRealScalar(a)) return false;
  double v = qxGetScalar(a);
  return std::isfinite(v) && v == std::floor(v) && v >= lo && v <= hi;
}

template <class T>
T* newBlock(T value) {
  auto* p = static_cast<T*>(hbMalloc(sizeof(T)));
  if (p == nullptr) throw std::bad_alloc();
  *p = value;
  return p;
}

// A host-memory copy of a text; the memory running out raises.
char* copyText(const char* text) {
  char* copy = hbStrdup(text);
  if (copy == nullptr && text != nullptr) throw std::bad_alloc();
  return copy;
}

template <class T>
bool equalBlocks(const void* a, const void* b) {
  if (a == nullptr || b == nullptr) return a == b;
  return *static_cast<const T*>(a) == *static_cast<const T*>(b);
}

template <class T>
void* copyBlock(const void* v) {
  return v ? newBlock(*static_cast<const T*>(v)) : nullptr;
}

}  // namespace

// --- base --------------------------------------------------------------------

OBDataConverter::~OBDataConverter() = default;
OBDataType::OBDataType(std::string name) : name_(std::move(name)) {}
OBDataType::~OBDataType() = default;
jobject OBDataType::toJava(const void*) const { return nullptr; }
qxArray* OBDataType::getAllowedValues() const { return nullptr; }

void OBDataType::throwNoMatch() const {
  obk_detail::raise("obk:InvalidValue",
                    "The value is not a valid '" + name_ + "' value.");
}

// --- string ------------------------------------------------------------------

bool StringType::matches(const qxArray* a) const { return obk_detail::isTextArray(a); }

qxArray* StringType::toHost(const void* value) const {
  return qxCreateString(static_cast<const char*>(value));
}

void* StringType::fromHost(const qxArray* a) const {
  if (!matches(a)) throwNoMatch();
  return copyText(qxArrayToStdString(a).c_str());
}

void* StringType::copy(const void* value) const {
  return copyText(static_cast<const char*>(value));
}

void StringType::release(void* value) const { hbFree(value); }

bool StringType::isEqual(const void* a, const void* b) const {
  if (a == nullptr || b == nullptr) return a == b;
  return std::strcmp(static_cast<const char*>(a), static_cast<const char*>(b)) == 0;
}

jobject StringType::toJava(const void* value) const {
  return obk_detail::javaString(static_cast<const char*>(value));
}

qxArray* OverrideStringType::getAllowedValues() const {
  return allowed_ ? allowed_() : nullptr;
}

// --- double ------------------------------------------------------------------

bool DoubleDataType::matches(const qxArray* a) const { return isRealScalar(a); }

qxArray* DoubleDataType::toHost(const void* value) const {
  if (value == nullptr) return qxCreateDoubleMatrix(0, 0, qxREAL);
  return qxCreateDoubleScalar(*static_cast<const double*>(value));
}

void* DoubleDataType::fromHost(const qxArray* a) const {
  if (!matches(a)) throwNoMatch();
  return newBlock(qxGetScalar(a));
}

void* DoubleDataType::copy(const void* value) const { return copyBlock<double>(value); }
void DoubleDataType::release(void* value) const { hbFree(value); }
bool DoubleDataType::isEqual(const void* a, const void* b) const {
  return equalBlocks<double>(a, b);
}

// --- bool --------------------------------------------------------------------

bool BoolDataType::matches(const qxArray* a) const {
  if (a != nullptr && qxIsLogical(a)) return qxGetNumberOfElements(a) == 1;
  return isRealScalar(a);
}

qxArray* BoolDataType::toHost(const void* value) const {
  if (value == nullptr) return qxCreateLogicalMatrix(0, 0);
  return qxCreateLogicalScalar(*static_cast<const uint8_t*>(value) != 0);
}

void* BoolDataType::fromHost(const qxArray* a) const {
  if (!matches(a)) throwNoMatch();
  return newBlock<uint8_t>(qxGetScalar(a) != 0.0 ? 1 : 0);
}

void* BoolDataType::copy(const void* value) const { return copyBlock<uint8_t>(value); }
void BoolDataType::release(void* value) const { hbFree(value); }
bool BoolDataType::isEqual(const void* a, const void* b) const {
  if (a == nullptr || b == nullptr) return a == b;
  return (*static_cast<const uint8_t*>(a) != 0) == (*static_cast<const uint8_t*>(b) != 0);
}

jobject BoolDataType::toJava(const void* value) const {
  if (value == nullptr) return nullptr;
  return obk_detail::javaBoolean(*static_cast<const uint8_t*>(value) != 0);
}

// --- int and long ---------------------------------------------------------------

bool IntDataType::matches(const qxArray* a) const {
  return isIntegralScalar(a, std::numeric_limits<int32_t>::min(),
                          std::numeric_limits<int32_t>::max());
}

qxArray* IntDataType::toHost(const void* value) const {
  if (value == nullptr) return qxCreateDoubleMatrix(0, 0, qxREAL);
  return qxCreateDoubleScalar(*static_cast<const int32_t*>(value));
}

void* IntDataType::fromHost(const qxArray* a) const {
  if (!matches(a)) throwNoMatch();
  return newBlock(static_cast<int32_t>(qxGetScalar(a)));
}

void* IntDataType::copy(const void* value) const { return copyBlock<int32_t>(value); }
void IntDataType::release(void* value) const { hbFree(value); }
bool IntDataType::isEqual(const void* a, const void* b) const {
  return equalBlocks<int32_t>(a, b);
}

jobject IntDataType::toJava(const void* value) const {
  if (value == nullptr) return nullptr;
  return obk_detail::javaInteger(*static_cast<const int32_t*>(value));
}

bool LongDataType::matches(const qxArray* a) const {
  // Doubles hold integers exactly up to 2^53.
  return isIntegralScalar(a, -9007199254740992.0, 9007199254740992.0);
}

qxArray* LongDataType::toHost(const void* value) const {
  if (value == nullptr) return qxCreateDoubleMatrix(0, 0, qxREAL);
  return qxCreateDoubleScalar(static_cast<double>(*static_cast<const int64_t*>(value)));
}

void* LongDataType::fromHost(const qxArray* a) const {
  if (!matches(a)) throwNoMatch();
  return newBlock(static_cast<int64_t>(qxGetScalar(a)));
}

void* LongDataType::copy(const void* value) const { return copyBlock<int64_t>(value); }
void LongDataType::release(void* value) const { hbFree(value); }
bool LongDataType::isEqual(const void* a, const void* b) const {
  return equalBlocks<int64_t>(a, b);
}

// --- enumerated strings ------------------------------------------------------------

void EnumStringType::addEnumValue(const char* text, int value) {
  if (text == nullptr) return;
  if (!byLowerText_.emplace(obk_detail::lower(text), value).second) return;
  texts_.emplace_back(text, value);
}

const char* EnumStringType::getEnumString(int value) const noexcept {
  for (const auto& [text, v] : texts_)
    if (v == value) return text.c_str();
  return "";
}

bool EnumStringType::getEnumValue(const char* text, int& value) const noexcept {
  if (text == nullptr) return false;
  try {
    auto it = byLowerText_.find(obk_detail::lower(text));
    if (it == byLowerText_.end()) return false;
    value = it->second;
    return true;
  } catch (...) {
    return false;
  }
}

bool EnumStringType::matches(const qxArray* a) const { return obk_detail::isTextArray(a); }

qxArray* EnumStringType::toHost(const void* value) const {
  if (value == nullptr) return qxCreateString("");
  return qxCreateString(getEnumString(*static_cast<const int32_t*>(value)));
}

void* EnumStringType::fromHost(const qxArray* a) const {
  if (!matches(a)) throwNoMatch();
  std::string text = qxArrayToStdString(a);
  int value = 0;
  if (!getEnumValue(text.c_str(), value)) {
    std::string list;
    for (const auto& [t, v] : texts_) list += (list.empty() ? "" : ", ") + t;
    obk_detail::raise("obk:InvalidEnumValue", "'" + text + "' is not a valid '" +
                                                  getName() + "' value. Valid values are: " +
                                                  list + ".");
  }
  return newBlock<int32_t>(value);
}

void* EnumStringType::copy(const void* value) const { return copyBlock<int32_t>(value); }
void EnumStringType::release(void* value) const { hbFree(value); }
bool EnumStringType::isEqual(const void* a, const void* b) const {
  return equalBlocks<int32_t>(a, b);
}

qxArray* EnumStringType::getAllowedValues() const {
  qxArray* cell = qxCreateCellMatrix(texts_.size(), 1);
  for (size_t i = 0; i < texts_.size(); ++i)
    qxSetCell(cell, i, qxCreateString(texts_[i].first.c_str()));
  return cell;
}
