// The names a rename hands to the variants and doses that refer to the
// renamed component.
#include "variants_doses/ReferenceRename.hpp"

#include <algorithm>

#include <ks_utils/Identifiers.hpp>

#include "core/KelborComponent.hpp"

namespace kstr::variants {

namespace {

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

Kelbor* modelOfComponent(const KelborComponent* component) {
  boost::shared_ptr<ModelGlobalData> data = component ? component->getModelGlobalData() : nullptr;
  return data ? data->model : nullptr;
}

ReferenceRename prepareReferenceRename(const KelborComponent* component, std::string newName) {
  ReferenceRename rename;
  rename.model = modelOfComponent(component);
  rename.kind = component->getEnumType();
  rename.oldName = component->getName();
  component->fillPartiallyQualifiedName(rename.oldQualified);
  bracketNameIfNotValidIdentifier(newName);
  bracketNameIfNotValidIdentifier(rename.oldName);
  rename.newName = std::move(newName);
  const size_t kept = rename.oldQualified.size() - std::min(rename.oldName.size(), rename.oldQualified.size());
  rename.newQualified = rename.oldQualified.substr(0, kept) + rename.newName;
  return rename;
}

std::optional<std::string> requalifiedSpeciesName(const std::string& name, const ReferenceRename& rename) {
  const std::string& old = rename.oldName;
  if (name.size() <= old.size() + 1) return std::nullopt;
  if (startsWith(name, old + ".")) return rename.newName + "." + name.substr(old.size() + 1);
  if (startsWith(name, "[" + old + "].")) return rename.newName + "." + name.substr(old.size() + 3);
  return std::nullopt;
}

}  // namespace kstr::variants
