// The host binding as the user meets it: a small creatable class built from
// the ModelComponent property family and the generic methods, driven through
// the test host.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <hb/hb_test.hpp>
#include <jpi/jpi_test.hpp>
#include <ks_utils/Errors.hpp>
#include <ks_utils/Units.hpp>
#include <obk/obk.hpp>
#include <sv/sv_test.hpp>
#include <testhost/TestHost.hpp>

#include "support/TestComponents.hpp"
#include "support/TestThing.hpp"
#include "core/Application.hpp"
#include "core/ModelComponentMethods.hpp"
#include "core/ModelComponentOBC.hpp"
#include "core/ModelComponentProps.hpp"
#include "core/PropertyValuePairs.hpp"

namespace {

class BindingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registerMessageCatalog();
    testThingClass();
    hbTestSetEcho(false);
    host_.clearLogs();
  }
  void TearDown() override {
    for (OBInterface* o : made_) host_.destroy(o);
  }
  OBInterface* make(std::initializer_list<qxArray*> args = {}) {
    OBInterface* o = host_.construct("Kestrion.TestThing", args);
    made_.push_back(o);
    return o;
  }
  TestHost host_;
  std::vector<OBInterface*> made_;
};

TEST_F(BindingTest, ModelComponentClassIsAbstractWithItsTable) {
  OBClass* cls = getModelComponentOBClass();
  EXPECT_STREQ(cls->getFullName(), "Kestrion.ModelComponent");
  EXPECT_FALSE(cls->canBeConstructed());
  const char* expected[] = {"Annotation", "AnnotationFull", "ID",  "Name",     "Notes",
                            "Parent",     "Tag",            "Type", "UserData", "PartiallyQualifiedName"};
  ASSERT_EQ(cls->getProperties().size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_STREQ(cls->getProperties()[i]->getName(), expected[i]);
  }
  struct Flags {
    const char* name;
    bool extSet, intSet, visible, saved, copied;
  } flags[] = {
      {"Annotation", true, true, true, true, true},
      {"AnnotationFull", false, true, false, true, false},
      {"ID", false, true, false, true, false},
      {"Parent", false, false, true, false, false},
      {"Type", false, false, true, true, true},
      {"PartiallyQualifiedName", false, false, false, false, false},
  };
  for (const Flags& f : flags) {
    OBPropInfo* p = cls->getProperty(f.name);
    ASSERT_NE(p, nullptr) << f.name;
    EXPECT_EQ(p->isExternalSetAccess(), f.extSet) << f.name;
    EXPECT_EQ(p->isInternalSetAccess(), f.intSet) << f.name;
    EXPECT_EQ(p->isVisible(), f.visible) << f.name;
    EXPECT_EQ(p->isSerializeAccess(), f.saved) << f.name;
    EXPECT_EQ(p->isCopyAccess(), f.copied) << f.name;
    EXPECT_FALSE(p->isInitAccess()) << f.name;
  }
  EXPECT_STREQ(cls->getProperty("Notes")->getDescription(),
               "Notes can be used to describe a Kestrion object.");
  EXPECT_NE(cls->getMethod("display"), nullptr);
  EXPECT_NE(cls->getMethod("help"), nullptr);
  auto error = TestHost::errorOf([&] { host_.construct("Kestrion.ModelComponent", {}); });
  ASSERT_TRUE(error.has_value());
}

TEST_F(BindingTest, PropertiesReadAndWriteAsTheUser) {
  OBInterface* o = make({host_.str("Name"), host_.str(" A "), host_.str("Notes"), host_.str("n")});
  EXPECT_EQ(host_.getString(o, "Name"), "A");
  EXPECT_EQ(host_.getString(o, "name"), "A");  // names ignore case
  EXPECT_EQ(host_.getString(o, "Notes"), "n");
  EXPECT_EQ(host_.getString(o, "Type"), "species");

  host_.set(o, "Tag", host_.str("synthesis"));
  EXPECT_EQ(host_.getString(o, "Tag"), "synthesis");

  // Type and PartiallyQualifiedName cannot be set through the object system
  // by either client, and their setters ignore a value.
  for (const char* prop : {"Type", "PartiallyQualifiedName"}) {
    EXPECT_TRUE(TestHost::errorOf([&] { host_.set(o, prop, host_.str("x")); }).has_value());
    EXPECT_TRUE(TestHost::errorOf([&] { host_.set(o, prop, host_.str("x"), true); }).has_value());
    char value[] = "x";
    o->getProperty(prop)->setValue(OBDatabaseClient::getInternalClient(), o, value);
  }
  EXPECT_EQ(host_.getString(o, "Type"), "species");
  EXPECT_EQ(host_.getString(o, "PartiallyQualifiedName", true), "A");

  // Annotation keeps the tags, AnnotationFull strips them.
  host_.set(o, "Annotation", host_.str("<annotation>w</annotation>"));
  EXPECT_EQ(host_.getString(o, "Annotation"), "<annotation>w</annotation>");
  host_.set(o, "AnnotationFull", host_.str("<annotation>w</annotation>"), true);
  EXPECT_EQ(host_.getString(o, "Annotation"), "w");
  EXPECT_EQ(host_.getString(o, "AnnotationFull", true), "<annotation>w</annotation>");

  auto error = TestHost::errorOf([&] { host_.set(o, "Name", host_.str("x]")); });
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->id, "Kestrion:NameCannotContainBrackets");
  EXPECT_EQ(host_.getString(o, "Name"), "A");
}

TEST_F(BindingTest, UserDataIsCopiedAndCanBeSetBack) {
  OBInterface* o = make();
  host_.set(o, "UserData", host_.nums({1, 2, 3}));
  qxArray* back = host_.get(o, "UserData");
  ASSERT_EQ(qxGetNumberOfElements(back), 3u);
  EXPECT_EQ(qxGetPr(back)[2], 3.0);
  host_.set(o, "UserData", back);
  EXPECT_EQ(qxGetPr(host_.get(o, "UserData"))[1], 2.0);
}

TEST_F(BindingTest, FactoryInUseCountIsReadOnly) {
  OBInterface* o = make();
  EXPECT_EQ(qxGetScalar(host_.get(o, "InUseCount")), 0.0);
  EXPECT_TRUE(TestHost::errorOf([&] { host_.set(o, "InUseCount", host_.num(3)); }).has_value());
}

TEST_F(BindingTest, FactoryMakersCarryTheirFlags) {
  struct Case {
    OBPropInfo* prop;
    const char* name;
    bool extSet, extGet, intSet, saved, copied, visible;
  } cases[] = {
      {newNamePropInfo(), "Name", true, true, true, true, true, true},
      {newIDPropInfo(), "ID", true, true, true, true, false, false},
      {newNotesPropInfo(), "Notes", true, true, true, true, true, true},
      {newTagPropInfo(), "Tag", true, true, true, true, true, true},
      {newParentPropInfo(), "Parent", false, true, true, false, false, true},
      {newInUseCountPropInfo(), "InUseCount", false, true, false, true, true, false},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(c.prop->getName(), c.name);
    EXPECT_EQ(c.prop->isExternalSetAccess(), c.extSet) << c.name;
    EXPECT_EQ(c.prop->isExternalGetAccess(), c.extGet) << c.name;
    EXPECT_EQ(c.prop->isInternalSetAccess(), c.intSet) << c.name;
    EXPECT_EQ(c.prop->isSerializeAccess(), c.saved) << c.name;
    EXPECT_EQ(c.prop->isCopyAccess(), c.copied) << c.name;
    EXPECT_EQ(c.prop->isVisible(), c.visible) << c.name;
    EXPECT_TRUE(c.prop->isDefaultAccess() && c.prop->isResetAccess() && c.prop->isListenerAccess() &&
                c.prop->isAbortSetAccess())
        << c.name;
    EXPECT_FALSE(c.prop->isGrandfathered()) << c.name;
    delete c.prop;
  }
}

// The help texts of the shared component properties: the short ones word
// for word, the long ones by their fixed opening sentence.  The ready-made
// factory properties carry the same texts as the class's rows.
TEST_F(BindingTest, ModelComponentHelpTexts) {
  struct Help {
    const char* name;
    const char* text;
    bool whole;
  };
  const Help cases[] = {
      {"Annotation",
       "Specify a descriptive comment or description for the Kestrion\n   object. Annotation can "
       "be used to link a URL or filename to a \n   Kestrion object.",
       true},
      {"AnnotationFull", "Full annotation with tags", true},
      {"ID", "Indicate an ID for the ksmodel component object.", true},
      {"Name", "Property to identify a Kestrion object.", false},
      {"Notes", "Notes can be used to describe a Kestrion object.", true},
      {"Parent", "Property that indicates the parent object for a Kestrion object.", false},
      {"Tag", "Property to specify a label associated with a Kestrion object.", false},
      {"Type", "Indicate a Kestrion object type.", false},
      {"UserData",
       "Property to specify data that you want to associate with\n   a Kestrion object. The object "
       "does not use this data directly,\n   but you can access it using the function get or dot "
       "notation.",
       true},
      {"PartiallyQualifiedName", "This is an unsupported property and should not be used.", true},
  };
  OBClass* cls = getModelComponentOBClass();
  for (const Help& c : cases) {
    const std::string help = cls->getProperty(c.name)->getDescription();
    if (c.whole) {
      EXPECT_EQ(help, c.text) << c.name;
    } else {
      EXPECT_EQ(help.substr(0, std::strlen(c.text)), c.text) << c.name;
      EXPECT_GT(help.size(), std::strlen(c.text)) << c.name;
    }
  }
  OBPropInfo* made[] = {newNamePropInfo(), newIDPropInfo(), newNotesPropInfo(), newTagPropInfo(),
                        newParentPropInfo()};
  for (OBPropInfo* prop : made) {
    EXPECT_STREQ(prop->getDescription(), cls->getProperty(prop->getName())->getDescription())
        << prop->getName();
    delete prop;
  }
}

TEST_F(BindingTest, PropertyValuePairsReportTheFirstFailure) {
  OBInterface* o = make();
  struct Case {
    std::vector<qxArray*> args;
    std::string expected;
  } cases[] = {
      {{}, ""},
      {{host_.str("Notes"), host_.str("x")}, ""},
      {{host_.str("Notes")}, "A property was passed in with no corresponding value."},
      {{host_.str("Bogus"), host_.num(1)}, "There is no 'Bogus' property in the 'TestThing' class."},
      {{host_.str("Name"), host_.str("a]")},
       "Invalid name for Kestrion object: 'a]'. Name cannot contain brackets."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(applyPropertyValuePairs(o, static_cast<int>(c.args.size()), 0, c.args.data()),
              c.expected);
  }
  EXPECT_EQ(applyPropertyValuePairs(nullptr, 2, 0, cases[1].args.data()), "");
}

TEST_F(BindingTest, CreationWithBadPairsRaisesAndLeavesNothing) {
  const HostHealth before = TestHost::health();
  auto error = TestHost::errorOf([&] { host_.construct("Kestrion.TestThing", {host_.str("Bogus"), host_.num(1)}); });
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->id, "Kestrion:KSTR_INVALID_PVPAIR");
  EXPECT_EQ(error->message,
            "An error occurred while configuring the PV pairs.\nThere is no 'Bogus' property in "
            "the 'TestThing' class.");
  EXPECT_EQ(TestHost::health().instances, before.instances);
}

TEST_F(BindingTest, HelpFindsPropertiesIgnoringCase) {
  OBInterface* o = make();
  host_.call(o, "help", {host_.str("nOtEs")});
  EXPECT_TRUE(host_.warnings().empty());
  host_.call(o, "help", {host_.str("Bogus")});
  ASSERT_EQ(host_.warnings().size(), 1u);
  EXPECT_EQ(host_.warnings()[0].id, "Kestrion:HELP_INVALID_PROPERTY");
  EXPECT_EQ(host_.warnings()[0].text, "Warning: Invalid property 'Bogus'.");
}

TEST_F(BindingTest, HelpGoesToTheDesktopWhenJavaRuns) {
  OBInterface* o = make();
  svTestSetJava(true);
  host_.call(o, "help", {host_.str("Name")});
  svTestSetJava(false);
  auto services = jpiTestObjectsOfClass("kestridesk.util.KstrHelpServices");
  ASSERT_EQ(services.size(), 1u);
  ASSERT_FALSE(services[0]->calls.empty());
  EXPECT_EQ(services[0]->calls.back().method, "printHelp");
}

TEST_F(BindingTest, CompareIgnoresIdAndParentOnly) {
  OBInterface* a = make({host_.str("Name"), host_.str("A")});
  OBInterface* b = make({host_.str("Name"), host_.str("A")});
  host_.set(a, "UserData", host_.num(1));
  host_.set(b, "UserData", host_.num(1));
  auto same = host_.call(a, "compare", {host_.handle(b)}, 1);
  EXPECT_TRUE(qxGetLogicals(same[0])[0]);
  host_.set(b, "Notes", host_.str("different"));
  auto differ = host_.call(a, "compare", {host_.handle(b)}, 1);
  EXPECT_FALSE(qxGetLogicals(differ[0])[0]);
  host_.set(a, "Notes", host_.str("different"));
  host_.set(b, "UserData", host_.num(2));
  EXPECT_FALSE(qxGetLogicals(host_.call(a, "compare", {host_.handle(b)}, 1)[0])[0]);
}

TEST_F(BindingTest, ComponentWithAnAnnotationComparesEqualToItself) {
  // "AnnotationFull" is read from both sides while the first read is held.
  OBInterface* a = make({host_.str("Name"), host_.str("A")});
  host_.set(a, "Annotation", host_.str("<rdf>kept</rdf>"));
  EXPECT_TRUE(qxGetLogicals(host_.call(a, "compare", {host_.handle(a)}, 1)[0])[0]);
  EXPECT_EQ(host_.getString(a, "AnnotationFull", true), "<annotation><rdf>kept</rdf></annotation>");
}

TEST_F(BindingTest, CopyIsRefusedAndRenameRenames) {
  OBInterface* o = make({host_.str("Name"), host_.str("A")});
  auto error = TestHost::errorOf([&] { host_.call(o, "copy", {}); });
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->id, "Kestrion:KS_COPY_INVALID_METHOD");
  EXPECT_EQ(error->message, "Invalid method. Use the copyobj method instead.");

  host_.clearLogs();
  host_.call(o, "rename", {host_.str("B")});
  EXPECT_EQ(host_.getString(o, "Name"), "B");
  bool nameEvent = false;
  for (const auto& e : host_.postSetEvents()) nameEvent = nameEvent || e.propName == "Name";
  EXPECT_TRUE(nameEvent);
  EXPECT_EQ(TestHost::errorOf([&] { host_.call(o, "rename", {host_.str("time")}); })->id,
            "Kestrion:InvalidComponentName");
}

TEST_F(BindingTest, PrivateIsValidUnitAnswersALogicalRow) {
  auto one = host_.callStatic("Kestrion.TestThing", "privateisvalidunit", {host_.str("mole")});
  ASSERT_EQ(qxGetM(one[0]), 1u);
  ASSERT_EQ(qxGetN(one[0]), 1u);
  EXPECT_TRUE(qxGetLogicals(one[0])[0]);
  auto three = host_.callStatic("Kestrion.TestThing", "privateisvalidunit",
                                {host_.cell({host_.str("mole"), host_.str("foo"), host_.str("liter")})});
  ASSERT_EQ(qxGetN(three[0]), 3u);
  EXPECT_TRUE(qxGetLogicals(three[0])[0]);
  EXPECT_FALSE(qxGetLogicals(three[0])[1]);
  EXPECT_TRUE(qxGetLogicals(three[0])[2]);
}

TEST_F(BindingTest, ObjectTypeHelpers) {
  OBInterface* o = make();
  EXPECT_STREQ(getKestrionObjectType(o), "species");
  EXPECT_EQ(getKestrionObjectEnumType(o), kstr::species);
  EXPECT_EQ(getKestrionObjectEnumType(nullptr), kstr::not_a_component);
  OBInterface* foreign = foreignClass()->createInstance(OBDatabaseClient::getInternalClient());
  EXPECT_EQ(getKestrionObjectEnumType(foreign), kstr::not_a_component);
  EXPECT_EQ(getKestrionObjectType(foreign), nullptr);
  foreign->destroy(OBDatabaseClient::getInternalClient());
  foreign->releaseReference();
}

TEST_F(BindingTest, HandleVectorHelpers) {
  OBInterface* a = make({host_.str("Name"), host_.str("A")});
  OBInterface* b = make({host_.str("Name"), host_.str("B")});
  EXPECT_FALSE(isNameInOBIVector(nullptr, "A"));
  Vector* v = addUniqueToOBIVector(a, nullptr);
  const int refs = a->getReferenceCount();
  addUniqueToOBIVector(a, v);
  EXPECT_EQ(a->getReferenceCount(), refs);
  addToHandleVector(b, v);
  EXPECT_TRUE(isNameInOBIVector(v, "B"));
  EXPECT_FALSE(isNameInOBIVector(v, "C"));
  removeFromHandleVector(a, v);
  removeFromHandleVector(b, v);
  removeFromHandleVector(b, nullptr);
  EXPECT_EQ(publishedHandleVector(v)->size(), 0);
  deleteHandleVector(v);
}

TEST(TrimSpacesCopy, Cases) {
  struct Case {
    const char* in;
    const char* out;
    bool same;
  } cases[] = {{"abc", "abc", true}, {"", "", true}, {"   ", "", false}, {"  a b ", "a b", false},
               {"\ta\t", "\ta\t", true}};
  for (const Case& c : cases) {
    const char* t = trimSpacesCopy(c.in);
    EXPECT_STREQ(t, c.out);
    EXPECT_EQ(t == c.in, c.same) << "'" << c.in << "'";
    releaseTrimmedCopy(c.in, t);
  }
}

}  // namespace
