#include "core/ModelComponentOBC.hpp"

#include <obk/OBMethodInfo.hpp>

#include "core/Application.hpp"
#include "core/ComponentCopy.hpp"
#include "core/ModelComponentMethods.hpp"
#include "core/ModelComponentProps.hpp"
#include "core/HostBoundary.hpp"

KelborComponentOBC::KelborComponentOBC(const char* name, OBClass* superClass) {
  setName(name);
  if (superClass) setSuperClass(superClass);
  setClassQueries(true, true);
  addConstructorSignature(new OBMethodSignature({"PELLAM array"}));
  addProperty(new HostGuarded<ModelComponent_AnnotationPIT>());
  addProperty(new HostGuarded<ModelComponent_AnnotationFullPIT>());
  addProperty(new HostGuarded<ModelComponent_IDPIT>());
  addProperty(new HostGuarded<ModelComponent_NamePIT>());
  addProperty(new HostGuarded<ModelComponent_NotesPIT>());
  addProperty(new HostGuarded<ModelComponent_ParentPIT>());
  addProperty(new HostGuarded<ModelComponent_TagPIT>());
  addProperty(new HostGuarded<ModelComponent_TypePIT>());
  addProperty(new HostGuarded<ModelComponent_UserDataPIT>());
  addProperty(new HostGuarded<ModelComponent_PartiallyQualifiedNamePIT>());
  addMethod(new HostGuarded<ModelComponent_copyobj_MI>());
  addMethod(new HostGuarded<ModelComponent_display_MI>());
  addMethod(new HostGuarded<ModelComponent_help_MI>());
}

OBInterface* KelborComponentOBC::createInstance(OBDatabaseClient*, int, void* const[],
                                                OBInterface*, int) {
  return nullptr;
}

void KelborComponentOBC::destroyInstance(OBInterface*) {}

OBClass* getModelComponentOBClass() {
  static OBClass* cls = registerHostClass(new HostGuarded<KelborComponentOBC>("ModelComponent", nullptr));
  return cls;
}
