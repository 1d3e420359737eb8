// The variant and dose methods of "Model" (addvariant, removevariant,
// getvariant, adddose, removedose, getdose) and the restore of "Variants"
// and "Doses".
#include "ModelHostFixture.hpp"

namespace {

class ModelVariantDoseTest : public ModelHostTest {
 protected:
  OBInterface* subModelOf(OBInterface* parent, const char* name) {
    OBInterface* sub = model(name);
    host().set(sub, "Parent", host().handle(parent), true);
    return sub;
  }
  static bool active(OBInterface* instance) {
    const KelborComponent* c = componentOf(instance);
    if (auto* v = dynamic_cast<const Variant*>(c)) return v->getActive();
    return dynamic_cast<const Dose*>(c)->getActive();
  }
};

// --- variants ------------------------------------------------------------------------------

TEST_F(ModelVariantDoseTest, AddVariantByNameAttachesAnInactiveVariant) {
  OBInterface* m = model("m");
  OBInterface* v = add(m, "addvariant", {host().str("v1")});
  ASSERT_NE(v, nullptr);
  EXPECT_STREQ(v->getClass()->getName(), "Variant");
  EXPECT_EQ(nameOf(v), "v1");
  EXPECT_FALSE(active(v));
  EXPECT_EQ(v->getUp(), m);
  EXPECT_EQ(componentOf(v)->getOBIParent(), m);
  EXPECT_EQ(componentOf(v)->getParent(), kelbor(m));
  EXPECT_EQ(kelbor(m)->getVariant("v1"), componentOf(v));
  EXPECT_EQ(handlesOf(host().get(m, "Variants")), std::vector<OBInterface*>{v});
}

TEST_F(ModelVariantDoseTest, AddVariantByHandleAttachesAnInactiveCopy) {
  OBInterface* m = model("m");
  OBInterface* given = host().construct("Variant", {host().str("v1")});
  host().set(given, "Active", host().logical(true));
  ASSERT_TRUE(active(given));
  OBInterface* copy = add(m, "addvariant", {host().handle(given)});
  EXPECT_NE(copy, given);
  EXPECT_EQ(nameOf(copy), "v1");
  EXPECT_FALSE(active(copy));
  EXPECT_TRUE(active(given));
  EXPECT_EQ(given->getUp(), nullptr);
  EXPECT_EQ(kelbor(m)->getVariant("v1"), componentOf(copy));
}

TEST_F(ModelVariantDoseTest, AddVariantRefusals) {
  OBInterface* m = model("m");
  OBInterface* sub = subModelOf(m, "sub");
  add(m, "addvariant", {host().str("v1")});
  const size_t instances = OBInterface::liveCount();
  expectHostError([&] { host().call(m, "addvariant", {host().str("v1")}, 1); }, "Kestrion:VariantWithNameExists",
                  "A variant with that name already exists on the model. Variant names must be unique on a model.");
  expectHostError([&] { host().call(sub, "addvariant", {host().str("v2")}, 1); },
                  "Kestrion:VariantObjectsAddOnTopLevelModel",
                  "Kestrion variant objects can only be added to top-level models.");
  EXPECT_EQ(OBInterface::liveCount(), instances);
  EXPECT_EQ(kelbor(m)->getNumVariants(), 1u);
}

TEST_F(ModelVariantDoseTest, RemoveVariantByNameAndByHandle) {
  OBInterface* m = model("m");
  OBInterface* v1 = add(m, "addvariant", {host().str("v1")});
  OBInterface* v2 = add(m, "addvariant", {host().str("v2")});
  EXPECT_EQ(objectOf(host().call(m, "removevariant", {host().str("v1")}, 1)[0]), v1);
  EXPECT_EQ(v1->getUp(), nullptr);
  EXPECT_EQ(componentOf(v1)->getOBIParent(), nullptr);
  EXPECT_EQ(componentOf(v1)->getParent(), nullptr);
  EXPECT_EQ(objectOf(host().call(m, "removevariant", {host().handle(v2)}, 1)[0]), v2);
  EXPECT_EQ(kelbor(m)->getNumVariants(), 0u);
  EXPECT_TRUE(v1->isValid());
  EXPECT_TRUE(v2->isValid());
}

TEST_F(ModelVariantDoseTest, RemovingAVariantThatIsNotThereWarns) {
  OBInterface* m = model("m");
  OBInterface* other = model("other");
  OBInterface* foreign = add(other, "addvariant", {host().str("v1")});
  add(m, "addvariant", {host().str("v1")});
  for (qxArray* which : {host().str("none"), host().handle(foreign), host().handle(nullptr)}) {
    host().clearLogs();
    EXPECT_TRUE(host().call(m, "removevariant", {which}, 0).empty());
    EXPECT_EQ(warningIds(), std::vector<std::string>{"Kestrion:RemoveVariantDoesNotExist"});
    EXPECT_EQ(host().warnings()[0].text, "Warning: This variant does not exist on the model.");
  }
  EXPECT_EQ(kelbor(m)->getNumVariants(), 1u);
  EXPECT_EQ(foreign->getUp(), other);
  OBInterface* sub = subModelOf(m, "sub");
  expectHostError([&] { host().call(sub, "removevariant", {host().str("v1")}, 1); },
                  "Kestrion:VariantObjectsRemoveOnTopLevelModel",
                  "Kestrion variant objects can only be removed from top-level models.");
}

TEST_F(ModelVariantDoseTest, GetVariantOneOrAll) {
  OBInterface* m = model("m");
  EXPECT_TRUE(qxIsEmpty(host().call(m, "getvariant", {}, 1)[0]));
  OBInterface* v1 = add(m, "addvariant", {host().str("v1")});
  OBInterface* v2 = add(m, "addvariant", {host().str("v2")});
  host().clearLogs();
  EXPECT_EQ(objectOf(host().call(m, "getvariant", {host().str("v2")}, 1)[0]), v2);
  EXPECT_TRUE(qxIsEmpty(host().call(m, "getvariant", {host().str("none")}, 1)[0]));
  EXPECT_TRUE(host().warnings().empty());
  EXPECT_EQ(handlesOf(host().call(m, "getvariant", {}, 1)[0]), (std::vector<OBInterface*>{v1, v2}));
  OBInterface* sub = subModelOf(m, "sub");
  expectHostError([&] { host().call(sub, "getvariant", {}, 1); }, "Kestrion:VariantObjectsOnTopLevelModel",
                  "Variant objects can only be retrieved from top-level models.");
}

// --- doses -----------------------------------------------------------------------------------

TEST_F(ModelVariantDoseTest, AddDoseByNameByTypeAndByHandle) {
  OBInterface* m = model("m");
  OBInterface* repeat = add(m, "adddose", {host().str("d1")});
  EXPECT_STREQ(repeat->getClass()->getName(), "RepeatDose");
  EXPECT_FALSE(active(repeat));
  EXPECT_EQ(repeat->getUp(), m);
  EXPECT_EQ(componentOf(repeat)->getParent(), kelbor(m));
  OBInterface* schedule = add(m, "adddose", {host().str("d2"), host().str("Schedule")});
  EXPECT_STREQ(schedule->getClass()->getName(), "ScheduleDose");
  OBInterface* explicitRepeat = add(m, "adddose", {host().str("d3"), host().str("REPEAT")});
  EXPECT_STREQ(explicitRepeat->getClass()->getName(), "RepeatDose");
  OBInterface* given = host().construct("ScheduleDose", {host().str("d4")});
  OBInterface* copy = add(m, "adddose", {host().handle(given)});
  EXPECT_NE(copy, given);
  EXPECT_STREQ(copy->getClass()->getName(), "ScheduleDose");
  EXPECT_FALSE(active(copy));
  EXPECT_EQ(handlesOf(host().get(m, "Doses")), (std::vector<OBInterface*>{repeat, schedule, explicitRepeat, copy}));
}

TEST_F(ModelVariantDoseTest, AddDoseRefusals) {
  OBInterface* m = model("m");
  OBInterface* sub = subModelOf(m, "sub");
  add(m, "adddose", {host().str("d1")});
  const size_t instances = OBInterface::liveCount();
  expectHostError([&] { host().call(m, "adddose", {host().str("d2"), host().str("bolus")}, 1); },
                  "Kestrion:ADDDOSE_INVALID_TYPE", "Invalid TYPE. TYPE must be either 'repeat' or 'schedule'.");
  expectHostError([&] { host().call(m, "adddose", {host().str("d1")}, 1); }, "Kestrion:DOSE_WITH_NAME_EXISTS");
  expectHostError([&] { host().call(sub, "adddose", {host().str("d3")}, 1); }, "Kestrion:DOSE_ADD_ON_TOP_LEVEL_MODEL",
                  "Kestrion dose objects can only be added to top-level models.");
  EXPECT_EQ(OBInterface::liveCount(), instances);
  EXPECT_EQ(kelbor(m)->getNumDoses(), 1u);
}

TEST_F(ModelVariantDoseTest, RemoveAndGetDoses) {
  OBInterface* m = model("m");
  OBInterface* other = model("other");
  OBInterface* d1 = add(m, "adddose", {host().str("d1")});
  OBInterface* d2 = add(m, "adddose", {host().str("d2")});
  OBInterface* foreign = add(other, "adddose", {host().str("d1")});
  EXPECT_EQ(objectOf(host().call(m, "getdose", {host().str("d2")}, 1)[0]), d2);
  EXPECT_EQ(handlesOf(host().call(m, "getdose", {}, 1)[0]), (std::vector<OBInterface*>{d1, d2}));
  host().clearLogs();
  EXPECT_TRUE(host().call(m, "removedose", {host().handle(foreign)}, 0).empty());
  EXPECT_EQ(warningIds(), std::vector<std::string>{"Kestrion:REMOVEDOSE_DOES_NOT_EXIST"});
  EXPECT_EQ(objectOf(host().call(m, "removedose", {host().str("d1")}, 1)[0]), d1);
  EXPECT_EQ(d1->getUp(), nullptr);
  EXPECT_EQ(objectOf(host().call(m, "removedose", {host().handle(d2)}, 1)[0]), d2);
  EXPECT_TRUE(qxIsEmpty(host().call(m, "getdose", {}, 1)[0]));
  OBInterface* sub = model("sub");
  host().set(sub, "Parent", host().handle(m), true);
  expectHostError([&] { host().call(sub, "getdose", {}, 1); }, "Kestrion:DoseObjectsOnTopLevelModel",
                  "Dose objects can only be retrieved from top-level models.");
  expectHostError([&] { host().call(sub, "removedose", {host().str("d1")}, 1); },
                  "Kestrion:DOSE_REMOVE_ON_TOP_LEVEL_MODEL");
  // Doses are read on sub-models too.
  EXPECT_TRUE(qxIsHandleArray(host().get(sub, "Doses")));
}

// --- restore -----------------------------------------------------------------------------------

TEST_F(ModelVariantDoseTest, VariantsAndDosesRestore) {
  OBInterface* m = model("m");
  OBInterface* v = host().construct("Variant", {host().str("v")});
  OBInterface* d = host().construct("RepeatDose", {host().str("d")});
  host().set(m, "Variants", host().handles({v}), true);
  host().set(m, "Doses", host().handles({d}), true);
  EXPECT_EQ(kelbor(m)->getVariant("v"), componentOf(v));
  EXPECT_EQ(kelbor(m)->getDose("d"), componentOf(d));
  EXPECT_EQ(componentOf(v)->getOBIParent(), m);
  EXPECT_EQ(componentOf(d)->getParent(), kelbor(m));
  EXPECT_EQ(v->getUp(), m);
  OBInterface* other = model("other");
  expectHostError([&] { host().set(other, "Variants", host().handles({v}), true); },
                  "Kestrion:InvalidPropertyValue");
  EXPECT_EQ(kelbor(other)->getNumVariants(), 0u);
}

}  // namespace
