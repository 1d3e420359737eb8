// The world of the reliability tests: building it through the host, finding
// its instances, snapshots and model invariants.
#include "SweepWorld.hpp"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include <hb/hb_test.hpp>
#include <obk/obk.hpp>

#include "core/Application.hpp"
#include "core/KelborComponent.hpp"
#include "core/ModuleEntry.hpp"
#include "expressions/ExpressionBasedComponent.hpp"
#include "expressions/SymbolTable.hpp"
#include "host/HostHelpers.hpp"
#include "model/BQuorvixRoot.hpp"
#include "model/Kelbor.hpp"
#include "quantities/BCompartment.hpp"
#include "quantities/BParameter.hpp"
#include "reactions/BReaction.hpp"
#include "quantities/BSpecies.hpp"

std::vector<OBClass*> registeredClasses() {
  startEngineOnce();
  return GetQuorvApplication()->getClasses();
}

void startEngineOnce() {
  static bool started = false;
  if (started) return;
  hbTestSetEcho(false);
  PLInitialize_kelbor();
  started = true;
}

namespace {

OBInterface* rootInstance() {
  qxArray* out[1] = {nullptr};
  obkCallStaticMethod(obkRequireClass("Root"), "getroot", 1, out, 0, nullptr);
  OBInterface* root = obkHandleOf(out[0]);
  qxDestroyArray(out[0]);
  return root;
}

bool isHandleType(const OBDataType* type) { return type != nullptr && type->isHandleBearing(); }

// A short, stable rendering of a host value.
// Handles show as their class names when the rendering must be the same from
// one run to the next.
void render(std::ostream& out, const qxArray* a, bool stable, int depth = 0) {
  if (a == nullptr) {
    out << "null";
    return;
  }
  out << qxGetClassName(a) << '[' << qxGetM(a) << 'x' << qxGetN(a) << ']';
  if (depth > 3) return;
  const size_t n = std::min<size_t>(qxGetNumberOfElements(a), 16);
  if (qxIsChar(a)) {
    out << '\'' << qxArrayToStdString(a).substr(0, 200) << '\'';
  } else if (qxIsHandleArray(a)) {
    for (size_t i = 0; i < n; ++i) {
      const auto* h = static_cast<const OBInterface*>(qxGetHandle(a, i));
      if (!stable) out << ' ' << h;
      else out << ' ' << (h ? h->getClass()->getName() : "null");
    }
  } else if (qxIsCell(a)) {
    for (size_t i = 0; i < n; ++i) {
      out << " {";
      render(out, qxGetCell(a, i), stable, depth + 1);
      out << '}';
    }
  } else if (qxIsLogical(a)) {
    for (size_t i = 0; i < n; ++i) out << ' ' << qxGetLogicals(a)[i];
  } else if (qxIsDouble(a) && !qxIsSparse(a)) {
    char buf[40];
    for (size_t i = 0; i < n; ++i) {
      std::snprintf(buf, sizeof buf, " %.17g", qxGetPr(a)[i]);
      out << buf;
    }
  }
}

}  // namespace

SweepWorld::SweepWorld(const std::vector<OBClass*>& classes)
    : classes_(classes), host_(std::make_unique<TestHost>()) {
  startEngineOnce();
  buildEnzymeModel();
  buildNestedModel();
  tryExtras();
  constructMissing(classes);
}

SweepWorld::~SweepWorld() {
  OBDatabaseClient* client = OBDatabaseClient::getExternalClient();
  std::vector<OBInterface*> chosen = byClass_;
  for (OBInterface* object : free_) {
    if (object->isValid()) object->destroy(client);
    object->releaseReference();
  }
  if (deleted_ != nullptr) deleted_->releaseReference();
  if (OBInterface* root = rootInstance()) {
    qxArray* in = obkHandleArray(root);
    qxArray* out[1] = {nullptr};
    obkCallMethod("reset", 0, out, 1, &in);
    qxDestroyArray(out[0]);
    qxDestroyArray(in);
  }
  for (OBInterface* object : chosen)
    if (object != nullptr) object->releaseReference();
  host_.reset();
}

OBInterface* SweepWorld::call1(OBInterface* object, const char* method,
                               std::initializer_list<qxArray*> args) {
  std::vector<qxArray*> outs = host().call(object, method, args, 1);
  return outs.empty() ? nullptr : objectOf(outs[0]);
}

void SweepWorld::optional(const std::function<void()>& body) {
  auto error = TestHost::errorOf(body);
  (void)error;
}

// E + S <-> ES -> E + P, the bundled example, with its rates.
void SweepWorld::buildEnzymeModel() {
  TestHost& h = host();
  model_ = h.construct("Model", {h.str("enzyme")});
  call1(model_, "addcompartment", {h.str("cell")});
  const std::pair<const char*, double> species[] = {{"E", 5}, {"S", 100}, {"ES", 0}, {"P", 0}};
  for (const auto& [name, amount] : species) {
    OBInterface* s = call1(model_, "addspecies", {h.str(name)});
    h.set(s, "InitialAmount", h.num(amount));
  }
  const std::pair<const char*, double> parameters[] = {{"kf", 0.1}, {"kr", 0.01}, {"kcat", 0.5}};
  for (const auto& [name, value] : parameters) {
    OBInterface* p = call1(model_, "addparameter", {h.str(name)});
    h.set(p, "Value", h.num(value));
  }
  OBInterface* binding = call1(model_, "addreaction", {h.str("E + S <-> ES")});
  h.set(binding, "ReactionRate", h.str("kf*E*S - kr*ES"));
  OBInterface* catalysis = call1(model_, "addreaction", {h.str("ES -> E + P")});
  h.set(catalysis, "ReactionRate", h.str("kcat*ES"));
}

// Two compartments, one inside the other, with a species in each and a
// reaction between them, and a compartment that is destroyed at once so
// that its handle is a deleted one.
void SweepWorld::buildNestedModel() {
  TestHost& h = host();
  OBInterface* nested = h.construct("Model", {h.str("nested")});
  OBInterface* outer = call1(nested, "addcompartment", {h.str("outer")});
  OBInterface* inner = call1(outer, "addcompartment", {h.str("inner")});
  call1(outer, "addspecies", {h.str("X")});
  call1(inner, "addspecies", {h.str("Y")});
  OBInterface* transport = call1(nested, "addreaction", {h.str("outer.X -> inner.Y")});
  h.set(transport, "ReactionRate", h.str("X"));
  deleted_ = call1(nested, "addcompartment", {h.str("gone")});
  deleted_->getReference();
  h.destroy(deleted_);
}

// Components of the later subsystems, where the engine has them.
void SweepWorld::tryExtras() {
  TestHost& h = host();
  optional([&] { call1(model_, "addrule", {h.str("kr = kf/10"), h.str("initialAssignment")}); });
  optional([&] { call1(model_, "addrule", {h.str("P = 0")}); });
  optional([&] { call1(model_, "addevent", {h.str("time > 5"), h.str("S = 100")}); });
  optional([&] {
    std::vector<qxArray*> reactions = {h.get(model_, "Reactions")};
    OBInterface* r = static_cast<OBInterface*>(qxGetHandle(reactions[0], 1));
    OBInterface* law = call1(r, "addkineticlaw", {h.str("MassAction")});
    if (law) h.set(law, "ParameterVariableNames", h.cell({h.str("kcat")}));
  });
  optional([&] { call1(model_, "addconfigset", {h.str("second")}); });
  optional([&] { call1(model_, "addvariant", {h.str("variant1")}); });
  optional([&] { call1(model_, "adddose", {h.str("dose1"), h.str("schedule")}); });
  optional([&] { call1(model_, "adddose", {h.str("dose2"), h.str("repeat")}); });
}

// One instance of each class that the model does not reach: the first
// constructor signature that accepts plausible values makes it.
void SweepWorld::constructMissing(const std::vector<OBClass*>& classes) {
  std::vector<OBInterface*> all = reachable();
  byClass_.assign(classes.size(), nullptr);
  for (size_t i = 0; i < classes.size(); ++i) {
    OBClass* cls = classes[i];
    for (OBInterface* object : all)
      if (object->getClass() == cls) {
        byClass_[i] = object;
        break;
      }
    if (byClass_[i] != nullptr || !cls->canBeConstructed()) continue;
    for (const OBMethodSignature* sig : cls->getConstructorSignatures()) {
      std::vector<qxArray*> args;
      ValueSources s = sources(model_);
      for (int a = 0; a < sig->getNumArguments(); ++a)
        args.push_back(host().own(makePlausibleValue(sig->getArgumentTypeName(a), s)));
      OBInterface* made = nullptr;
      optional([&] { made = obkConstruct(cls, static_cast<int>(args.size()), args.data()); });
      if (made != nullptr) {
        free_.push_back(made);
        byClass_[i] = made;
        break;
      }
    }
  }
  // Abstract classes lend an instance of a subclass, or else any component
  // (their members act on the component base every component shares).
  // Instances inside the models come first: what their copies make stays in
  // the models and goes with them.
  all = modelScope();
  for (OBInterface* object : reachable()) all.push_back(object);
  for (size_t i = 0; i < classes.size(); ++i) {
    if (byClass_[i] != nullptr) continue;
    for (OBInterface* object : all)
      if (object->getClass()->isA(classes[i])) {
        byClass_[i] = object;
        break;
      }
    if (byClass_[i] == nullptr && !classes[i]->canBeConstructed()) {
      std::vector<qxArray*> species = {host().get(model_, "Species")};
      byClass_[i] = static_cast<OBInterface*>(qxGetHandle(species[0], 0));
    }
  }
  // The chosen instances stay addressable (destroyed ones read as invalid)
  // whatever a test destroys.
  for (OBInterface* object : byClass_)
    if (object != nullptr) object->getReference();
}

OBInterface* SweepWorld::instanceOf(const OBClass* cls) const {
  for (size_t i = 0; i < classes_.size(); ++i)
    if (classes_[i] == cls) return byClass_[i];
  return nullptr;
}

ValueSources SweepWorld::sources(OBInterface* self) const {
  ValueSources s;
  s.self = self;
  s.deleted = deleted_;
  s.classes = classes_;
  s.byClass = byClass_;
  for (OBInterface* candidate : byClass_)
    if (candidate != nullptr && (self == nullptr || candidate->getClass() != self->getClass())) {
      s.other = candidate;
      break;
    }
  return s;
}

std::vector<OBInterface*> SweepWorld::reachable() const {
  std::vector<OBInterface*> order;
  std::set<OBInterface*> seen;
  std::deque<OBInterface*> queue;
  auto visit = [&](OBInterface* object) {
    if (object != nullptr && object->isValid() && seen.insert(object).second) {
      order.push_back(object);
      queue.push_back(object);
    }
  };
  visit(rootInstance());
  for (OBInterface* object : free_) visit(object);
  while (!queue.empty()) {
    OBInterface* object = queue.front();
    queue.pop_front();
    for (OBInterface* child : object->getChildren()) visit(child);
    for (OBPropInfo* prop : object->getClass()->getProperties()) {
      if (!isHandleType(prop->getDataType(object)) || !prop->canGet(OBDatabaseClient::getExternalClient()))
        continue;
      qxArray* value = nullptr;
      optional([&] { value = obkGetProperty(object, prop->getName()); });
      for (size_t i = 0; value && i < qxGetNumberOfElements(value); ++i)
        visit(static_cast<OBInterface*>(qxGetHandle(value, i)));
      qxDestroyArray(value);
    }
  }
  return order;
}

std::vector<OBInterface*> SweepWorld::snapshotScope() const {
  std::vector<OBInterface*> order;
  std::set<OBInterface*> seen;
  std::function<void(OBInterface*)> walk = [&](OBInterface* object) {
    if (object == nullptr || !object->isValid() || !seen.insert(object).second) return;
    order.push_back(object);
    for (OBInterface* child : object->getChildren()) walk(child);
  };
  OBInterface* root = rootInstance();
  if (root != nullptr) {
    seen.insert(root);
    order.push_back(root);
    for (Kelbor* model : BQuorvixRoot::getInstance()->getModels()) walk(model->getOBI());
  }
  for (OBInterface* object : free_) walk(object);
  for (OBInterface* object : byClass_)
    if (object != nullptr && object->isValid() && seen.insert(object).second) order.push_back(object);
  return order;
}

std::vector<std::string> SweepWorld::snapshot() const { return snapshotOf(snapshotScope(), false); }

std::vector<OBInterface*> modelScope() {
  std::vector<OBInterface*> order;
  std::function<void(OBInterface*)> walk = [&](OBInterface* object) {
    if (object == nullptr || !object->isValid()) return;
    order.push_back(object);
    for (OBInterface* child : object->getChildren()) walk(child);
  };
  if (OBInterface* root = rootInstance()) order.push_back(root);
  for (Kelbor* model : BQuorvixRoot::getInstance()->getModels()) walk(model->getOBI());
  return order;
}

namespace {

// Properties whose values differ from one run to the next (identifiers made
// from fresh UUIDs, and the qualified names of unnamed components that hold
// them; the temporary folder).
bool variesBetweenRuns(const std::string& name) {
  return name == "ID" || name == "UUID" || name == "FullIdPathToTopModel" || name == "Tempdir" ||
         name == "FullyQualifiedName";
}

void snapshotTable(std::vector<std::string>& lines, const SymbolTable* table, bool stable) {
  for (size_t ns = 0; table != nullptr && ns < SymbolTable::namespaceCount; ++ns) {
    // Unnamed reactions are keyed by identity: listed by the names they
    // answer, in the order of those names.
    std::vector<std::string> keyed;
    for (const auto& [key, c] : table->getNamespace(ns)->entries()) {
      std::ostringstream line;
      line << "  table " << ns << ' ' << SymbolTable::listedKey(key, c) << ' ';
      if (stable) line << c->getName();
      else line << c;
      keyed.push_back(line.str());
    }
    std::sort(keyed.begin(), keyed.end());
    lines.insert(lines.end(), keyed.begin(), keyed.end());
    for (const auto& [name, c] : table->getNamespace(ns)->nameEntries()) {
      std::ostringstream line;
      line << "  name " << ns << ' ' << name << ' ';
      if (stable) line << c->getName();
      else line << c;
      lines.push_back(line.str());
    }
  }
}

}  // namespace

std::vector<std::string> snapshotOf(const std::vector<OBInterface*>& objects, bool stable) {
  std::vector<std::string> lines;
  for (OBInterface* object : objects) {
    std::ostringstream head;
    if (!stable) head << object << ' ';
    head << object->getClass()->getName();
    lines.push_back(head.str());
    for (OBPropInfo* prop : object->getClass()->getProperties()) {
      if (!prop->canGet(OBDatabaseClient::getExternalClient())) continue;
      if (stable && variesBetweenRuns(prop->getName())) continue;
      std::ostringstream line;
      line << "  " << prop->getName() << " = ";
      qxArray* value = nullptr;
      auto error = TestHost::errorOf([&] { value = obkGetProperty(object, prop->getName()); });
      if (error) line << "error " << error->id;
      else render(line, value, stable);
      qxDestroyArray(value);
      lines.push_back(line.str());
    }
    KelborComponent* component = componentOf(object);
    if (component != nullptr) lines.push_back("  listeners " + std::to_string(component->getListeners().size()));
    if (component != nullptr && component->getEnumType() == kstr::kstrmodel)
      snapshotTable(lines, static_cast<Kelbor*>(component)->getSymbolTable(), stable);
  }
  return lines;
}

namespace {

// A component the tables may name: alive, with its instance, in that model.
std::string checkLive(const KelborComponent* c, const Kelbor* model, const char* what) {
  OBInterface* obi = c->getOBI();
  if (obi == nullptr || !obi->isValid() || componentOf(obi) != c)
    return std::string(what) + " names a component that is no longer alive";
  const auto data = c->getModelGlobalData();
  if (!data || data->model != model) return std::string(what) + " '" + c->getName() + "' belongs to another model";
  return "";
}

template <class List>
std::string checkOnce(const List& list, const char* what, std::set<const KelborComponent*>& all) {
  std::set<const KelborComponent*> seen;
  for (const auto* c : list) {
    if (!seen.insert(c).second) return std::string(what) + " '" + c->getName() + "' is listed twice";
    all.insert(c);
  }
  return "";
}

std::string checkModel(const Kelbor* model) {
  std::set<const KelborComponent*> members;
  std::string broken;
  std::unique_ptr<kstrVector<BSpecies*>> species(model->getAllSpeciesInTree());
  std::unique_ptr<kstrVector<BCompartment*>> compartments(model->getAllCompartmentsInTree());
  Kelbor* m = const_cast<Kelbor*>(model);
  for (const std::string& r : {checkOnce(*species, "species", members),
                               checkOnce(*compartments, "compartment", members),
                               checkOnce(*model->getParameters(), "parameter", members),
                               checkOnce(*m->getReactions(), "reaction", members)}) {
    if (!r.empty()) return model->getName() + ": " + r;
  }
  const SymbolTable* table = model->getSymbolTable();
  for (const KelborComponent* c : members) {
    if (!(broken = checkLive(c, model, "the model's lists")).empty()) return model->getName() + ": " + broken;
    if (!table->containsComponent(c))
      return model->getName() + ": '" + c->getName() + "' is missing from the symbol table";
    if (c->getOBI()->getUp() == nullptr)
      return model->getName() + ": '" + c->getName() + "' is not in the host tree";
  }
  for (size_t ns = 0; ns < SymbolTable::namespaceCount; ++ns) {
    for (const auto& [name, c] : table->getNamespace(ns)->entries()) {
      if (!(broken = checkLive(c, model, "the symbol table")).empty()) return model->getName() + ": " + broken;
      for (const ExpressionBasedComponent* listener : c->getListeners()) {
        const auto* l = static_cast<const KelborComponent*>(listener);
        if (!(broken = checkLive(l, model, "a listener")).empty()) return model->getName() + ": " + broken;
      }
    }
  }
  return "";
}

}  // namespace

std::string SweepWorld::checkInvariants() const { return checkModelInvariants(); }

std::string checkModelInvariants() {
  for (const Kelbor* model : BQuorvixRoot::getInstance()->getModels()) {
    if (!model->getOBI() || !model->getOBI()->isValid() || componentOf(model->getOBI()) != model)
      return "the root lists a model that is no longer alive";
    std::string broken = checkModel(model);
    if (!broken.empty()) return broken;
  }
  return "";
}

std::string firstDifference(const std::vector<std::string>& before, const std::vector<std::string>& after) {
  const size_t n = std::min(before.size(), after.size());
  for (size_t i = 0; i < n; ++i)
    if (before[i] != after[i]) return "was: " + before[i] + "\n  now: " + after[i];
  if (before.size() != after.size())
    return "line count " + std::to_string(before.size()) + " -> " + std::to_string(after.size()) + ": " +
           (before.size() > n ? "lost " + before[n] : "gained " + after[n]);
  return "";
}
