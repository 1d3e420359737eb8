// The converter base, the conversion session and the helpers every
// converter uses.
#include "sbml/SBMLComponent.hpp"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>

#include <sbml/SBMLTypes.h>

#include <obk/OBDispatch.hpp>

#include <ks_utils/Errors.hpp>
#include <ks_utils/Identifiers.hpp>

#include "core/KelborComponent.hpp"
#include "core/ModelComponentProps.hpp"
#include "core/QuantityComponent.hpp"
#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "model/MessageCatalog.hpp"
#include "sbml/SBMLConversionContext.hpp"
#include "sbml/SBMLNumberText.hpp"

using Code = kstr::MessageCode;

// --- the converter base ---------------------------------------------------------------

SBMLComponent::SBMLComponent(SBase* element) : element_(element) {}

SBMLComponent::~SBMLComponent() { clearInterface(); }

void SBMLComponent::bindInterface(OBInterface* instance, bool owned) {
  OBInterface* old = interface_;
  const bool ownedOld = ownsInterface_;
  interface_ = instance;
  ownsInterface_ = owned && instance != nullptr;
  if (ownedOld && old) old->releaseReference();
}

KelborComponent* SBMLComponent::getComponent() const { return componentOf(interface_); }

namespace kstr::sbml {

// --- the session ------------------------------------------------------------------------

namespace {

struct ProcessState {
  SBMLConversionContext* context = nullptr;
  const OBDataType* converters[5] = {};
};

ProcessState& state() {
  static ProcessState s;
  return s;
}

const char* const kTypeNames[5] = {"handle", "handle vector", "string", "NReals", "string vector"};

}  // namespace

ConversionSession::ConversionSession(SBMLConversionContext* context) {
  ProcessState& s = state();
  if (s.context) {
    throw ErrorIdException("Kestrion:SBMLReadWriteBusy",
                           "An SBML read or write is already running; they cannot be nested.");
  }
  for (int i = 0; i < 5; ++i) {
    OBDataType* type = OBTypeRepository::getType(kTypeNames[i], true);
    s.converters[i] = type ? type->getConverter() ? type : nullptr : nullptr;
  }
  s.context = context;
}

ConversionSession::~ConversionSession() {
  ProcessState& s = state();
  s.context = nullptr;
  for (auto& converter : s.converters) converter = nullptr;
}

SBMLConversionContext& currentContext() {
  if (!state().context) {
    throw ErrorIdException("Kestrion:SBMLNoConversion", "No SBML read or write is running.");
  }
  return *state().context;
}

bool isConversionRunning() { return state().context != nullptr; }

const OBDataType* valueConverter(ValueType type) {
  const OBDataType* converter = state().converters[static_cast<int>(type)];
  if (!converter) {
    throw ErrorIdException("Kestrion:SBMLNoConversion", "No SBML read or write is running.");
  }
  return converter;
}

// --- host calls ---------------------------------------------------------------------------

HostArgs::~HostArgs() {
  for (qxArray* a : arrays_) qxDestroyArray(a);
}

HostArgs& HostArgs::handle(OBInterface* instance) {
  arrays_.push_back(valueConverter(ValueType::handle)->toHost(instance));
  return *this;
}

HostArgs& HostArgs::handles(const std::vector<OBInterface*>& instances) {
  Vector vector;
  for (OBInterface* instance : instances) vector.addElement(instance);
  arrays_.push_back(valueConverter(ValueType::handleVector)->toHost(&vector));
  return *this;
}

HostArgs& HostArgs::text(const std::string& value) {
  arrays_.push_back(valueConverter(ValueType::string)->toHost(value.c_str()));
  return *this;
}

HostArgs& HostArgs::reals(const std::vector<double>& values) {
  qxArray* a = qxCreateDoubleMatrix(1, values.size(), qxREAL);
  if (!values.empty()) std::memcpy(qxGetPr(a), values.data(), values.size() * sizeof(double));
  arrays_.push_back(a);
  return *this;
}

HostArgs& HostArgs::cellOfTexts(const std::vector<std::string>& values) {
  qxArray* cell = qxCreateCellMatrix(1, values.size());
  for (size_t i = 0; i < values.size(); ++i) qxSetCell(cell, i, qxCreateString(values[i].c_str()));
  arrays_.push_back(cell);
  return *this;
}

HostArgs& HostArgs::logical(bool value) {
  arrays_.push_back(qxCreateLogicalScalar(value));
  return *this;
}

namespace {

[[noreturn]] void throwLastHostError() {
  const char* id = nullptr;
  const char* msg = nullptr;
  qxGetLastErrIdAndMsg(&id, &msg);
  throw ErrorIdException(id ? id : "", msg ? msg : "");
}

// Runs the call; the output array (when any) is handed to the caller.
qxArray* callHost(const char* function, HostArgs& args, bool trap) {
  qxArray* out[1] = {nullptr};
  if (trap) {
    if (inCallFcnWithTrap(1, out, args.size(), args.data(), function, true) == 1) {
      qxDestroyArray(out[0]);
      throwLastHostError();
    }
  } else {
    try {
      inCallFcn(1, out, args.size(), args.data(), function);
    } catch (const IUserException&) {
      qxDestroyArray(out[0]);
      throwLastHostError();
    }
  }
  return out[0];
}

}  // namespace

OBInterface* callHostForHandle(const char* function, HostArgs& args, bool trap) {
  qxArray* out = callHost(function, args, trap);
  OBInterface* result = nullptr;
  if (out && qxIsHandleArray(out) && qxGetNumberOfElements(out) == 1) {
    result = static_cast<OBInterface*>(valueConverter(ValueType::handle)->fromHost(out));
  }
  qxDestroyArray(out);
  return result;
}

std::string callHostForText(const char* function, HostArgs& args) {
  qxArray* out = callHost(function, args, true);
  if (!out || !qxIsChar(out)) {
    qxDestroyArray(out);
    throwLastHostError();
  }
  std::string text = qxArrayToStdString(out);
  qxDestroyArray(out);
  return text;
}

OBInterface* callAddForNamed(const char* function, HostArgs& args, const std::string& name,
                             const char* reservedId) {
  try {
    return callHostForHandle(function, args, false);
  } catch (const ErrorIdException& e) {
    const bool reserved = name.find("->") != std::string::npos;
    if (reserved && (e.getIdentifier() == reservedId ||
                     e.getIdentifier() == "Kestrion:ADDSPECIES_INVALIDNAME_RESERVED_CHARS")) {
      kstr_error("Kestrion:ADDSPECIES_INVALIDNAME_RESERVED_CHARS_SBML",
                 kstr::code(Code::KS_ADDSPECIES_INVALIDNAME_RESERVED_CHARS_SBML), name.c_str());
    }
    throw;
  }
}

std::string hostUnitFor(const std::string& sbmlUnit) {
  const std::string* known = currentContext().findHostUnitForSBMLUnit(sbmlUnit);
  return known ? *known : sbmlUnit;
}

void setUnitsOrWarn(kstr::QuantityComponent& component, const std::string& units, const char* kind,
                    const std::string& shownUnits) {
  try {
    component.setUnits(units);
  } catch (const ErrorIdException&) {
    hb_warning_id(hbGetWarningContext(), "Kestrion:UnableToSetUnits", kstr::code(Code::KS_UNABLE_TO_SET_UNITS),
                  kind, component.getName().c_str(), shownUnits.c_str());
  }
}

bool writtenOrWarn(int status, const char* attribute, const std::string& value, const char* kind,
                   const std::string& name) {
  if (status == LIBSBML_OPERATION_SUCCESS) return true;
  hb_warning_id(hbGetWarningContext(), "Kestrion:SBMLAttributeNotWritten",
                kstr::code(Code::KS_SBML_ATTRIBUTE_NOT_WRITTEN), attribute, value.c_str(), kind, name.c_str(),
                OperationReturnValue_toString(status));
  return false;
}

bool writtenOrWarn(int status, const char* attribute, double value, const char* kind, const std::string& name) {
  if (status == LIBSBML_OPERATION_SUCCESS) {
    noteWrittenNumber(value);
    return true;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", value);
  return writtenOrWarn(status, attribute, std::string(text), kind, name);
}

// --- names ---------------------------------------------------------------------------------


bool unitFits(const Model& model, const std::string& id, UnitRole role) {
  static const char* const kPredefined[] = {"substance", "volume", "area", "length"};
  if (id == kPredefined[static_cast<int>(role)]) return true;
  UnitDefinition single(2, 1);
  const UnitDefinition* definition = model.getUnitDefinition(id);
  if (!definition) {
    if (!UnitKind_isValidUnitKindString(id.c_str(), 2, 1)) return false;
    single.createUnit()->setKind(UnitKind_forName(id.c_str()));
    definition = &single;
  }
  switch (role) {
    case UnitRole::substance:
      return definition->isVariantOfSubstance();
    case UnitRole::volume:
      return definition->isVariantOfVolume();
    case UnitRole::area:
      return definition->isVariantOfArea();
    case UnitRole::length:
      return definition->isVariantOfLength();
  }
  return false;
}

void replaceBracketsInName(std::string& name, kstr::bcomptype kind) {
  if (name.find_first_of("[]") == std::string::npos) return;
  std::string renamed = name;
  for (char& c : renamed) {
    if (c == '[') c = '(';
    if (c == ']') c = ')';
  }
  hb_warning_id(hbGetWarningContext(), "Kestrion:SBMLBracketedNameUpdated",
                kstr::code(Code::KS_BRACKETED_NAME_UPDATED), kstr::componentTypeKeyword(kind), name.c_str(),
                renamed.c_str());
  name = renamed;
}

std::string formulaNameOf(const KelborComponent& component) {
  std::string name;
  if (component.getEnumType() == kstr::species) {
    component.getPQN(name);
    return name;
  }
  name = component.getName();
  bracketNameIfNotValidIdentifier(name);
  return name;
}

std::string assignedVariableName(SBMLConversionContext& context, const std::string& id) {
  SBMLComponent* converter = context.findParameterConverter(id);
  if (!converter) converter = context.findSpeciesConverter(id);
  if (!converter) converter = context.findCompartmentConverter(id);
  KelborComponent* component = converter ? converter->getComponent() : nullptr;
  return component ? formulaNameOf(*component) : std::string();
}

Kelbor* modelOf(const KelborComponent& component) {
  const auto data = component.getModelGlobalData();
  return data ? data->model : nullptr;
}

namespace {

// True when the instance's "Type" reads as the text type, as the host's
// queries read it: the component's own type when the property is the
// engine's component property, otherwise through the host.
bool hasTypeText(OBInterface* instance, OBPropInfo* property, const char* type) {
  if (!instance->isValid()) return false;
  if (dynamic_cast<const ModelComponent_TypePIT*>(property)) {
    if (const KelborComponent* component = componentOf(instance)) {
      const char* own = component->getType();
      return std::strcmp(own ? own : "", type) == 0;
    }
  }
  qxArray* have = obkTryGetProperty(instance, "Type");
  qxArray* wanted = qxCreateString(type);
  const bool same = have && obkHostValuesEqual(have, wanted);
  qxDestroyArray(wanted);
  qxDestroyArray(have);
  return same;
}

// The descendants of node whose "Type" is that keyword, in the order of the
// host's "kstrselect" (pre-order, not entering "Model" instances).  Every
// component answers its type from the engine, without a host array made
// and compared for each.
//
// A class's "Type" property and whether it is "Model" are looked up once
// per class met in a row: siblings are mostly of one class.
struct ClassFacts {
  const OBClass* cls = nullptr;
  OBPropInfo* type = nullptr;
  bool isModel = false;
};

void collectOfType(const OBInterface* node, const char* type, std::vector<OBInterface*>& out, ClassFacts& facts) {
  for (OBInterface* child = node->getFirstChild(); child; child = child->getRight()) {
    const OBClass* cls = child->getClass();
    if (cls != facts.cls) {
      facts.cls = cls;
      facts.type = child->getProperty("Type");
      facts.isModel = std::strcmp(cls->getName(), "Model") == 0;
    }
    if (facts.type && hasTypeText(child, facts.type, type)) out.push_back(child);
    if (!facts.isModel) collectOfType(child, type, out, facts);
  }
}

}  // namespace

std::vector<OBInterface*> findChildrenByType(const SBMLComponent& converter, const char* type) {
  std::vector<OBInterface*> found;
  if (OBInterface* scope = converter.getInterface()) {
    scope->checkValid();
    ClassFacts facts;
    collectOfType(scope, type, found, facts);
  }
  for (OBInterface* instance : found) instance->getReference();
  return found;
}

}  // namespace kstr::sbml

// --- notes and annotation ------------------------------------------------------------------

namespace kstr::sbml {

namespace {

// The XML text of the node's children: the content of a notes element
// without its own tags.
std::string innerXml(const XMLNode& node) {
  std::string text;
  for (unsigned i = 0; i < node.getNumChildren(); ++i) {
    if (!text.empty()) text += "\n";
    text += node.getChild(i).toXMLString();
  }
  return text;
}

std::string trimBlanks(const char* text) {
  std::string s(text);
  const size_t first = s.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

[[noreturn]] void misplacedAnnotationTag(const KelborComponent& component) {
  kstr_error("SBML:InvalidXMLFieldSyntax", kstr::code(Code::KS_SBMLCOMPONENT_FIELD_INVALID_SYNTAX),
             "annotation", component.getType(), component.getName().c_str(), "Annotation",
             "<annotation>", "</annotation>");
}

// The annotation text to check: the trimmed text with its tags, added where
// they are missing.
std::string annotationToCheck(const std::string& trimmed, const KelborComponent& component) {
  std::string lower = trimmed;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  size_t open = lower.find("<annotation>");
  if (open == std::string::npos) open = lower.find("<annotation");
  const size_t close = lower.find("</annotation>");
  const bool endsWithClose = close != std::string::npos && close + 13 == lower.size();
  if (open == std::string::npos && close == std::string::npos) {
    return "<annotation>" + trimmed + "</annotation>";
  }
  if (close == std::string::npos) {
    if (open != 0) misplacedAnnotationTag(component);
    return trimmed + "</annotation>";
  }
  if (open == std::string::npos) {
    if (!endsWithClose) misplacedAnnotationTag(component);
    return "<annotation>" + trimmed;
  }
  if (open != 0 || !endsWithClose) misplacedAnnotationTag(component);
  return trimmed;
}

void warnFieldLeftOut(const char* field, const KelborComponent& component, const char* reason) {
  hb_warning_id(hbGetWarningContext(), "Kestrion:SBMLFieldNotWritten", kstr::code(Code::KS_SBML_FIELD_NOT_WRITTEN), field,
                component.getType(), component.getName().c_str(), reason ? reason : "");
}

std::string idOrName(const KelborComponent& component) {
  return component.getID() && *component.getID() ? component.getID() : component.getName();
}

constexpr const char kRdfNamespace[] = "http://www.w3.org/1999/02/22-rdf-syntax-ns#";

bool holdsRdf(const std::string& annotation) { return annotation.find(kRdfNamespace) != std::string::npos; }

// The metaid an RDF description is about ("#x" gives x), or "".
std::string rdfAboutOf(const std::string& annotation) {
  const std::string key = "rdf:about=\"#";
  const size_t at = annotation.find(key);
  if (at == std::string::npos) return std::string();
  const size_t end = annotation.find('"', at + key.size());
  return end == std::string::npos ? std::string() : annotation.substr(at + key.size(), end - at - key.size());
}

// The first namespace prefix of an element or attribute that nothing in
// scope declares, as libSBML reads the annotation in the written file
// (whose root declares "html"); "" when there is none.
std::string undeclaredPrefixIn(const XMLNode& node) {
  if (node.isElement()) {
    if (!node.getPrefix().empty() && node.getURI().empty() && node.getPrefix() != "html") return node.getPrefix();
    for (int i = 0; i < node.getAttributesLength(); ++i) {
      const std::string prefix = node.getAttrPrefix(i);
      if (!prefix.empty() && node.getAttrURI(i).empty() && prefix != "html") return prefix;
    }
  }
  for (unsigned i = 0; i < node.getNumChildren(); ++i) {
    std::string prefix = undeclaredPrefixIn(node.getChild(i));
    if (!prefix.empty()) return prefix;
  }
  return std::string();
}

std::string undeclaredPrefixOf(const std::string& annotation) {
  // Most annotations declare what they use; only those with a prefix are read.
  if (annotation.find(':') == std::string::npos) return std::string();
  const std::unique_ptr<XMLNode> node(XMLNode::convertStringToXMLNode(annotation));
  return node ? undeclaredPrefixIn(*node) : std::string();
}

}  // namespace

void importNotesAndAnnotation(SBMLComponent& converter) {
  KelborComponent* component = converter.getComponent();
  SBase* element = converter.getElement();
  if (!component || !element) return;
  if (element->isSetMetaId()) component->setMetaId(element->getMetaId().c_str());
  if (element->isSetNotes()) component->setNotes(innerXml(*element->getNotes()).c_str());
  if (element->isSetAnnotation()) {
    component->setKeepAnnotationTagsInText(false);
    component->setAnnotation(element->getAnnotationString().c_str());
  }
}

void exportNotesAndAnnotation(SBMLComponent& converter) {
  KelborComponent* component = converter.getComponent();
  if (!component) return;
  SBase* element = converter.getElement();
  if (element && !element->isSetMetaId() && component->getMetaId()) {
    setMetaId(*element, component->getMetaId(), "meta_" + idOrName(*component), *component);
  }
  if (component->getNotes()) writeXMLField(converter, component->getNotes(), *component, 0);
  if (const char* annotation = component->getAnnotationFull()) {
    writeXMLField(converter, annotation, *component, 1);
  }
}

void writeXMLField(SBMLComponent& converter, const char* text, const KelborComponent& component,
                   int kind) {
  if (!text || !*text || (kind != 0 && kind != 1)) return;
  const std::string trimmed = trimBlanks(text);
  if (trimmed.empty()) return;
  const std::string toCheck =
      kind == 0 ? "<notes>" + trimmed + "</notes>" : annotationToCheck(trimmed, component);
  HostArgs args;
  args.text("privatecheckxmlformatting").text(toCheck);
  qxArray* out[1] = {nullptr};
  try {
    [[maybe_unused]] const _hbCleanupControl cleanup;
    inCallFcnWithTrap(0, out, args.size(), args.data(), "kstrgate", false);
  } catch (const IUserException& e) {
    qxDestroyArray(out[0]);
    kstr_error(e.getIdentifier().c_str(), kstr::code(Code::KS_SBMLCOMPONENT_FIELD_INVALID_XML_SYNTAX),
               kind == 0 ? "notes" : "annotation", component.getType(), component.getName().c_str());
  }
  qxDestroyArray(out[0]);
  SBase* element = converter.getElement();
  if (!element) return;
  if (kind == 0) {
    const int status = element->setNotes(trimmed);
    if (status != LIBSBML_OPERATION_SUCCESS) warnFieldLeftOut("notes", component, OperationReturnValue_toString(status));
    return;
  }
  const std::string prefix = undeclaredPrefixOf(toCheck);
  if (!prefix.empty()) {
    warnFieldLeftOut("annotation", component, ("it uses the namespace prefix '" + prefix + "' without declaring it").c_str());
    return;
  }
  // libSBML refuses RDF on an element without a metaid; the RDF names the
  // one its terms are about.
  if (!element->isSetMetaId() && holdsRdf(toCheck)) {
    setMetaId(*element, rdfAboutOf(toCheck), "meta_" + idOrName(component), component);
  }
  const int status = element->setAnnotation(toCheck);
  if (status != LIBSBML_OPERATION_SUCCESS) warnFieldLeftOut("annotation", component, OperationReturnValue_toString(status));
}

bool checkSetter(int status, const char* attribute, const std::string& value, const KelborComponent& component) {
  return writtenOrWarn(status, attribute, value, component.getType(), component.getName());
}

void setIdOrWarn(SBase& element, const KelborComponent& component) {
  const char* id = component.getID();
  if (id && *id) checkSetter(element.setId(id), "id", id, component);
}

void setMetaId(SBase& element, const std::string& wanted, const std::string& base, const KelborComponent& component) {
  const std::string metaId = currentContext().claimMetaId(wanted, base);
  checkSetter(element.setMetaId(metaId), "metaid", metaId, component);
}

}  // namespace kstr::sbml
