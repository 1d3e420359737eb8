// Method infos and their signatures.
#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "pellam_api.hpp"

class OBClass;
class OBDataType;

// One callable form of a method: argument type names (the last may repeat)
// and output type names.  Types are looked up by name when first needed,
// so a signature may name a class registered later ("Kestrion.Configset").
class PELLAM_API OBMethodSignature {
 public:
  OBMethodSignature() = default;
  OBMethodSignature(std::initializer_list<const char*> args,
                    std::initializer_list<const char*> outputs = {});
  virtual ~OBMethodSignature();

  // Appends an argument.  Raises "obk:InvalidSignature" after a repeating
  // argument or for a null name.
  void addArgument(const char* typeName, bool repeating = false);
  void addOutput(const char* typeName);

  int getNumArguments() const noexcept { return static_cast<int>(args_.size()); }
  int getNumOutputs() const noexcept { return static_cast<int>(outs_.size()); }
  bool isLastRepeating() const noexcept { return repeating_; }
  const char* getArgumentTypeName(int i) const noexcept;
  const char* getOutputTypeName(int i) const noexcept;
  // The type of argument i; i past the end gives the repeating type.  Raises
  // "obk:UnknownType" when the name has no type; null for i out of range.
  OBDataType* getArgumentType(int i) const;
  OBDataType* getOutputType(int i) const;
  // True when n inputs fit the argument count.
  bool acceptsCount(int n) const noexcept;
  // "(handle, string...) -> bool" for listings.
  std::string toString() const;

 private:
  struct Slot {
    std::string name;
    mutable OBDataType* type = nullptr;
  };
  static OBDataType* resolve(const Slot& s);
  std::vector<Slot> args_;
  std::vector<Slot> outs_;
  bool repeating_ = false;
};

class PELLAM_API OBMethodInfo {
 public:
  OBMethodInfo() = default;
  virtual ~OBMethodInfo();
  OBMethodInfo(const OBMethodInfo&) = delete;
  OBMethodInfo& operator=(const OBMethodInfo&) = delete;

  void setName(const char* name);  // null: ""
  const char* getName() const noexcept { return name_.c_str(); }
  void setDescription(const char* text);
  const char* getDescription() const noexcept { return description_.c_str(); }
  // Takes ownership; order kept.  Null: ignored.
  void addMethodSignature(OBMethodSignature* sig);
  const std::vector<OBMethodSignature*>& getMethodSignatures() const noexcept {
    return sigView_;
  }
  // A static method takes no object argument.
  void setStatic(bool on) noexcept { static_ = on; }
  bool isStatic() const noexcept { return static_; }
  OBClass* getClass() const noexcept { return cls_; }

  // The call body.  matched is one of this method's signatures; nOut comes
  // in as the number of outputs requested and is set by the body (1 when
  // it returns a value); outs has room for the signature's outputs (at
  // least one) and starts null; ins are native values of the matched
  // argument types.  Errors leave as exceptions.
  virtual void invoke(OBMethodSignature* matched, int& nOut, void* outs[],
                      int nIn, void* const ins[]) = 0;

 private:
  friend class OBClass;
  std::string name_;
  std::string description_;
  std::vector<std::unique_ptr<OBMethodSignature>> sigs_;
  std::vector<OBMethodSignature*> sigView_;
  bool static_ = false;
  OBClass* cls_ = nullptr;
};
