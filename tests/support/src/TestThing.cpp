#include "support/TestThing.hpp"

#include <ks_utils/Errors.hpp>
#include <ks_utils/Units.hpp>
#include <obk/obk.hpp>

#include "core/Application.hpp"
#include "core/ModelComponentMethods.hpp"
#include "core/ModelComponentProps.hpp"
#include "core/PropertyValuePairs.hpp"
#include "model/MessageCatalog.hpp"
#include "support/TestComponents.hpp"

namespace {

class TestIsValidUnit_MI : public ModelComponent_PrivateIsValidUnit_MI {
 public:
  bool isValidUnit(const std::string& units) override {
    try {
      getUnitManagerApiFcn()->checkUnitText(units);
      return true;
    } catch (const ErrorIdException&) {
      return false;
    }
  }
};

// "TestThing": every ModelComponent property, the factory properties and the
// generic methods, on a creatable class.
class TestThingOBC : public OBClass {
 public:
  TestThingOBC() {
    setName("TestThing");
    auto* sig = new OBMethodSignature();
    sig->addArgument("PELLAM array", true);
    addConstructorSignature(sig);
    addProperty(new ModelComponent_AnnotationPIT());
    addProperty(new ModelComponent_AnnotationFullPIT());
    addProperty(new ModelComponent_IDPIT());
    addProperty(new ModelComponent_NamePIT());
    addProperty(new ModelComponent_NotesPIT());
    addProperty(new ModelComponent_ParentPIT());
    addProperty(new ModelComponent_TagPIT());
    addProperty(new ModelComponent_TypePIT());
    addProperty(new ModelComponent_UserDataPIT());
    addProperty(new ModelComponent_PartiallyQualifiedNamePIT());
    addProperty(new ModelComponent_FullyQualifiedName_PIT());
    addProperty(newInUseCountPropInfo());
    addMethod(new ModelComponent_display_MI());
    addMethod(new ModelComponent_help_MI());
    addMethod(new ModelComponent_copy_MI());
    addMethod(new ModelComponent_compare_MI());
    addMethod(new ModelComponent_Rename_MI());
    addMethod(new TestIsValidUnit_MI());
  }

  OBInterface* createInstance(OBDatabaseClient*, int argc, void* const argv[], OBInterface*,
                              int) override {
    auto* component = new TestComponent(kstr::species);
    auto* instance = new OBInterface(static_cast<KelborComponent*>(component), this);
    component->setOBI(instance);
    std::string error = applyPropertyValuePairs(instance, argc, 0,
                                                reinterpret_cast<qxArray* const*>(argv));
    if (!error.empty()) {
      instance->releaseReference();
      kstr_error_str("Kestrion:KSTR_INVALID_PVPAIR",
                     kstr::code(kstr::MessageCode::KS_INVALID_PVPAIR_MSG), error);
    }
    return instance;
  }

  void destroyInstance(OBInterface* instance) override {
    auto* component = static_cast<KelborComponent*>(instance->getComponentObject());
    OBTypeRepository::getType("PELLAM array")->release(component->getUserData());
    delete component;
    instance->setComponentObject(nullptr);
  }
};

}  // namespace

OBClass* testThingClass() {
  static OBClass* cls = registerHostClass(new TestThingOBC());
  return cls;
}


OBClass* foreignClass() {
  static OBClass* cls = [] {
    auto* app = new OBApplication("Other", true);
    OBApplicationManager::addApplication(app);
    auto* c = new TestThingOBC();
    c->setName("Foreign");
    app->addLocalClass(c);
    return static_cast<OBClass*>(c);
  }();
  return cls;
}

