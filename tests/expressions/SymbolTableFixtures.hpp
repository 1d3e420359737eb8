// Small models for the symbol-table tests: compartments, species,
// parameters, reactions with kinetic laws, and listeners that record every
// update the table sends them.
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "expressions/ExpressionBasedComponent.hpp"
#include "expressions/SymbolTable.hpp"
#include "support/TestComponents.hpp"

// The partially qualified name of a component, as the table keys it.
inline std::string qualifiedNameOf(const KelborComponent* component) {
  std::string name;
  if (component) component->fillPartiallyQualifiedName(name);
  return name;
}

// A pointer as the listing prints it.
inline std::string address(const void* p) {
  std::ostringstream out;
  out << p;
  return out.str();
}

// An expression-based component that records each update it is told of as
// one line of text, "what QN [arguments]", in its own list and in an
// optional journal shared by several listeners.  `onCall` runs after the
// recording and may call back into the table.
class RecordingListener : public ExpressionBasedComponent {
 public:
  explicit RecordingListener(std::string label, kstr::bcomptype kind = kstr::rule,
                             std::string defaultName = "")
      : label_(std::move(label)), kind_(kind), defaultName_(std::move(defaultName)) {}

  std::vector<std::string> calls;
  std::vector<std::string>* journal = nullptr;
  std::function<void(const std::string& what, const KelborComponent* component)> onCall;
  // What updateExpressionsForRename answers: the positions it was given, plus
  // these.
  std::set<size_t> renameAdds;
  std::vector<std::set<size_t>> renameGiven;

  const std::string& label() const { return label_; }
  size_t count(const std::string& prefix) const {
    size_t n = 0;
    for (const std::string& call : calls) n += call.rfind(prefix, 0) == 0;
    return n;
  }

  const char* getType() const override { return kstr::componentTypeKeyword(kind_); }
  kstr::bcomptype getEnumType() const override { return kind_; }
  std::string getDefaultName() const override { return defaultName_; }
  void setDefaultName(std::string name) { defaultName_ = std::move(name); }

  void detachListenerSupport() override {}
  void debugPrint(std::ostream& out) const override { out << label_; }
  void sendJavaUpdateEvents() override {}
  void updateAllExpressionsForComponentRemoved(const KelborComponent* component) override {
    record("removed", component, "");
  }
  void updateAllExpressionsForComponentNameChange(const KelborComponent* component,
                                                  const std::string& oldBracketedName,
                                                  const std::string& oldQualifiedName) override {
    record("nameChange", component, oldBracketedName + " " + oldQualifiedName);
  }
  void updateAllExpressionsForParentComponentRename(const KelborComponent* parent,
                                                    const KelborComponent* component,
                                                    const std::string& newParentBracketedName,
                                                    const std::string& oldQualifiedName,
                                                    const std::string& newQualifiedName) override {
    record("parentRename", component,
           qualifiedNameOf(parent) + " " + newParentBracketedName + " " + oldQualifiedName + " " +
               newQualifiedName);
  }
  void updateAllExpressionsForComponentAdded(const KelborComponent* component) override {
    record("added", component, "");
  }
  std::set<size_t> updateExpressionsForRename(const KelborComponent* component,
                                              const std::string& newName,
                                              const std::set<size_t>& positions) override {
    renameGiven.push_back(positions);
    record("rename", component, newName);
    std::set<size_t> answer = positions;
    answer.insert(renameAdds.begin(), renameAdds.end());
    return answer;
  }

 private:
  void record(const std::string& what, const KelborComponent* component,
              const std::string& arguments) {
    std::string line = what + " " + qualifiedNameOf(component);
    if (!arguments.empty()) line += " " + arguments;
    calls.push_back(line);
    if (journal) journal->push_back(label_ + ": " + line);
    if (onCall) onCall(what, component);
  }

  std::string label_;
  kstr::bcomptype kind_;
  std::string defaultName_;
};

// A model with its own symbol table (not the model's), and builders that
// name a component, give it its parent and enter it.
class SymbolTableWorld {
 public:
  RecordingModel model;
  SymbolTable table;
  std::vector<std::string> journal;

  TestComponent& compartment(const std::string& name, bool enter = true) {
    return add(make(kstr::compartment, name, &model), enter);
  }
  TestComponent& species(const std::string& name, KelborComponent& compartment,
                         bool enter = true) {
    return add(make(kstr::species, name, &compartment), enter);
  }
  TestComponent& parameter(const std::string& name, bool enter = true) {
    return add(make(kstr::parameter, name, &model), enter);
  }
  RecordingListener& reaction(const std::string& name, const std::string& defaultName = "",
                              bool enter = true) {
    auto owned = std::make_unique<RecordingListener>(name.empty() ? defaultName : name,
                                                     kstr::reaction, defaultName);
    RecordingListener& reaction = *owned;
    keep(std::move(owned));
    reaction.journal = &journal;
    reaction.setName(name);
    reaction.setParent(&model);
    if (enter) table.componentAdded(&reaction);
    return reaction;
  }
  // A parameter of the reaction's kinetic law (made on first use).
  TestComponent& reactionParameter(const std::string& name, KelborComponent& reaction,
                                   bool enter = true) {
    return add(make(kstr::parameter, name, &lawOf(reaction)), enter);
  }
  RecordingListener& listener(const std::string& label) {
    auto owned = std::make_unique<RecordingListener>(label);
    RecordingListener& listener = *owned;
    keep(std::move(owned));
    listener.journal = &journal;
    return listener;
  }
  // Sets the name and tells the table, as the model does after setName.
  void nameChanged(KelborComponent& component, const std::string& newName) {
    const std::string oldName = component.getName();
    const std::string oldQualified = qualifiedNameOf(&component);
    component.setName(newName);
    table.componentNameChanged(&component, oldName, oldQualified);
  }
  // The whole rename: rewrite, set the name, re-key.
  void rename(KelborComponent& component, const std::string& newName) {
    table.componentRename(&component, newName);
    nameChanged(component, newName);
  }

 private:
  TestComponent& make(kstr::bcomptype kind, const std::string& name, KelborComponent* parent) {
    auto owned = std::make_unique<TestComponent>(kind);
    TestComponent& component = *owned;
    keep(std::move(owned));
    component.setName(name);
    component.setParent(parent);
    return component;
  }
  TestComponent& add(TestComponent& component, bool enter) {
    if (enter) table.componentAdded(&component);
    return component;
  }
  KelborComponent& lawOf(KelborComponent& reaction) {
    for (auto& [owner, law] : laws_) {
      if (owner == &reaction) return *law;
    }
    auto law = std::make_unique<TestKineticLaw>();
    law->setParent(&reaction);
    KelborComponent& result = *law;
    laws_.emplace_back(&reaction, law.get());
    keep(std::move(law));
    return result;
  }
  void keep(std::unique_ptr<KelborComponent> component) { owned_.push_back(std::move(component)); }

  std::vector<std::pair<const KelborComponent*, KelborComponent*>> laws_;
  std::vector<std::unique_ptr<KelborComponent>> owned_;
};
