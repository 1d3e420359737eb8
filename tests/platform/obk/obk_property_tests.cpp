// Classes, property lookup, access flags per client and post-set events.
#include <gtest/gtest.h>

#include "obk_test_support.hpp"

using namespace obktest;

namespace {

class PropertyTest : public ObkTest {};

OBDatabaseClient* ext() { return OBDatabaseClient::getExternalClient(); }
OBDatabaseClient* internal() { return OBDatabaseClient::getInternalClient(); }

TEST_F(PropertyTest, ClassRegistryAndNames) {
  EXPECT_STREQ(subThingClass()->getFullName(), "TestApp.SubThing");
  EXPECT_EQ(subThingClass()->getApplication(), testApp());
  EXPECT_EQ(OBApplicationManager::findApplication("TestApp"), testApp());
  EXPECT_EQ(OBApplicationManager::findClass("TestApp.Thing"), thingClass());
  EXPECT_EQ(OBApplicationManager::findClass("Thing"), thingClass());
  EXPECT_EQ(OBApplicationManager::findClass("TestApp.thing"), nullptr);
  EXPECT_EQ(testApp()->findClass("Config"), configClass());
  size_t n = testApp()->getClasses().size();
  testApp()->addLocalClass(thingClass());  // a repeat is ignored
  EXPECT_EQ(testApp()->getClasses().size(), n);
  EXPECT_EQ(testApp()->getClasses()[0], thingClass());
  EXPECT_TRUE(subThingClass()->isA(thingClass()));
  EXPECT_FALSE(thingClass()->isA(subThingClass()));
}

TEST_F(PropertyTest, PropertiesOwnFirstThenInheritedNotRedeclared) {
  std::vector<std::string> names;
  for (OBPropInfo* p : subThingClass()->getProperties()) names.push_back(p->getName());
  EXPECT_EQ(names, (std::vector<std::string>{"NAME", "Extra", "Note", "Secret", "Count", "Ratio",
                                             "Flag", "Uses", "Kind", "Partner", "Mode", "Data"}));
  EXPECT_STREQ(subThingClass()->getProperty("name")->getName(), "NAME");
  EXPECT_EQ(subThingClass()->getProperty("nOtE"), thingClass()->getProperty("Note"));
  EXPECT_EQ(subThingClass()->getProperty("Nam"), nullptr);
  EXPECT_EQ(subThingClass()->getMethod("display"), thingClass()->getMethod("display"));
  EXPECT_EQ(subThingClass()->getMethod("Display"), nullptr);
  EXPECT_EQ(thingClass()->getProperty("Name")->getClass(), thingClass());
}

struct AccessCase {
  const char* prop;
  bool external;
  bool set;
  const char* errorId;  // "" when allowed
};

const AccessCase kAccess[] = {
    {"Name", true, false, ""},   {"Name", true, true, ""},
    {"Name", false, true, ""},   {"Note", true, true, "obk:PropertyAccessDenied"},
    {"Note", false, true, ""},   {"Note", true, false, ""},
    {"Secret", true, false, "obk:PropertyAccessDenied"},
    {"Secret", false, false, ""}, {"Secret", true, true, ""},
    {"Uses", true, true, "obk:PropertyAccessDenied"},
    {"Uses", false, true, "obk:PropertyAccessDenied"},
    {"Uses", true, false, ""},   {"Kind", false, true, "obk:PropertyAccessDenied"},
    {"nosuch", true, false, "obk:InvalidProperty"},
};

TEST_F(PropertyTest, AccessFlagsPerClient) {
  OBInterface* x = newThing("x");
  for (const AccessCase& c : kAccess) {
    SCOPED_TRACE(std::string(c.prop) + (c.external ? " external " : " internal ") +
                 (c.set ? "set" : "get"));
    obkClearEventLog();
    OBDatabaseClient* client = c.external ? ext() : internal();
    std::function<void()> op;
    Arr value = str("v");
    if (c.set)
      op = [&] { obkSetProperty(x, c.prop, value.get(), client); };
    else
      op = [&] { qxDestroyArray(obkGetProperty(x, c.prop, client)); };
    if (*c.errorId) {
      expectError(op, c.errorId);
      EXPECT_TRUE(obkEventLog().empty());
    } else {
      op();
      EXPECT_EQ(obkEventLog().size(), c.set ? 1u : 0u);
      if (c.set) {
        EXPECT_EQ(obkEventLog()[0].external, c.external);
      }
    }
  }
  std::string text = expectError([&] { qxDestroyArray(obkGetProperty(x, "Secret", ext())); },
                                 "obk:PropertyAccessDenied");
  EXPECT_EQ(text, "You cannot get the 'Secret' property of the 'Thing' class.");
  text = expectError([&] { qxDestroyArray(obkGetProperty(x, "Nope", ext())); },
                     "obk:InvalidProperty");
  EXPECT_EQ(text, "There is no 'Nope' property in the 'Thing' class.");
  x->releaseReference();
}

TEST_F(PropertyTest, DefaultFlags) {
  OBPropInfoTemplate p;
  EXPECT_TRUE(p.isExternalGetAccess());
  EXPECT_TRUE(p.isExternalSetAccess());
  EXPECT_TRUE(p.isInternalGetAccess());
  EXPECT_TRUE(p.isInternalSetAccess());
  EXPECT_TRUE(p.isVisible());
  EXPECT_TRUE(p.isSerializeAccess());
  EXPECT_TRUE(p.isCopyAccess());
  EXPECT_FALSE(p.isInitAccess());
  EXPECT_FALSE(p.isDefaultAccess());
  EXPECT_FALSE(p.isResetAccess());
  EXPECT_FALSE(p.isListenerAccess());
  EXPECT_FALSE(p.isAbortSetAccess());
  EXPECT_FALSE(p.isGrandfathered());
  p.setAccess(OBAccessFlag::Grandfathered, true);
  p.setAccess(OBAccessFlag::Visible, false);
  EXPECT_TRUE(p.isGrandfathered());
  EXPECT_FALSE(p.isVisible());
  expectError([&] { p.getDataType(nullptr); }, "obk:UnknownType");
  expectError([&] { p.setDataType("no such type"); }, "obk:UnknownType");
}

// Records the events it receives.
struct Recorder : OBListener {
  explicit Recorder(std::vector<std::string>* log, std::string tag) : log(log), tag(std::move(tag)) {}
  bool handleEvent(const OBEvent& e) override {
    const auto& pe = static_cast<const OBPropertySetEvent&>(e);
    std::string value;
    if (pe.getPropInfo() && std::string(pe.getPropInfo()->getName()) == "NAME")
      value = static_cast<const char*>(pe.getValue());
    log->push_back(tag + ":" + pe.getPropInfo()->getName() + (value.empty() ? "" : "=" + value));
    return true;
  }
  std::vector<std::string>* log;
  std::string tag;
};

TEST_F(PropertyTest, PostSetEventsReachListenersInRegistrationOrder) {
  std::vector<std::string> got;
  Recorder onName(&got, "name"), onAll(&got, "all"), onSub(&got, "sub"), onCount(&got, "count");
  int post = OBPropInfo::propertyPostSetEvent();
  OBListenerManagerHost::addListener(thingClass(), &onAll, nullptr, post);
  OBListenerManagerHost::addListener(subThingClass(), &onSub, subThingClass()->getProperty("Extra"), post);
  OBListenerManagerHost::addListener(thingClass(), &onName, thingClass()->getProperty("Name"), post);
  OBListenerManagerHost::addListener(thingClass(), &onName, thingClass()->getProperty("Name"), post);
  OBListenerManagerHost::addListener(thingClass(), &onCount, thingClass()->getProperty("Count"), 99);

  OBInterface* s = newThing("s", subThingClass());
  Arr v = str("renamed");
  obkSetProperty(s, "name", v.get());
  obkSetProperty(s, "Extra", v.get());
  Arr three = num(3);
  obkSetProperty(s, "Count", three.get(), internal());
  EXPECT_EQ(got, (std::vector<std::string>{"all:NAME=renamed", "name:NAME=renamed", "all:Extra",
                                           "sub:Extra", "all:Count"}));
  ASSERT_EQ(obkEventLog().size(), 3u);
  EXPECT_EQ(obkEventLog()[0].className, "TestApp.SubThing");
  EXPECT_EQ(obkEventLog()[0].propName, "NAME");
  EXPECT_EQ(obkEventLog()[0].listeners, 2);
  EXPECT_TRUE(obkEventLog()[0].external);
  EXPECT_FALSE(obkEventLog()[2].external);
  EXPECT_EQ(obkEventLog()[2].eventType, post);

  got.clear();
  Arr negative = num(-1);
  expectError([&] { obkSetProperty(s, "Ratio", negative.get()); }, "Test:NegativeRatio");
  EXPECT_TRUE(got.empty());  // no event after a failed set

  uint8_t yes = 1;
  s->set(s->getProperty("Flag"), &yes, internal());  // direct sets notify as well
  EXPECT_EQ(got, std::vector<std::string>{"all:Flag"});
  EXPECT_TRUE(thingOf(s)->flag);

  for (OBListener* l : std::initializer_list<OBListener*>{&onName, &onAll, &onSub, &onCount})
    OBListenerManagerHost::removeListener(l);
  s->releaseReference();
}

TEST_F(PropertyTest, GetEReportsIntoTheStatus) {
  OBInterface* x = newThing("x");
  OBErrorStatus status;
  EXPECT_EQ(x->getE(x->getProperty("Secret"), ext(), status), nullptr);
  ASSERT_TRUE(status.hasErrors());
  EXPECT_EQ(status.getIdentifier(0), "obk:PropertyAccessDenied");
  void* v = x->getE(x->getProperty("Name"), ext(), status);
  EXPECT_STREQ(static_cast<const char*>(v), "x");
  x->release(x->getProperty("Name"), v, ext());
  EXPECT_EQ(status.getNumErrors(), 1);
  EXPECT_EQ(status.getError(5).id, "");
  x->releaseReference();
}

}  // namespace
