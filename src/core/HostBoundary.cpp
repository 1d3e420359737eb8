// The allocation error the host boundary raises.
#include "core/HostBoundary.hpp"

#include <ks_utils/Errors.hpp>

#include "model/MessageCatalog.hpp"

void raiseMallocError() {
  kstr_error("Kestrion:MallocError", kstr::code(kstr::MessageCode::KS_MallocError));
}
