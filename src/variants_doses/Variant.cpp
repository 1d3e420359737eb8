// A variant as a model component: its name rule, verification against a
// model, the settings a commit applies, and how its entries follow a
// component that takes a new name.
#include "variants_doses/Variant.hpp"

#include <algorithm>
#include <cctype>

#include <ks_utils/Errors.hpp>
#include <ks_utils/StringHelpers.hpp>
#include <qx/qx.hpp>

#include "host/HostHelpers.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "variants_doses/ReferenceRename.hpp"

using Code = kstr::MessageCode;
using kstr::variants::modelOfComponent;

namespace {

// The property a variant may set on each kind of component.
struct CommittableProperty {
  kstr::bcomptype kind;
  const char* lowerName;
  const char* name;
};
constexpr CommittableProperty kCommittable[] = {
    {kstr::parameter, "value", "Value"},
    {kstr::species, "initialamount", "InitialAmount"},
    {kstr::compartment, "capacity", "Capacity"},
};

std::string lowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

void Variant::setName(const std::string& name) {
  std::string trimmed = name;
  STDStringHelpers::trimWhitespace(trimmed);
  if (trimmed.empty()) {
    kstr_error("Kestrion:VariantMustHaveName", kstr::code(Code::KS_PATCH_MUST_HAVE_NAME));
  }
  if (const auto* model = dynamic_cast<const Kelbor*>(getParent())) {
    for (uint64_t i = 0; i < model->getNumVariants(); ++i) {
      if (model->getVariantAt(i)->getName() == trimmed) {
        kstr_error("Kestrion:VariantWithNameExists", kstr::code(Code::KS_PATCH_WITH_NAME_EXISTS));
      }
    }
  }
  KelborComponent::setName(trimmed);
}

// --- verification and commit ---------------------------------------------------------------

void Variant::update(Kelbor* model) {
  if (!model) {
    kstr_error("Kestrion:VariantVerifyNeedsModel", kstr::code(Code::KS_PATCH_VERIFY_NEEDS_MODEL));
  }
  update(model, model->getActiveConfigSet());
}

void Variant::update(Kelbor* model, KStrConfigurationSetApi* set) {
  if (!model) {
    kstr_error("Kestrion:VariantVerifyNeedsModel", kstr::code(Code::KS_PATCH_VERIFY_NEEDS_MODEL));
  }
  kstrVector<const Variant*> variants(1, this);
  kstrVector<const Dose*> noDoses;
  model->update(set, &variants, &noDoses);
}

void Variant::errorForInvalidComponentAndProperty(const std::string& type,
                                                  const qxArray* property) const {
  const kstr::bcomptype kind = kstr::componentTypeFromKeyword(type);
  for (const CommittableProperty& accepted : kCommittable) {
    if (accepted.kind != kind) continue;
    const std::string text = qxArrayToStdString(property);
    if (lowerCase(text) == accepted.lowerName) return;
    kstr_error("Kestrion:PatchInvalidProperty", kstr::code(Code::KS_PATCH_INVALID_PROPERTY), text.c_str(),
               kstr::componentTypeKeyword(kind), accepted.name);
  }
  kstr_error("Kestrion:VariantComponentTypeNotSupported",
             kstr::code(Code::KS_PATCH_COMPONENT_TYPE_NOT_SUPPORTED), type.c_str());
}

Variant::CommitSetCalls Variant::createCommitSetCalls(const Kelbor* model) const {
  CommitSetCalls calls(new kstrVector<CommitSetCall>(quads_.size()));
  for (const auto& [key, entry] : quads_) {
    const BPatchQuad& quad = *entry.first;
    errorForInvalidComponentAndProperty(key, quad.getProp());
    const kstr::bcomptype kind = kstr::componentTypeFromKeyword(key);
    const std::string name = qxArrayToStdString(quad.getName());
    if (name.empty()) kstr_error("Kestrion:MalformedVariantName", kstr::code(Code::KS_MALFORMED_PATCH_NAME));
    const KelborComponent* component = model->getPartiallyQualifiedComponent(name, kind);
    if (!component || component->getEnumType() != kind) {
      kstr_error("Kestrion:VariantCommitComponentDoesNotExist",
                 kstr::code(Code::KS_PATCH_COMMIT_COMPONENT_DOES_NOT_EXIST), name.c_str());
    }
    (*calls)[entry.second] = {component, {quad.getProp(), quad.getValue()}};
  }
  return calls;
}

// --- renames and usages ------------------------------------------------------------------------

std::set<size_t> Variant::componentRename(const KelborComponent* component, std::string newName,
                                          const std::set<size_t>& entries) {
  std::set<size_t> collided;
  if (!content_ || !modelOfComponent(component)) return collided;
  // Only entries whose name holds the old name as one of its parts can name
  // the component, directly, as the compartment of a species or as the
  // reaction of a kinetic-law parameter.
  const std::vector<size_t> candidates = entriesNaming(kstr::variants::writtenName(component));
  if (candidates.empty()) return collided;
  const kstr::variants::ReferenceRename rename = kstr::variants::prepareReferenceRename(component, newName);
  const std::string keyword = component->getType();
  const KelborComponent* parent = component->getParent();
  const bool lawParameter =
      rename.kind == kstr::parameter && parent && parent->getEnumType() == kstr::kineticlaw;

  bool changed = false;
  for (size_t index : candidates) {
    const std::string& key = positions_[index]->first;
    const std::string name = qxArrayToStdString(quadAt(index)->getName());
    std::string renamed;
    if (key != keyword) {
      std::optional<std::string> requalified = kstr::variants::requalifiedChildName(name, key, rename, component);
      if (!requalified) continue;
      renamed = std::move(*requalified);
    } else {
      if (rename.model->getPartiallyQualifiedComponent(name, rename.kind) != component) continue;
      if (name == rename.oldQualified) {
        renamed = entries.count(index) != 0 ? rename.newName : rename.newQualified;
      } else if (lawParameter || !rename.model
                                      ->resolveSymbolWithCollisions(rename.newName,
                                                                    static_cast<ExpressionBasedComponent*>(nullptr))
                                      ->empty()) {
        renamed = rename.newQualified;
        collided.insert(index);
      } else {
        renamed = rename.newName;
      }
    }
    changed = true;
    renameEntry(index, renamed);
  }
  if (changed) notifyPropertyPostSet(getOBI(), "Content", nullptr);
  return collided;
}

std::vector<std::pair<size_t, std::string>> Variant::entryNamesHolding(const std::string& part) const {
  std::vector<std::pair<size_t, std::string>> names;
  if (!content_ || part.empty()) return names;
  for (size_t index : entriesNaming(part)) names.emplace_back(index, qxArrayToStdString(quadAt(index)->getName()));
  return names;
}

void Variant::restoreEntryNames(const std::vector<std::pair<size_t, std::string>>& names) {
  bool changed = false;
  for (const auto& [index, name] : names) {
    if (!content_ || index >= positions_.size()) continue;
    if (qxArrayToStdString(quadAt(index)->getName()) == name) continue;
    renameEntry(index, name);
    changed = true;
  }
  if (changed) notifyPropertyPostSet(getOBI(), "Content", nullptr);
}

std::vector<size_t> Variant::getUsageLocations(const KelborComponent* component) const {
  std::vector<size_t> indices;
  const Kelbor* model = modelOfComponent(component);
  if (!model) return indices;
  const std::string keyword = component->getType();
  for (size_t index : entriesNaming(component->getName())) {
    if (positions_[index]->first != keyword) continue;
    const std::string name = qxArrayToStdString(quadAt(index)->getName());
    if (!name.empty() && model->getPartiallyQualifiedComponent(name, component->getEnumType()) == component) {
      indices.push_back(index);
    }
  }
  return indices;
}
