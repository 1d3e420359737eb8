// The host class "Model": the class object of the model container, its
// creation and destroy hooks, and the registration of the product's
// feature switches that happens on the class's first use.
#pragma once

#include <obk/OBClass.hpp>
#include <obk/OBEvents.hpp>

#include "core/KelborApi.hpp"

class KELBOR_API KelborOBC : public OBClass, public OBListenerManagerHost, public OBEventSource {
 public:
  // Name "Model", no superclass; one constructor signature (a repeating
  // "PELLAM array"), then the properties and methods of the class.
  KelborOBC();

  // Creates a model from an optional name (the first value, trimmed) and
  // property/value pairs, gives it an active configuration set "default"
  // and puts it below the root.  Errors, with nothing left behind:
  //  - a first value that is not text, or trims to nothing:
  //    "Kestrion:KSTRMODEL_INVALIDNAME";
  //  - the name check of the model raises: that error, unchanged;
  //  - a failing pair: "Kestrion:KSTR_INVALID_PVPAIR" ending with the
  //    host's message.
  OBInterface* createInstance(OBDatabaseClient* client, int argc, void* const argv[],
                              OBInterface* creator, int mode) override;
  // Tells the desktop, takes the model from its parent, releases the
  // model's handle vectors (and the references they hold) and its host
  // values, and deletes the model.
  void destroyInstance(OBInterface* inst) override;
  // Refuses while a rename runs through the model.
  bool isOkToDestroy(OBInterface* inst) override;
};

// Registers the feature switches (first call only), then "Model"; later
// calls return the same class object.
KELBOR_API OBClass* getModelOBClass();
