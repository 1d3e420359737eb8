// The names a rename hands to the variants and doses that refer to the
// renamed component.
#include "variants_doses/ReferenceRename.hpp"

#include <algorithm>

#include <ks_utils/Identifiers.hpp>

#include "core/KelborComponent.hpp"
#include "model/Kelbor.hpp"

namespace kstr::variants {

namespace {

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

std::vector<std::string> namePartsOf(const std::string& text) {
  std::vector<std::string> parts;
  std::string part;
  bool bracketed = false;
  auto flush = [&] {
    if (part.size() >= 2 && part.front() == '[' && part.back() == ']') {
      part = part.substr(1, part.size() - 2);
    }
    if (!part.empty()) parts.push_back(part);
    part.clear();
  };
  for (char c : text) {
    if (c == '[') bracketed = true;
    if (c == ']') bracketed = false;
    if (c == '.' && !bracketed) {
      flush();
    } else {
      part += c;
    }
  }
  flush();
  return parts;
}

std::string writtenName(const KelborComponent* component) {
  const std::string& name = component->getName();
  return name.empty() ? component->getDefaultName() : name;
}

Kelbor* modelOfComponent(const KelborComponent* component) {
  boost::shared_ptr<ModelGlobalData> data = component ? component->getModelGlobalData() : nullptr;
  return data ? data->model : nullptr;
}

ReferenceRename prepareReferenceRename(const KelborComponent* component, std::string newName) {
  ReferenceRename rename;
  rename.model = modelOfComponent(component);
  rename.kind = component->getEnumType();
  rename.oldName = writtenName(component);
  component->fillPartiallyQualifiedName(rename.oldQualified);
  // A reaction left without a name is written with its default name.
  if (newName.empty() && rename.kind == kstr::reaction) newName = component->getDefaultName();
  bracketNameIfNotValidIdentifier(newName);
  bracketNameIfNotValidIdentifier(rename.oldName);
  rename.newName = std::move(newName);
  const size_t kept = rename.oldQualified.size() - std::min(rename.oldName.size(), rename.oldQualified.size());
  rename.newQualified = rename.oldQualified.substr(0, kept) + rename.newName;
  return rename;
}

std::optional<std::string> requalifiedName(const std::string& name, const ReferenceRename& rename) {
  const std::string& old = rename.oldName;
  if (name.size() <= old.size() + 1) return std::nullopt;
  if (startsWith(name, old + ".")) return rename.newName + "." + name.substr(old.size() + 1);
  if (startsWith(name, "[" + old + "].")) return rename.newName + "." + name.substr(old.size() + 3);
  return std::nullopt;
}

std::optional<std::string> requalifiedChildName(const std::string& name, const std::string& keyword,
                                                const ReferenceRename& rename, const KelborComponent* component) {
  if (rename.kind == kstr::compartment && keyword == "species") return requalifiedName(name, rename);
  if (rename.kind != kstr::reaction || keyword != "parameter" || !rename.model) return std::nullopt;
  const KelborComponent* parameter = rename.model->getPartiallyQualifiedComponent(name, kstr::parameter);
  const KelborComponent* law = parameter ? parameter->getParent() : nullptr;
  if (!law || law->getEnumType() != kstr::kineticlaw || law->getParent() != component) return std::nullopt;
  return requalifiedName(name, rename);
}

}  // namespace kstr::variants
