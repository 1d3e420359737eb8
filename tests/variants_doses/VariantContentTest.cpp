// A variant's content: the forms it accepts and how it stores them, the
// refusals, and appending and removing entries, through the "Content"
// property and the variant's own operations.
#include "VariantDoseFixture.hpp"

#include <functional>

#include "core/ComponentKind.hpp"

namespace {

class VariantContentTest : public VariantDoseTest {
 public:
  // An m-by-n cell array of the elements in linear order (null leaves an
  // element unset).
  qxArray* cells(size_t m, size_t n, std::initializer_list<qxArray*> elements) {
    qxArray* array = host().own(qxCreateCellMatrix(m, n));
    size_t i = 0;
    for (qxArray* element : elements) {
      if (element) qxSetCell(array, i, qxDuplicateArray(element));
      ++i;
    }
    return array;
  }
  OBInterface* newVariant() { return host().construct("Variant", {host().str("v")}); }
};

struct ContentCase {
  const char* what;
  std::function<qxArray*(VariantContentTest&, OBInterface* other)> content;
  std::vector<std::string> entries;  // expected, when no error
  const char* error;                 // expected identifier, or null
};

TEST_F(VariantContentTest, AcceptedFormsAndRefusals) {
  using T = VariantContentTest;
  const std::vector<std::string> one = {"species|A|InitialAmount|5.000000"};
  const ContentCase cases[] = {
      {"one entry given directly", [](T& t, OBInterface*) { return t.entry("species", "A", "InitialAmount", 5); },
       one, nullptr},
      {"a list of one entry",
       [](T& t, OBInterface*) { return t.host().cell({t.entry("species", "A", "InitialAmount", 5)}); }, one, nullptr},
      {"a row of three entries is stored as a column in the same order",
       [](T& t, OBInterface*) {
         return t.host().cell({t.entry("species", "A", "InitialAmount", 1), t.entry("parameter", "k1", "Value", 2),
                               t.entry("compartment", "c1", "Capacity", 3)});
       },
       {"species|A|InitialAmount|1.000000", "parameter|k1|Value|2.000000", "compartment|c1|Capacity|3.000000"},
       nullptr},
      {"an entry given as a column",
       [](T& t, OBInterface*) {
         return t.cells(4, 1, {t.host().str("species"), t.host().str("A"), t.host().str("InitialAmount"),
                               t.host().num(5)});
       },
       one, nullptr},
      {"four entries that are all cells are four entries",
       [](T& t, OBInterface*) {
         return t.host().cell({t.entry("species", "A", "InitialAmount", 1), t.entry("species", "B", "InitialAmount", 2),
                               t.entry("parameter", "k1", "Value", 3), t.entry("parameter", "k2", "Value", 4)});
       },
       {"species|A|InitialAmount|1.000000", "species|B|InitialAmount|2.000000", "parameter|k1|Value|3.000000",
        "parameter|k2|Value|4.000000"},
       nullptr},
      {"an empty double as name gives an empty name",
       [](T& t, OBInterface*) {
         return t.host().cell({t.host().str("species"), t.host().own(qxCreateDoubleMatrix(0, 0, qxREAL)),
                               t.host().str("InitialAmount"), t.host().num(5)});
       },
       {"species||InitialAmount|5.000000"}, nullptr},
      {"a missing value becomes an empty double",
       [](T& t, OBInterface*) {
         return t.cells(1, 4, {t.host().str("species"), t.host().str("A"), t.host().str("InitialAmount"), nullptr});
       },
       {"species|A|InitialAmount|[]"}, nullptr},
      {"unknown types and properties wait for the commit",
       [](T& t, OBInterface*) { return t.entry("reaction", "r1", "Rate", 1); }, {"reaction|r1|Rate|1.000000"},
       nullptr},
      {"not a cell", [](T& t, OBInterface*) { return t.host().str("species"); }, {},
       "Kestrion:MalformedVariantContent"},
      {"an entry of three values",
       [](T& t, OBInterface*) {
         return t.host().cell({t.host().cell({t.host().str("species"), t.host().str("A"), t.host().num(1)})});
       },
       {}, "Kestrion:MalformedVariantContent"},
      {"an entry of two by two",
       [](T& t, OBInterface*) {
         return t.host().cell({t.cells(2, 2, {t.host().str("species"), t.host().str("A"), t.host().str("InitialAmount"),
                                             t.host().num(1)})});
       },
       {}, "Kestrion:MalformedVariantContent"},
      {"an empty element in the list",
       [](T& t, OBInterface*) {
         return t.host().cell({t.entry("species", "A", "InitialAmount", 1), t.host().cell({})});
       },
       {}, "Kestrion:MalformedVariantContent"},
      {"an element that is no cell",
       [](T& t, OBInterface*) { return t.host().cell({t.entry("species", "A", "InitialAmount", 1), t.host().num(3)}); },
       {}, "Kestrion:MalformedVariantContent"},
      {"a number as type",
       [](T& t, OBInterface*) {
         return t.host().cell({t.host().num(7), t.host().str("A"), t.host().str("InitialAmount"), t.host().num(1)});
       },
       {}, "Kestrion:MalformedVariantType"},
      {"a number as name",
       [](T& t, OBInterface*) {
         return t.host().cell({t.host().str("species"), t.host().num(3), t.host().str("InitialAmount"), t.host().num(1)});
       },
       {}, "Kestrion:MalformedVariantName"},
      {"a number as property",
       [](T& t, OBInterface*) {
         return t.host().cell({t.host().str("species"), t.host().str("A"), t.host().num(1), t.host().num(1)});
       },
       {}, "Kestrion:MalformedVariantProperty"},
      {"an object as value",
       [](T& t, OBInterface* other) {
         return t.host().cell(
             {t.host().str("species"), t.host().str("A"), t.host().str("InitialAmount"), t.host().handle(other)});
       },
       {}, "Kestrion:InvalidObjectInContent"},
  };
  const std::vector<std::string> before = {"parameter|k1|Value|9.000000"};
  for (const ContentCase& c : cases) {
    SCOPED_TRACE(c.what);
    OBInterface* v = newVariant();
    OBInterface* other = host().construct("Variant", {host().str("other")});
    host().set(v, "Content", entry("parameter", "k1", "Value", 9));
    qxArray* content = c.content(*this, other);
    if (c.error) {
      expectHostError([&] { host().set(v, "Content", content); }, c.error);
      EXPECT_EQ(entriesOf(*variant(v)), before);
    } else {
      host().set(v, "Content", content);
      EXPECT_EQ(entriesOf(*variant(v)), c.entries);
      const qxArray* stored = variant(v)->getContent();
      EXPECT_EQ(qxGetN(stored), 1u);
      for (size_t i = 0; i < qxGetNumberOfElements(stored); ++i) {
        EXPECT_EQ(qxGetM(qxGetCell(stored, i)), 1u);
        EXPECT_EQ(qxGetN(qxGetCell(stored, i)), 4u);
      }
    }
    host().destroy(v);
    host().destroy(other);
  }
}

TEST_F(VariantContentTest, ReadingContentGivesACopy) {
  OBInterface* v = newVariant();
  host().set(v, "Content", entry("species", "A", "InitialAmount", 5));
  qxArray* read = host().get(v, "Content");
  EXPECT_NE(read, variant(v)->getContent());
  EXPECT_TRUE(qxIsIdentical(read, variant(v)->getContent()));
  // The value read can be set back.
  host().set(v, "Content", read);
  EXPECT_EQ(entriesOf(*variant(v)), std::vector<std::string>{"species|A|InitialAmount|5.000000"});
}

TEST_F(VariantContentTest, OwnContentCanBeSetAndAppendedAgain) {
  OBInterface* v = newVariant();
  host().set(v, "Content", host().cell({entry("species", "A", "InitialAmount", 5), entry("parameter", "k1", "Value", 1)}));
  variant(v)->setContent(variant(v)->getContent());
  EXPECT_EQ(variant(v)->getNumEntries(), 2u);
  variant(v)->addContent(*variant(v));
  EXPECT_EQ(entriesOf(*variant(v)),
            (std::vector<std::string>{"species|A|InitialAmount|5.000000", "parameter|k1|Value|1.000000",
                                      "species|A|InitialAmount|5.000000", "parameter|k1|Value|1.000000"}));
}

TEST_F(VariantContentTest, EmptyContentClearsAndAppendsNothing) {
  OBInterface* v = newVariant();
  host().set(v, "Content", entry("species", "A", "InitialAmount", 5));
  variant(v)->addContent(static_cast<const qxArray*>(nullptr));
  variant(v)->addContent(host().cell({}));
  EXPECT_EQ(variant(v)->getNumEntries(), 1u);
  host().set(v, "Content", host().cell({}));
  EXPECT_EQ(variant(v)->getContent(), nullptr);
  EXPECT_EQ(variant(v)->getNumEntries(), 0u);
}

TEST_F(VariantContentTest, AppendingFilesByLowerCaseType) {
  OBInterface* v = newVariant();
  variant(v)->addContent(entry("parameter", "k1", "Value", 1));
  variant(v)->addContent(entry("Species", "A", "InitialAmount", 1));
  variant(v)->addContent(entry("parameter", "k1", "Value", 1));  // duplicates are kept
  EXPECT_EQ(variant(v)->getNumEntries(), 3u);
  std::unique_ptr<kstrVector<const BPatchQuad*>> quads(variant(v)->getQuads());
  EXPECT_EQ((*quads)[1]->getStringType(), "species");
  EXPECT_EQ(qxArrayToStdString((*quads)[1]->getType()), "Species");
  EXPECT_TRUE(*(*quads)[0] == *(*quads)[2]);
  EXPECT_FALSE(*(*quads)[0] == *(*quads)[1]);
}

TEST_F(VariantContentTest, RemovingByIndex) {
  OBInterface* v = newVariant();
  for (double i = 0; i < 5; ++i) variant(v)->addContent(entry("parameter", "k1", "Value", i));
  variant(v)->removeContent(std::set<size_t>{0, 2});
  EXPECT_EQ(entriesOf(*variant(v)), (std::vector<std::string>{"parameter|k1|Value|1.000000",
                                                              "parameter|k1|Value|3.000000",
                                                              "parameter|k1|Value|4.000000"}));
  expectHostError([&] { variant(v)->removeContent(std::set<size_t>{1, 3}); }, "Kestrion:VariantRemoveOutOfRange",
                  "Index exceeds the length of the variant's Content property.");
  EXPECT_EQ(variant(v)->getNumEntries(), 3u);
  // An empty set keeps every entry.
  variant(v)->removeContent(std::set<size_t>{});
  EXPECT_EQ(variant(v)->getNumEntries(), 3u);
}

TEST_F(VariantContentTest, RemovingByValueTakesOneStoredEntryEach) {
  OBInterface* v = newVariant();
  auto fill = [&] {
    host().set(v, "Content",
               host().cell({entry("parameter", "k1", "Value", 1), entry("species", "A", "InitialAmount", 2),
                            entry("parameter", "k1", "Value", 1)}));
  };
  auto given = [&](std::initializer_list<qxArray*> entries) {
    qxArray* list = qxDuplicateArray(host().cell(entries));
    qxSetArrayScope(list, qxSCOPE_PERSISTENT);
    return list;
  };
  // An entry held twice: only the lower index goes.
  fill();
  variant(v)->removeContent(given({entry("parameter", "k1", "Value", 1)}));
  EXPECT_EQ(entriesOf(*variant(v)),
            (std::vector<std::string>{"species|A|InitialAmount|2.000000", "parameter|k1|Value|1.000000"}));
  // Given twice, both copies go.
  fill();
  variant(v)->removeContent(given({entry("parameter", "k1", "Value", 1), entry("parameter", "k1", "Value", 1)}));
  EXPECT_EQ(entriesOf(*variant(v)), std::vector<std::string>{"species|A|InitialAmount|2.000000"});
  // A given entry without a match removes nothing, even when another given
  // entry is held twice.
  fill();
  expectHostError(
      [&] {
        variant(v)->removeContent(given({entry("parameter", "k1", "Value", 1), entry("parameter", "k2", "Value", 1)}));
      },
      "Kestrion:VariantContentNotFound", "Variant information passed to rmcontent must exist on the variant object.");
  EXPECT_EQ(variant(v)->getNumEntries(), 3u);
  // Malformed entries to remove: refused, nothing removed, nothing leaked.
  expectHostError([&] { variant(v)->removeContent(given({host().num(1)})); }, "Kestrion:MalformedVariantContent");
  EXPECT_EQ(variant(v)->getNumEntries(), 3u);
}

TEST_F(VariantContentTest, KeywordTables) {
  EXPECT_EQ(kstr::componentTypeFromKeyword("species"), kstr::species);
  EXPECT_EQ(kstr::componentTypeFromKeyword("compartment"), kstr::compartment);
  EXPECT_EQ(kstr::componentTypeFromKeyword("Species"), kstr::not_a_component);
  EXPECT_EQ(kstr::componentTypeFromKeyword("scheduledose"), kstr::not_a_component);
  EXPECT_STREQ(kstr::componentTypeKeyword(kstr::parameter), "parameter");
  EXPECT_EQ(kstr::componentTypeKeyword(13), nullptr);
}

}  // namespace
