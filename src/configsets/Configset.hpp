// A configuration set as a component and its host class "Configset", kept
// to what the model's own methods need: a name, the Active flag, the
// compile-needed flag and the model it is attached to.  The solver choice,
// the times and the option objects come with the full configuration set.
#pragma once

#include <string>

#include <obk/OBClass.hpp>
#include <obk/OBEvents.hpp>

#include "configsets/KStrConfigurationSetApi.hpp"
#include "core/KelborApi.hpp"
#include "core/KelborComponent.hpp"

class OBInterface;

// The set.  It is a component as well, so that every host path that asks
// an instance for its component finds one; it belongs to no component kind
// (getEnumType answers kstr::not_a_component).
class KELBOR_API KStrConfigurationSet : public KelborComponent, public KStrConfigurationSetApi {
 public:
  KStrConfigurationSet() = default;
  KStrConfigurationSet(const KStrConfigurationSet&) = delete;
  KStrConfigurationSet& operator=(const KStrConfigurationSet&) = delete;
  ~KStrConfigurationSet() override;

  const char* getType() const override { return "configset"; }
  kstr::bcomptype getEnumType() const override { return kstr::not_a_component; }

  const std::string& getName() const override { return KelborComponent::getName(); }
  // Trims the name.  When the set is attached, the model is told first
  // (Kelbor::updateCSName raises "Kestrion:ConfigSetNameClash" for a taken
  // name and for "active"); a refused name changes nothing.
  void setName(const std::string& name) override;
  bool getActive() const override { return active_; }
  // Stores the flag and marks the set as needing compilation.
  void setActive(bool active) override;
  OBInterface* getOBI() const override { return KelborComponent::getOBI(); }
  void setModel(Kelbor* model) override { model_ = model; }
  Kelbor* getModel() const override { return model_; }
  bool getCompileNeeded() const override { return compileNeeded_; }
  void setCompileNeeded(bool needed) override { compileNeeded_ = needed; }

 private:
  bool active_ = false;
  bool compileNeeded_ = true;
  Kelbor* model_ = nullptr;
};

// The class object of "Configset".  Instances are made without arguments
// (the caller names the set); the destroy hook detaches a set from its
// top-level model through the model's "removeconfigset" (unless the model
// is being destroyed itself) and deletes the set.  The attached "default"
// set of a live model refuses to be destroyed.
class KELBOR_API KStrConfigurationSetOBC : public OBClass,
                                           public OBListenerManagerHost,
                                           public OBEventSource {
 public:
  KStrConfigurationSetOBC();
  OBInterface* createInstance(OBDatabaseClient* client, int argc, void* const argv[],
                              OBInterface* creator, int mode) override;
  bool isOkToDestroy(OBInterface* inst) override;
  void destroyInstance(OBInterface* inst) override;
};

// Registers "Configset" on first call; later calls return the same object.
KELBOR_API OBClass* getConfigsetOBClass();

// The configuration set behind an instance of "Configset"; null for a null
// instance, an instance of any other class or a destroyed one.
KELBOR_API KStrConfigurationSetApi* configSetOf(const OBInterface* instance);
