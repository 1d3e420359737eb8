// The model's name checks, the forwarders to its symbol table and its
// desktop expression events.
#include <iostream>

#include <hb/hb.hpp>
#include <obk/obk.hpp>

#include "core/ExpressionEvents.hpp"
#include "core/InUseCountEvents.hpp"
#include "expressions/SymbolTable.hpp"
#include "host/HostHelpers.hpp"
#include "model/Kelbor.hpp"
#include "quantities/BCompartment.hpp"
#include "quantities/BParameter.hpp"
#include "quantities/BSpecies.hpp"
#include "reactions/BEvent.hpp"
#include "reactions/BReaction.hpp"
#include "reactions/BRule.hpp"

bool Kelbor::isBeingDestroyed() const {
  auto data = getModelGlobalData();
  return data && data->beingDestroyed;
}

bool Kelbor::isComponentNameInUse(const std::string& name, kstr::bcomptype kind) const {
  return symbolTable_->isComponentNameInUse(name, kind);
}

bool Kelbor::isComponentNameInUse(const std::string& name,
                                  std::initializer_list<kstr::bcomptype> kinds) const {
  return symbolTable_->isComponentNameInUse(name, kinds);
}

bool Kelbor::isAnyComponentNameInUse(const kstrVector<const char*>& names,
                                     kstr::bcomptype kind) const {
  for (const char* name : names) {
    if (name && symbolTable_->isComponentNameInUse(name, kind)) return true;
  }
  return false;
}

KelborComponent* Kelbor::resolveSymbol(const std::string& name, ExpressionBasedComponent* scope) {
  return isBeingDestroyed() ? nullptr : symbolTable_->resolveSymbol(name, scope);
}

KelborComponent* Kelbor::resolveSymbol(const std::string& name, BReaction* scope) {
  return isBeingDestroyed() ? nullptr : symbolTable_->resolveSymbol(name, scope);
}

KelborComponent* Kelbor::resolveSymbolAndListen(const std::string& name,
                                                ExpressionBasedComponent* listener) {
  return isBeingDestroyed() ? nullptr : symbolTable_->resolveSymbolAndListen(name, listener);
}

KelborComponent* Kelbor::resolveSymbolAndListen(const std::string& name, BReaction* listener) {
  return isBeingDestroyed() ? nullptr : symbolTable_->resolveSymbolAndListen(name, listener);
}

bool Kelbor::resolveSymbolListenAndCount(const std::string& name, ExpressionBasedComponent* listener,
                                         bool reactionScope, KelborComponent*& found,
                                         size_t& candidates) {
  if (isBeingDestroyed()) return false;
  found = symbolTable_->resolveListenAndCountImpl(name, listener, reactionScope, candidates);
  return true;
}

KelborComponent* Kelbor::reResolveSymbolAndListen(const std::string& oldName,
                                                  const std::string& newName,
                                                  ExpressionBasedComponent* listener) {
  return isBeingDestroyed() ? nullptr
                            : symbolTable_->reResolveSymbolAndListen(oldName, newName, listener);
}

KelborComponent* Kelbor::reResolveSymbolAndListen(const std::string& oldName,
                                                  const std::string& newName, BReaction* listener) {
  return isBeingDestroyed() ? nullptr
                            : symbolTable_->reResolveSymbolAndListen(oldName, newName, listener);
}

Kelbor::ComponentVectorPtr Kelbor::resolveSymbolsAndListen(const std::set<std::string>& release,
                                                           const std::set<std::string>& resolve,
                                                           ExpressionBasedComponent* listener) {
  return isBeingDestroyed() ? ComponentVectorPtr()
                            : symbolTable_->resolveSymbolsAndListen(release, resolve, listener);
}

Kelbor::ComponentVectorPtr Kelbor::resolveSymbolsAndListen(const std::set<std::string>& release,
                                                           const std::set<std::string>& resolve,
                                                           BReaction* listener) {
  return isBeingDestroyed() ? ComponentVectorPtr()
                            : symbolTable_->resolveSymbolsAndListen(release, resolve, listener);
}

Kelbor::ComponentVectorPtr Kelbor::resolveSymbolWithCollisions(const std::string& name,
                                                               ExpressionBasedComponent* scope) {
  return isBeingDestroyed() ? ComponentVectorPtr()
                            : symbolTable_->resolveSymbolWithCollisions(name, scope);
}

Kelbor::ComponentVectorPtr Kelbor::resolveSymbolWithCollisions(const std::string& name,
                                                               BReaction* scope) {
  return isBeingDestroyed() ? ComponentVectorPtr()
                            : symbolTable_->resolveSymbolWithCollisions(name, scope);
}

std::vector<const ExpressionBasedComponent*> Kelbor::getComponentListeners(
    const KelborComponent* component) const {
  return symbolTable_->getComponentListeners(component);
}

void Kelbor::printSymbolTable() const { symbolTable_->print(std::cout); }

// --- desktop events ----------------------------------------------------------------

bool Kelbor::getSendExpressionEvents(kstr::bcomptype kind) const {
  switch (kind) {
    case kstr::event:
      return sendEventEvents_;
    case kstr::reaction:
      return sendReactionEvents_;
    case kstr::rule:
      return sendRuleEvents_;
    default:
      return false;
  }
}

void Kelbor::setSendExpressionEvents(bool on, kstr::bcomptype kind) {
  sendModelExpressionMessages(expressionMessages_, getOBI());
  switch (kind) {
    case kstr::event:
      sendEventEvents_ = on;
      if (on) {
        for (BEvent* e : events_) e->sendJavaUpdateEvents();
      }
      break;
    case kstr::reaction:
      sendReactionEvents_ = on;
      if (on) {
        for (BReaction* r : reactions_.items()) r->sendJavaUpdateEvents();
      }
      break;
    case kstr::rule:
      sendRuleEvents_ = on;
      if (on) {
        for (BRule* r : rules_) r->sendJavaUpdateEvents();
      }
      break;
    default:
      break;
  }
}

void Kelbor::setSendInUseEvents(bool on) {
  const InUseCountJavaHelper* helper = getInUseCountEventClass();
  if (!on) {
    inUseCallback_.clear();
    return;
  }
  if (!helper) return;
  inUseCallback_ = [this, helper](const KelborComponent* component, uint64_t count) {
    helper->postInUseCountEvent(component, getOBI(), count);
  };
  sendUnusedComponentEvents(getOBI());
  symbolTable_->notifyAllInUseCounts();
}

void Kelbor::notifyComponentInUseCountChange(const KelborComponent* component, bool deleted) {
  if (inUseCallback_.empty() || !component) return;
  inUseCallback_(component, deleted ? 4294967295ull : component->getInUseCount());
}

void Kelbor::notifyModelBeingDestroyed() {
  if (auto data = getModelGlobalData()) data->beingDestroyed = true;
  getInUseCountEventClass();
  inUseCallback_.clear();
  for (Kelbor* nested : models_) nested->notifyModelBeingDestroyed();
}

namespace {

void printListenerLine(const KelborComponent* component) {
  hbPrintf("Name: %s, Ptr: %p\n", component->getName().c_str(),
           static_cast<const void*>(component));
  hbPrintf("  Listeners: ");
  for (const ExpressionBasedComponent* listener : component->getListeners()) {
    hbPrintf("%p ", static_cast<const void*>(listener));
  }
  hbPrintf("\n");
}

template <class T>
void printExpressionComponents(const char* title, const kstrVector<T*>& list) {
  hbPrintf("%s", title);
  for (const T* component : list) {
    hbPrintf("Ptr: %p\n", static_cast<const void*>(component));
    component->debugPrint(std::cout);
  }
}

}  // namespace

void Kelbor::printEBCsAndListeners() const {
  hbPrintf("==COMPARTMENTS==\n");
  for (const BCompartment* c : compartments_.items()) printListenerLine(c);
  hbPrintf("==SPECIES==\n");
  const uint32_t numSpecies = getNumSpeciesInTree();
  for (uint32_t i = 0; i < numSpecies; ++i) {
    if (const BSpecies* s = getSpeciesInTreeAt(i)) printListenerLine(s);
  }
  hbPrintf("==PARAMETERS==\n");
  kstrVector<BSpecies*> species;
  kstrVector<BParameter*> parameters;
  findAllSpeciesAndParams(species, parameters, true);
  for (const BParameter* p : parameters) printListenerLine(p);
  printExpressionComponents("==REACTIONS==\n", reactions_.items());
  printExpressionComponents("==RULES==\n", rules_);
  printExpressionComponents("==EVENTS==\n", events_);
}

Kelbor* kelborFromHandle(const OBInterface* instance) {
  KelborComponent* component = componentOf(instance);
  return component && component->getEnumType() == kstr::kstrmodel ? static_cast<Kelbor*>(component)
                                                                   : nullptr;
}

void collectSpeciesAndParameterOBIs(const OBInterface* modelHandle, Vector* result,
                                    bool includeConstants) {
  const Kelbor* model = kelborFromHandle(modelHandle);
  if (!model || !result) return;
  kstrVector<BSpecies*> species;
  kstrVector<BParameter*> parameters;
  model->findAllSpeciesAndParams(species, parameters, includeConstants);
  auto append = [result](OBInterface* handle) {
    if (!handle) return;
    handle->getReference();
    result->addElement(handle);
  };
  for (const BSpecies* s : species) append(s->getOBI());
  for (const BParameter* p : parameters) append(p->getOBI());
}
