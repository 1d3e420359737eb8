// The host class "SBMLReadWrite" with its methods "sbmlread", "sbmlwrite"
// and "qesbmlvalidate".  Every instance stands for the one service object.
#pragma once

#include <obk/OBClass.hpp>
#include <obk/OBEvents.hpp>
#include <obk/OBMethodInfo.hpp>

#include "core/KelborApi.hpp"

class KELBOR_API SBMLReadWriteOBC : public OBClass, public OBListenerManagerHost, public OBEventSource {
 public:
  SBMLReadWriteOBC();
  // An instance over the service object (one reference, the caller's).
  OBInterface* createInstance(OBDatabaseClient* client, int argc, void* const argv[],
                              OBInterface* creator, int mode) override;
  // Detaches the instance from the service object, which stays.
  void destroyInstance(OBInterface* inst) override;
};

// "sbmlread"(obj, text) and (obj, text, options) -> the new model.
class KELBOR_API SBML_read_MI : public OBMethodInfo {
 public:
  SBML_read_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn, void* const ins[]) override;

 private:
  OBMethodSignature* withOptions_;
};

// "sbmlwrite"(obj, model, file), (obj, model, file, withoutUnitDefinitions)
// and (obj, model) -> the document text.
class KELBOR_API SBML_write_MI : public OBMethodInfo {
 public:
  SBML_write_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn, void* const ins[]) override;

 private:
  OBMethodSignature* toText_;
};

// "qesbmlvalidate"(obj, file) -> fatal errors, errors, warnings.
class KELBOR_API SBML_sbmlvalidate_MI : public OBMethodInfo {
 public:
  SBML_sbmlvalidate_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn, void* const ins[]) override;
};

// Registers "SBMLReadWrite" on the first call; later calls return the same
// class object.
KELBOR_API OBClass* getSBMLReadWriteOBClass();
