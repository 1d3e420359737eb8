#pragma once

#include <string>

#include <ks_utils/kstrContainers.hpp>

#include "core/KelborApi.hpp"
#include "core/KelborComponent.hpp"

class BLibrary;
class Kelbor;
class OBInterface;

// The single root of the object tree: the top-level models, the builtin
// and user libraries and the product's temporary folder.  Building it
// registers the message catalog with the host utility library.
class KELBOR_API BQuorvixRoot : public KelborComponent {
 public:
  // The process-wide root, made on first use.
  static BQuorvixRoot* getInstance();
  // The process-wide root when it exists; null otherwise (never makes one).
  static BQuorvixRoot* getInstanceIfAny();
  // Deletes the process-wide root (when there is one) and forgets it, so
  // that neither getInstance nor getOBIRoot hands out the freed object; the
  // destroy hook of the root's host instance calls it.
  static void destroyInstance();
  ~BQuorvixRoot() override;

  const char* getType() const override { return "kstrroot"; }
  kstr::bcomptype getEnumType() const override { return kstr::kstrroot; }
  // The root adds nothing to any qualified name.
  void fillFullyQualifiedName(std::string&) const override {}

  // 0 gives the builtin library, every other index the user library.
  BLibrary* getLibrary(int index) const;
  // "builtin" for 0, "user" for 1, null otherwise.
  static const char* getLibraryName(int index);
  // 0 when the builtin library holds a component of the kind (0 unit,
  // 1 unit prefix, 2 abstract kinetic law) and name, else 1 when the user
  // library holds one, else -1.
  int findLibraryIndex(int kind, const char* name) const;
  kstrVector<Kelbor*>& getModels() { return models_; }
  void addModel(Kelbor* model) { models_.push_back(model); }
  // Removes the first entry of the model; absent: nothing.
  void removeModel(Kelbor* model);
  const std::string& getTempDir() const { return tempDir_; }
  void display() const;

  // When on, changes of abstract kinetic laws update the library file.  Off
  // when the root is made; nothing in the engine turns it on.
  bool getLibraryUpdateSwitch() const { return libraryUpdateSwitch_; }
  void setLibraryUpdateSwitch(bool on) { libraryUpdateSwitch_ = on; }

  static void registerMessageCatalog();
  static void unregisterMessageCatalog();

 private:
  BQuorvixRoot();
  void fillBuiltinLibrary();

  kstrVector<Kelbor*> models_;
  BLibrary* builtin_ = nullptr;
  BLibrary* user_ = nullptr;
  std::string tempDir_;
  bool libraryUpdateSwitch_ = false;
};

// The root's host instance (null before the "Root" class made it, and after
// it was destroyed).  Models recognise their top level by it.
KELBOR_API OBInterface* getOBIRoot();
// Records the root's host instance (the "Root" class does, once).
KELBOR_API void setOBIRoot(OBInterface* instance);
