// How the names by which variant entries and doses refer to a component
// follow that component when it takes a new name.
#pragma once

#include <optional>
#include <string>

#include "core/ComponentKind.hpp"

class Kelbor;
class KelborComponent;

namespace kstr::variants {

// The names involved in one rename, with old and new name bracketed when
// they are not valid identifiers.  The new partially qualified name keeps the
// old one's qualifying prefix.
struct ReferenceRename {
  Kelbor* model = nullptr;
  kstr::bcomptype kind = kstr::not_a_component;
  std::string oldName;
  std::string newName;
  std::string oldQualified;
  std::string newQualified;
};

// The model of the component through its model data; null when none.
Kelbor* modelOfComponent(const KelborComponent* component);
// The names of the rename of the component (which still has its old name)
// to newName.  model is null for a component in no model.
ReferenceRename prepareReferenceRename(const KelborComponent* component, std::string newName);
// A species name qualified by the compartment being renamed ("c.A" or
// "[c].A") with the new compartment name in front ("N.A"); nothing for any
// other name, or one not longer than the old name and a dot.
std::optional<std::string> requalifiedSpeciesName(const std::string& name, const ReferenceRename& rename);

}  // namespace kstr::variants
