// The message catalog is data: these tests check its shape (row count,
// unique identifiers, ascending codes of one facility), that every text is
// a format that printf can take with the arguments its callers pass, and a
// handful of rows word for word.

#include "model/MessageCatalog.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

// What a printf format asks for.  Only %s, %d and %% are allowed in the
// catalog; anything else after a '%' (flags, widths, other conversions, a
// '%' at the very end) makes the format invalid.
struct FormatScan {
  bool valid = true;
  int strings = 0;
  int integers = 0;
};

FormatScan scanFormat(const char* text) {
  FormatScan scan;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p != '%') continue;
    ++p;
    if (*p == 's') {
      ++scan.strings;
    } else if (*p == 'd') {
      ++scan.integers;
    } else if (*p != '%') {
      scan.valid = false;
      return scan;
    }
  }
  return scan;
}

struct ScanCase {
  const char* text;
  bool valid;
  int strings;
  int integers;
};

TEST(MessageCatalogFormatScanner, AcceptsOnlyStringIntegerAndPercent) {
  const ScanCase cases[] = {
      {"no placeholders", true, 0, 0},
      {"'%s' and '%s'", true, 2, 0},
      {"number %d of %s", true, 1, 1},
      {"100%% sure", true, 0, 0},
      {"%s%%%d", true, 1, 1},
      {"hex %x", false, 0, 0},
      {"width %5s", false, 0, 0},
      {"left %-s", false, 0, 0},
      {"dangling %", false, 0, 0},
      {"%f", false, 0, 0},
  };
  for (const ScanCase& c : cases) {
    const FormatScan scan = scanFormat(c.text);
    EXPECT_EQ(scan.valid, c.valid) << c.text;
    if (c.valid) {
      EXPECT_EQ(scan.strings, c.strings) << c.text;
      EXPECT_EQ(scan.integers, c.integers) << c.text;
    }
  }
}

// Index of a code in the table, or -1.  The codes ascend, so a binary
// search finds them.
long indexOfCode(const MessageTable& table, uint32_t code) {
  const uint32_t* end = table.codes + table.count;
  const uint32_t* it = std::lower_bound(table.codes, end, code);
  if (it == end || *it != code) return -1;
  return it - table.codes;
}

TEST(MessageCatalog, ShapeCodesIdentifiersAndFormats) {
  const MessageTable& table = kstr::getMessageCatalog();
  ASSERT_EQ(table.count, 426u);
  ASSERT_EQ(kstr::kMessageCount, 426u);
  EXPECT_EQ(table.facility, 0x40u);
  ASSERT_NE(table.codes, nullptr);
  ASSERT_NE(table.ids, nullptr);
  ASSERT_NE(table.texts, nullptr);

  std::set<std::string> identifiers;
  int strings = 0;
  int integers = 0;
  int warnings = 0;
  for (uint32_t i = 0; i < table.count; ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i);
    ASSERT_NE(table.ids[i], nullptr);
    ASSERT_NE(table.texts[i], nullptr);
    EXPECT_TRUE(identifiers.insert(table.ids[i]).second)
        << "duplicate identifier " << table.ids[i];
    EXPECT_EQ(table.codes[i] >> 16, 0x40u) << table.ids[i];
    if (i > 0) {
      EXPECT_LT(table.codes[i - 1], table.codes[i]) << table.ids[i];
    }
    EXPECT_GT(std::strlen(table.texts[i]), 0u) << table.ids[i];

    const FormatScan scan = scanFormat(table.texts[i]);
    EXPECT_TRUE(scan.valid) << table.ids[i] << ": " << table.texts[i];
    strings += scan.strings;
    integers += scan.integers;
    if (std::strncmp(table.texts[i], "Warning: ", 9) == 0) ++warnings;
  }
  RecordProperty("string_placeholders", strings);
  RecordProperty("integer_placeholders", integers);
  RecordProperty("warnings", warnings);
  EXPECT_EQ(strings, 231);
  EXPECT_EQ(integers, 13);
  EXPECT_EQ(warnings, 101);

  EXPECT_EQ(table.codes[0], 0x400001u);
  EXPECT_STREQ(table.ids[0], "KS_DesktopCodeNotFound");
  EXPECT_EQ(table.codes[table.count - 1], 0x400262u);
  EXPECT_STREQ(table.ids[table.count - 1], "KS_SBML_NAME_REPLACED");
  EXPECT_EQ(indexOfCode(table, 0x400006), -1);
  EXPECT_EQ(indexOfCode(table, 0x4001a3), -1);
  EXPECT_EQ(indexOfCode(table, 0x400000), -1);
}

// The enumeration, the identifier array and the code array come from the
// same rows; check that each enumerator names the row it should.
TEST(MessageCatalog, EnumeratorsMatchTableRows) {
  const MessageTable& table = kstr::getMessageCatalog();
  struct Row {
    kstr::MessageCode code;
    const char* id;
  };
  const Row rows[] = {
#define KSTR_MESSAGE(id, code, text) {kstr::MessageCode::id, #id},
#include "model/MessageCatalog.def"
  };
  ASSERT_EQ(sizeof(rows) / sizeof(rows[0]), table.count);
  for (uint32_t i = 0; i < table.count; ++i) {
    EXPECT_EQ(kstr::code(rows[i].code), table.codes[i]) << rows[i].id;
    EXPECT_STREQ(rows[i].id, table.ids[i]);
  }
  EXPECT_EQ(kstr::code(kstr::MessageCode::KS_MallocError), 0x400004u);
  EXPECT_EQ(kstr::code(kstr::MessageCode::KS_MsgTableInitError), 0x400005u);
  EXPECT_EQ(kstr::code(kstr::MessageCode::KS_EVENT_TRIGGER_EMPTY), 0x400007u);
  EXPECT_EQ(kstr::code(kstr::MessageCode::SBML_HARD_READ_ERROR), 0x400156u);
  EXPECT_EQ(&kstr::getMessageCatalog(), &table);
}

struct ExactText {
  uint32_t code;
  const char* id;
  const char* text;
};

TEST(MessageCatalog, RowsWordForWord) {
  const ExactText cases[] = {
      {0x400001, "KS_DesktopCodeNotFound",
       "The Kestrion java desktop code cannot be found. Check your "
       "classpath.txt file for kestri.jar and dsk.jar."},
      {0x400020, "KS_MODELCOMPONENT_NAME_CANNOT_CONTAIN_BRACKETS",
       "Invalid name for Kestrion object: '%s'. Name cannot contain brackets."},
      {0x400022, "KS_HELP_INVALIDPROPERTY", "Warning: Invalid property '%s'."},
      {0x400025, "KS_ADDMODEL_DUPLICATENAME",
       "NAME is being used by another Kestrion model object. Specify a "
       "different NAME. \nType 'help Kestrion.Model.addmodel' for more "
       "information."},
      {0x4000a9, "KS_AKL_IN_USE_CANNOT_BE_REMOVED",
       "Warning: The kinetic law named '%s' is being used by reaction kinetic "
       "law(s),\n and cannot be deleted. Type the following command to find "
       "kinetic laws using it.\n klusedby = "
       "kstrselect('Type','kineticlaw','KineticLawName','%s')"},
      {0x4000d6, "KS_INVALID_PVPAIR_MSG",
       "An error occurred while configuring the PV pairs.\n%s"},
      {0x400132, "KS_REMOVEDOSE_DOES_NOT_EXIST",
       "Warning: This dose does not exist on the model."},
      {0x400150, "KS_ActiveCSNowDefault",
       "Warning: The active configuration set was removed.\n The default "
       "configuration set is now active."},
      {0x400153, "KS_OutOfContextSensInputOutput",
       "Warning: You are trying to add a %s named '%s' that does not exist\n "
       "in this model's hierarchy to the %s property. All elements of this "
       "property\n must exist in the model that holds this configuration "
       "set.\n The %s will not be added."},
      {0x400193, "KS_BRACKETED_NAME_UPDATED",
       "Warning: A %s name cannot contain brackets.\n Name will be changed "
       "from '%s' to '%s'."},
  };
  const MessageTable& table = kstr::getMessageCatalog();
  for (const ExactText& c : cases) {
    const long i = indexOfCode(table, c.code);
    ASSERT_GE(i, 0) << std::hex << c.code;
    EXPECT_STREQ(table.ids[i], c.id);
    EXPECT_STREQ(table.texts[i], c.text);
  }
}

// A text with two placeholders formats with the two values its caller
// passes, in order.
TEST(MessageCatalog, FormatsWithCallerArguments) {
  const MessageTable& table = kstr::getMessageCatalog();
  const long i = indexOfCode(
      table, kstr::code(kstr::MessageCode::KS_DUPLICATE_REACTION_NAME_RENAME));
  ASSERT_GE(i, 0);
  std::vector<char> buffer(256);
  const int n = std::snprintf(buffer.data(), buffer.size(), table.texts[i],
                              "r1", "r1_1");
  ASSERT_GT(n, 0);
  EXPECT_STREQ(buffer.data(),
               "Duplicate reaction names are not allowed. Reaction 'r1' will "
               "be renamed to 'r1_1'.");
}

}  // namespace
