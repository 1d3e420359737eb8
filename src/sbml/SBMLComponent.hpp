// The base of every SBML converter (one libSBML element bound to one model
// component), the session that makes a conversion context current for one
// read or write, and the helpers the converters share: creating components
// through the host's add functions, notes and annotation in both
// directions, bracketed and unique names, and children by type.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/ComponentKind.hpp"
#include "core/KelborApi.hpp"

class Kelbor;
namespace kstr {
class QuantityComponent;
}
class KelborComponent;
class OBDataType;
class OBInterface;
class SBMLConversionContext;
class Vector;
struct qxArray_tag;

#include "sbml/SBMLForward.hpp"

class KELBOR_API SBMLComponent {
 public:
  // element may be null (a converter that creates its element on export).
  explicit SBMLComponent(SBase* element);
  // Gives back the reference on the bound interface when the converter
  // holds one.
  virtual ~SBMLComponent();
  SBMLComponent(const SBMLComponent&) = delete;
  SBMLComponent& operator=(const SBMLComponent&) = delete;

  // Reads the element into the model.
  virtual void importElement() = 0;
  // Writes the bound component into the element.
  virtual void exportElement() = 0;
  // Frees the bound interface (only the rule converter does).
  virtual void releaseInterface() {}
  // Creates the model component for the element and binds it.
  virtual void addToModel() = 0;

  SBase* getElement() const { return element_; }
  void setElement(SBase* element) { element_ = element; }
  OBInterface* getInterface() const { return interface_; }
  // Binds an interface; with owned the converter holds one reference on it
  // and gives it back when it is rebound, cleared or deleted.
  void bindInterface(OBInterface* instance, bool owned);
  void clearInterface() { bindInterface(nullptr, false); }
  // The component behind the bound interface, or null.
  KelborComponent* getComponent() const;

 protected:
  SBase* element_;

 private:
  OBInterface* interface_ = nullptr;
  bool ownsInterface_ = false;
};

namespace kstr::sbml {

// The value converters of the host types the converters use.
enum class ValueType { handle, handleVector, string, nreals, stringVector };

// Makes a context current for one read or write and clears it when it goes
// (also when the read or write fails).  A second session while one is open
// raises "Kestrion:SBMLReadWriteBusy": reads and writes do not nest.
class KELBOR_API ConversionSession {
 public:
  explicit ConversionSession(SBMLConversionContext* context);
  ~ConversionSession();
  ConversionSession(const ConversionSession&) = delete;
  ConversionSession& operator=(const ConversionSession&) = delete;
};

// The current context; raises "Kestrion:SBMLNoConversion" outside a read or
// write.
KELBOR_API SBMLConversionContext& currentContext();
KELBOR_API bool isConversionRunning();
// The host value converter of the type, looked up when a session opens.
const OBDataType* valueConverter(ValueType type);

// Host arrays of one call; each is destroyed when the holder goes.
class HostArgs {
 public:
  // Room for the arguments of every add call the read makes, taken once.
  HostArgs() { arrays_.reserve(kUsualCount); }
  ~HostArgs();
  HostArgs(const HostArgs&) = delete;
  HostArgs& operator=(const HostArgs&) = delete;
  HostArgs& handle(OBInterface* instance);
  HostArgs& handles(const std::vector<OBInterface*>& instances);
  HostArgs& text(const std::string& value);
  HostArgs& reals(const std::vector<double>& values);
  HostArgs& cellOfTexts(const std::vector<std::string>& values);
  HostArgs& logical(bool value);
  qxArray_tag** data() { return arrays_.data(); }
  int size() const { return static_cast<int>(arrays_.size()); }

 private:
  static constexpr size_t kUsualCount = 8;
  std::vector<qxArray_tag*> arrays_;
};

// Calls a host function with one output.  With trap, a failure comes back
// as the interpreter's last identifier and message; without, as the
// interpreter's exception: either way an ErrorIdException with them is
// thrown (by value).  Returns the first output as an interface holding one
// reference, or null when the output is not a handle.
OBInterface* callHostForHandle(const char* function, HostArgs& args, bool trap);
// The same for a call whose output is a host string.
std::string callHostForText(const char* function, HostArgs& args);

// Calls an add function that names a new compartment or species without a
// trap.  A refusal of a name holding "->" or "<->" (the host's identifier
// is one of reservedIds) raises
// "Kestrion:ADDSPECIES_INVALIDNAME_RESERVED_CHARS_SBML" with the name; any
// other failure passes on.
OBInterface* callAddForNamed(const char* function, HostArgs& args, const std::string& name,
                             const char* reservedId);
// The model unit name of an SBML unit reference: what the file's unit
// definitions made of it, else the reference itself.
std::string hostUnitFor(const std::string& sbmlUnit);
// Sets the units; a refusal becomes the warning "Kestrion:UnableToSetUnits"
// naming the kind keyword, the component's name and shownUnits.
void setUnitsOrWarn(kstr::QuantityComponent& component, const std::string& units, const char* kind,
                    const std::string& shownUnits);

// A libSBML setter's status: anything but success gives the warning
// "Kestrion:SBMLAttributeNotWritten" naming the attribute, the value, the
// element's kind, its component's name and libSBML's reason.  True on
// success.
bool writtenOrWarn(int status, const char* attribute, const std::string& value, const char* kind,
                   const std::string& name);
bool writtenOrWarn(int status, const char* attribute, double value, const char* kind, const std::string& name);
// The text of a boolean attribute, as the warning names it.
inline const char* flagText(bool value) { return value ? "true" : "false"; }

// Copies the element's notes and annotation into the bound component.
void importNotesAndAnnotation(SBMLComponent& converter);
// Writes the bound component's metaid (the one its element was read with),
// notes and annotation into the element.  An annotation holding RDF gives
// the element a metaid first (the one the RDF is about, else one made from
// the component's id); notes or an annotation that libSBML refuses, or an
// annotation using a namespace prefix it does not declare, are left out
// with the warning "Kestrion:SBMLFieldNotWritten".
void exportNotesAndAnnotation(SBMLComponent& converter);
// kind 0 notes, 1 annotation.  Raises "SBML:InvalidXMLFieldSyntax" for an
// annotation whose tags stand in the wrong places, and the XML check's own
// identifier (code 0x400178) for a text that is not well-formed.
void writeXMLField(SBMLComponent& converter, const char* text, const KelborComponent& component,
                   int kind);
// writtenOrWarn for the component's own kind keyword and name.
bool checkSetter(int status, const char* attribute, const std::string& value, const KelborComponent& component);
// Sets the component's ID (none when it has none) as the element's id,
// with checkSetter's warning when libSBML refuses it.
void setIdOrWarn(SBase& element, const KelborComponent& component);
// Gives the element a metaid unique in the document being written: wanted
// when it is a valid unused one, else one made from base.  A refusal warns.
void setMetaId(SBase& element, const std::string& wanted, const std::string& base, const KelborComponent& component);
// What a unit reference of a level 2 version 1 element must measure.
enum class UnitRole { substance, volume, area, length };
// True when the unit id (a unit kind, a predefined unit or a unit definition
// of the model) is a variant of the role's unit.
bool unitFits(const Model& model, const std::string& id, UnitRole role);
// Replaces "[" and "]" by "(" and ")" with a warning naming the kind.
void replaceBracketsInName(std::string& name, kstr::bcomptype kind);
// The model name of a rule or event-assignment variable: the parameter,
// species or compartment read under that SBML id (formulaNameOf), or ""
// when nothing was.
std::string assignedVariableName(SBMLConversionContext& context, const std::string& id);
// The model the component belongs to, or null.
Kelbor* modelOf(const KelborComponent& component);
// The descendants of the converter's component of that type keyword, in the
// order "kstrselect" gives them; each holds one reference.
std::vector<OBInterface*> findChildrenByType(const SBMLComponent& converter, const char* type);
// How a component is named in a formula or on the left of an assignment: a
// species by its partially qualified name, any other component by its name
// bracketed when it is not an identifier.
std::string formulaNameOf(const KelborComponent& component);

}  // namespace kstr::sbml
