// The class definition of "Event": the property table, the creation entry,
// the destroy hook, the readers of the trigger and event-function arguments
// and the event's own property infos.
#include "reactions/EventOBC.hpp"

#include <cmath>
#include <string>

#include <hb/hb.hpp>
#include <ks_utils/Errors.hpp>
#include <ks_utils/StringHelpers.hpp>
#include <obk/OBDatabaseClient.hpp>
#include <obk/OBInterface.hpp>
#include <obk/OBMethodInfo.hpp>
#include <obk/OBTypes.hpp>
#include <obk/obk_t.hpp>
#include <qx/qx.hpp>

#include "core/Application.hpp"
#include "core/ModelComponentMethods.hpp"
#include "core/ModelComponentProps.hpp"
#include "host/HostHelpers.hpp"
#include "model/Kelbor.hpp"
#include "quantities/QuantityHostSupport.hpp"
#include "reactions/BEvent.hpp"
#include "reactions/EventMethods.hpp"
#include "reactions/ExpressionComponentBindings.hpp"
#include "reactions/ExpressionHostSupport.hpp"
#include "core/HostBoundary.hpp"

namespace eh = kstr::expressionhost;
namespace qh = kstr::quantityhost;

namespace {

using kstr::MessageCode;
using kstr::ebcbinding::requireComponent;
constexpr auto describe = kstr::ebcbinding::describeProperty;

constexpr const char* kTriggerTypeEnum = "QuorvixTriggerTypeEnumType";

// The catalog messages of the event-function errors: on creation, on a set.
struct FcnMessages {
  MessageCode type;
  MessageCode dimensions;
  MessageCode emptyText;
  MessageCode emptyElement;
};
constexpr FcnMessages kCreating = {
    MessageCode::KS_INVALID_EVENT_EVENTFCNS_TYPE, MessageCode::KS_INVALID_EVENT_EVENTFCNS_DIM,
    MessageCode::KS_INVALID_EVENT_EMPTY_EVENTFCNS, MessageCode::KS_INVALID_EVENT_EMPTY_EVENTFCNS_EL};
constexpr FcnMessages kSetting = {MessageCode::KS_INVALID_EVENT_EVENTFCNS_TYPE_SET,
                                  MessageCode::KS_INVALID_EVENT_EVENTFCNS_DIM_SET,
                                  MessageCode::KS_INVALID_EVENT_EMPTY_EVENTFCNS_SET,
                                  MessageCode::KS_INVALID_EVENT_EMPTY_EVENTFCNS_EL_SET};

std::string trimmed(std::string text) {
  STDStringHelpers::trimWhitespace(text);
  return text;
}

// A method bound to one of the event's verifications, without resolution.
OBMethodInfo* newVerifyMethod(const char* name, void (BEvent::*verify)(bool) const) {
  auto* method = new HostGuarded<obk_t::OBKMethodFactory<BEvent, GetKelborCompClass<BEvent>>>(name);
  method->bind(new OBMethodSignature({"handle"}),
               [verify](BEvent* event, int&, void*[], int, void* const[]) { (event->*verify)(false); });
  return method;
}

void addProperties(OBClass& cls) {
  cls.addProperty(new HostGuarded<ExpressionBasedComponent_ActivePIT<BEvent>>());
  cls.addProperty(new HostGuarded<ModelComponent_AnnotationPIT>());
  cls.addProperty(new HostGuarded<ModelComponent_AnnotationFullPIT>());
  cls.addProperty(new HostGuarded<Event_TriggerFunctionPIT>());
  cls.addProperty(new HostGuarded<ModelComponent_IDPIT>());
  cls.addProperty(new HostGuarded<ModelComponent_FullyQualifiedName_PIT>());
  cls.addProperty(new HostGuarded<ModelComponent_NamePIT>());
  cls.addProperty(new HostGuarded<ModelComponent_NotesPIT>());
  cls.addProperty(new HostGuarded<ModelComponent_ParentPIT>());
  cls.addProperty(new HostGuarded<ModelComponent_TagPIT>());
  cls.addProperty(new HostGuarded<Event_TriggerConditionPIT>());
  cls.addProperty(new HostGuarded<Event_TriggerDelayPIT>());
  cls.addProperty(new HostGuarded<Event_TriggerDelayUnitsPIT>());
  cls.addProperty(new HostGuarded<ModelComponent_TypePIT>());
  cls.addProperty(new HostGuarded<ModelComponent_UserDataPIT>());
}

void addMethods(OBClass& cls) {
  cls.addMethod(new HostGuarded<Event_copyobj_MI>());
  cls.addMethod(new HostGuarded<Event_display_MI>());
  cls.addMethod(new HostGuarded<ModelComponent_help_MI>());
  cls.addMethod(new HostGuarded<Event_parseEventFcns_MI>());
  cls.addMethod(new HostGuarded<Event_parseTrigger_MI>());
  cls.addMethod(new HostGuarded<ExpressionBasedComponent_ResolveObject_MI<BEvent>>());
  cls.addMethod(new HostGuarded<Event_GetComponentUsageLocations_MI>());
  cls.addMethod(newVerifyMethod("verifyeventfcns", &BEvent::verifyTriggerFunction));
  cls.addMethod(newVerifyMethod("verifytrigger", &BEvent::verifyTriggerCondition));
  cls.addMethod(new HostGuarded<ModelComponent_copy_MI>());
}

// The element texts of a cell of event functions, checked in the order the
// errors are told: every element a text, then the shape, then no blank one.
kstrVector<std::string> readCellTexts(const qxArray* cell, const FcnMessages& messages) {
  const size_t count = qxGetNumberOfElements(cell);
  for (size_t i = 0; i < count; ++i) {
    const qxArray* element = qxGetCell(cell, i);
    if (!element || !qxIsChar(element)) {
      qh::raise("Kestrion:INVALID_EVENT_EVENTFCNS_TYPE", messages.type);
    }
  }
  if (count > 0 && !qxIsVector(cell)) {
    qh::raise("Kestrion:INVALID_EVENT_EVENTFCNS_DIM", messages.dimensions);
  }
  kstrVector<std::string> texts;
  texts.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    texts.push_back(trimmed(qxArrayToStdString(qxGetCell(cell, i))));
    if (texts.back().empty()) {
      qh::raise("Kestrion:INVALID_EVENT_EMPTY_EVENTFCNS_EL", messages.emptyElement);
    }
  }
  return texts;
}

}  // namespace

// --- reading arguments -------------------------------------------------------------------

std::string readTriggerText(const qxArray* array, MessageCode message) {
  if (!array || qxIsEmpty(array) || !qxIsCharVector(array)) {
    qh::raise("Kestrion:INVALID_EVENT_TRIGGER", message);
  }
  std::string text = trimmed(qxArrayToStdString(array));
  if (text.empty()) qh::raise("Kestrion:INVALID_EVENT_TRIGGER", message);
  return text;
}

kstrVector<std::string> readEventFcnTexts(const qxArray* array, bool creating) {
  const FcnMessages& messages = creating ? kCreating : kSetting;
  if (array && qxIsChar(array)) {
    std::string text = trimmed(qxArrayToStdString(array));
    if (text.empty()) qh::raise("Kestrion:INVALID_EVENT_EMPTY_EVENTFCNS", messages.emptyText);
    return kstrVector<std::string>{text};
  }
  if (array && qxIsCell(array)) return readCellTexts(array, messages);
  qh::raise("Kestrion:INVALID_EVENT_EVENTFCNS_TYPE", messages.type);
}

void setTriggerFromArray(const qxArray* array, BEvent* event, MessageCode message) {
  const std::string text = readTriggerText(array, message);
  event->setTriggerCondition(text.c_str());
  event->setModelCompileNeeded();
}

void setTriggerFromString(const char* text, BEvent* event, MessageCode message) {
  const std::string trimmedText = trimmed(text ? text : "");
  if (!text || trimmedText.empty()) qh::raise("Kestrion:INVALID_EVENT_TRIGGER", message);
  event->setTriggerCondition(trimmedText.c_str());
  event->setModelCompileNeeded();
}

void setEventFcnsFromArray(const qxArray* array, BEvent* event, bool creating) {
  const kstrVector<std::string> texts = readEventFcnTexts(array, creating);
  event->setTriggerFunctions(&texts);
  event->setModelCompileNeeded();
}

// --- the class ----------------------------------------------------------------------------

BEventOBC::BEventOBC() {
  startComponentClass(*this, "Event", true, true);
  addProperties(*this);
  addMethods(*this);
}

OBInterface* BEventOBC::createInstance(OBDatabaseClient*, int argc, void* const argv[],
                                       OBInterface*, int) {
  auto* const* args = reinterpret_cast<qxArray* const*>(argv);
  if (argc == 1) {
    qh::raise("Kestrion:KSTREVENT_INVALIDSYNTAX_NO_EVENTFCNS",
              MessageCode::KS_EVENT_INVALIDSYNTAX_NO_EVENTFCNS);
  }
  if (argc <= 0) return qh::makeInstance(new BEvent(), this);
  // Both arguments are read before the event exists, so that a refused one
  // leaves nothing behind.
  const std::string trigger = readTriggerText(args[0], MessageCode::KS_INVALID_EVENT_TRIGGER);
  const kstrVector<std::string> fcns = readEventFcnTexts(args[1], true);
  auto* event = new BEvent();
  OBInterface* instance = qh::makeInstance(event, this);
  qh::postObjectCreated(instance, "Event", "");
  eh::completeOrDiscard(instance, [&] {
    event->setTriggerCondition(trigger.c_str());
    event->setTriggerFunctions(&fcns);
  });
  eh::applyPairsOrDiscard(instance, argc, 2, args);
  return instance;
}

void removeEventFromModel(OBInterface* instance) {
  eh::removeFromModel<BEvent>(instance, &Kelbor::heldOBIEvents, &Kelbor::deleteEvent);
}

bool BEventOBC::isOkToDestroy(OBInterface* inst) { return !isEnclosingModelRenaming(inst); }

void BEventOBC::destroyInstance(OBInterface* inst) {
  eh::destroyInstance<BEvent>(inst, "Event", &removeEventFromModel);
}

OBClass* getEventOBClass() {
  static OBClass* cls = [] {
    if (!OBTypeRepository::getType(kTriggerTypeEnum, true)) {
      auto* type = new EnumStringType(kTriggerTypeEnum);
      if (!OBTypeRepository::addType(type)) delete type;
    }
    return registerHostClass(new HostGuarded<BEventOBC>());
  }();
  return cls;
}

// --- properties -------------------------------------------------------------------------------

Event_TriggerFunctionPIT::Event_TriggerFunctionPIT() {
  describe(*this, "EventFcns", "PELLAM array",
           "Specify an assignment expresssion that defines what occurs when the event is "
           "triggered.",
           true);
}

void* Event_TriggerFunctionPIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  const BEvent* event = requireComponent<BEvent>(inst);
  kstrVector<std::string> texts;
  for (uint64_t i = 0; i < event->getNumTriggerFunctions(); ++i) {
    std::string text = event->getTriggerFunctionAt(i);
    if (!text.empty()) texts.push_back(std::move(text));
  }
  qxArray* cell = qxCreateCellMatrix(texts.size(), 1);
  for (size_t i = 0; i < texts.size(); ++i) qxSetCell(cell, i, qxCreateString(texts[i].c_str()));
  return cell;
}

void Event_TriggerFunctionPIT::setValue(OBDatabaseClient*, OBInterface* inst, void* value) {
  setEventFcnsFromArray(static_cast<const qxArray*>(value), requireComponent<BEvent>(inst), false);
}

void Event_TriggerFunctionPIT::releaseValue(OBDatabaseClient*, OBInterface*, void* value) {
  qxDestroyArray(static_cast<qxArray*>(value));
}

Event_TriggerConditionPIT::Event_TriggerConditionPIT() {
  describe(*this, "Trigger", "string",
           "Indicate the boolean expression that must change from false to true to generate the "
           "event.",
           true);
}

void* Event_TriggerConditionPIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  return hostTextCopy(requireComponent<BEvent>(inst)->getTrigger().c_str());
}

void Event_TriggerConditionPIT::setValue(OBDatabaseClient* client, OBInterface* inst, void* value) {
  BEvent* event = requireComponent<BEvent>(inst);
  const auto* text = static_cast<const char*>(value);
  // A copy of an event that never had a trigger carries the empty one over.
  const bool copiesEmptyTrigger = client == OBDatabaseClient::getInternalClient() && text &&
                                  *text == '\0' && event->getTrigger().empty();
  if (copiesEmptyTrigger) return;
  setTriggerFromString(text, event, MessageCode::KS_INVALID_EVENT_TRIGGER_SET);
}

void Event_TriggerConditionPIT::releaseValue(OBDatabaseClient*, OBInterface*, void* value) {
  hbFree(value);
}

Event_TriggerDelayPIT::Event_TriggerDelayPIT() {
  describe(*this, "TriggerDelay", "double",
           "Indicate the amount of time that must pass between when the event is generated and "
           "when the event is executed.",
           false);
}

void* Event_TriggerDelayPIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  return const_cast<double*>(requireComponent<BEvent>(inst)->getTriggerDelay());
}

void Event_TriggerDelayPIT::setValue(OBDatabaseClient*, OBInterface* inst, void* value) {
  if (!value) return;
  const double delay = *static_cast<const double*>(value);
  if (delay < 0.0) {
    qh::raise("Kestrion:TRIGGERDELAY_INVALIDVALUE", MessageCode::KS_TRIGGERDELAY_INVALIDVALUE);
  }
  if (std::isnan(delay)) {
    qh::raise("Kestrion:EVENT_INVALID_TRIGGERDELAY",
              MessageCode::KS_TRIGGERDELAY_INVALIDVALUE_NOT_NAN);
  }
  requireComponent<BEvent>(inst)->setTriggerDelay(&delay);
}

Event_TriggerDelayUnitsPIT::Event_TriggerDelayUnitsPIT() {
  describe(*this, "TriggerDelayUnits", "string", "Indicate the units of the TriggerDelay.", false);
}

void* Event_TriggerDelayUnitsPIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  return const_cast<char*>(requireComponent<BEvent>(inst)->getTriggerDelayUnits());
}

void Event_TriggerDelayUnitsPIT::setValue(OBDatabaseClient*, OBInterface* inst, void* value) {
  requireComponent<BEvent>(inst)->setTriggerDelayUnits(static_cast<const char*>(value));
  hb_warning_id(hbGetWarningContext(), "Kestrion:FEATURE_NOT_IMPLEMENTED_FOR_ALPHA",
                kstr::code(MessageCode::KS_UNITS_NOT_IMPLEMENTED_FOR_ALPHA));
}
