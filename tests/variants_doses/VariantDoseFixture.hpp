// The fixture of the variant and dose tests: the shared started engine and
// leak check, a small model to work on, and readers of variant contents and
// property events.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "support/EngineHostFixture.hpp"
#include "variants_doses/Dose.hpp"
#include "variants_doses/RepeatDose.hpp"
#include "variants_doses/ScheduleDose.hpp"
#include "variants_doses/Variant.hpp"

class VariantDoseTest : public EngineHostTest {
 public:
  // The model "m" with compartment c1 holding species A and B, and the
  // model parameters k1 and k2.
  OBInterface* smallModel(const char* name = "m") {
    OBInterface* m = host().construct("Model", {host().str(name)});
    OBInterface* c1 = one(m, "addcompartment", {host().str("c1")});
    one(c1, "addspecies", {host().str("A"), host().num(1)});
    one(c1, "addspecies", {host().str("B"), host().num(2)});
    one(m, "addparameter", {host().str("k1"), host().num(0.5)});
    one(m, "addparameter", {host().str("k2"), host().num(3)});
    return m;
  }

  static Variant* variant(const OBInterface* instance) { return dynamic_cast<Variant*>(componentOf(instance)); }
  static Dose* dose(const OBInterface* instance) { return dynamic_cast<Dose*>(componentOf(instance)); }

  // The component of the kind named in the model.
  static OBInterface* find(OBInterface* model, const std::string& name, kstr::bcomptype kind) {
    KelborComponent* found = kelbor(model)->getPartiallyQualifiedComponent(name, kind);
    return found ? found->getOBI() : nullptr;
  }

  // An entry {type, name, property, value} as a host cell row.
  qxArray* entry(const char* type, const char* name, const char* property, double value) {
    return host().cell({host().str(type), host().str(name), host().str(property), host().num(value)});
  }

  // The content's entries as "type|name|property|value" texts.
  static std::vector<std::string> entriesOf(const Variant& v) {
    std::vector<std::string> out;
    std::unique_ptr<kstrVector<const BPatchQuad*>> quads(v.getQuads());
    for (const BPatchQuad* q : *quads) {
      std::string value = qxIsChar(q->getValue()) ? qxArrayToStdString(q->getValue())
                                                  : qxIsEmpty(q->getValue()) ? "[]" : std::to_string(qxGetScalar(q->getValue()));
      out.push_back(qxArrayToStdString(q->getType()) + "|" + qxArrayToStdString(q->getName()) + "|" +
                    qxArrayToStdString(q->getProp()) + "|" + value);
    }
    return out;
  }

  // Post-set events of a property since the last clear, for one source.
  size_t postSets(const OBInterface* source, const std::string& property) {
    size_t count = 0;
    for (const OBEventRecord& e : host().postSetEvents()) {
      if (e.source == source && e.propName == property) ++count;
    }
    return count;
  }
};
