#include "obk_test_support.hpp"

#include "hb/hb.hpp"
#include "hb/hb_test.hpp"

namespace obktest {

namespace {

enum : uint32_t {
  ISET = 1u << 1, IGET = 1u << 2, ESET = 1u << 3, EGET = 1u << 4,
  VIS = 1u << 6, COPY = 1u << 7, SAVE = 1u << 8,
  ALL = ISET | IGET | ESET | EGET | VIS | COPY | SAVE,
};

// "Data": a stored persistent copy of a host array.
class DataPIT : public OBPropInfoTemplate {
 public:
  DataPIT() : OBPropInfoTemplate("Data", "Any array.", "PELLAM array", ALL) {}
  void* getValue(OBDatabaseClient*, OBInterface* inst) override { return thingOf(inst)->data; }
  void setValue(OBDatabaseClient*, OBInterface* inst, void* value) override {
    Thing* t = thingOf(inst);
    qxArray* keep = static_cast<qxArray*>(getDataType(inst)->copy(value));
    qxDestroyArray(t->data);
    t->data = keep;
  }
};

// "Mode": an enumerated value handed out as a new block.
class ModePIT : public OBPropInfoTemplate {
 public:
  ModePIT() {
    setName("Mode");
    setDescription("The mode.");
    setDataType(modeType());
  }
  void* getValue(OBDatabaseClient*, OBInterface* inst) override {
    auto* p = static_cast<int32_t*>(hbMalloc(sizeof(int32_t)));
    *p = thingOf(inst)->mode;
    return p;
  }
  void setValue(OBDatabaseClient*, OBInterface* inst, void* value) override {
    thingOf(inst)->mode = *static_cast<int32_t*>(value);
  }
  void releaseValue(OBDatabaseClient*, OBInterface*, void* value) override { hbFree(value); }
};

using SP = obk_t::OBKFactoryPropInfo<Thing, const std::string&, const std::string&>;

void addThingProperties(OBClass* c) {
  c->addProperty(new SP(&Thing::getName, &Thing::setName, "Name", "The name.", ALL));
  c->addProperty(new SP(&Thing::getNote, &Thing::setNote, "Note", "A note.", ALL & ~ESET));
  c->addProperty(new SP(&Thing::getSecret, &Thing::setSecret, "Secret", "", ALL & ~EGET));
  c->addProperty(new obk_t::OBKFactoryPropInfoWithRelease<Thing, int, int>(
      &Thing::getCount, &Thing::setCount, "Count", "", ALL));
  c->addProperty(new obk_t::OBKFactoryPropInfoWithRelease<Thing, double, double>(
      &Thing::getRatio, &Thing::setRatio, "Ratio", "", ALL));
  c->addProperty(new obk_t::OBKFactoryPropInfoWithRelease<Thing, bool, bool>(
      &Thing::getFlag, &Thing::setFlag, "Flag", "", ALL));
  c->addProperty(new obk_t::OBKFactoryPropInfoWithRelease<Thing, size_t, size_t>(
      &Thing::getUses, nullptr, "Uses", "", IGET | EGET | VIS));
  c->addProperty(new obk_t::OBKFactoryPropInfo<Thing, const char*, const char*>(
      &Thing::getKind, nullptr, "Kind", "", IGET | EGET | VIS | COPY));
  c->addProperty(new obk_t::OBKFactoryPropInfo<Thing, OBInterface*, OBInterface*>(
      &Thing::getPartner, &Thing::setPartner, "Partner", "", ALL));
  c->addProperty(new ModePIT);
  c->addProperty(new DataPIT);
}

// Outputs of "getAdj": as many scalars 1, 2, 3 as the matched form declares.
void addThingMethods(OBClass* c) {
  c->addMethod(new LambdaMethod("display", {new OBMethodSignature({"handle"}),
                                            new OBMethodSignature({"handle vector"})},
                                [](int, int&, void*[], int, void* const[]) {}));
  c->addMethod(new LambdaMethod(
      "getAdj",
      {new OBMethodSignature({"handle"}, {"PELLAM array"}),
       new OBMethodSignature({"handle"}, {"PELLAM array", "PELLAM array"}),
       new OBMethodSignature({"handle"}, {"PELLAM array", "PELLAM array", "PELLAM array"})},
      [](int k, int& nOut, void* outs[], int, void* const[]) {
        for (int i = 0; i <= k; ++i) outs[i] = qxCreateDoubleScalar(i + 1);
        nOut = k + 1;
      }));
  auto* pv = new OBMethodSignature({"handle", "string"}, {"handle"});
  pv->addArgument("PELLAM array", true);
  c->addMethod(new LambdaMethod(
      "addconfig", {new OBMethodSignature({"handle", "string", "bool"}, {"handle"}), pv},
      [](int, int& nOut, void* outs[], int, void* const ins[]) {
        outs[0] = ins[0];  // lent
        nOut = 1;
      }));
  c->addMethod(new LambdaMethod("verify",
                                {new OBMethodSignature({"handle", "TestApp.Config"}),
                                 new OBMethodSignature({"handle", "handle vector"})},
                                [](int, int&, void*[], int, void* const[]) {}));
  c->addMethod(new LambdaMethod(
      "describe", {new OBMethodSignature({"handle", "int", "double"}, {"string"})},
      [](int, int& nOut, void* outs[], int, void* const ins[]) {
        std::string s = std::to_string(*static_cast<int32_t*>(ins[1])) + "/" +
                        std::to_string(*static_cast<double*>(ins[2]));
        outs[0] = hbStrdup(s.c_str());
        nOut = 1;
      }));
  c->addMethod(new LambdaMethod(
      "members", {new OBMethodSignature({"handle", "handle vector"}, {"handle vector"})},
      [](int, int& nOut, void* outs[], int, void* const ins[]) {
        outs[0] = OBTypeRepository::getType("handle vector")->copy(ins[1]);
        nOut = 1;
      }));
  auto* negate = new LambdaMethod(
      "negate", {new OBMethodSignature({"bool"}, {"bool"})},
      [](int, int& nOut, void* outs[], int, void* const ins[]) {
        auto* b = static_cast<uint8_t*>(hbMalloc(1));
        *b = *static_cast<uint8_t*>(ins[0]) ? 0 : 1;
        outs[0] = b;
        nOut = 1;
      });
  negate->setStatic(true);
  c->addMethod(negate);
  c->addMethod(new LambdaMethod(
      "failing", {new OBMethodSignature({"handle"}, {"string"})},
      [](int, int&, void* outs[], int, void* const[]) {
        outs[0] = hbStrdup("made before the error");
        throw ErrorIdException("Test:Failing", "The body failed.");
      }));
}

class ThingOBC : public OBClass, public OBListenerManagerHost, public OBEventSource {
 public:
  ThingOBC(const char* name, OBClass* super) {
    setName(name);
    if (super) setSuperClass(super);
    auto* sig = new OBMethodSignature;
    sig->addArgument("PELLAM array", true);
    addConstructorSignature(sig);
  }
  OBInterface* createInstance(OBDatabaseClient*, int argc, void* const argv[], OBInterface*,
                              int) override {
    auto* obi = new OBInterface(new Thing, this);
    if (argc == 0) return obi;
    std::vector<qxArray*> ins{obkHandleArray(obi)};
    for (int i = 0; i < argc; ++i) ins.push_back(static_cast<qxArray*>(argv[i]));
    OBErrorStatus status;
    qxArray* out = nullptr;
    obCallBuiltInMethod("set", 0, &out, static_cast<int>(ins.size()), ins.data(), status);
    qxDestroyArray(out);
    qxDestroyArray(ins[0]);
    if (status.hasErrors() || out != nullptr) {
      obi->releaseReference();
      throw ErrorIdException("Test:BadPV", status.hasErrors() ? status.getMessage(0)
                                                              : "A property has no value.");
    }
    return obi;
  }
  bool isOkToDestroy(OBInterface* inst) override {
    Thing* t = thingOf(inst);
    return t == nullptr || !t->locked;
  }
  void destroyInstance(OBInterface* inst) override {
    Thing* t = thingOf(inst);
    OBInterface* up = inst->getUp();
    Thing* parent = up ? thingOf(up) : nullptr;
    destroyLog().push_back((t ? t->name : "?") + "<" + (parent ? parent->name : ""));
    delete t;
    inst->setComponentObject(nullptr);
  }
};

class ConfigOBC : public OBClass {
 public:
  ConfigOBC() {
    setName("Config");
    addConstructorSignature(new OBMethodSignature);
  }
  OBInterface* createInstance(OBDatabaseClient*, int, void* const[], OBInterface*, int) override {
    return new OBInterface(nullptr, this);
  }
};

class AbstractOBC : public OBClass {
 public:
  AbstractOBC() { setName("Abstract"); }
  bool canBeConstructed() const override { return false; }
};

}  // namespace

Thing::~Thing() { qxDestroyArray(data); }

std::vector<std::string>& destroyLog() {
  static auto* log = new std::vector<std::string>;
  return *log;
}

EnumStringType* modeType() {
  static EnumStringType* t = [] {
    auto* e = new EnumStringType("TestModeEnum");
    e->addEnumValue("slow", 0);
    e->addEnumValue("fast", 1);
    e->addEnumValue("Adaptive", 4);
    OBTypeRepository::addType(e);
    return e;
  }();
  return t;
}

OBApplication* testApp() {
  static OBApplication* app = [] {
    auto* a = new OBApplication("TestApp", true);
    OBApplicationManager::addApplication(a);
    return a;
  }();
  return app;
}

OBClass* thingClass() {
  static OBClass* c = [] {
    auto* cls = new ThingOBC("Thing", nullptr);
    addThingProperties(cls);
    addThingMethods(cls);
    testApp()->addLocalClass(cls);
    return cls;
  }();
  return c;
}

OBClass* subThingClass() {
  static OBClass* c = [] {
    auto* cls = new ThingOBC("SubThing", thingClass());
    cls->addProperty(new SP(&Thing::getName, &Thing::setName, "NAME", "Redeclared.", ALL));
    cls->addProperty(new SP(&Thing::getExtra, &Thing::setExtra, "Extra", "", ALL));
    testApp()->addLocalClass(cls);
    return cls;
  }();
  return c;
}

OBClass* configClass() {
  static OBClass* c = [] {
    auto* cls = new ConfigOBC;
    testApp()->addLocalClass(cls);
    return cls;
  }();
  return c;
}

OBClass* abstractClass() {
  static OBClass* c = [] {
    auto* cls = new AbstractOBC;
    testApp()->addLocalClass(cls);
    return cls;
  }();
  return c;
}

OBInterface* newThing(const std::string& name, OBClass* cls) {
  OBInterface* obi = (cls ? cls : thingClass())->createInstance(OBDatabaseClient::getInternalClient());
  thingOf(obi)->name = name;
  return obi;
}

Thing* thingOf(OBInterface* obi) { return static_cast<Thing*>(obi->getComponentObject()); }

LambdaMethod::LambdaMethod(const char* name, std::vector<OBMethodSignature*> sigs, Body body)
    : body_(std::move(body)) {
  setName(name);
  for (OBMethodSignature* s : sigs) addMethodSignature(s);
}

void LambdaMethod::invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
                          void* const ins[]) {
  const auto& sigs = getMethodSignatures();
  lastIndex = -1;
  for (size_t i = 0; i < sigs.size(); ++i)
    if (sigs[i] == matched) lastIndex = static_cast<int>(i);
  body_(lastIndex, nOut, outs, nIn, ins);
}

Arr handles(const std::vector<OBInterface*>& objs) {
  qxArray* a = qxCreateHandleArray(objs.size(), objs.empty() ? 0 : 1);
  for (size_t i = 0; i < objs.size(); ++i) qxSetHandle(a, i, objs[i]);
  return Arr(a);
}

Arr cellOf(const std::vector<const char*>& texts, bool row) {
  qxArray* c = row ? qxCreateCellMatrix(1, texts.size()) : qxCreateCellMatrix(texts.size(), 1);
  for (size_t i = 0; i < texts.size(); ++i) qxSetCell(c, i, qxCreateString(texts[i]));
  return Arr(c);
}

std::vector<std::string> textsOf(const qxArray* cell) {
  std::vector<std::string> out;
  for (size_t i = 0; i < qxGetNumberOfElements(cell); ++i)
    out.push_back(qxArrayToStdString(qxGetCell(cell, i)));
  return out;
}

void ObkTest::SetUp() {
  thingClass();
  subThingClass();
  configClass();
  abstractClass();
  destroyLog().clear();
  obkClearEventLog();
  obkClearDestroyDiagnostics();
  liveBefore_ = OBInterface::liveCount();
  arraysBefore_ = qxLiveArrayCount();
  blocksBefore_ = hbTestLiveBlocks();
}

void ObkTest::TearDown() {
  EXPECT_EQ(OBInterface::liveCount(), liveBefore_) << "instances leaked";
  EXPECT_EQ(qxLiveArrayCount(), arraysBefore_) << "host arrays leaked";
  EXPECT_EQ(hbTestLiveBlocks(), blocksBefore_) << "hb blocks leaked";
  EXPECT_TRUE(obkDestroyDiagnostics().empty())
      << (obkDestroyDiagnostics().empty() ? "" : obkDestroyDiagnostics()[0]);
}

std::string expectError(const std::function<void()>& fn, const std::string& id) {
  try {
    fn();
  } catch (const ErrorIdException& e) {
    EXPECT_EQ(e.getIdentifier(), id) << e.getMessage();
    return e.getMessage();
  }
  ADD_FAILURE() << "expected the error " << id;
  return "";
}

}  // namespace obktest
