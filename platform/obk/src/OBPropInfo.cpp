#include "obk/OBPropInfo.hpp"

#include "obk/OBDatabaseClient.hpp"
#include "obk/OBTypes.hpp"
#include "obk_internal.hpp"

uint32_t obkDefaultAccessWord() {
  uint32_t word = 0;
#define OBK_ACCESS_FLAG(Enumerator, bit, defaultValue, queryName) \
  if (defaultValue) word |= (1u << (bit));
#include "obk/OBAccess.def"
  return word;
}

const char* obkAccessFlagName(OBAccessFlag flag) {
  switch (flag) {
#define OBK_ACCESS_FLAG(Enumerator, bit, defaultValue, queryName) \
  case OBAccessFlag::Enumerator:                                  \
    return #Enumerator;
#include "obk/OBAccess.def"
  }
  return "";
}

OBPropInfo::OBPropInfo() : access_(obkDefaultAccessWord()) {}
OBPropInfo::~OBPropInfo() = default;

void OBPropInfo::setName(const char* name) { name_ = name ? name : ""; }
void OBPropInfo::setDescription(const char* text) { description_ = text ? text : ""; }

void OBPropInfo::setDataType(const char* typeName) {
  OBDataType* t = OBTypeRepository::getType(typeName ? typeName : "");
  if (t == nullptr)
    obk_detail::raise("obk:UnknownType", std::string("There is no data type '") +
                                             (typeName ? typeName : "") + "'.");
  type_ = t;
}

OBDataType* OBPropInfo::getDataType(OBInterface*) const {
  if (type_ == nullptr)
    obk_detail::raise("obk:UnknownType",
                      "The '" + name_ + "' property has no data type.");
  return type_;
}

void OBPropInfo::setAccess(OBAccessFlag flag, bool on) noexcept {
  uint32_t bit = 1u << static_cast<int>(flag);
  access_ = on ? (access_ | bit) : (access_ & ~bit);
}

bool OBPropInfo::getAccess(OBAccessFlag flag) const noexcept {
  return (access_ >> static_cast<int>(flag)) & 1u;
}

bool OBPropInfo::canGet(const OBDatabaseClient* client) const noexcept {
  return obkIsExternal(client) ? isExternalGetAccess() : isInternalGetAccess();
}

bool OBPropInfo::canSet(const OBDatabaseClient* client) const noexcept {
  return obkIsExternal(client) ? isExternalSetAccess() : isInternalSetAccess();
}

void* OBPropInfo::getValue(OBDatabaseClient*, OBInterface*) { return nullptr; }
void OBPropInfo::setValue(OBDatabaseClient*, OBInterface*, void*) {}
void OBPropInfo::releaseValue(OBDatabaseClient*, OBInterface*, void*) {}

bool OBPropInfo::canContainOBInterfaces() const {
  return type_ != nullptr && type_->isHandleBearing();
}

OBPropInfoTemplate::OBPropInfoTemplate(const char* name, const char* help,
                                       const char* typeName, uint32_t accessWord) {
  setName(name);
  setDescription(help);
  setDataType(typeName);
  setAccessWord(accessWord);
}

OBPropInfoTemplate::~OBPropInfoTemplate() = default;
