// Property infos shared by every component class: the ModelComponent family
// (one class per property, so that other classes can derive from them) and
// the ready-made factory property infos.
#pragma once

#include <obk/OBPropInfo.hpp>
#include <obk/obk_t.hpp>

#include "core/KelborApi.hpp"
#include "core/KelborComponent.hpp"
#include "host/HostHelpers.hpp"

// Component lookup policy for the factory templates: the component behind an
// instance, as the component class.
template <class Comp>
struct GetKelborCompClass {
  static Comp* get(OBInterface* inst) { return static_cast<Comp*>(componentOf(inst)); }
};

// A flag word for the factory property infos, built from named flags.
struct PropFlags {
  enum Bit : uint32_t {
    Init = 1u << 0,
    IntSet = 1u << 1,
    IntGet = 1u << 2,
    ExtSet = 1u << 3,
    ExtGet = 1u << 4,
    AbortSet = 1u << 5,
    Visible = 1u << 6,
    Copied = 1u << 7,
    Saved = 1u << 8,
    Default = 1u << 9,
    Reset = 1u << 10,
    Listener = 1u << 11,
    Grandfathered = 1u << 12,
  };
  // An ordinary property the user may set: reset, listened to, set with
  // abort, readable and writable inside and out, visible, saved and copied.
  static constexpr uint32_t Settable = Default | Reset | Listener | AbortSet | ExtSet | ExtGet | IntSet | IntGet |
                                       Visible | Saved | Copied;
};

// How one access flag of a property is set: left at the host default, or
// forced on or off.
enum class Access : signed char { Default = -1, No = 0, Yes = 1 };

// Name, host type, help text and the access flags a property row sets.
struct ComponentPropRow {
  const char* name;
  const char* typeName;
  const char* help;
  Access extSet;
  Access intSet;
  Access visible;
  Access saved;
  Access copied;
};

// Base of the property infos bound to a component: applies a row and finds
// the component behind an instance (raising "obk:InvalidObject" when there
// is none).
class KELBOR_API ComponentPropInfo : public OBPropInfoTemplate {
 public:
  explicit ComponentPropInfo(const ComponentPropRow& row);

 protected:
  static KelborComponent* component(OBInterface* inst);
};

#define KSTR_DECLARE_COMPONENT_PIT(ClassName)                                      \
  class KELBOR_API ClassName : public ComponentPropInfo {                          \
   public:                                                                         \
    ClassName();                                                                   \
    void* getValue(OBDatabaseClient* client, OBInterface* inst) override;          \
    void setValue(OBDatabaseClient* client, OBInterface* inst, void* value) override; \
    void releaseValue(OBDatabaseClient* client, OBInterface* inst, void* value) override; \
  };

KSTR_DECLARE_COMPONENT_PIT(ModelComponent_AnnotationPIT)
KSTR_DECLARE_COMPONENT_PIT(ModelComponent_AnnotationFullPIT)
KSTR_DECLARE_COMPONENT_PIT(ModelComponent_IDPIT)
KSTR_DECLARE_COMPONENT_PIT(ModelComponent_NamePIT)
KSTR_DECLARE_COMPONENT_PIT(ModelComponent_NotesPIT)
KSTR_DECLARE_COMPONENT_PIT(ModelComponent_ParentPIT)
KSTR_DECLARE_COMPONENT_PIT(ModelComponent_TagPIT)
KSTR_DECLARE_COMPONENT_PIT(ModelComponent_TypePIT)
KSTR_DECLARE_COMPONENT_PIT(ModelComponent_UserDataPIT)
KSTR_DECLARE_COMPONENT_PIT(ModelComponent_PartiallyQualifiedNamePIT)
KSTR_DECLARE_COMPONENT_PIT(ModelComponent_FullyQualifiedName_PIT)

#undef KSTR_DECLARE_COMPONENT_PIT

// Ready-made factory property infos over the component base.
KELBOR_API OBPropInfo* newNamePropInfo();
KELBOR_API OBPropInfo* newIDPropInfo();
KELBOR_API OBPropInfo* newNotesPropInfo();
KELBOR_API OBPropInfo* newTagPropInfo();
KELBOR_API OBPropInfo* newParentPropInfo();
KELBOR_API OBPropInfo* newInUseCountPropInfo();

// Help texts shared by the ModelComponent rows and the factory makers.
namespace kstr::help {
extern KELBOR_API const char* const kName;
extern KELBOR_API const char* const kID;
extern KELBOR_API const char* const kNotes;
extern KELBOR_API const char* const kType;
extern KELBOR_API const char* const kTag;
extern KELBOR_API const char* const kParent;
}  // namespace kstr::help
