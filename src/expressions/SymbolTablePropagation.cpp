// Keeping the symbol table in step with the model as components are added,
// removed and renamed, and telling the expression-based components whose
// names may now resolve differently.
//
// Every operation first gathers the listeners concerned into a private,
// ordered set (from copies, never from a live listener set) and only then
// tells them, so each is told once per phase even when it calls back into
// the table, or changes listener sets and waiting names, while it is told.
#include <ks_utils/Identifiers.hpp>

#include "core/KelborComponent.hpp"
#include "expressions/ExpressionBasedComponent.hpp"
#include "expressions/NameHelpers.hpp"
#include "expressions/SymbolTable.hpp"
#include "model/Kelbor.hpp"

using kstr::bracketedNameOf;
using kstr::qualifiedNameOf;

namespace {

void notifyInUseCount(KelborComponent* component, bool removing) {
  boost::shared_ptr<ModelGlobalData> data = component->getModelGlobalData();
  if (data && data->model) data->model->notifyComponentInUseCountChange(component, removing);
}

}  // namespace

void SymbolTable::gatherCandidates(const std::string& qualifiedName, const std::string& bracketedName,
                                   size_t number, CandidateList& out) const {
  collectCandidates(qualifiedName, nullptr, out);
  if (bracketedName.empty()) return;
  appendBareNameHolders(bracketedName, number, out);
}

void SymbolTable::appendBareNameHolders(const std::string& bracketedName, size_t number,
                                        CandidateList& out) const {
  // A kinetic-law parameter is seen bare only in its own reaction, and
  // only where no species takes the name first: the parameters of other
  // reactions sharing a parameter's name (every law's "k") keep what they
  // denote whatever that parameter does, and their listeners are not told.
  if (number != reactionParameterNamespace) appendAllWithName(bracketedName, reactionParameters_, out);
  collectCandidates(bracketedName, nullptr, out);
  appendSpeciesHoldingBareName(bracketedName, out);
}

void SymbolTable::appendSpeciesHoldingBareName(const std::string& bracketedName, CandidateList& out) const {
  // A bare name denotes a species only while it is the one species of that
  // name, and an expression naming it so is qualified once a second one
  // comes: when three or more species hold the name (the one coming, going
  // or renamed among them) none of their listeners holds it bare, and a
  // name shared by every compartment's species costs nothing here.
  if (species_.countNamed(bracketedName, 3) < 3) appendAllWithName(bracketedName, species_, out);
}

bool SymbolTable::othersMayAnswer(const FormerKeys& former, const std::string& qualifiedName,
                                  const std::string& bracketedName) const {
  if (former.changes != changes_) return true;
  if (!former.qualified || *former.qualified != qualifiedName || former.qualifiedHolders != 0) {
    return true;
  }
  if (bracketedName.empty()) {
    if (former.name) return true;
  } else if (!former.name || *former.name != bracketedName || former.nameHolders != 0) {
    return true;
  }
  return plainFormsHeld(qualifiedName, bracketedName);
}

bool SymbolTable::plainFormsHeld(const std::string& qualifiedName, const std::string& bracketedName) const {
  for (const std::string* name : {&qualifiedName, &bracketedName}) {
    if (name->find('[') == std::string::npos) continue;
    std::string plain = *name;
    kstr::removeBracketsFromValidIdentifiers(plain);
    if (plain != *name && isKeyTextHeld(plain)) return true;
  }
  return false;
}

bool SymbolTable::othersMayAnswerAdded(const KelborComponent* component, const std::string& qualifiedName,
                                       const std::string& bracketedName) const {
  if (!component->getListeners().empty()) return true;
  const Membership* member = memberOf(component);
  if (!member) return true;
  // The texts the component's own entries hold.
  const std::string* ownQualified = member->qualified ? &(*member->qualified)->first : nullptr;
  const std::string* ownName = member->name ? &(*member->name)->first : nullptr;
  const auto ownCount = [&](const std::string& text) {
    return static_cast<uint32_t>(ownQualified && *ownQualified == text) +
           static_cast<uint32_t>(ownName && *ownName == text);
  };
  // A text the component's own entry holds has the hash that entry keeps.
  const auto holders = [&](const std::string& text) {
    if (ownQualified && *ownQualified == text) return keyHolders_.count(member->qualifiedHash);
    if (ownName && *ownName == text) return keyHolders_.count(member->nameHash);
    return keyTextHolders(text);
  };
  if (holders(qualifiedName) != ownCount(qualifiedName)) return true;
  if (!bracketedName.empty() && holders(bracketedName) != ownCount(bracketedName)) return true;
  return plainFormsHeld(qualifiedName, bracketedName);
}

void SymbolTable::addWaiting(const std::string& name, ListenerSet& out) const {
  ListenerSetPtr waiting = findPendingListeners(name);
  if (waiting) out.insert(waiting->begin(), waiting->end());
}

void SymbolTable::collectNameUsers(const std::string& name, ListenerSet& out, size_t number) const {
  std::string bracketed = name;
  bracketNameIfNotValidIdentifier(bracketed);
  CandidateList candidates;
  gatherCandidates(bracketed, bracketed, number, candidates);
  addWaiting(bracketed, out);
  collectListeners(candidates, out);
}

void SymbolTable::componentAdded(KelborComponent* component) {
  const size_t number = getNamespaceIndex(component);
  if (number >= namespaceCount) return;
  const std::string qualifiedName = qualifiedNameOf(component);
  const std::string bracketedName = bracketedNameOf(component);
  // The first component under a qualified name keeps it.
  std::string buffer;
  const std::string& key = number == reactionNamespace || number == reactionParameterNamespace
                               ? keyOf(qualifiedName, buffer)
                               : qualifiedName;
  if (ns(number).findQualified(key)) return;
  insertComponent(number, qualifiedName, bracketedName, component);

  // Most names are new to the table: the searches are skipped when the key
  // counts show that only the component itself answers them and it has no
  // listeners to tell.
  CandidateList candidates;
  if (othersMayAnswerAdded(component, qualifiedName, bracketedName)) {
    gatherCandidates(qualifiedName, bracketedName, number, candidates);
  }
  ListenerSet affected;
  addWaiting(bracketedName, affected);
  addWaiting(qualifiedName, affected);
  collectListeners(candidates, affected);

  notifyInUseCount(component, false);
  for (ExpressionBasedComponent* listener : affected) {
    listener->updateAllExpressionsForComponentAdded(component);
  }
}

void SymbolTable::componentRemoved(KelborComponent* component) {
  // Found by identity: the key it was entered under may no longer be the
  // name it answers (a default name that moved), or be held by another.
  std::optional<FormerKeys> former = takeOut(component);
  if (!former) return;
  defaultNamed_.erase(component);
  const std::string qualifiedName = qualifiedNameOf(component);
  const std::string bracketedName = bracketedNameOf(component);
  notifyInUseCount(component, true);

  // Gathered after the removal, so the component is no candidate.  Most
  // names have a single holder: the searches are skipped when the key
  // counts show that nothing else answers them.
  CandidateList candidates;
  if (othersMayAnswer(*former, qualifiedName, bracketedName)) {
    gatherCandidates(qualifiedName, bracketedName, former->ns, candidates);
  }
  ListenerSet affected(component->getListeners().begin(), component->getListeners().end());
  addWaiting(qualifiedName, affected);
  addWaiting(bracketedName, affected);
  const std::string formerQualified = former->qualified.value_or(qualifiedName);
  const std::string formerName = former->name.value_or(bracketedName);
  if (formerQualified != qualifiedName || formerName != bracketedName) {
    gatherCandidates(formerQualified, formerName, former->ns, candidates);
    addWaiting(formerQualified, affected);
    addWaiting(formerName, affected);
  }
  collectListeners(candidates, affected);

  for (ExpressionBasedComponent* listener : affected) {
    listener->updateAllExpressionsForComponentRemoved(component);
  }
}

void SymbolTable::componentNameChanged(KelborComponent* component, std::string oldName,
                                       const std::string& oldQualifiedName) {
  if (!component) return;
  bracketNameIfNotValidIdentifier(oldName);
  size_t number = getNamespaceIndex(component);
  const Membership* member = memberOf(component);
  if (number >= namespaceCount && member) number = member->ns;
  if (number >= namespaceCount) return;
  // The holders of the old names are gathered before the component leaves
  // the table: gathering takes host memory, and running out of it must not
  // leave the component out.  The component itself may be among them; its
  // listeners are told anyway.
  CandidateList oldCandidates;
  gatherCandidates(oldQualifiedName, oldName, number, oldCandidates);
  // By identity: a missing old key is skipped, and an entry of another
  // component under the old key is left alone.
  std::optional<FormerKeys> former = takeOut(component);
  tellNameChange(component, oldName, oldQualifiedName, number, former, oldCandidates);
}

void SymbolTable::tellNameChange(KelborComponent* component, const std::string& oldBracketedName,
                                 const std::string& oldQualifiedName, size_t number,
                                 const std::optional<FormerKeys>& former,
                                 const CandidateList& oldCandidates) {
  ListenerSet first(component->getListeners().begin(), component->getListeners().end());
  collectListeners(oldCandidates, first);
  // Those waiting for the old names too: a bare name the component shared
  // with another holder may denote that holder alone now.
  addWaiting(oldBracketedName, first);
  addWaiting(oldQualifiedName, first);

  const std::string qualifiedName = qualifiedNameOf(component);
  const std::string bracketedName = bracketedNameOf(component);
  insertComponent(number, qualifiedName, bracketedName, component);

  for (ExpressionBasedComponent* listener : first) {
    listener->updateAllExpressionsForComponentNameChange(component, oldBracketedName,
                                                         oldQualifiedName);
    listener->updateAllExpressionsForComponentRemoved(component);
  }

  const size_t childNamespace = number == reactionNamespace      ? reactionParameterNamespace
                                : number == compartmentNamespace ? speciesNamespace
                                                                 : undefinedNamespace;
  if (childNamespace != undefinedNamespace) {
    renameChildEntries(oldQualifiedName, childNamespace);
    // Children entered under a key the parent no longer had (a moved
    // default name) follow too.
    if (former && former->qualified && *former->qualified != oldQualifiedName) {
      // Under an identity key the children answered the old name.
      renameChildEntries(*former->qualified, childNamespace,
                         isIdentityKey(*former->qualified) ? oldQualifiedName : *former->qualified);
    }
  }

  CandidateList newCandidates;
  collectCandidates(qualifiedName, nullptr, newCandidates);
  newCandidates.push_back(component);
  if (!bracketedName.empty()) appendBareNameHolders(bracketedName, number, newCandidates);
  ListenerSet second;
  addWaiting(bracketedName, second);
  addWaiting(qualifiedName, second);
  collectListeners(newCandidates, second);

  // The listeners register again when they resolve their names.
  const KelborComponent::ListenerSet current = component->getListeners();
  for (ExpressionBasedComponent* listener : current) component->removeListener(listener);

  for (ExpressionBasedComponent* listener : second) {
    listener->updateAllExpressionsForComponentAdded(component);
  }
}

void SymbolTable::renameChildEntries(const std::string& oldQualifiedName, size_t childNamespace) {
  renameChildEntries(oldQualifiedName, childNamespace, oldQualifiedName);
}

void SymbolTable::renameChildEntries(const std::string& parentKey, size_t childNamespace,
                                     const std::string& oldParentName) {
  if (childNamespace >= namespaceCount) return;
  std::vector<std::pair<std::string, KelborComponent*>> children;
  for (const auto& [key, child] : ns(childNamespace).entriesUnder(parentKey + ".")) {
    children.emplace_back(oldParentName + key.substr(parentKey.size()), child);
  }
  for (auto& [key, child] : children) componentNameChanged(child, child->getName(), key);
}

void SymbolTable::componentRename(const KelborComponent* component, const std::string& newName) {
  if (!component) return;
  const KelborComponent::ListenerSet listeners = component->getListeners();
  for (ExpressionBasedComponent* listener : listeners) {
    listener->updateExpressionsForRename(component, newName, {});
  }
  notifyParentComponentRename(component, newName);
}

SymbolTable::ListenerUndoMap SymbolTable::componentRename(const KelborComponent* component,
                                                          const std::string& newName,
                                                          const ListenerUndoMap& undo) {
  ListenerUndoMap result;
  if (!component) return result;
  const KelborComponent::ListenerSet listeners = component->getListeners();
  for (ExpressionBasedComponent* listener : listeners) {
    const void* key = listener;
    auto given = undo.find(key);
    std::set<size_t> entries;
    if (given != undo.end()) entries.insert(given->second.begin(), given->second.end());
    const std::set<size_t> answer =
        listener->updateExpressionsForRename(component, newName, entries);
    result[key].insert(answer.begin(), answer.end());
  }
  notifyParentComponentRename(component, newName);
  return result;
}

void SymbolTable::notifyParentComponentRename(const KelborComponent* component,
                                              const std::string& newName) {
  if (!component) return;
  const bool reaction = component->getEnumType() == kstr::reaction;
  if (!reaction && component->getEnumType() != kstr::compartment) return;
  // A reaction's parameters are entered under the key the reaction has
  // (an identity key while it is unnamed); a compartment's species under
  // its bracketed name.
  std::string prefix;
  if (reaction) {
    const Membership* member = memberOf(component);
    if (!member || !member->qualified) return;
    prefix = (*member->qualified)->first;
  } else {
    prefix = bracketedNameOf(component);
  }
  std::vector<KelborComponent*> children;
  for (const auto& [key, child] :
       (reaction ? reactionParameters_ : species_).entriesUnder(prefix + ".")) {
    children.push_back(child);
  }
  if (children.empty()) return;
  std::string newParent = reaction && newName.empty() ? component->getDefaultName() : newName;
  bracketNameIfNotValidIdentifier(newParent);
  for (const KelborComponent* child : children) {
    notifyChildRequalified(component, child, newParent, qualifiedNameOf(child));
  }
}

void SymbolTable::notifyChildRequalified(const KelborComponent* parent, const KelborComponent* child,
                                         const std::string& newParentBracketedName,
                                         const std::string& oldQualifiedName) {
  const std::string newQualified = newParentBracketedName + "." + bracketedNameOf(child);
  if (newQualified == oldQualifiedName) return;
  const KelborComponent::ListenerSet listeners = child->getListeners();
  for (ExpressionBasedComponent* listener : listeners) {
    listener->updateAllExpressionsForParentComponentRename(parent, child, newParentBracketedName,
                                                            oldQualifiedName, newQualified);
  }
}

std::vector<std::pair<const KelborComponent*, std::string>> SymbolTable::defaultNamedParameters()
    const {
  std::vector<std::pair<const KelborComponent*, std::string>> named;
  for (const KelborComponent* parameter : defaultNamed_) {
    // Only those still entered are read.
    if (containsComponent(parameter)) named.emplace_back(parameter, qualifiedNameOf(parameter));
  }
  return named;
}
