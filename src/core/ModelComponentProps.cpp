#include "core/ModelComponentProps.hpp"

#include <cstring>
#include <string>

#include "host/Host.hpp"
#include "core/HostBoundary.hpp"

namespace kstr::help {
const char* const kName =
    "Property to identify a Kestrion object. Names must be unique for species in\n"
    "   a compartment, for parameters in their scope and for models. Use KSTRSELECT\n"
    "   to find objects by Name. Models and species cannot have an empty name.\n"
    "   Species names cannot be the words null or time and cannot contain '->',\n"
    "   '<->', '[' or ']'. A species name longer than 63 characters must be\n"
    "   enclosed in brackets in rate expressions. Parameters cannot be empty or\n"
    "   named time. Configuration sets cannot be named default or active.";
const char* const kID = "Indicate an ID for the ksmodel component object.";
const char* const kNotes = "Notes can be used to describe a Kestrion object.";
const char* const kType =
    "Indicate a Kestrion object type. The type is set automatically when the\n"
    "   object is created, for example 'species' for a species.";
const char* const kTag =
    "Property to specify a label associated with a Kestrion object. Use Tag to\n"
    "   group objects, for example synthesis or degradation reactions, and\n"
    "   retrieve them with KSTRSELECT.";
const char* const kParent =
    "Property that indicates the parent object for a Kestrion object. A\n"
    "   top-level model has the root as Parent and a sub-model another model.\n"
    "   Reactions, species and rules have a model or [] as Parent; parameters\n"
    "   have a model or a kinetic law. An abstract kinetic law has [] as Parent\n"
    "   until it is added to the library, then the root.";
}  // namespace kstr::help

namespace {

using Row = ComponentPropRow;
using A = Access;

const char kAnnotationHelp[] =
    "Specify a descriptive comment or description for the Kestrion\n"
    "   object. Annotation can be used to link a URL or filename to a \n"
    "   Kestrion object.";
const char* const kTypeHelp = kstr::help::kType;
const char kUserDataHelp[] =
    "Property to specify data that you want to associate with\n"
    "   a Kestrion object. The object does not use this data directly,\n"
    "   but you can access it using the function get or dot notation.";

//                      name                      type            help        extSet intSet visible saved copied
const Row kAnnotation{"Annotation", "string", kAnnotationHelp, A::Yes, A::Yes, A::Default, A::Default, A::Default};
const Row kAnnotationFull{"AnnotationFull", "string", "Full annotation with tags", A::No, A::Yes, A::No, A::Default, A::No};
const Row kID{"ID", "string", kstr::help::kID, A::No, A::Yes, A::No, A::Default, A::No};
const Row kName{"Name", "string", kstr::help::kName, A::Yes, A::Yes, A::Default, A::Default, A::Default};
const Row kNotes{"Notes", "string", kstr::help::kNotes, A::Yes, A::Yes, A::Default, A::Default, A::Default};
const Row kParent{"Parent", "handle", kstr::help::kParent, A::No, A::No, A::Default, A::No, A::No};
const Row kTag{"Tag", "string", kstr::help::kTag, A::Yes, A::Yes, A::Default, A::Default, A::Default};
const Row kType{"Type", "string", kTypeHelp, A::No, A::No, A::Default, A::Default, A::Default};
const Row kUserData{"UserData", "PELLAM array", kUserDataHelp, A::Yes, A::Yes, A::Default, A::Default, A::Default};
const Row kPartiallyQualifiedName{"PartiallyQualifiedName", "string",
                                  "This is an unsupported property and should not be used.",
                                  A::No, A::No, A::No, A::No, A::No};
const Row kFullyQualifiedName{"FullyQualifiedName", "string", "", A::No, A::No, A::No, A::No, A::No};

void applyAccess(OBPropInfo& prop, OBAccessFlag flag, Access access) {
  if (access != Access::Default) prop.setAccess(flag, access == Access::Yes);
}

void* borrowedText(const char* text) { return const_cast<char*>(text); }

const char* textOf(void* value) { return static_cast<const char*>(value); }

OBDataType* pellamArrayType() {
  static OBDataType* type = OBTypeRepository::getType("PELLAM array");
  return type;
}

}  // namespace

ComponentPropInfo::ComponentPropInfo(const ComponentPropRow& row) {
  setName(row.name);
  setDescription(row.help);
  setDataType(row.typeName);
  setAccess(OBAccessFlag::Init, false);
  applyAccess(*this, OBAccessFlag::ExternalSet, row.extSet);
  applyAccess(*this, OBAccessFlag::InternalSet, row.intSet);
  applyAccess(*this, OBAccessFlag::Visible, row.visible);
  applyAccess(*this, OBAccessFlag::Saved, row.saved);
  applyAccess(*this, OBAccessFlag::Copied, row.copied);
}

KelborComponent* ComponentPropInfo::component(OBInterface* inst) {
  KelborComponent* c = componentOf(inst);
  if (!c) throw ErrorIdException("obk:InvalidObject", "The object has no component.");
  return c;
}

// --- Annotation / AnnotationFull ----------------------------------------------

ModelComponent_AnnotationPIT::ModelComponent_AnnotationPIT() : ComponentPropInfo(kAnnotation) {}
void* ModelComponent_AnnotationPIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  return borrowedText(component(inst)->getAnnotation());
}
void ModelComponent_AnnotationPIT::setValue(OBDatabaseClient*, OBInterface* inst, void* value) {
  KelborComponent* c = component(inst);
  c->setKeepAnnotationTagsInText(true);
  c->setAnnotation(textOf(value));
}
void ModelComponent_AnnotationPIT::releaseValue(OBDatabaseClient*, OBInterface*, void*) {}

ModelComponent_AnnotationFullPIT::ModelComponent_AnnotationFullPIT()
    : ComponentPropInfo(kAnnotationFull) {}
void* ModelComponent_AnnotationFullPIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  return borrowedText(component(inst)->getAnnotationFull());
}
void ModelComponent_AnnotationFullPIT::setValue(OBDatabaseClient*, OBInterface* inst,
                                                void* value) {
  KelborComponent* c = component(inst);
  c->setKeepAnnotationTagsInText(false);
  c->setAnnotation(textOf(value));
}
void ModelComponent_AnnotationFullPIT::releaseValue(OBDatabaseClient*, OBInterface*, void*) {}

// --- ID / Name / Notes / Tag -------------------------------------------------------

ModelComponent_IDPIT::ModelComponent_IDPIT() : ComponentPropInfo(kID) {}
void* ModelComponent_IDPIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  return borrowedText(component(inst)->getID());
}
void ModelComponent_IDPIT::setValue(OBDatabaseClient*, OBInterface* inst, void* value) {
  component(inst)->setID(textOf(value));
}
void ModelComponent_IDPIT::releaseValue(OBDatabaseClient*, OBInterface*, void*) {}

ModelComponent_NamePIT::ModelComponent_NamePIT() : ComponentPropInfo(kName) {}
void* ModelComponent_NamePIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  return borrowedText(component(inst)->getName().c_str());
}
void ModelComponent_NamePIT::setValue(OBDatabaseClient*, OBInterface* inst, void* value) {
  component(inst)->setName(makeStringFromCString(textOf(value)));
}
void ModelComponent_NamePIT::releaseValue(OBDatabaseClient*, OBInterface*, void*) {}

ModelComponent_NotesPIT::ModelComponent_NotesPIT() : ComponentPropInfo(kNotes) {}
void* ModelComponent_NotesPIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  return borrowedText(component(inst)->getNotes());
}
void ModelComponent_NotesPIT::setValue(OBDatabaseClient*, OBInterface* inst, void* value) {
  component(inst)->setNotes(textOf(value));
}
void ModelComponent_NotesPIT::releaseValue(OBDatabaseClient*, OBInterface*, void*) {}

ModelComponent_TagPIT::ModelComponent_TagPIT() : ComponentPropInfo(kTag) {}
void* ModelComponent_TagPIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  return borrowedText(component(inst)->getTag());
}
void ModelComponent_TagPIT::setValue(OBDatabaseClient*, OBInterface* inst, void* value) {
  component(inst)->setTag(textOf(value));
}
void ModelComponent_TagPIT::releaseValue(OBDatabaseClient*, OBInterface*, void*) {}

// --- Parent / Type -----------------------------------------------------------------

ModelComponent_ParentPIT::ModelComponent_ParentPIT() : ComponentPropInfo(kParent) {}
void* ModelComponent_ParentPIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  return component(inst)->getOBIParent();
}
void ModelComponent_ParentPIT::setValue(OBDatabaseClient*, OBInterface* inst, void* value) {
  component(inst)->setOBIParent(static_cast<OBInterface*>(value));
}
void ModelComponent_ParentPIT::releaseValue(OBDatabaseClient*, OBInterface*, void*) {}

ModelComponent_TypePIT::ModelComponent_TypePIT() : ComponentPropInfo(kType) {}
void* ModelComponent_TypePIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  return borrowedText(component(inst)->getType());
}
void ModelComponent_TypePIT::setValue(OBDatabaseClient*, OBInterface*, void*) {}
void ModelComponent_TypePIT::releaseValue(OBDatabaseClient*, OBInterface*, void*) {}

// --- UserData ------------------------------------------------------------------------

ModelComponent_UserDataPIT::ModelComponent_UserDataPIT() : ComponentPropInfo(kUserData) {}
void* ModelComponent_UserDataPIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  return component(inst)->getUserData();
}
void ModelComponent_UserDataPIT::setValue(OBDatabaseClient*, OBInterface* inst, void* value) {
  KelborComponent* c = component(inst);
  qxArray* old = c->getUserData();
  if (value == old) return;
  // The copy is made before the old array goes, so setting back the value
  // just read is safe.
  auto* copy = static_cast<qxArray*>(pellamArrayType()->copy(value));
  c->setUserData(copy);
  pellamArrayType()->release(old);
}
void ModelComponent_UserDataPIT::releaseValue(OBDatabaseClient*, OBInterface*, void*) {}

// --- PartiallyQualifiedName / FullyQualifiedName --------------------------------

ModelComponent_PartiallyQualifiedNamePIT::ModelComponent_PartiallyQualifiedNamePIT()
    : ComponentPropInfo(kPartiallyQualifiedName) {}
void* ModelComponent_PartiallyQualifiedNamePIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  std::string pqn;
  component(inst)->getPQN(pqn);
  return hostTextCopy(pqn.c_str());
}
void ModelComponent_PartiallyQualifiedNamePIT::setValue(OBDatabaseClient*, OBInterface*, void*) {}
void ModelComponent_PartiallyQualifiedNamePIT::releaseValue(OBDatabaseClient*, OBInterface*,
                                                            void* value) {
  hbFree(value);
}

ModelComponent_FullyQualifiedName_PIT::ModelComponent_FullyQualifiedName_PIT()
    : ComponentPropInfo(kFullyQualifiedName) {}
void* ModelComponent_FullyQualifiedName_PIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  std::string fqn;
  component(inst)->fillFullyQualifiedName(fqn);
  return hostTextCopy(fqn.c_str());
}
void ModelComponent_FullyQualifiedName_PIT::setValue(OBDatabaseClient*, OBInterface*, void*) {}
void ModelComponent_FullyQualifiedName_PIT::releaseValue(OBDatabaseClient*, OBInterface*,
                                                         void* value) {
  hbFree(value);
}

// --- factory property infos ----------------------------------------------------------

namespace {

using P = PropFlags;
// Every ready-made factory property sets default, reset, listener and
// abort-set, and clears grandfathered.
constexpr uint32_t kFactoryCommon = P::Default | P::Reset | P::Listener | P::AbortSet;
constexpr uint32_t kTextFlags =
    kFactoryCommon | P::ExtSet | P::ExtGet | P::IntSet | P::IntGet | P::Saved | P::Copied | P::Visible;
constexpr uint32_t kIdFlags = kFactoryCommon | P::ExtSet | P::ExtGet | P::IntSet | P::IntGet | P::Saved;
constexpr uint32_t kParentFlags = kFactoryCommon | P::ExtGet | P::IntSet | P::IntGet | P::Visible;
constexpr uint32_t kInUseFlags = kFactoryCommon | P::ExtGet | P::IntGet | P::Saved | P::Copied;

using KC = KelborComponent;
template <class GetT, class SetT, class Marshall = obk_t::OBKDatatypeMarshall<GetT>>
using Factory = obk_t::OBKFactoryPropInfo<KC, GetT, SetT, GetKelborCompClass<KC>, Marshall>;

}  // namespace

OBPropInfo* newNamePropInfo() {
  return new HostGuarded<Factory<const std::string&, const std::string&>>(&KC::getName, &KC::setName, "Name",
                                                             kstr::help::kName, kTextFlags);
}

OBPropInfo* newIDPropInfo() {
  return new HostGuarded<Factory<const char*, const char*>>(&KC::getID, &KC::setID, "ID", kstr::help::kID,
                                               kIdFlags);
}

OBPropInfo* newNotesPropInfo() {
  return new HostGuarded<Factory<const char*, const char*>>(&KC::getNotes, &KC::setNotes, "Notes",
                                               kstr::help::kNotes, kTextFlags);
}

OBPropInfo* newTagPropInfo() {
  return new HostGuarded<Factory<const char*, const char*>>(&KC::getTag, &KC::setTag, "Tag", kstr::help::kTag,
                                               kTextFlags);
}

OBPropInfo* newParentPropInfo() {
  return new HostGuarded<Factory<OBInterface*, OBInterface*>>(&KC::getOBIParent, &KC::setOBIParent, "Parent",
                                                 kstr::help::kParent, kParentFlags);
}

OBPropInfo* newInUseCountPropInfo() {
  return new HostGuarded<obk_t::OBKFactoryPropInfoWithRelease<KC, size_t, size_t, GetKelborCompClass<KC>>>(
      [](KC* c) -> size_t { return c->getInUseCount(); },
      [](KC* c, size_t n) { c->setInUseCount(n); }, "InUseCount", "", kInUseFlags);
}
