#pragma once

#include <string>

#include "core/KelborApi.hpp"
#include "core/KelborComponent.hpp"

// The model container.  It owns the model data that it shares with every
// component below it, and it is told about every change of a component that
// affects names or simulation.
class KELBOR_API Kelbor : public KelborComponent {
 public:
  Kelbor();
  ~Kelbor() override;

  const char* getType() const override { return "kstrmodel"; }
  kstr::bcomptype getEnumType() const override { return kstr::kstrmodel; }
  // A qualified name ends below the model.
  void fillPartiallyQualifiedName(std::string&) const override {}
  void fillDisplayQualifiedName(std::string&) const override {}

  // --- compile state ---------------------------------------------------------
  // Starts true; every change that affects simulation sets it.
  bool getCompileNeeded() const { return compileNeeded_; }
  void setCompileNeeded(bool needed) { compileNeeded_ = needed; }

  // --- change propagation ------------------------------------------------------
  // Called before a component takes its new name, so that every expression
  // that names it can be rewritten.
  virtual void componentRename(KelborComponent* component, const std::string& newName);
  virtual quorvix::type_defs::RenameUndoData componentRename(
      KelborComponent* component, const std::string& newName,
      const quorvix::type_defs::RenameUndoData& undo);
  // Called after a component's name changed.
  virtual void componentNameChanged(KelborComponent* component, const std::string& oldName,
                                    const std::string& oldPartiallyQualifiedName);
  virtual void notifyComponentInUseCountChange(KelborComponent* component, bool force);

  // The number of compartments in the model's whole compartment tree.
  virtual size_t getNumCompartmentsInTree() const { return numCompartmentsInTree_; }

 protected:
  size_t numCompartmentsInTree_ = 0;

 private:
  bool compileNeeded_ = true;
};
