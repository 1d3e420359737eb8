// Glue shared by the host classes of rules and events.
#include "reactions/ExpressionHostSupport.hpp"

#include <string>

#include <ks_utils/Errors.hpp>

#include "core/PropertyValuePairs.hpp"
#include "model/MessageCatalog.hpp"

namespace kstr::expressionhost {

void applyPairsOrDiscard(OBInterface* instance, int argc, int first, qxArray_tag* const args[]) {
  const std::string error = applyPropertyValuePairs(instance, argc, first, args);
  if (error.empty()) return;
  kstr::quantityhost::discardNewInstance(instance);
  kstr_error_str("Kestrion:KSTR_INVALID_PVPAIR",
                 kstr::code(kstr::MessageCode::KS_INVALID_PVPAIR_MSG), error);
}

}  // namespace kstr::expressionhost
