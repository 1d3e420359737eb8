// What names would denote once a component takes a new name, told from the
// table as it is, without changing it: the lookups of resolveSymbol with the
// renamed component (and its children) under their future keys.
#include <algorithm>

#include <ks_utils/Identifiers.hpp>

#include "core/KelborComponent.hpp"
#include "expressions/NameHelpers.hpp"
#include "expressions/SymbolTable.hpp"

namespace {

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.size() > prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

std::optional<SymbolTable::RenamePlan> SymbolTable::planRename(const KelborComponent* component,
                                                               const std::string& newName) const {
  const Membership* member = memberOf(component);
  if (!member || !member->qualified || newName.empty()) return std::nullopt;
  RenamePlan plan;
  plan.component = component;
  plan.ns = member->ns;
  plan.oldKey = (*member->qualified)->first;
  plan.newName = newName;
  bracketNameIfNotValidIdentifier(plan.newName);
  // The qualified name with its last part renamed, as the component will
  // write it; the key it will be entered under.
  std::string qualified;
  component->fillPartiallyQualifiedName(qualified);
  std::string oldName = component->getName().empty() ? component->getDefaultName() : component->getName();
  bracketNameIfNotValidIdentifier(oldName);
  plan.newQualified = qualified.substr(0, qualified.size() - std::min(oldName.size(), qualified.size())) +
                      plan.newName;
  std::string buffer;
  plan.newKey = plan.ns == reactionNamespace || plan.ns == reactionParameterNamespace
                    ? keyOf(plan.newQualified, buffer)
                    : plan.newQualified;
  plan.childNs = plan.ns == reactionNamespace      ? reactionParameterNamespace
                 : plan.ns == compartmentNamespace ? speciesNamespace
                                                   : undefinedNamespace;
  return plan;
}

KelborComponent* SymbolTable::qualifiedAfter(const std::string& key, size_t number,
                                             const RenamePlan& plan) const {
  if (plan.ns == number && key == plan.newKey) return const_cast<KelborComponent*>(plan.component);
  if (plan.childNs == number) {
    // A child answers under the parent's new key, no longer under its old.
    if (startsWith(key, plan.newKey + ".")) {
      if (KelborComponent* child = ns(number).findQualified(plan.oldKey + key.substr(plan.newKey.size()))) {
        return child;
      }
    }
    if (startsWith(key, plan.oldKey + ".")) return nullptr;
  }
  KelborComponent* found = ns(number).findQualified(key);
  return found == plan.component ? nullptr : found;
}

std::pair<KelborComponent*, size_t> SymbolTable::namedAfter(const std::string& name, size_t number,
                                                            const RenamePlan& plan) const {
  KelborComponent* first = nullptr;
  size_t count = 0;
  for (const auto& [key, component] : ns(number).named(name)) {
    if (component == plan.component) continue;
    if (!first) first = component;
    if (++count == 2) return {first, count};
  }
  if (plan.ns == number && plan.newName == name) {
    if (!first) first = const_cast<KelborComponent*>(plan.component);
    ++count;
  }
  return {first, count};
}

KelborComponent* SymbolTable::inNamespaceAfter(const std::string& name, size_t number,
                                               const RenamePlan& plan) const {
  if (!isWhollyBracketed(name)) {
    std::string buffer;
    const bool reactionKeys = number == reactionNamespace || number == reactionParameterNamespace;
    if (KelborComponent* found = qualifiedAfter(reactionKeys ? keyOf(name, buffer) : name, number, plan)) {
      return found;
    }
  }
  return namedAfter(name, number, plan).first;
}

const KelborComponent* SymbolTable::resolveAfterRename(const std::string& name, const KelborComponent* reaction,
                                                       const RenamePlan& plan, bool& ambiguous) const {
  ambiguous = false;
  std::string plain = name;
  kstr::removeBracketsFromValidIdentifiers(plain);
  if (!isWhollyBracketed(plain)) {
    if (KelborComponent* species = qualifiedAfter(plain, speciesNamespace, plan)) return species;
  }
  const auto [species, count] = namedAfter(plain, speciesNamespace, plan);
  if (count == 1) return species;
  if (count > 1) {
    ambiguous = true;
    return nullptr;
  }
  if (reaction) {
    std::string buffer;
    if (KelborComponent* parameter = qualifiedAfter(keyOf(plain, buffer), reactionParameterNamespace, plan)) {
      return parameter;
    }
    // The reaction's own parameters, under the key the reaction will have.
    const Membership* member = memberOf(reaction);
    if (member && member->qualified) {
      const std::string& own = reaction == plan.component ? plan.newKey : (*member->qualified)->first;
      if (KelborComponent* parameter = qualifiedAfter(own + "." + plain, reactionParameterNamespace, plan)) {
        return parameter;
      }
    }
  }
  if (KelborComponent* compartment = inNamespaceAfter(plain, compartmentNamespace, plan)) return compartment;
  return inNamespaceAfter(plain, modelParameterNamespace, plan);
}
