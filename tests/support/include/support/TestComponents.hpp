// Small concrete components and a recording model for the core tests.
#pragma once

#include <string>
#include <vector>

#include "core/KelborComponent.hpp"
#include "core/QuantityComponent.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"

#include <hb/hb.hpp>

// The catalog must be registered before the first raise (the root does this
// in a running engine).
inline void registerMessageCatalog() {
  hb_mem_add_primary_message_table(hbGetMemoryContext(), &kstr::getMessageCatalog());
}

// A component of a chosen kind with an optional default name.
class TestComponent : public KelborComponent {
 public:
  explicit TestComponent(kstr::bcomptype kind = kstr::species, std::string defaultName = "")
      : kind_(kind), defaultName_(std::move(defaultName)) {}
  const char* getType() const override { return kstr::componentTypeKeyword(kind_); }
  kstr::bcomptype getEnumType() const override { return kind_; }
  std::string getDefaultName() const override { return defaultName_; }
  void joinModel(Kelbor* model) { setModelGlobalData(model->getModelGlobalData()); }

 private:
  kstr::bcomptype kind_;
  std::string defaultName_;
};

// A kinetic law adds no part of its own to qualified names.
class TestKineticLaw : public TestComponent {
 public:
  TestKineticLaw() : TestComponent(kstr::kineticlaw) {}
  void fillPartiallyQualifiedName(std::string& out) const override {
    if (getParent()) getParent()->fillPartiallyQualifiedName(out);
  }
};

class TestRoot : public TestComponent {
 public:
  TestRoot() : TestComponent(kstr::kstrroot) {}
  void fillFullyQualifiedName(std::string&) const override {}
};

class TestQuantity : public kstr::QuantityComponent {
 public:
  TestQuantity() = default;
  TestQuantity(const std::string& units, double value, bool constant, bool boundary)
      : QuantityComponent(units, value, constant, boundary) {}
  const char* getType() const override { return "parameter"; }
  kstr::bcomptype getEnumType() const override { return kstr::parameter; }
  void joinModel(Kelbor* model) { setModelGlobalData(model->getModelGlobalData()); }
};

// A model that records what its components tell it.
class RecordingModel : public Kelbor {
 public:
  struct Call {
    std::string what;
    const KelborComponent* component;
    std::string a;
    std::string b;
  };
  std::vector<Call> calls;

  void setCompartmentsInTree(uint64_t n) { compartmentsInTree_ = n; }
  uint64_t getNumCompartmentsInTree() const override { return compartmentsInTree_; }
  bool hasSeveralCompartments() const override { return compartmentsInTree_ > 1; }
  void componentRename(const KelborComponent* c, const std::string& name) override {
    calls.push_back({"componentRename", c, name, ""});
  }
  quorvix::type_defs::RenameUndoData componentRename(
      const KelborComponent* c, const std::string& name,
      const quorvix::type_defs::RenameUndoData&) override {
    calls.push_back({"componentRenameUndoable", c, name, ""});
    quorvix::type_defs::RenameUndoData record;
    record.expressionPositions[c] = {7};
    return record;
  }
  void componentNameChanged(KelborComponent* c, std::string oldName,
                            const std::string& oldPqn) override {
    calls.push_back({"componentNameChanged", c, oldName, oldPqn});
  }
  void notifyComponentInUseCountChange(const KelborComponent* c, bool) override {
    calls.push_back({"inUseCountChange", c, "", ""});
  }
  size_t count(const std::string& what) const {
    size_t n = 0;
    for (const Call& call : calls) n += call.what == what;
    return n;
  }

 private:
  uint64_t compartmentsInTree_ = 0;
};
