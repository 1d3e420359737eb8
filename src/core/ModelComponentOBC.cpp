#include "core/ModelComponentOBC.hpp"

#include <obk/OBMethodInfo.hpp>

#include "core/Application.hpp"
#include "core/ComponentCopy.hpp"
#include "core/ModelComponentMethods.hpp"
#include "core/ModelComponentProps.hpp"

KelborComponentOBC::KelborComponentOBC(const char* name, OBClass* superClass) {
  setName(name);
  if (superClass) setSuperClass(superClass);
  setClassQueries(true, true);
  addConstructorSignature(new OBMethodSignature({"PELLAM array"}));
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
  addMethod(new ModelComponent_copyobj_MI());
  addMethod(new ModelComponent_display_MI());
  addMethod(new ModelComponent_help_MI());
}

OBInterface* KelborComponentOBC::createInstance(OBDatabaseClient*, int, void* const[],
                                                OBInterface*, int) {
  return nullptr;
}

void KelborComponentOBC::destroyInstance(OBInterface*) {}

OBClass* getModelComponentOBClass() {
  static OBClass* cls = registerHostClass(new KelborComponentOBC("ModelComponent", nullptr));
  return cls;
}
