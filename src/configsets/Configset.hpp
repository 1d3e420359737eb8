// The host class "Configset": its class object and the lookup of the
// configuration set behind an instance.
#pragma once

#include <functional>

#include <obk/OBClass.hpp>
#include <obk/OBEvents.hpp>

#include "configsets/KStrConfigurationSet.hpp"
#include "core/KelborApi.hpp"

class OBInterface;

// The class object of "Configset".  Creation mode 1 makes a set with one
// object of each option class below it, mode 0 one with only its
// sensitivity options (the others arrive through the option properties).
// The destroy hook detaches the set from its model first.
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
KELBOR_API KStrConfigurationSet* configurationSetOf(const OBInterface* instance);

namespace kstr::configsets {
// The handle that stands in the target for a handle of the source's lists
// (a component of the model the copy goes to), or null to leave it out.
using HandleMap = std::function<OBInterface*(OBInterface*)>;
// Copies the values of one set and its option objects (except the runtime
// options, which keep logging every state) into another set made in mode
// 1.  The components of the sensitivity lists are taken through the map.
KELBOR_API void copySetValues(const KStrConfigurationSet& source, KStrConfigurationSet& target,
                              const HandleMap& handleInTarget);
// Gives the target model (top-level) a copy of every set of the source, in
// order, under the same names: a set of the target that bears the name
// takes the values instead.  The copies are inactive; the caller chooses
// the active set.  A failure leaves the sets already copied attached.
KELBOR_API void copyConfigSets(const Kelbor& source, OBInterface* target, const HandleMap& handleInTarget);
// Prints one set in the layout of the set's display.
KELBOR_API void displayConfigurationSet(OBInterface* instance);
}  // namespace kstr::configsets
