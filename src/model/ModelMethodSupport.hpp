// Small helpers shared by the files that hold the Model's host methods.
#pragma once

#include <string>

#include <ks_utils/Errors.hpp>

#include "host/Host.hpp"
#include "model/MessageCatalog.hpp"
#include "model/ModelGlue.hpp"

namespace kstr::model::methods {

inline OBDatabaseClient* internalClient() { return OBDatabaseClient::getInternalClient(); }

[[noreturn]] inline void fail(const char* id, kstr::MessageCode message) { kstr_error(id, kstr::code(message)); }

inline void warn(const char* id, kstr::MessageCode message) {
  hb_warning_id(hbGetWarningContext(), id, kstr::code(message));
}

inline std::string textOrEmpty(const char* text) { return text ? std::string(text) : std::string(); }

inline void requireConfigSetTopLevel(const OBInterface* inst) {
  if (!isTopLevelModel(inst)) fail("Kestrion:ConfigSetOnlyOnTopModel", kstr::MessageCode::KS_ConfigSetOnlyOnTopModel);
}

}  // namespace kstr::model::methods
