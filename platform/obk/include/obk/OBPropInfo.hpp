// Property infos: one object per property of a class, with its name, help
// text, data type and access flags, and the virtual get/set/release that
// reach the component behind an instance.
#pragma once

#include <cstdint>
#include <string>

#include "obk/OBEvents.hpp"
#include "pellam_api.hpp"

class OBClass;
class OBDataType;
class OBDatabaseClient;
class OBInterface;

enum class OBAccessFlag : int {
#define OBK_ACCESS_FLAG(Enumerator, bit, defaultValue, queryName) \
  Enumerator = bit,
#include "obk/OBAccess.def"
};

// The flag word of the defaults (bit i set when flag i defaults to true).
PELLAM_API uint32_t obkDefaultAccessWord();
// The name of a flag ("ExternalSet", ...).
PELLAM_API const char* obkAccessFlagName(OBAccessFlag flag);

class PELLAM_API OBPropInfo {
 public:
  OBPropInfo();
  virtual ~OBPropInfo();
  OBPropInfo(const OBPropInfo&) = delete;
  OBPropInfo& operator=(const OBPropInfo&) = delete;

  void setName(const char* name);  // null: ""
  const char* getName() const noexcept { return name_.c_str(); }
  void setDescription(const char* text);  // the help text; null: ""
  const char* getDescription() const noexcept { return description_.c_str(); }
  // The data type; setDataType(name) looks it up in the repository and
  // raises "obk:UnknownType" for an absent name.
  void setDataType(OBDataType* type) noexcept { type_ = type; }
  void setDataType(const char* typeName);
  // The type of the property's values for an instance (default: the stored
  // type).  Raises "obk:UnknownType" when none was set.
  virtual OBDataType* getDataType(OBInterface* inst) const;
  // The class the property was added to (null before).
  OBClass* getClass() const noexcept { return cls_; }

  // --- access flags ---------------------------------------------------
  void setAccess(OBAccessFlag flag, bool on) noexcept;
  bool getAccess(OBAccessFlag flag) const noexcept;
  // Sets all 13 flags from a factory flag word (bit order of OBAccess.def).
  void setAccessWord(uint32_t word) noexcept { access_ = word; }
  uint32_t getAccessWord() const noexcept { return access_; }
#define OBK_ACCESS_FLAG(Enumerator, bit, defaultValue, queryName) \
  bool queryName() const noexcept { return getAccess(OBAccessFlag::Enumerator); }
#include "obk/OBAccess.def"
  // Whether the client may read / write through the object system.
  bool canGet(const OBDatabaseClient* client) const noexcept;
  bool canSet(const OBDatabaseClient* client) const noexcept;

  // --- values (client first, then instance) ----------------------------
  // The value in the native form of the data type; it belongs to the
  // property info and goes back through releaseValue.  Default: null.
  virtual void* getValue(OBDatabaseClient* client, OBInterface* inst);
  // Sets a native value (borrowed: a setter that keeps it copies it).
  // Default: ignored.  Errors leave as exceptions.
  virtual void setValue(OBDatabaseClient* client, OBInterface* inst,
                        void* value);
  // Gives back a value from getValue.  Default: nothing.
  virtual void releaseValue(OBDatabaseClient* client, OBInterface* inst,
                            void* value);
  // Whether values may hold instances (informational).
  virtual bool canContainOBInterfaces() const;

  // The event type sent after every successful set.
  static int propertyPostSetEvent() noexcept { return OBK_PROPERTY_POST_SET_EVENT; }

 private:
  friend class OBClass;
  std::string name_;
  std::string description_;
  OBDataType* type_ = nullptr;
  OBClass* cls_ = nullptr;
  uint32_t access_;
};

// The base the system's property-info classes derive from.
class PELLAM_API OBPropInfoTemplate : public OBPropInfo {
 public:
  OBPropInfoTemplate() = default;
  // Convenience: name, help text, type name and a flag word.
  OBPropInfoTemplate(const char* name, const char* help, const char* typeName,
                     uint32_t accessWord);
  ~OBPropInfoTemplate() override;
};
