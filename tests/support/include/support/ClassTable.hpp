// Checks of a host class's definition as the user sees it: its properties in
// order with their host types, who may set them and their help texts, and
// its method names in order.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <obk/OBClass.hpp>
#include <obk/OBMethodInfo.hpp>
#include <obk/OBPropInfo.hpp>
#include <obk/OBTypes.hpp>

// One property as the user sees it; a null help text is not checked.
struct ClassPropertyRow {
  const char* name;
  const char* type;
  bool userMaySet;
  const char* help = nullptr;
};

// Expects the class's properties, in order, to be the rows.
inline void expectPropertyTable(const OBClass* cls, const std::vector<ClassPropertyRow>& rows) {
  const auto& have = cls->getProperties();
  ASSERT_EQ(have.size(), rows.size());
  for (size_t i = 0; i < have.size(); ++i) {
    SCOPED_TRACE(rows[i].name);
    EXPECT_STREQ(have[i]->getName(), rows[i].name);
    EXPECT_STREQ(have[i]->getDataType(nullptr)->getName(), rows[i].type);
    EXPECT_EQ(have[i]->isExternalSetAccess(), rows[i].userMaySet);
    if (rows[i].help) {
      EXPECT_STREQ(have[i]->getDescription(), rows[i].help);
    }
  }
}

// The names of the class's methods, in order.
inline std::vector<std::string> methodNamesOf(const OBClass* cls) {
  std::vector<std::string> names;
  for (const OBMethodInfo* method : cls->getMethods()) names.push_back(method->getName());
  return names;
}
