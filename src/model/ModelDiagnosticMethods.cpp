// The Model's diagnostic and display methods.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include <ks_utils/Errors.hpp>

#include "configsets/Configset.hpp"
#include "core/PropertyValuePairs.hpp"
#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "kinetics/BKineticLaw.hpp"
#include "model/BQuorvixRoot.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "model/ModelGlue.hpp"
#include "model/ModelMethodSupport.hpp"
#include "model/ModelMethods.hpp"
#include "quantities/BParameter.hpp"
#include "quantities/BSpecies.hpp"
#include "reactions/BEvent.hpp"
#include "reactions/BReaction.hpp"
#include "reactions/BRule.hpp"
#include "variants_doses/Dose.hpp"
#include "variants_doses/Variant.hpp"

using namespace kstr::model;
using namespace kstr::model::methods;
using Code = kstr::MessageCode;

// --- diagnostics and display ---------------------------------------------------------------

Model_debugExpressionsAndListeners::Model_debugExpressionsAndListeners() {
  setName("debugExpressionsAndListeners");
  addMethodSignature(new OBMethodSignature({"handle"}));
}

void Model_debugExpressionsAndListeners::invoke(OBMethodSignature*, int&, void*[], int,
                                                void* const ins[]) {
  requireModel(handleArg(ins, 0))->printEBCsAndListeners();
}

void Model_display_MI::displayVector(int&, void*[], int, void* const ins[]) {
  const Vector* models = vectorArg(ins, 0);
  const std::string indent = blanks_.substr(0, 3);
  hbPrintf("\n");
  hbPrintf("%sKestrion Model Array\n\n", indent.c_str());
  hbPrintf("%s%s%s%s\n", indent.c_str(), "Index:", blanks_.substr(0, 4).c_str(), "Name:");
  const int count = models ? models->size() : 0;
  for (int i = 0; i < count; ++i) {
    char number[100];
    const int width = std::snprintf(number, sizeof number, "%d", i + 1);
    const size_t gap = width < 10 ? static_cast<size_t>(10 - width) : 0;
    const KelborComponent* model = componentOf(models->elementAt(i));
    hbPrintf("%s%d%s%s\n", indent.c_str(), i + 1, blanks_.substr(0, gap).c_str(),
             model ? model->getName().c_str() : "");
  }
  hbPrintf("\n");
}

void Model_display_MI::displayOne(int&, void*[], int, void* const ins[]) {
  Kelbor* model = requireModel(handleArg(ins, 0));
  auto sizeOf = [](const Vector* v) { return v ? v->size() : 0; };
  uint64_t parameters = model->getNumParameters();
  for (const BReaction* reaction : *model->getReactions()) {
    if (const BKineticLaw* law = reaction ? reaction->getKineticLaw() : nullptr) {
      parameters += law->getParameters()->size();
    }
  }
  hbPrintf("\n");
  hbPrintf("   Kestrion Model - %s \n\n", model->getName().c_str());
  hbPrintf("   Model Components:\n");
  hbPrintf("     Compartments:      %d\n", static_cast<int>(model->getNumCompartmentsInTree()));
  hbPrintf("     Events:            %d\n", sizeOf(model->getOBIEvents()));
  hbPrintf("     Parameters:        %d\n", static_cast<int>(parameters));
  hbPrintf("     Reactions:         %d\n", sizeOf(model->getOBIReactions()));
  hbPrintf("     Rules:             %d\n", sizeOf(model->getOBIRules()));
  hbPrintf("     Species:           %d\n", static_cast<int>(model->getNumSpeciesInTree()));
  hbPrintf("\n");
}
