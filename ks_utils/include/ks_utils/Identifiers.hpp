// Identifier rules of the host expression language and the product's
// reserved tokens.  The expression parse tree (MParseTree) uses the same
// rule for the names it accepts without brackets.
#pragma once

#include <string>

#include "ks_utils/KsApi.hpp"

// True when the text is a valid host identifier: an ASCII letter followed by
// at most 62 ASCII letters, digits or underscores, and not one of the
// language's keywords (if else elseif end for while function return break
// continue switch case try catch).  Any other text, the empty text included,
// gives false.
KS_API bool isValidPELLAMIdentifier(const std::string& text);

// True for the product's reserved tokens.  The only one is "time" (case
// sensitive); every other text gives false.
KS_API bool isKestriReservedToken(const std::string& text);

// Wraps a name that is not a valid host identifier in "[" and "]", in place,
// and returns it.  A valid identifier and the empty text stay unchanged.  The
// name is taken as it stands: an already bracketed name is wrapped again.
KS_API std::string& bracketNameIfNotValidIdentifier(std::string& name);
