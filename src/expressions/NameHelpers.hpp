#pragma once

#include <string>

#include "core/KelborApi.hpp"

class KelborComponent;

namespace kstr {

// The component's name, bracketed when it is no valid identifier.
KELBOR_API std::string bracketedNameOf(const KelborComponent* component);
// The component's partially qualified name ("cell.A", "r1.kf").
KELBOR_API std::string qualifiedNameOf(const KelborComponent* component);

// Strips the square brackets around every bracketed part of a name whose
// content is a valid host identifier, left to right, in place: "[A].[B]"
// becomes "A.B" and "cell.[A]" becomes "cell.A".  A bracketed part whose
// content is no identifier ("[my A]", "[a[b]]") is kept as written and the
// scan goes on after its first "]"; from a "[" without a later "]" on, the
// text stays unchanged.  Linear in the length of the name.
KELBOR_API void removeBracketsFromValidIdentifiers(std::string& name);

}  // namespace kstr
