// The host class "Variant": its class object with the property table, the
// creation entry and the destroy hook.
#pragma once

#include <obk/OBClass.hpp>
#include <obk/OBEvents.hpp>
#include <obk/OBPropInfo.hpp>

#include "core/KelborApi.hpp"

class OBInterface;
class Variant;

class KELBOR_API VariantOBC : public OBClass, public OBListenerManagerHost, public OBEventSource {
 public:
  VariantOBC();
  // Arguments (all host arrays): none, (name), (name, content), or (name,
  // content, pairs...) / (name, pairs...) when the second is no cell array.
  // With arguments the name must be text and not empty
  // ("Kestrion:VariantObjectMustHaveName"); a content or name refused by the
  // variant leaves nothing behind; refused pairs destroy the new instance
  // and raise "Kestrion:KSTR_INVALID_PVPAIR".
  OBInterface* createInstance(OBDatabaseClient* client, int argc, void* const argv[],
                              OBInterface* creator, int mode) override;
  // Leaves the model the instance sits below, releases the user data and
  // deletes the variant.
  void destroyInstance(OBInterface* inst) override;
};

// "Content" ("PELLAM array"): the content as held (the host copies it) and
// Variant::setContent; its values hold no host objects.
class KELBOR_API Variant_Content_PI : public OBPropInfoTemplate {
 public:
  Variant_Content_PI();
  void* getValue(OBDatabaseClient* client, OBInterface* inst) override;
  void setValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
  bool canContainOBInterfaces() const override { return false; }
};

// Registers "Variant" on first call; later calls return the same object.
KELBOR_API OBClass* getVariantOBClass();

// The variant behind an instance whose class is exactly "Variant"; null
// for anything else.
KELBOR_API Variant* variantOf(const OBInterface* instance);
// Sends the post-set event of "Content" for the variant's instance.
KELBOR_API void announceContentChange(OBInterface* instance);
