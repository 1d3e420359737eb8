// The interpreter stand-in: trapping, the last error, callbacks, the
// fallback to class methods and the built-in host functions.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "hb/hb_test.hpp"
#include "interp/interp.hpp"
#include "interp/interp_test.hpp"
#include "obk/obk.hpp"

namespace {

// A tiny object model: "Node" (species, reactions, laws) and "Model".
struct Node {
  std::string name;
  std::string type;
  Vector reactants;  // references held by the node
  Vector products;
  const std::string& getName() const { return name; }
  void setName(const std::string& v) { name = v; }
  const std::string& getType() const { return type; }
  ~Node() {
    for (Vector* v : {&reactants, &products})
      for (OBInterface* o : v->elements()) o->releaseReference();
  }
};

class VectorPIT : public OBPropInfoTemplate {
 public:
  VectorPIT(const char* name, Vector Node::*member) : member_(member) {
    setName(name);
    setDataType("handle vector");
  }
  void* getValue(OBDatabaseClient*, OBInterface* inst) override {
    return &(static_cast<Node*>(inst->getComponentObject())->*member_);
  }

 private:
  Vector Node::*member_;
};

// A property whose getter always fails.
class FailingPIT : public OBPropInfoTemplate {
 public:
  FailingPIT() {
    setName("Checked");
    setDataType("string");
  }
  void* getValue(OBDatabaseClient*, OBInterface*) override {
    throw ErrorIdException("node:GetterFailed", "The getter failed.");
  }
};

OBInterface* makeNode(OBClass* cls, const std::string& name, const std::string& type,
                      OBInterface* parent);

class NodeOBC : public OBClass {
 public:
  explicit NodeOBC(const char* name) {
    setName(name);
    using SP = obk_t::OBKFactoryPropInfo<Node, const std::string&, const std::string&>;
    addProperty(new SP(&Node::getName, &Node::setName, "Name", "", 0x1ff));
    addProperty(new SP(&Node::getType, nullptr, "Type", "", 0x1ff));
    addProperty(new VectorPIT("Reactants", &Node::reactants));
    addProperty(new VectorPIT("Products", &Node::products));
    addProperty(new FailingPIT());
    auto* add = new obk_t::OBKMethodFactory<Node>("addnode");
    add->bind(new OBMethodSignature({"handle", "string"}, {"handle"}),
              [](Node*, int& nOut, void* outs[], int, void* const ins[]) {
                auto* parent = static_cast<OBInterface*>(ins[0]);
                OBInterface* child = makeNode(OBApplicationManager::findClass("InterpApp.Node"),
                                              static_cast<const char*>(ins[1]), "species", parent);
                child->releaseReference();  // the tree holds it; the output is lent
                outs[0] = child;
                nOut = 1;
              });
    addMethod(add);
  }
  OBInterface* createInstance(OBDatabaseClient*, int, void* const[], OBInterface*, int) override {
    return new OBInterface(new Node, this);
  }
  void destroyInstance(OBInterface* inst) override {
    delete static_cast<Node*>(inst->getComponentObject());
  }
};

OBClass* nodeClass(const char* name) {
  static OBApplication* app = [] {
    auto* a = new OBApplication("InterpApp", true);
    OBApplicationManager::addApplication(a);
    a->addLocalClass(new NodeOBC("Node"));
    a->addLocalClass(new NodeOBC("Model"));
    return a;
  }();
  return app->findClass(name);
}

OBInterface* makeNode(OBClass* cls, const std::string& name, const std::string& type,
                      OBInterface* parent) {
  OBInterface* o = cls->createInstance(OBDatabaseClient::getInternalClient());
  auto* n = static_cast<Node*>(o->getComponentObject());
  n->name = name;
  n->type = type;
  if (parent) o->addBelow(parent);
  return o;
}

struct ArrDel {
  void operator()(qxArray* a) const { qxDestroyArray(a); }
};
using Arr = std::unique_ptr<qxArray, ArrDel>;
Arr str(const char* s) { return Arr(qxCreateString(s)); }
Arr handle(OBInterface* o) { return Arr(obkHandleArray(o)); }

std::vector<OBInterface*> handlesOf(const qxArray* a) {
  std::vector<OBInterface*> out;
  for (size_t i = 0; i < qxGetNumberOfElements(a); ++i)
    out.push_back(static_cast<OBInterface*>(qxGetHandle(a, i)));
  return out;
}

std::string lastErrorId() {
  const char* id = nullptr;
  const char* msg = nullptr;
  qxGetLastErrIdAndMsg(&id, &msg);
  return id;
}

class InterpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    interpTestReset();
    nodeClass("Node");
    live_ = OBInterface::liveCount();
    arrays_ = qxLiveArrayCount();
    blocks_ = hbTestLiveBlocks();
  }
  void TearDown() override {
    interpTestReset();
    EXPECT_EQ(OBInterface::liveCount(), live_);
    EXPECT_EQ(qxLiveArrayCount(), arrays_);
    EXPECT_EQ(hbTestLiveBlocks(), blocks_);
  }
  // Calls with borrowed arrays; returns the outputs as owned arrays.
  std::vector<Arr> call(const char* name, std::vector<qxArray*> ins, int nlhs = 1) {
    std::vector<qxArray*> outs(static_cast<size_t>(std::max(nlhs, 1)), nullptr);
    inCallFcn(nlhs, outs.data(), static_cast<int>(ins.size()), ins.data(), name);
    std::vector<Arr> owned;
    for (qxArray* o : outs) owned.emplace_back(o);
    return owned;
  }
  std::string callError(const char* name, std::vector<qxArray*> ins) {
    qxArray* out[2] = {nullptr, nullptr};
    try {
      inCallFcn(1, out, static_cast<int>(ins.size()), ins.data(), name);
    } catch (const IUserException& e) {
      EXPECT_EQ(out[0], nullptr);
      return e.getIdentifier();
    }
    qxDestroyArray(out[0]);
    return "";
  }
  size_t live_ = 0, arrays_ = 0, blocks_ = 0;
};

TEST_F(InterpTest, TrapReturnsOneAndThrowSetsTheLastError) {
  qxArray* out[1] = {nullptr};
  EXPECT_EQ(inCallFcnWithTrap(0, out, 0, nullptr, "nosuch", true), 1);
  EXPECT_EQ(lastErrorId(), "interp:UndefinedFunction");
  qxSetLastErrIdAndMsg("", "");
  try {
    inCallFcnWithTrap(0, out, 0, nullptr, "nosuch", false);
    ADD_FAILURE() << "no exception";
  } catch (const ErrorIdException& e) {  // an IUserException is an ErrorIdException
    EXPECT_EQ(e.getIdentifier(), "interp:UndefinedFunction");
    EXPECT_EQ(e.getMessage(), "Undefined function 'nosuch'.");
    EXPECT_NE(dynamic_cast<const IUserException*>(&e), nullptr);
  }
  EXPECT_EQ(lastErrorId(), "interp:UndefinedFunction");
  ASSERT_EQ(interpCallLog().size(), 2u);
  EXPECT_TRUE(interpCallLog()[1].failed);
}

TEST_F(InterpTest, RegisteredCallbacks) {
  interpRegisterFunction("twice", [](int, qxArray* plhs[], int, qxArray* prhs[]) {
    plhs[0] = qxCreateDoubleScalar(2 * qxGetScalar(prhs[0]));
  });
  interpRegisterFunction("raises", [](int, qxArray*[], int, qxArray*[]) {
    throw ErrorIdException("My:Own", "mine");
  });
  interpRegisterFunction("hosterr", [](int, qxArray*[], int, qxArray*[]) {
    qxErrMsgIdAndTxt("Host:Err", "code %d", 5);
  });
  interpRegisterFunction("leaky", [](int, qxArray* plhs[], int, qxArray*[]) {
    plhs[0] = qxCreateDoubleScalar(1);  // made, then the call fails
    throw std::runtime_error("late");
  });
  Arr x(qxCreateDoubleScalar(21));
  auto outs = call("twice", {x.get()});
  EXPECT_EQ(qxGetScalar(outs[0].get()), 42.0);
  EXPECT_EQ(callError("raises", {}), "My:Own");
  EXPECT_EQ(callError("hosterr", {}), "Host:Err");
  EXPECT_EQ(callError("leaky", {}), "interp:CallFailed");
  EXPECT_TRUE(interpUnregisterFunction("twice"));
  EXPECT_FALSE(interpUnregisterFunction("twice"));
  EXPECT_EQ(callError("twice", {x.get()}), "interp:UndefinedFunction");
  ASSERT_GE(interpCallLog().size(), 1u);
  EXPECT_EQ(interpCallLog()[0].args, std::vector<std::string>{"21"});
}

TEST_F(InterpTest, CallsOutsideTheLogAreCountedAndResetLogsAgain) {
  interpRegisterFunction("twice", [](int, qxArray* plhs[], int, qxArray* prhs[]) {
    plhs[0] = qxCreateDoubleScalar(2 * qxGetScalar(prhs[0]));
  });
  Arr x(qxCreateDoubleScalar(21));
  interpTestSetCallLogging(false);
  EXPECT_EQ(qxGetScalar(call("twice", {x.get()})[0].get()), 42.0);
  EXPECT_EQ(callError("nosuch", {}), "interp:UndefinedFunction");
  EXPECT_TRUE(interpCallLog().empty());
  EXPECT_EQ(interpUnloggedCalls().calls, 2);
  EXPECT_EQ(interpUnloggedCalls().failed, 1);

  interpTestSetCallLogging(true);
  call("twice", {x.get()});
  ASSERT_EQ(interpCallLog().size(), 1u);
  EXPECT_EQ(interpCallLog()[0].args, std::vector<std::string>{"21"});
  EXPECT_EQ(interpUnloggedCalls().calls, 2);

  interpTestSetCallLogging(false);
  interpTestReset();
  EXPECT_EQ(interpUnloggedCalls().calls, 0);
  EXPECT_EQ(callError("nosuch", {}), "interp:UndefinedFunction");
  EXPECT_EQ(interpCallLog().size(), 1u);
}

TEST_F(InterpTest, UnregisteredNameCallsTheClassMethod) {
  OBInterface* m = makeNode(nodeClass("Model"), "m", "ksmodel", nullptr);
  Arr h = handle(m);
  Arr name = str("s1");
  qxArray* out[1] = {nullptr};
  qxArray* ins[] = {h.get(), name.get()};
  ASSERT_EQ(inCallFcn(0, out, 2, ins, "addnode"), 0);  // 0 asked, read as 1
  ASSERT_NE(out[0], nullptr);
  OBInterface* s = obkHandleOf(out[0]);
  EXPECT_EQ(s->getUp(), m);
  EXPECT_EQ(static_cast<Node*>(s->getComponentObject())->name, "s1");
  qxDestroyArray(out[0]);
  EXPECT_EQ(interpCallLog().back().args,
            (std::vector<std::string>{"<handle InterpApp.Model>", "s1"}));
  EXPECT_EQ(callError("nomethod", {h.get()}), "obk:UndefinedMethod");
  EXPECT_EQ(callError("addnode", {h.get()}), "obk:NoMatchingSignature");
  m->releaseReference();
}

// root -> m1 -> (s1, s2, k1 (kineticlaw "k"), r1 (s1 -> s2), r2 (s2 -> ), m2 -> (s3, k2 ("k")))
struct World {
  OBInterface* root = makeNode(nodeClass("Node"), "root", "root", nullptr);
  OBInterface* m1 = makeNode(nodeClass("Model"), "m1", "ksmodel", root);
  OBInterface* s1 = makeNode(nodeClass("Node"), "s1", "species", m1);
  OBInterface* s2 = makeNode(nodeClass("Node"), "s2", "species", m1);
  OBInterface* k1 = makeNode(nodeClass("Node"), "k", "kineticlaw", m1);
  OBInterface* r1 = makeNode(nodeClass("Node"), "r1", "reaction", m1);
  OBInterface* r2 = makeNode(nodeClass("Node"), "r2", "reaction", m1);
  OBInterface* m2 = makeNode(nodeClass("Model"), "m2", "ksmodel", m1);
  OBInterface* s3 = makeNode(nodeClass("Node"), "s3", "species", m2);
  OBInterface* k2 = makeNode(nodeClass("Node"), "k", "kineticlaw", m2);
  World() {
    hold(r1, &Node::reactants, s1);
    hold(r1, &Node::products, s2);
    hold(r2, &Node::reactants, s2);
    for (OBInterface* o : {m1, s1, s2, k1, r1, r2, m2, s3, k2}) o->releaseReference();
    interpSetRootInstance(root);
  }
  static void hold(OBInterface* r, Vector Node::*v, OBInterface* s) {
    s->getReference();
    (static_cast<Node*>(r->getComponentObject())->*v).addElement(s);
  }
  ~World() {
    interpSetRootInstance(nullptr);
    root->destroy(OBDatabaseClient::getInternalClient());
    root->releaseReference();
  }
};

struct SelectCase {
  const char* label;
  std::function<std::vector<Arr>(World&)> args;
  std::function<std::vector<OBInterface*>(World&)> expected;
};

template <class... A>
std::vector<Arr> args(A... a) {
  std::vector<Arr> v;
  (v.push_back(std::move(a)), ...);
  return v;
}

TEST_F(InterpTest, KstrselectForms) {
  World w;
  const SelectCase cases[] = {
      {"(a) reactant or product",
       [](World& w) {
         return args(handle(w.m1), str("where"), str("Reactants"), str("contains"), handle(w.s2),
                     str("or"), str("where"), str("Products"), str("contains"), handle(w.s2));
       },
       [](World& w) { return std::vector<OBInterface*>{w.r1, w.r2}; }},
      {"(a) one clause",
       [](World& w) {
         return args(handle(w.m1), str("WHERE"), str("reactants"), str("contains"), handle(w.s1));
       },
       [](World& w) { return std::vector<OBInterface*>{w.r1}; }},
      {"(a) misspelt property finds nothing",
       [](World& w) {
         return args(handle(w.m1), str("where"), str("Reactant"), str("contains"), handle(w.s2));
       },
       [](World&) { return std::vector<OBInterface*>{}; }},
      {"(b) everything under the root",
       [](World&) { return args(str("Type"), str("kineticlaw"), str("name"), str("k")); },
       [](World& w) { return std::vector<OBInterface*>{w.k1, w.k2}; }},
      {"(b) exact texts",
       [](World&) { return args(str("Type"), str("KineticLaw")); },
       [](World&) { return std::vector<OBInterface*>{}; }},
      {"(c) not entering sub-models",
       [](World& w) { return args(handle(w.m1), str("type"), str("species")); },
       [](World& w) { return std::vector<OBInterface*>{w.s1, w.s2}; }},
      {"(c) a model below is itself a candidate",
       [](World& w) { return args(handle(w.root), str("Type"), str("ksmodel")); },
       [](World& w) { return std::vector<OBInterface*>{w.m1}; }},
      {"(c) inside the sub-model",
       [](World& w) { return args(handle(w.m2), str("Type"), str("species")); },
       [](World& w) { return std::vector<OBInterface*>{w.s3}; }},
  };
  for (const SelectCase& c : cases) {
    SCOPED_TRACE(c.label);
    std::vector<Arr> in = c.args(w);
    std::vector<qxArray*> ins;
    for (Arr& a : in) ins.push_back(a.get());
    auto outs = call("kstrselect", ins, 1);
    std::vector<OBInterface*> expected = c.expected(w);
    EXPECT_EQ(handlesOf(outs[0].get()), expected);
    EXPECT_EQ(qxGetN(outs[0].get()), expected.empty() ? 0u : 1u);
  }
  Arr where = str("where");
  Arr h = handle(w.m1);
  EXPECT_EQ(callError("kstrselect", {h.get(), where.get()}), "kstrselect:InvalidArguments");
  Arr n = str("Name");
  EXPECT_EQ(callError("kstrselect", {n.get()}), "kstrselect:InvalidArguments");
}

// Only a missing property makes an object a non-match: a getter's error
// reaches the caller of every query form.
TEST_F(InterpTest, KstrselectPassesGetterErrorsThrough) {
  World w;
  Arr h = handle(w.m1);
  Arr where = str("where");
  Arr checked = str("Checked");
  Arr contains = str("contains");
  Arr s1 = handle(w.s1);
  EXPECT_EQ(callError("kstrselect", {h.get(), where.get(), checked.get(), contains.get(), s1.get()}),
            "node:GetterFailed");
  Arr value = str("x");
  EXPECT_EQ(callError("kstrselect", {checked.get(), value.get()}), "node:GetterFailed");
  EXPECT_EQ(callError("kstrselect", {h.get(), checked.get(), value.get()}), "node:GetterFailed");
  Arr missing = str("NoSuchProperty");
  auto outs = call("kstrselect", {h.get(), missing.get(), value.get()});
  EXPECT_TRUE(qxIsEmpty(outs[0].get()));
}

TEST_F(InterpTest, KstrselectWithoutRootIsEmpty) {
  Arr t = str("Type");
  Arr v = str("species");
  auto outs = call("kstrselect", {t.get(), v.get()});
  EXPECT_TRUE(qxIsEmpty(outs[0].get()));
}

TEST_F(InterpTest, SetGoesThroughTheBuiltInSet) {
  OBInterface* s = makeNode(nodeClass("Node"), "s", "species", nullptr);
  Arr h = handle(s);
  Arr p = str("Name");
  Arr v = str("renamed");
  call("set", {h.get(), p.get(), v.get()}, 0);
  EXPECT_EQ(static_cast<Node*>(s->getComponentObject())->name, "renamed");
  Arr bad = str("Nope");
  EXPECT_EQ(callError("set", {h.get(), bad.get(), v.get()}), "obk:InvalidProperty");
  Arr type = str("Type");
  EXPECT_EQ(callError("set", {h.get(), type.get(), v.get()}), "");  // no setter: ignored
  s->releaseReference();
}

TEST_F(InterpTest, TempnameAndRemoval) {
  std::string prefix = std::string(std::getenv("TMPDIR") && *std::getenv("TMPDIR")
                                       ? std::getenv("TMPDIR")
                                       : "/tmp") +
                       "/kstr_" + std::to_string(getpid()) + "_";
  auto a = call("tempname", {});
  auto b = call("tempname", {});
  std::string pa = qxArrayToStdString(a[0].get());
  std::string pb = qxArrayToStdString(b[0].get());
  EXPECT_EQ(pa.rfind(prefix, 0), 0u) << pa;
  EXPECT_NE(pa, pb);
  EXPECT_FALSE(std::filesystem::exists(pb));  // named, not made
  EXPECT_EQ(interpLastTempName(), pb);
  std::filesystem::create_directories(pb + "/inner");
  Arr cmd = str("kstrremovetempdir");
  call("kstrgate", {cmd.get()}, 0);
  EXPECT_FALSE(std::filesystem::exists(pb));
  EXPECT_EQ(interpRemovedTempDirCount(), 1);
  call("kstrgate", {cmd.get()}, 0);  // nothing left: no error
  EXPECT_EQ(interpRemovedTempDirCount(), 1);
  interpTestSetTempnameFails(true);
  qxArray* out[1] = {nullptr};
  EXPECT_EQ(inCallFcnWithTrap(1, out, 0, nullptr, "tempname", true), 1);
  EXPECT_EQ(lastErrorId(), "interp:TempnameFailed");
  EXPECT_EQ(out[0], nullptr);
}

TEST_F(InterpTest, KstrgateCommands) {
  Arr update = str("privateupdatelibrary");
  Arr kl = str("kineticlaw");
  Arr unit = str("unit");
  call("kstrgate", {update.get(), kl.get()}, 0);
  call("kstrgate", {update.get(), kl.get()}, 0);
  call("kstrgate", {update.get(), unit.get()}, 0);
  EXPECT_EQ(interpUpdateLibraryCounts(), (std::map<std::string, int>{{"kineticlaw", 2}, {"unit", 1}}));
  interpTestSetUpdateLibraryFails(true);
  qxArray* none[1] = {nullptr};
  qxArray* ins[] = {update.get(), unit.get()};
  EXPECT_EQ(inCallFcnWithTrap(0, none, 2, ins, "kstrgate", true), 1);
  EXPECT_EQ(lastErrorId(), "kstrgate:UpdateLibraryFailed");

  Arr check = str("privatecheckxmlformatting");
  const std::pair<const char*, bool> xml[] = {
      {"<notes><p>fine</p></notes>", true},
      {"plain text", true},
      {"<a/><b x='1'>two roots</b>", true},
      {"<notes><p>broken</notes>", false},
      {"<a>", false},
      {"a < b", false},
      {"", false},  // no content at all, as the library's helper answers
  };
  for (const auto& [text, ok] : xml) {
    SCOPED_TRACE(text);
    Arr t = str(text);
    EXPECT_EQ(callError("kstrgate", {check.get(), t.get()}), ok ? "" : "kstrgate:InvalidXML");
  }

  Arr backup = str("privatebackupandremoveunit");
  Arr name = str("myunit");
  Arr yes(qxCreateDoubleScalar(1));
  Arr no(qxCreateDoubleScalar(0));
  EXPECT_EQ(callError("kstrgate", {backup.get(), name.get(), yes.get()}), "kstrgate:NotAUserUnit");
  std::vector<std::string> removed;
  interpSetUnitRemover([&](const std::string& n) {
    removed.push_back(n);
    return n == "myunit";
  });
  auto out = call("kstrgate", {backup.get(), name.get(), yes.get()});
  std::string path = qxArrayToStdString(out[0].get());
  EXPECT_NE(path.find("/userunits_backup_"), std::string::npos) << path;
  auto plain = call("kstrgate", {backup.get(), name.get(), no.get()});
  EXPECT_EQ(qxArrayToStdString(plain[0].get()), "");
  EXPECT_EQ(removed, (std::vector<std::string>{"myunit", "myunit"}));
  Arr other = str("gram");
  EXPECT_EQ(callError("kstrgate", {backup.get(), other.get(), no.get()}), "kstrgate:NotAUserUnit");
  Arr unknown = str("nosuchcommand");
  EXPECT_EQ(callError("kstrgate", {unknown.get()}), "kstrgate:UnknownCommand");
}

}  // namespace
