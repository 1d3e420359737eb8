// Class-definition objects.  One per host class, alive for the whole
// process; they own the property infos, method infos and constructor
// signatures added to them.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "obk/OBEvents.hpp"
#include "obk/OBNames.hpp"
#include "pellam_api.hpp"
#include "qx/qx.hpp"

class OBApplication;
class OBDatabaseClient;
class OBInterface;
class OBMethodInfo;
class OBMethodSignature;
class OBPropInfo;

class PELLAM_API OBClass {
 public:
  OBClass();
  virtual ~OBClass();
  OBClass(const OBClass&) = delete;
  OBClass& operator=(const OBClass&) = delete;

  // --- set-up --------------------------------------------------------------
  void setName(const char* name);  // null: ""
  void setSuperClass(OBClass* super) noexcept;
  void setDescription(const char* text);
  // Each takes ownership and keeps order.  A property or method whose name
  // is already present in this class (properties ignoring case) is still
  // kept in the list but the first one keeps the name.  Null: ignored.
  void addConstructorSignature(OBMethodSignature* sig);
  void addProperty(OBPropInfo* prop);
  void addMethod(OBMethodInfo* method);

  // --- queries -------------------------------------------------------------
  const char* getName() const noexcept { return name_.c_str(); }
  // "<application>.<name>", or the name when the class has no application.
  const char* getFullName() const noexcept { return fullName_.c_str(); }
  const char* getDescription() const noexcept { return description_.c_str(); }
  OBClass* getSuperClass() const noexcept { return super_; }
  OBApplication* getApplication() const noexcept { return app_; }
  // True when this class is cls or derives from it.
  bool isA(const OBClass* cls) const noexcept;
  const std::vector<OBMethodSignature*>& getConstructorSignatures() const noexcept {
    return ctorView_;
  }
  // Own properties in order, then inherited ones not redeclared (ignoring
  // case), nearest superclass first.
  const std::vector<OBPropInfo*>& getProperties() const;
  // Own methods in order, then inherited ones not redeclared.
  std::vector<OBMethodInfo*> getMethods() const;
  // By name, ignoring case; searches superclasses.  Null when absent.
  OBPropInfo* getProperty(std::string_view name) const noexcept;
  // By exact name; searches superclasses.  Null when absent.
  OBMethodInfo* getMethod(std::string_view name) const noexcept;

  // --- operations the system's classes override ---------------------------
  // Creates an instance (one reference, the caller's).  argv holds the
  // values converted by the matched constructor signature.  mode 1 makes a
  // complete object, mode 0 a bare one for a restore.  Default: null.
  virtual OBInterface* createInstance(OBDatabaseClient* client, int argc,
                                      void* const argv[], OBInterface* creator,
                                      int mode);
  // createInstance(client, 0, nullptr, nullptr, 1).
  OBInterface* createInstance(OBDatabaseClient* client);
  virtual bool canBeConstructed() const { return true; }
  // Consulted by OBInterface::destroy; false refuses.  Default true.
  virtual bool isOkToDestroy(OBInterface* inst);
  // Runs while an instance is destroyed, parent link still present.
  virtual void destroyInstance(OBInterface* inst);
  // Two yes/no class queries; stored, never acted on.
  virtual bool firstClassQuery() const { return query1_; }
  virtual bool secondClassQuery() const { return query2_; }
  void setClassQueries(bool first, bool second) noexcept {
    query1_ = first;
    query2_ = second;
  }

  // Host construction: null when canBeConstructed() is false; otherwise the
  // first constructor signature that matches argv (a repeating last
  // argument also matches none) converts the arguments ("PELLAM array"
  // lent as is) and createInstance runs with mode 1.  Returns the instance
  // with one reference for the caller.  No match: "obk:NoMatchingConstructor";
  // an instance-less createInstance: "obk:ConstructionFailed".
  OBInterface* createObject(OBDatabaseClient* client, OBInterface* creator,
                            int argc, qxArray* const argv[]);

 private:
  friend class OBApplication;
  void updateFullName();

  std::string name_;
  std::string fullName_;
  std::string description_;
  OBClass* super_ = nullptr;
  OBApplication* app_ = nullptr;
  bool query1_ = true;
  bool query2_ = true;
  std::vector<std::unique_ptr<OBMethodSignature>> ctorSigs_;
  std::vector<OBMethodSignature*> ctorView_;
  std::vector<std::unique_ptr<OBPropInfo>> props_;
  std::vector<std::unique_ptr<OBMethodInfo>> methods_;
  std::unordered_map<std::string, OBPropInfo*, OBNoCaseHash, OBNoCaseEqual>
      propIndex_;
  std::unordered_map<std::string, OBMethodInfo*, OBExactHash,
                     std::equal_to<>>
      methodIndex_;
  // Cached full property list and the registry generation it was made at.
  mutable std::vector<OBPropInfo*> allProps_;
  mutable unsigned long allPropsGen_ = 0;
};
