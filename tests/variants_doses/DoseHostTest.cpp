// The host classes "Dose", "ScheduleDose" and "RepeatDose" as a user's
// script reaches them, and the listing of every variant and dose class.
#include "VariantDoseFixture.hpp"

#include <cmath>

#include <obk/OBApplication.hpp>

#include "core/Application.hpp"
#include "reactions/BReaction.hpp"

namespace {

class DoseHostTest : public VariantDoseTest {};

TEST_F(DoseHostTest, CreationWithPairsAndItsRefusals) {
  OBInterface* d = host().construct(
      "ScheduleDose", {host().str("bolus"), host().str("Amount"), host().nums({1, 2}), host().str("Time"),
                       host().nums({0, 8}), host().str("TargetName"), host().str("c1.A"), host().str("Active"),
                       host().logical(true)});
  EXPECT_EQ(dose(d)->getName(), "bolus");
  EXPECT_EQ(host().getString(d, "Type"), "scheduledose");
  EXPECT_TRUE(dose(d)->getActive());
  EXPECT_EQ(host().getString(d, "TargetName"), "c1.A");
  qxArray* amount = host().get(d, "Amount");
  ASSERT_EQ(qxGetNumberOfElements(amount), 2u);
  EXPECT_EQ(qxGetPr(amount)[1], 2);
  EXPECT_EQ(dynamic_cast<ScheduleDose*>(dose(d))->getTime(), (std::vector<double>{0, 8}));

  OBInterface* r = host().construct("RepeatDose", {host().str("daily"), host().str("Interval"), host().num(24),
                                                   host().str("RepeatCount"), host().num(6)});
  EXPECT_EQ(qxGetScalar(host().get(r, "Interval")), 24);
  EXPECT_EQ(qxGetScalar(host().get(r, "RepeatCount")), 6);
  host().set(r, "GroupIndex", host().num(3));
  EXPECT_EQ(qxGetScalar(host().get(r, "GroupIndex")), 3);
  OBInterface* unnamed = host().construct("RepeatDose");
  EXPECT_EQ(dose(unnamed)->getName(), "");

  const size_t instances = OBInterface::liveCount();
  auto error = TestHost::errorOf(
      [&] { host().construct("ScheduleDose", {host().str("bad"), host().str("Amount"), host().nums({1, -1})}); });
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->id, "Kestrion:KSTR_INVALID_PVPAIR");
  const std::string amountMessage =
      "Amount must be a double vector containing values greater than or equal to zero. Values cannot be negative, "
      "inf or NaN.";
  EXPECT_EQ(error->message.substr(error->message.size() - amountMessage.size()), amountMessage);
  expectHostError([&] { host().construct("RepeatDose", {host().str("")}); }, "Kestrion:DOSE_MUST_HAVE_NAME");
  expectHostError([&] { host().construct("RepeatDose", {host().str("r"), host().str("RepeatCount"), host().num(-2)}); },
                  "Kestrion:KSTR_INVALID_PVPAIR");
  expectHostError([&] { host().construct("Dose", {host().str("abstract")}); }, "obk:CannotConstruct");
  EXPECT_EQ(OBInterface::liveCount(), instances);

  // Bad values through the properties leave the old ones.
  expectHostError([&] { host().set(r, "Amount", host().num(std::nan(""))); }, "Kestrion:REPEATDOSE_INVALID_AMOUNT");
  expectHostError([&] { host().set(d, "Rate", host().nums({1, INFINITY})); }, "Kestrion:SCHEDULEDOSE_INVALID_RATE");
  expectHostError([&] { host().set(d, "TimeUnits", host().str("mole")); }, "Kestrion:DOSE_INVALID_TIMEUNITS",
                  "Invalid TimeUnits.");
  EXPECT_EQ(qxGetScalar(host().get(r, "Amount")), 0);
}

TEST_F(DoseHostTest, ResolveTargetAndDurationParameter) {
  OBInterface* m = smallModel();
  OBInterface* other = smallModel("other");
  OBInterface* d = one(m, "adddose", {host().str("d")});
  host().set(d, "TargetName", host().str("c1.B"));
  host().set(d, "DurationParameterName", host().str("k2"));
  EXPECT_EQ(one(d, "resolvetarget", {host().handle(nullptr)}), find(m, "B", kstr::species));
  EXPECT_EQ(one(d, "resolvetarget", {host().handle(other)}), find(other, "B", kstr::species));
  EXPECT_EQ(one(d, "resolvedurationparameter", {host().handle(nullptr)}), find(m, "k2", kstr::parameter));
  host().set(d, "TargetName", host().str("Z"));
  EXPECT_EQ(one(d, "resolvetarget", {host().handle(nullptr)}), nullptr);
  // A dose on no model resolves nothing.
  OBInterface* loose = host().construct("RepeatDose", {host().str("loose"), host().str("TargetName"), host().str("A")});
  EXPECT_EQ(one(loose, "resolvetarget", {host().handle(nullptr)}), nullptr);
  EXPECT_EQ(one(loose, "resolvedurationparameter", {host().handle(nullptr)}), nullptr);
}

TEST_F(DoseHostTest, UsagesOfComponents) {
  OBInterface* m = smallModel();
  one(m, "addreaction", {host().str("A -> B")});
  OBInterface* d = one(m, "adddose", {host().str("d")});
  host().set(d, "TargetName", host().str("A"));
  host().set(d, "DurationParameterName", host().str("k1"));
  auto usages = [&](OBInterface* used) {
    qxArray* out = host().call(d, "privategetusages", {host().handle(used)}, 1).at(0);
    std::vector<std::string> texts;
    for (size_t i = 0; i < qxGetNumberOfElements(out); ++i) texts.push_back(qxArrayToStdString(qxGetCell(out, i)));
    return texts;
  };
  EXPECT_EQ(usages(find(m, "A", kstr::species)), std::vector<std::string>{"TargetName"});
  EXPECT_EQ(usages(find(m, "k1", kstr::parameter)), std::vector<std::string>{"DurationParameterName"});
  EXPECT_TRUE(usages(find(m, "B", kstr::species)).empty());
  OBInterface* reaction = kelbor(m)->getReactionAt(0)->getOBI();
  host().set(d, "TargetName", host().str(kelbor(m)->getReactionAt(0)->getName().c_str()));
  EXPECT_TRUE(usages(reaction).empty());
  host().set(d, "TargetName", host().str("A"));
  EXPECT_EQ(kelbor(m)->getComponentReferences(componentOf(find(m, "A", kstr::species))),
            std::vector<const KelborComponent*>{dose(d)});
  // A component in no model is referenced by nothing.
  OBInterface* loose = host().construct("Species", {host().str("A")});
  EXPECT_TRUE(usages(loose).empty());
  EXPECT_FALSE(dose(d)->isComponentReferenced(componentOf(loose)));
}

TEST_F(DoseHostTest, DisplayAndCopy) {
  OBInterface* m = smallModel();
  OBInterface* other = smallModel("other");
  OBInterface* d1 = one(m, "adddose", {host().str("d1"), host().str("schedule")});
  OBInterface* d2 = one(m, "adddose", {host().str("d2")});
  host().set(d1, "Time", host().nums({0, 1}));
  hbTestClearPrinted();
  host().call("display", {host().handles({d1, d2})});
  EXPECT_EQ(hbTestPrinted(),
            "\n   Kestrion Dose Array\n\n   Index:    Name:    Type:\n"
            "   1         d1       schedule\n"
            "   2         d2       repeat\n\n");
  hbTestClearPrinted();
  host().call(d2, "display");
  EXPECT_NE(hbTestPrinted().find("   1         d2       repeat\n"), std::string::npos);

  OBInterface* copy = one(d1, "copyobj", {host().handle(other)});
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->getUp(), other);
  EXPECT_EQ(kelbor(other)->getDose("d1"), dose(copy));
  EXPECT_EQ(dose(copy)->getParent(), kelbor(other));
  EXPECT_EQ(dynamic_cast<ScheduleDose*>(dose(copy))->getTime(), (std::vector<double>{0, 1}));
  expectHostError([&] { host().call(d1, "copyobj", {host().handle(other)}, 1); }, "Kestrion:DOSE_WITH_NAME_EXISTS",
                  "A dose with that name already exists on the model. Dose names must be unique on a model.");
  expectHostError([&] { host().call(d2, "copyobj", {host().handle(find(m, "c1", kstr::compartment))}, 1); },
                  "Kestrion:COPYOBJ_INVALIDARG");
  // A whole model copy takes its variants and doses along.
  host().call(one(m, "addvariant", {host().str("v")}), "addcontent", {entry("parameter", "k1", "Value", 2)});
  OBInterface* whole = one(m, "copyobj", {});
  ASSERT_NE(whole, nullptr);
  EXPECT_EQ(kelbor(whole)->getNumDoses(), 2u);
  ASSERT_EQ(kelbor(whole)->getNumVariants(), 1u);
  EXPECT_EQ(kelbor(whole)->getVariantAt(0)->getNumEntries(), 1u);
  // Deleting a dose takes it off its model.
  host().destroy(d2);
  EXPECT_EQ(kelbor(m)->getNumDoses(), 1u);
}

// Every class of variants and doses is registered with all its properties
// and methods.
TEST_F(DoseHostTest, ClassesListTheirPropertiesAndMethods) {
  struct ClassRow {
    const char* name;
    const char* super;
    std::vector<std::string> properties;
    std::vector<std::string> methods;
  };
  const std::vector<std::string> doseProperties = {"Active", "Annotation", "Name", "Notes", "Parent", "Tag", "Type",
                                                   "UserData", "AmountUnits", "DurationParameterName", "RateUnits",
                                                   "TargetName", "TimeUnits", "GroupIndex"};
  const std::vector<std::string> doseMethods = {"help", "copy", "resolvetarget", "resolvedurationparameter",
                                                "display", "privategetusages", "copyobj"};
  auto with = [](std::vector<std::string> own, const std::vector<std::string>& inherited) {
    own.insert(own.end(), inherited.begin(), inherited.end());
    return own;
  };
  const ClassRow rows[] = {
      {"Variant", "",
       {"Active", "Annotation", "Content", "Name", "Notes", "Parent", "Tag", "Type", "UserData"},
       {"addcontent", "rmcontent", "display", "help", "copy", "verify", "commit", "copyobj", "privategetusages"}},
      {"Dose", "", doseProperties, doseMethods},
      {"ScheduleDose", "Dose", with({"Amount", "Rate", "Time"}, doseProperties),
       with({"copyobj"}, {"help", "copy", "resolvetarget", "resolvedurationparameter", "display", "privategetusages"})},
      {"RepeatDose", "Dose", with({"Amount", "Interval", "Rate", "RepeatCount", "StartTime"}, doseProperties),
       with({"copyobj"}, {"help", "copy", "resolvetarget", "resolvedurationparameter", "display", "privategetusages"})},
  };
  for (const ClassRow& row : rows) {
    SCOPED_TRACE(row.name);
    const OBClass* cls = GetQuorvApplication()->findClass(row.name);
    ASSERT_NE(cls, nullptr);
    EXPECT_STREQ(cls->getSuperClass() ? cls->getSuperClass()->getName() : "", row.super);
    std::vector<std::string> properties, methods;
    for (const OBPropInfo* p : cls->getProperties()) properties.push_back(p->getName());
    for (const OBMethodInfo* m : cls->getMethods()) methods.push_back(m->getName());
    EXPECT_EQ(properties, row.properties);
    EXPECT_EQ(methods, row.methods);
  }
  EXPECT_EQ(GetQuorvApplication()->findClass("Variant")->getProperty("Content")->getDescription(),
            std::string("Description for patch."));
}

}  // namespace
