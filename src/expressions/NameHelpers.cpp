#include "expressions/NameHelpers.hpp"

#include <cstddef>

#include <ks_utils/Identifiers.hpp>

#include "core/KelborComponent.hpp"

namespace kstr {

std::string bracketedNameOf(const KelborComponent* component) {
  std::string name = component->getName();
  bracketNameIfNotValidIdentifier(name);
  return name;
}

std::string qualifiedNameOf(const KelborComponent* component) {
  std::string name;
  component->fillPartiallyQualifiedName(name);
  return name;
}

void removeBracketsFromValidIdentifiers(std::string& name) {
  std::size_t open = name.find('[');
  if (open == std::string::npos) return;

  // One pass that copies the text and drops the brackets of identifier
  // parts; the scan resumes after the "]" of each bracketed part, whether it
  // was unbracketed or not.
  std::string result;
  result.reserve(name.size());
  std::size_t from = 0;
  while (open != std::string::npos) {
    const std::size_t close = name.find(']', open);
    if (close == std::string::npos) break;
    result.append(name, from, open - from);
    const std::string content = name.substr(open + 1, close - open - 1);
    if (isValidPELLAMIdentifier(content)) {
      result.append(content);
    } else {
      result.append(name, open, close - open + 1);
    }
    from = close + 1;
    open = name.find('[', from);
  }
  result.append(name, from, std::string::npos);
  name.swap(result);
}

}  // namespace kstr
