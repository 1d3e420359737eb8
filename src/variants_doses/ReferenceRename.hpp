// How the names by which variant entries and doses refer to a component
// follow that component when it takes a new name.
#pragma once

#include <optional>
#include <string>
#include <vector>

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

// The parts of a name as variant entries and doses hold it, split at the
// dots outside brackets, each without its brackets: "c1.A" gives "c1" and
// "A", "[c 1].[A 1]" gives "c 1" and "A 1".  Empty parts are left out.
std::vector<std::string> namePartsOf(const std::string& text);
// The name a component is written with: its name, or its default name when
// it has none (an unnamed reaction).
std::string writtenName(const KelborComponent* component);
// The model of the component through its model data; null when none.
Kelbor* modelOfComponent(const KelborComponent* component);
// The names of the rename of the component (which still has its old name)
// to newName.  model is null for a component in no model.
ReferenceRename prepareReferenceRename(const KelborComponent* component, std::string newName);
// A name qualified by the component being renamed ("c.A" or "[c].A") with
// the new name in front ("N.A"); nothing for any other name, or one not
// longer than the old name and a dot.
std::optional<std::string> requalifiedName(const std::string& name, const ReferenceRename& rename);
// The name of a child of the renamed component, requalified: a species
// name (keyword "species") under a renamed compartment, or a parameter name
// (keyword "parameter") that denotes a kinetic-law parameter of the renamed
// reaction.  Nothing for any other name or kind.
std::optional<std::string> requalifiedChildName(const std::string& name, const std::string& keyword,
                                                const ReferenceRename& rename, const KelborComponent* component);

}  // namespace kstr::variants
