// Property access, events and copy of instances.
#include "obk/OBInterface.hpp"

#include "obk/OBClass.hpp"
#include "obk/OBDatabaseClient.hpp"
#include "obk/OBErrorStatus.hpp"
#include "obk/OBEvents.hpp"
#include "obk/OBPropInfo.hpp"
#include "obk/OBTypes.hpp"
#include "obk_events.hpp"
#include "obk_internal.hpp"

OBPropInfo* OBInterface::getProperty(std::string_view name) const noexcept {
  return cls_->getProperty(name);
}

void OBInterface::checkAccess(OBPropInfo* prop, const OBDatabaseClient* client,
                              bool forSet) const {
  if (prop == nullptr)
    obk_detail::raise("obk:InvalidProperty", "No property was given.");
  bool ok = forSet ? prop->canSet(client) : prop->canGet(client);
  if (!ok) obk_detail::raiseAccessDenied(prop, cls_, forSet);
}

void* OBInterface::get(OBPropInfo* prop, OBDatabaseClient* client) {
  checkValid();
  checkAccess(prop, client, false);
  return prop->getValue(client, this);
}

void* OBInterface::getE(OBPropInfo* prop, OBDatabaseClient* client,
                        OBErrorStatus& status) {
  try {
    return get(prop, client);
  } catch (const ErrorIdException& e) {
    status.addError(e.getIdentifier(), e.getMessage());
  } catch (const std::exception& e) {
    status.addError("obk:GetFailed", e.what());
  }
  return nullptr;
}

void OBInterface::release(OBPropInfo* prop, void* value, OBDatabaseClient* client) {
  if (prop != nullptr) prop->releaseValue(client, this, value);
}

void OBInterface::set(OBPropInfo* prop, void* value, OBDatabaseClient* client) {
  checkValid();
  checkAccess(prop, client, true);
  prop->setValue(client, this, value);
  OBPropertySetEvent event(prop, this, OBPropInfo::propertyPostSetEvent(), value);
  notifyPropEvent(event, client);
}

void OBInterface::notifyPropEvent(const OBPropertySetEvent& event,
                                  OBDatabaseClient* client) {
  obk_detail::deliverPropertyEvent(event, obkIsExternal(client));
}

OBInterface* OBInterface::copy(OBDatabaseClient* client) {
  checkValid();
  OBInterface* dup = cls_->createInstance(client);
  if (dup == nullptr)
    obk_detail::raise("obk:CannotCopy", std::string("Instances of the '") +
                                            cls_->getName() + "' class cannot be copied.");
  OBDatabaseClient* in = OBDatabaseClient::getInternalClient();
  try {
    for (OBPropInfo* p : cls_->getProperties()) {
      if (!p->isCopyAccess() || !p->isInternalGetAccess() || !p->isInternalSetAccess())
        continue;
      if (p->getDataType(this)->isHandleBearing()) continue;
      void* v = get(p, in);
      if (v == nullptr) continue;
      try {
        dup->set(p, v, in);
      } catch (...) {
        release(p, v, in);
        throw;
      }
      release(p, v, in);
    }
  } catch (...) {
    dup->destroy(in);
    dup->releaseReference();
    throw;
  }
  return dup;
}
