#include "kinetics/BuiltinKineticLaws.hpp"

#include <obk/OBInterface.hpp>
#include <qx/qx.hpp>

#include "kinetics/BAbstractKineticLaw.hpp"
#include "kinetics/BLibrary.hpp"
#include "kinetics/LibraryRegistration.hpp"
#include "model/BQuorvixRoot.hpp"

namespace {

// The two textbooks the notes cite, by description.
#define KSTR_ENZYME_TEXTBOOK \
  "the standard monograph on the behaviour and analysis of rapid equilibrium and steady-state " \
  "enzyme systems (1975)"
#define KSTR_BIOCHEMISTRY_TEXTBOOK "a general biochemistry textbook, second edition, chapter 8 " \
  "(enzymes: kinetics and inhibition)"

const char* unknownNotes() {
  return "<p>Use this kinetic law when you want to specify your own rate equation.  This kinetic "
         "law enables you to scope a parameter at the kinetic law level.</p>\n"
         "<p>If you import an SBML model that has a parameter in a kinetic law, Kestrion assigns "
         "'Unknown' kinetic law to the reaction and scopes the parameter to this kinetic law. </p>";
}

const char* massActionNotes() {
  return "<p>The exact expression of a mass action reaction depends on the number of reactants, "
         "so the Expression property of this kinetic law is set to MassAction and the reaction "
         "rate is formed as the documentation of the Expression property describes.</p>\n"
         "<p>The link in the Annotation property of the MassAction kinetic law leads to that "
         "description: help/kestrion/ref/expressionproperty.html</p>";
}

const char* michaelisMentenNotes() {
  return "<p>Vm = Vmax = maximum velocity<br>S = substrate concentration<br>"
         "Km = Michaelis constant</p>"
         "<p><b>Reference</b></p><p>" KSTR_ENZYME_TEXTBOOK ", chapter 2, equation II-3.</p>"
         "<p><b>See Also</b></p><p>" KSTR_BIOCHEMISTRY_TEXTBOOK ".</p>";
}

const char* reversibleNotes() {
  return "<p>Two central complexes: E + S &lt;-&gt; ES &lt;-&gt; EP &lt;-&gt; E + P.</p>"
         "<p>Vmf = Vm forward = maximum forward velocity<br>S = substrate concentration<br>"
         "Ks = dissociation constant of the substrate<br>Vmr = maximum reverse velocity<br>"
         "P = product concentration<br>Kp = dissociation constant of the product</p>"
         "<p>For one central complex use Kms in place of Ks and Kmp in place of Kp.</p>"
         "<p><b>Reference</b></p><p>" KSTR_ENZYME_TEXTBOOK ", chapter 2, equation II-17; see also "
         "equation II-16.</p>";
}

const char* hillNotes() {
  return "<p>The expression written with K'': Vm*S^n/(K'' + S^n).</p>"
         "<p>Vm = maximum velocity<br>S = substrate concentration<br>"
         "n = number of binding sites per enzyme molecule<br>Kp = K''</p>"
         "<p><b>Reference</b></p><p>" KSTR_ENZYME_TEXTBOOK ", chapter 7, equation VII-22.</p>";
}

const char* isoUniUniNotes() {
  return "<p>A rate law of membrane transport systems.</p>"
         "<p>Vmf = maximum forward velocity<br>S = substrate concentration<br>"
         "P = product concentration<br>Keq = equilibrium constant<br>"
         "Kms = Michaelis constant of the substrate<br>Kmp = Michaelis constant of the product<br>"
         "Kiip = isoinhibition constant of the product</p>"
         "<p><b>Reference</b></p><p>" KSTR_ENZYME_TEXTBOOK ", chapter 9, equation IX-47.</p>";
}

const char* orderedBiBiNotes() {
  return "<p>Vm = maximum velocity<br>Ksa = dissociation constant of A<br>"
         "Kmb = Michaelis constant of B<br>A = concentration of the first substrate<br>"
         "B = concentration of the second substrate<br>Kma = Michaelis constant of A</p>"
         "<p><b>Reference</b></p><p>" KSTR_ENZYME_TEXTBOOK ", chapter 9, equation IX-89.</p>"
         "<p><b>See Also</b></p><p>" KSTR_BIOCHEMISTRY_TEXTBOOK ".</p>";
}

const char* pingPongNotes() {
  return "<p>Vm = maximum velocity<br>Kma = Michaelis constant of A<br>"
         "A = concentration of the first substrate<br>B = concentration of the second substrate<br>"
         "Kmb = Michaelis constant of B</p>"
         "<p><b>Reference</b></p><p>" KSTR_ENZYME_TEXTBOOK ", chapter 9, equation IX-142.</p>"
         "<p><b>See Also</b></p><p>" KSTR_BIOCHEMISTRY_TEXTBOOK ".</p>";
}

const char* competitiveNotes() {
  return "<p>Under steady-state assumptions.</p>"
         "<p>Vm = maximum velocity<br>S = substrate concentration<br>Km = Michaelis constant<br>"
         "I = inhibitor concentration<br>Ki = inhibition constant</p>"
         "<p><b>Reference</b></p><p>" KSTR_ENZYME_TEXTBOOK ", chapter 3, equation III-2.</p>";
}

const char* nonCompetitiveNotes() {
  return "<p>Under rapid-equilibrium assumptions.</p>"
         "<p>Vm = maximum velocity<br>S = substrate concentration<br>"
         "Ks = dissociation constant of the substrate<br>I = inhibitor concentration<br>"
         "Ki = inhibition constant</p>"
         "<p><b>Reference</b></p><p>" KSTR_ENZYME_TEXTBOOK ", chapter 3, equation III-21.</p>";
}

const char* unCompetitiveNotes() {
  return "<p>Under steady-state assumptions.</p>"
         "<p>Vm = maximum velocity<br>S = substrate concentration<br>Km = Michaelis constant<br>"
         "I = inhibitor concentration<br>Ki = inhibition constant</p>"
         "<p><b>Reference</b></p><p>" KSTR_ENZYME_TEXTBOOK ", chapter 3, equation III-32.</p>";
}

const BuiltinKineticLawRecord kTable[] = {
    {"Unknown", "Unknown", {}, {}, &unknownNotes, nullptr},
    {"MassAction", "MassAction", {}, {}, &massActionNotes,
     "help/kestrion/ref/expressionproperty.html"},
    {"Henri-Michaelis-Menten", "Vm*S/(Km + S)", {"Vm", "Km"}, {"S"}, &michaelisMentenNotes, nullptr},
    {"Henri-Michaelis-Menten-Reversible", "(Vmf*S/Ks - Vmr*P/Kp)/(1 + S/Ks + P/Kp)",
     {"Vmf", "Ks", "Vmr", "Kp"}, {"S", "P"}, &reversibleNotes, nullptr},
    {"Hill-Kinetics", "Vm*S^n/(Kp + S^n)", {"Vm", "n", "Kp"}, {"S"}, &hillNotes, nullptr},
    {"Iso-Uni-Uni", "Vmf*(S - P/Keq)/(Kms*(1 + P/Kmp) + S*(1 + P/Kiip))",
     {"Vmf", "Keq", "Kms", "Kmp", "Kiip"}, {"S", "P"}, &isoUniUniNotes, nullptr},
    {"Ordered-Bi-Bi", "Vm/((Ksa*Kmb/(A*B)) + (Kma/A) + (Kmb/B) + 1)", {"Vm", "Ksa", "Kmb", "Kma"},
     {"A", "B"}, &orderedBiBiNotes, nullptr},
    {"Ping-Pong-Bi-Bi", "Vm/((Kma/A) + (Kmb/B) + 1)", {"Vm", "Kma", "Kmb"}, {"A", "B"},
     &pingPongNotes, nullptr},
    {"Competitive-Inhibition", "Vm*S/(Km*(1 + I/Ki) + S)", {"Vm", "Km", "Ki"}, {"S", "I"},
     &competitiveNotes, nullptr},
    {"NonCompetitive-Inhibition", "Vm*S/((Ks + S)*(1 + I/Ki))", {"Vm", "Ks", "Ki"}, {"S", "I"},
     &nonCompetitiveNotes, nullptr},
    {"UnCompetitive-Inhibition", "Vm*S/(Km + S*(1 + I/Ki))", {"Vm", "Km", "Ki"}, {"S", "I"},
     &unCompetitiveNotes, nullptr},
};

#undef KSTR_ENZYME_TEXTBOOK
#undef KSTR_BIOCHEMISTRY_TEXTBOOK

// A persistent 1-by-n cell of the names up to the first null slot; null
// when there is none.
template <size_t N>
qxArray* variableCell(const char* const (&names)[N]) {
  size_t n = 0;
  while (n < N && names[n]) ++n;
  if (n == 0) return nullptr;
  qxArray* cell = qxCreateCellMatrix(1, n);
  qxSetArrayScope(cell, 0);
  for (size_t i = 0; i < n; ++i) {
    qxArray* text = qxCreateString(names[i]);
    qxSetArrayScope(text, 3);
    qxSetCell(cell, i, text);
  }
  return cell;
}

void makeBuiltinLaw(const BuiltinKineticLawRecord& record, OBClass* cls,
                    AKLRegistrationAssistant& assistant) {
  auto* law = new BAbstractKineticLaw();
  auto* instance = new OBInterface(static_cast<KelborComponent*>(law), cls);
  law->setOBI(instance);
  instance->internalToExternal();
  law->setName(record.name);
  law->setExpression(record.expression);
  if (qxArray* cell = variableCell(record.parameterVariables)) {
    qxArray* old = const_cast<qxArray*>(law->getParameterVariables());
    law->setParameterVariables(cell);
    qxDestroyArray(old);
  }
  if (qxArray* cell = variableCell(record.speciesVariables)) {
    qxArray* old = const_cast<qxArray*>(law->getSpeciesVariables());
    law->setSpeciesVariables(cell);
    qxDestroyArray(old);
  }
  if (record.notes) law->setNotes(record.notes());
  if (record.annotation) law->setAnnotation(record.annotation);
  assistant.registerAsBuiltin(instance);
  // The root's instance holds it from now on.
  instance->releaseReference();
}

}  // namespace

const BuiltinKineticLawRecord* getBuiltinKineticLawTable() { return kTable; }

int getBuiltinKineticLawCount() { return static_cast<int>(sizeof(kTable) / sizeof(kTable[0])); }

void createBuiltinAbstractKineticLaws(OBClass* abstractKineticLawClass) {
  if (!abstractKineticLawClass) return;
  // The laws live as long as the root's built-in library; a second call
  // finds them there.
  if (BQuorvixRoot::getInstance()->getLibrary(0)->hasAbstractKineticLaw(kTable[0].name)) return;
  AKLRegistrationAssistant assistant;
  for (const BuiltinKineticLawRecord& record : kTable) {
    makeBuiltinLaw(record, abstractKineticLawClass, assistant);
  }
}
