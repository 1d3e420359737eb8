// The root object.  Every test runs in a process of its own, so each one
// sees the root made for the first time.
#include <gtest/gtest.h>

#include <hb/hb.hpp>
#include <hb/hb_test.hpp>
#include <interp/interp_test.hpp>
#include <ks_utils/Units.hpp>

#include "kinetics/BLibrary.hpp"
#include "kinetics/BUnitWrapper.hpp"
#include "model/BQuorvixRoot.hpp"
#include "model/Kelbor.hpp"

namespace {

size_t tempnameCalls() {
  size_t n = 0;
  for (const auto& call : interpCallLog()) n += call.name == "tempname";
  return n;
}

TEST(Root, MadeOnceWithTempFolderAndCatalog) {
  interpClearCallLog();
  BQuorvixRoot* root = BQuorvixRoot::getInstance();
  EXPECT_EQ(BQuorvixRoot::getInstance(), root);
  EXPECT_EQ(tempnameCalls(), 1u);
  EXPECT_EQ(root->getTempDir(), interpLastTempName());
  EXPECT_FALSE(root->getTempDir().empty());
  // The catalog is registered: a code finds its text.
  EXPECT_STREQ(hbLookupMessage(0x400001),
               "The Kestrion java desktop code cannot be found. Check your classpath.txt file "
               "for kestri.jar and dsk.jar.");
  EXPECT_STREQ(root->getType(), "kstrroot");
}

TEST(Root, FailingTempnameLeavesTheFolderEmpty) {
  // The folder is asked for when the root is made: start from no root.
  BQuorvixRoot::destroyInstance();
  interpTestSetTempnameFails(true);
  EXPECT_EQ(BQuorvixRoot::getInstance()->getTempDir(), "");
  interpTestSetTempnameFails(false);
  BQuorvixRoot::destroyInstance();
}

TEST(Root, LibrariesAndLookups) {
  BQuorvixRoot* root = BQuorvixRoot::getInstance();
  EXPECT_EQ(root->getLibrary(5), root->getLibrary(1));
  EXPECT_EQ(root->getLibrary(-1), root->getLibrary(1));
  EXPECT_NE(root->getLibrary(0), root->getLibrary(1));
  EXPECT_STREQ(BQuorvixRoot::getLibraryName(0), "builtin");
  EXPECT_STREQ(BQuorvixRoot::getLibraryName(1), "user");
  EXPECT_EQ(BQuorvixRoot::getLibraryName(2), nullptr);

  // The builtin library holds the unit manager's units and prefixes in its
  // order.
  size_t units = 0;
  for (const auto& group : getUnitManagerApiFcn()->getUnitNameLists()) units += group.size();
  EXPECT_EQ(root->getLibrary(0)->getUnits().size(), units);
  EXPECT_EQ(root->getLibrary(0)->getUnitPrefixes().size(),
            getUnitManagerApiFcn()->getPrefixService()->getPrefixNames().size());

  struct Case {
    int kind;
    const char* name;
    int expected;
  } cases[] = {{0, "mole", 0}, {1, "milli", 0}, {0, "milli", -1}, {2, "mole", -1}, {3, "mole", -1}};
  for (const Case& c : cases) {
    EXPECT_EQ(root->findLibraryIndex(c.kind, c.name), c.expected) << c.kind << " " << c.name;
  }
  // A name in both libraries is found in the builtin one first.
  static BUnitWrapper userMole(getUnitManagerApiFcn()->getUnit("mole"));
  root->getLibrary(1)->addUnit(&userMole);
  EXPECT_EQ(root->findLibraryIndex(0, "mole"), 0);
}

TEST(Root, ModelsAndDisplay) {
  BQuorvixRoot* root = BQuorvixRoot::getInstance();
  Kelbor m1, m2;
  root->addModel(&m1);
  root->addModel(&m2);
  root->addModel(&m1);
  root->removeModel(&m1);
  ASSERT_EQ(root->getModels().size(), 2u);
  EXPECT_EQ(root->getModels()[0], &m2);
  EXPECT_EQ(root->getModels()[1], &m1);
  root->removeModel(&m1);
  root->removeModel(&m2);

  hbTestSetEcho(false);
  hbTestClearPrinted();
  root->display();
  const std::string expected =
      "\n   Kestrion Root Contains:\n\n"
      "    Models:                           0\n"
      "    Builtin Abstract Kinetic Laws:    0\n"
      "    User Abstract Kinetic Laws:       0\n"
      "    Builtin Units:                    " +
      std::to_string(root->getLibrary(0)->getUnits().size()) +
      "\n"
      "    User Units:                       " +
      std::to_string(root->getLibrary(1)->getUnits().size()) +
      "\n"
      "    Builtin Unit Prefixes:            " +
      std::to_string(root->getLibrary(0)->getUnitPrefixes().size()) +
      "\n"
      "    User Unit Prefixes:               0\n\n";
  EXPECT_EQ(hbTestPrinted(), expected);
}

}  // namespace
