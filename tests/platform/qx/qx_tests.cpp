// Tests of the host array stand-in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "hb/hb.hpp"
#include "hb/hb_test.hpp"
#include "qx/qx.hpp"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
using Maker = std::function<qxArray*()>;

// Checks at the end of every test that nothing was left alive.
class QxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    arrays_ = qxLiveArrayCount();
    blocks_ = hbTestLiveBlocks();
    badDestroys_ = qxBadDestroyCount();
  }
  void TearDown() override {
    EXPECT_EQ(qxLiveArrayCount(), arrays_);
    EXPECT_EQ(hbTestLiveBlocks(), blocks_);
    EXPECT_EQ(qxBadDestroyCount(), badDestroys_);
    EXPECT_EQ(qxCallScopeDepth(), 0u);
  }
  size_t arrays_ = 0, blocks_ = 0, badDestroys_ = 0;
};

qxArray* sparse3x4() {
  // [0 5 0 0; 1 0 0 7; 2 6 0 0] by columns
  qxArray* s = qxCreateSparse(3, 4, 6, qxREAL);
  const size_t jc[] = {0, 2, 4, 4, 5};
  const size_t ir[] = {1, 2, 0, 2, 1};
  const double pr[] = {1, 2, 5, 6, 7};
  std::memcpy(s->get_jc(), jc, sizeof jc);
  std::memcpy(s->get_ir(), ir, sizeof ir);
  std::memcpy(s->get_pdata(), pr, sizeof pr);
  return s;
}

qxArray* doubles(size_t m, size_t n, std::vector<double> values) {
  qxArray* a = qxCreateDoubleMatrix(m, n, qxREAL);
  std::copy(values.begin(), values.end(), qxGetPr(a));
  return a;
}

qxArray* cellOf(std::vector<qxArray*> elements) {
  qxArray* c = qxCreateCellMatrix(1, elements.size());
  for (size_t i = 0; i < elements.size(); ++i) qxSetCell(c, i, elements[i]);
  return c;
}

// --- shapes and classes ------------------------------------------------------------

struct ShapeCase {
  const char* what;
  Maker make;
  qxClassID cls;
  const char* className;
  size_t m, n, numel, ndims;
  bool empty, scalar, vector, numeric, complex, sparse;
};

TEST_F(QxTest, ShapesAndClasses) {
  const size_t dims3[] = {2, 3, 4};
  const size_t dims211[] = {2, 1, 1};
  const char* fields[] = {"a", "b"};
  const char* rows[] = {"ab", "xyz"};
  const ShapeCase cases[] = {
      {"string", [] { return qxCreateString("abc"); }, qxCHAR_CLASS, "char", 1, 3, 3, 2, false, false, true, false, false, false},
      {"empty string", [] { return qxCreateString(""); }, qxCHAR_CLASS, "char", 0, 0, 0, 2, true, false, false, false, false, false},
      {"null string", [] { return qxCreateString(nullptr); }, qxCHAR_CLASS, "char", 0, 0, 0, 2, true, false, false, false, false, false},
      {"char rows", [&] { return qxCreateCharMatrixFromStrings(2, rows); }, qxCHAR_CLASS, "char", 2, 3, 6, 2, false, false, false, false, false, false},
      {"scalar", [] { return qxCreateDoubleScalar(2.5); }, qxDOUBLE_CLASS, "double", 1, 1, 1, 2, false, true, true, true, false, false},
      {"matrix", [] { return qxCreateDoubleMatrix(2, 3, qxREAL); }, qxDOUBLE_CLASS, "double", 2, 3, 6, 2, false, false, false, true, false, false},
      {"complex", [] { return qxCreateDoubleMatrix(2, 3, qxCOMPLEX); }, qxDOUBLE_CLASS, "double", 2, 3, 6, 2, false, false, false, true, true, false},
      {"numeric", [] { return qxCreateNumericMatrix(3, 1, qxDOUBLE_CLASS, qxREAL); }, qxDOUBLE_CLASS, "double", 3, 1, 3, 2, false, false, true, true, false, false},
      {"logical", [] { return qxCreateLogicalMatrix(0, 4); }, qxLOGICAL_CLASS, "logical", 0, 4, 0, 2, true, false, false, false, false, false},
      {"logical scalar", [] { return qxCreateLogicalScalar(true); }, qxLOGICAL_CLASS, "logical", 1, 1, 1, 2, false, true, true, false, false, false},
      {"cell", [] { return qxCreateCellMatrix(1, 2); }, qxCELL_CLASS, "cell", 1, 2, 2, 2, false, false, true, false, false, false},
      {"cell 3-d", [&] { return qxCreateCellArray(3, dims3); }, qxCELL_CLASS, "cell", 2, 12, 24, 3, false, false, false, false, false, false},
      {"cell trailing 1s", [&] { return qxCreateCellArray(3, dims211); }, qxCELL_CLASS, "cell", 2, 1, 2, 2, false, false, true, false, false, false},
      {"cell 1-d", [&] { return qxCreateCellArray(1, dims3); }, qxCELL_CLASS, "cell", 2, 1, 2, 2, false, false, true, false, false, false},
      {"sparse", [] { return qxCreateSparse(4, 5, 0, qxREAL); }, qxDOUBLE_CLASS, "double", 4, 5, 20, 2, false, false, false, true, false, true},
      {"struct", [&] { return qxCreateStructMatrix(1, 1, 2, fields); }, qxSTRUCT_CLASS, "struct", 1, 1, 1, 2, false, true, true, false, false, false},
      {"object", [] { return qxCreateObjectArray("ODESimData.ODESimulationData", nullptr, nullptr); }, qxOBJECT_CLASS, "ODESimData.ODESimulationData", 1, 1, 1, 2, false, true, true, false, false, false},
      {"handles", [] { return qxCreateHandleArray(2, 1); }, qxOBJECT_CLASS, "", 2, 1, 2, 2, false, false, true, false, false, false},
  };
  for (const ShapeCase& c : cases) {
    qxArray* a = c.make();
    ASSERT_NE(a, nullptr) << c.what;
    EXPECT_EQ(qxGetClassID(a), c.cls) << c.what;
    EXPECT_STREQ(qxGetClassName(a), c.className) << c.what;
    EXPECT_EQ(qxGetM(a), c.m) << c.what;
    EXPECT_EQ(qxGetN(a), c.n) << c.what;
    EXPECT_EQ(qxGetNumberOfElements(a), c.numel) << c.what;
    EXPECT_EQ(qxGetNumberOfDimensions(a), c.ndims) << c.what;
    EXPECT_EQ(qxIsEmpty(a), c.empty) << c.what;
    EXPECT_EQ(qxIsScalar(a), c.scalar) << c.what;
    EXPECT_EQ(qxIsVector(a), c.vector) << c.what;
    EXPECT_EQ(qxIsNumeric(a), c.numeric) << c.what;
    EXPECT_EQ(qxIsDouble(a), c.numeric) << c.what;
    EXPECT_EQ(qxIsComplex(a), c.complex) << c.what;
    EXPECT_EQ(qxIsSparse(a), c.sparse) << c.what;
    EXPECT_EQ(qxIsChar(a), c.cls == qxCHAR_CLASS) << c.what;
    EXPECT_EQ(qxIsCharVector(a), c.cls == qxCHAR_CLASS && c.vector) << c.what;
    EXPECT_EQ(qxIsCell(a), c.cls == qxCELL_CLASS) << c.what;
    EXPECT_EQ(qxIsStruct(a), c.cls == qxSTRUCT_CLASS) << c.what;
    EXPECT_EQ(qxIsLogical(a), c.cls == qxLOGICAL_CLASS) << c.what;
    EXPECT_EQ(qxIsObject(a), c.cls == qxOBJECT_CLASS) << c.what;
    EXPECT_EQ(qxGetArrayScope(a), qxSCOPE_CALL_TEMPORARY) << c.what;
    qxDestroyArray(a);
  }
}

TEST_F(QxTest, RefusedCreationsGiveNull) {
  const char* repeated[] = {"a", "a"};
  const char* withNull[] = {"a", nullptr};
  EXPECT_EQ(qxCreateNumericMatrix(1, 1, qxLOGICAL_CLASS, qxREAL), nullptr);
  EXPECT_EQ(qxCreateStructMatrix(1, 1, 2, repeated), nullptr);
  EXPECT_EQ(qxCreateStructMatrix(1, 1, 2, withNull), nullptr);
  EXPECT_EQ(qxCreateStructMatrix(1, 1, -1, nullptr), nullptr);
}

// An armed creation throws std::bad_alloc once and leaves no array behind,
// whatever kind of creation it is; disarmed, creation works again.
TEST_F(QxTest, InjectedCreationFailureThrowsOnce) {
  qxArray* source = qxCreateCellMatrix(1, 1);
  qxSetCell(source, 0, qxCreateString("inside"));
  const std::pair<const char*, std::function<qxArray*()>> creations[] = {
      {"string", [] { return qxCreateString("x"); }},
      {"double", [] { return qxCreateDoubleScalar(1); }},
      {"logical", [] { return qxCreateLogicalScalar(true); }},
      {"sparse", [] { return qxCreateSparse(2, 2, 1, qxREAL); }},
      {"handles", [] { return qxCreateHandleArray(1, 1); }},
      {"duplicate", [source] { return qxDuplicateArray(source); }},
  };
  for (const auto& [name, create] : creations) {
    size_t live = qxLiveArrayCount();
    size_t refused = qxTestRefusedCreations();
    qxTestFailCreationAt(1);
    EXPECT_THROW(create(), std::bad_alloc) << name;
    EXPECT_EQ(qxLiveArrayCount(), live) << name;
    EXPECT_EQ(qxTestRefusedCreations(), refused + 1) << name;
    qxArray* again = create();
    EXPECT_NE(again, nullptr) << name;
    qxDestroyArray(again);
    EXPECT_EQ(qxLiveArrayCount(), live) << name;
  }
  // A cell copy whose element copy fails leaves nothing behind either.
  size_t live = qxLiveArrayCount();
  qxTestFailCreationAt(1);
  EXPECT_THROW(qxDuplicateArray(source), std::bad_alloc);
  EXPECT_EQ(qxLiveArrayCount(), live);
  qxTestFailCreationAt(0);
  qxDestroyArray(source);
}

TEST_F(QxTest, NullArraysAnswerAsEmpty) {
  EXPECT_EQ(qxGetM(nullptr), 0u);
  EXPECT_EQ(qxGetNumberOfElements(nullptr), 0u);
  EXPECT_EQ(qxGetClassID(nullptr), qxUNKNOWN_CLASS);
  EXPECT_STREQ(qxGetClassName(nullptr), "");
  EXPECT_TRUE(qxIsEmpty(nullptr));
  EXPECT_FALSE(qxIsChar(nullptr));
  EXPECT_EQ(qxGetPr(nullptr), nullptr);
  EXPECT_EQ(qxGetCell(nullptr, 0), nullptr);
  EXPECT_EQ(qxArrayToString(nullptr), nullptr);
  EXPECT_EQ(qxArrayToStdString(nullptr), "");
  EXPECT_EQ(qxDuplicateArray(nullptr), nullptr);
  qxDestroyArray(nullptr);
}

TEST_F(QxTest, ReshapeKeepsLinearOrder) {
  qxArray* a = doubles(2, 3, {1, 2, 3, 4, 5, 6});
  const size_t flat6[] = {1, 6};
  struct Case {
    std::vector<size_t> dims;
    int rc;
    size_t m, n;
  };
  const Case cases[] = {
      {{3, 2}, 0, 3, 2}, {{4, 2}, 1, 3, 2}, {{1, 6, 1}, 0, 1, 6}, {{6}, 0, 6, 1}, {{1, 2, 3}, 0, 1, 6},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(qxSetDimensions(a, c.dims.data(), c.dims.size()), c.rc);
    EXPECT_EQ(qxGetM(a), c.m);
    EXPECT_EQ(qxGetN(a), c.n);
  }
  EXPECT_EQ(qxGetNumberOfDimensions(a), 3u);
  EXPECT_EQ(qxGetPr(a)[4], 5.0);
  // More dimensions than an array holds in place, back to two, and a copy
  // of each shape.
  const size_t six[] = {1, 2, 1, 3, 1, 1};
  const size_t fourKept[] = {1, 2, 1, 3};
  EXPECT_EQ(qxSetDimensions(a, six, 6), 0);
  ASSERT_EQ(qxGetNumberOfDimensions(a), 4u);
  EXPECT_TRUE(std::equal(fourKept, fourKept + 4, qxGetDimensions(a)));
  const size_t seven[] = {1, 1, 2, 1, 1, 3, 1, 1};
  EXPECT_EQ(qxSetDimensions(a, seven, 8), 0);
  ASSERT_EQ(qxGetNumberOfDimensions(a), 6u);
  EXPECT_TRUE(std::equal(seven, seven + 6, qxGetDimensions(a)));
  qxArray* copy = qxDuplicateArray(a);
  ASSERT_EQ(qxGetNumberOfDimensions(copy), 6u);
  EXPECT_TRUE(std::equal(seven, seven + 6, qxGetDimensions(copy)));
  EXPECT_TRUE(qxIsIdentical(a, copy));
  EXPECT_EQ(qxSetDimensions(copy, seven, 7), 0);  // the same six after trimming
  EXPECT_TRUE(qxIsIdentical(a, copy));
  EXPECT_EQ(qxSetDimensions(copy, flat6, 2), 0);
  EXPECT_FALSE(qxIsIdentical(a, copy));
  qxDestroyArray(copy);
  EXPECT_EQ(qxSetDimensions(a, flat6, 2), 0);
  EXPECT_EQ(qxGetNumberOfDimensions(a), 2u);
  EXPECT_EQ(qxGetN(a), 6u);
  qxArray* s = qxCreateSparse(2, 3, 1, qxREAL);
  const size_t flat[] = {3, 2};
  EXPECT_EQ(qxSetDimensions(s, flat, 2), 1);
  EXPECT_EQ(qxSetDimensions(nullptr, flat, 2), 1);
  qxDestroyArray(a);
  qxDestroyArray(s);
}

TEST_F(QxTest, ScalarReadsTheFirstElement) {
  const std::pair<Maker, double> cases[] = {
      {[] { return qxCreateDoubleScalar(-3.5); }, -3.5},
      {[] { return qxCreateLogicalScalar(true); }, 1.0},
      {[] { return qxCreateString("A"); }, 65.0},
      {[] { return qxCreateDoubleMatrix(0, 0, qxREAL); }, 0.0},
      {[] { return qxCreateCellMatrix(1, 1); }, 0.0},
      {sparse3x4, 0.0},  // (0,0) is not stored
  };
  for (const auto& [make, value] : cases) {
    qxArray* a = make();
    EXPECT_EQ(qxGetScalar(a), value) << qxGetClassName(a);
    qxDestroyArray(a);
  }
  qxArray* s = qxCreateSparse(2, 2, 1, qxREAL);
  s->get_jc()[1] = 1;
  s->get_jc()[2] = 1;
  s->get_pdata()[0] = 9;
  EXPECT_EQ(qxGetScalar(s), 9.0);
  qxDestroyArray(s);
}

// --- text ----------------------------------------------------------------------------

TEST_F(QxTest, GetStringFitsOrFails) {
  struct Case {
    const char* text;
    size_t size;
    int rc;
    const char* out;
  };
  const Case cases[] = {
      {"abc", 4, 0, "abc"}, {"abc", 10, 0, "abc"}, {"abc", 3, 1, "ab"},
      {"", 1, 0, ""},       {"abc", 1, 1, ""},
  };
  for (const Case& c : cases) {
    qxArray* a = qxCreateString(c.text);
    char buf[16];
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(qxGetString(a, buf, c.size), c.rc) << c.text << "/" << c.size;
    EXPECT_STREQ(buf, c.out) << c.text << "/" << c.size;
    qxDestroyArray(a);
  }
  qxArray* number = qxCreateDoubleScalar(1);
  char buf[8] = "x";
  EXPECT_EQ(qxGetString(number, buf, sizeof buf), 1);
  EXPECT_STREQ(buf, "");
  EXPECT_EQ(qxGetString(number, nullptr, 0), 1);
  EXPECT_EQ(qxArrayToString(number), nullptr);
  EXPECT_EQ(qxCreateCStrFromArray(number), nullptr);
  EXPECT_EQ(qxArrayToStdString(number), "");
  qxDestroyArray(number);
}

TEST_F(QxTest, CharMatrixReadsColumnMajor) {
  const char* rows[] = {"ab", "xyz", nullptr};
  qxArray* a = qxCreateCharMatrixFromStrings(3, rows);
  EXPECT_EQ(qxGetM(a), 3u);
  EXPECT_EQ(qxArrayToStdString(a), std::string("ax by  z ", 9));
  EXPECT_FALSE(qxIsCharVector(a));
  qxDestroyArray(a);
}

TEST_F(QxTest, TxtCmpIsExact) {
  struct Case {
    Maker make;
    const char* text;
    bool equal;
  };
  const Case cases[] = {
      {[] { return qxCreateString("Species"); }, "Species", true},
      {[] { return qxCreateString("Species"); }, "species", false},
      {[] { return qxCreateString("Species"); }, "Species ", false},
      {[] { return qxCreateString(""); }, "", true},
      {[] { return qxCreateString("a"); }, nullptr, false},
      {[] { return qxCreateDoubleScalar(0); }, "", false},
  };
  for (const Case& c : cases) {
    qxArray* a = c.make();
    EXPECT_EQ(qxTxtCmp(a, c.text), c.equal) << qxArrayToStdString(a) << " vs " << (c.text ? c.text : "null");
    qxDestroyArray(a);
  }
}

// Texts and qxMallocEx blocks are hb blocks: either library frees them.
TEST_F(QxTest, TextsShareTheCountedHeap) {
  qxArray* a = qxCreateString("hello");
  size_t before = hbTestLiveBlocks();
  char* t1 = qxCreateCStrFromArray(a);
  char* t2 = qxArrayToString(a);
  void* b1 = qxMallocEx(8);
  void* b2 = hbMalloc(8);
  EXPECT_EQ(hbTestLiveBlocks(), before + 4);
  EXPECT_STREQ(t1, "hello");
  EXPECT_STREQ(t2, "hello");
  hbFree(t1);
  qxFree(t2);
  hbFree(b1);
  qxFreeEx(b2);
  EXPECT_EQ(hbTestLiveBlocks(), before);
  qxDestroyArray(a);
}

// --- cells and structs -----------------------------------------------------------------

TEST_F(QxTest, SetCellTakesOwnershipAndDestroysTheReplaced) {
  size_t base = qxLiveArrayCount();
  qxArray* c = qxCreateCellMatrix(1, 2);
  qxArray* first = qxCreateString("one");
  qxSetCell(c, 0, first);
  EXPECT_EQ(qxGetArrayScope(first), qxSCOPE_CONTAINED);
  EXPECT_EQ(qxGetCell(c, 0), first);
  EXPECT_EQ(qxLiveArrayCount(), base + 2);
  qxSetCell(c, 0, qxCreateString("two"));  // "one" is destroyed
  EXPECT_FALSE(qxIsLiveArray(first));
  EXPECT_EQ(qxLiveArrayCount(), base + 2);
  qxSetCell(c, 0, qxGetCell(c, 0));  // same element: nothing happens
  EXPECT_TRUE(qxTxtCmp(qxGetCell(c, 0), "two"));
  qxArray* stray = qxCreateDoubleScalar(1);
  qxSetCell(c, 5, stray);  // out of range: stays the caller's
  EXPECT_EQ(qxGetArrayScope(stray), qxSCOPE_CALL_TEMPORARY);
  EXPECT_EQ(qxGetCell(c, 5), nullptr);
  qxDestroyArray(stray);
  qxDestroyArray(c);  // elements go with it
  EXPECT_EQ(qxLiveArrayCount(), base);
}

TEST_F(QxTest, StructFields) {
  const char* names[] = {"Name", "Value"};
  qxArray* s = qxCreateStructMatrix(1, 2, 2, names);
  EXPECT_EQ(qxGetNumberOfFields(s), 2);
  EXPECT_STREQ(qxGetFieldNameByNumber(s, 1), "Value");
  EXPECT_EQ(qxGetFieldNameByNumber(s, 2), nullptr);
  EXPECT_EQ(qxGetFieldNumber(s, "Value"), 1);
  EXPECT_EQ(qxGetFieldNumber(s, "value"), -1);
  qxSetFieldByNumber(s, 1, 0, qxCreateString("k2"));
  qxSetFieldByNumber(s, 1, 1, qxCreateDoubleScalar(4));
  EXPECT_EQ(qxAddField(s, "Value"), 1);  // existing
  EXPECT_EQ(qxAddField(s, "Units"), 2);
  EXPECT_TRUE(qxTxtCmp(qxGetField(s, 1, "Name"), "k2"));
  EXPECT_EQ(qxGetScalar(qxGetField(s, 1, "Value")), 4.0);
  EXPECT_EQ(qxGetField(s, 1, "Units"), nullptr);
  EXPECT_EQ(qxGetField(s, 0, "Name"), nullptr);
  EXPECT_EQ(qxGetFieldByNumber(s, 2, 0), nullptr);  // out of range
  EXPECT_EQ(qxAddField(qxCreateSharedDataCopy(nullptr), "x"), -1);
  qxDestroyArray(s);
}

// --- handles and foreign objects -----------------------------------------------------

struct FakeObject {
  int refs;
  const char* cls;
};

void retain(void* o) { ++static_cast<FakeObject*>(o)->refs; }
void release(void* o) { --static_cast<FakeObject*>(o)->refs; }
const char* className(const void* o) { return static_cast<const FakeObject*>(o)->cls; }

class QxHandleTest : public QxTest {
 protected:
  void SetUp() override {
    QxTest::SetUp();
    const qxHandleHooks hooks{retain, release, className};
    qxSetHandleHooks(&hooks);
  }
  void TearDown() override {
    qxSetHandleHooks(nullptr);
    QxTest::TearDown();
  }
};

TEST_F(QxHandleTest, ArraysHoldOneReferencePerElement) {
  FakeObject s1{1, "Kestrion.Species"}, s2{1, "Kestrion.Species"};
  qxArray* h = qxCreateHandleArray(2, 1);
  qxSetHandle(h, 0, &s1);
  qxSetHandle(h, 1, &s2);
  EXPECT_EQ(s1.refs, 2);
  EXPECT_STREQ(qxGetClassName(h), "Kestrion.Species");
  qxSetHandle(h, 1, &s2);  // same object again: still one reference
  EXPECT_EQ(s2.refs, 2);
  qxArray* dup = qxDuplicateArray(h);
  EXPECT_EQ(s1.refs, 3);  // references taken again
  qxArray* shared = qxCreateSharedDataCopy(h);
  EXPECT_EQ(s1.refs, 3);  // storage shared
  EXPECT_TRUE(qxIsIdentical(h, dup));
  qxDestroyArray(h);
  EXPECT_EQ(s1.refs, 3);  // the shared copy still holds the storage
  EXPECT_EQ(qxGetHandle(shared, 1), &s2);
  qxDestroyArray(shared);
  qxDestroyArray(dup);
  EXPECT_EQ(s1.refs, 1);
  EXPECT_EQ(s2.refs, 1);
}

// Arrays of a few elements keep them in place, longer ones on the heap:
// sizes on both sides of that edge read, copy, compare and transpose alike.
TEST_F(QxHandleTest, ElementsReadAndCopyAlikeOnBothSidesOfTheInPlaceSize) {
  const size_t sizes[] = {0, 1, 2, 3, 31, 32, 33, 100};
  for (size_t n : sizes) {
    SCOPED_TRACE(n);
    std::string text;
    for (size_t i = 0; i < n; ++i) text.push_back(static_cast<char>('a' + i % 26));
    qxArray* t = qxCreateString(text.c_str());
    qxArray* tCopy = qxDuplicateArray(t);
    EXPECT_EQ(qxArrayToStdString(tCopy), text);
    EXPECT_TRUE(qxIsIdentical(t, tCopy));

    std::vector<double> values(n);
    for (size_t i = 0; i < n; ++i) values[i] = 0.5 + static_cast<double>(i);
    qxArray* d = doubles(1, n, values);
    qxArray* dCopy = qxDuplicateArray(d);
    qxArray* dTransposed = qxTranspose(d);
    for (size_t i = 0; i < n; ++i) {
      EXPECT_EQ(qxGetPr(dCopy)[i], values[i]);
      EXPECT_EQ(qxGetPr(dTransposed)[i], values[i]);
    }
    EXPECT_EQ(qxGetM(dTransposed), n);
    if (n > 0) qxGetPr(dCopy)[n - 1] = -1;  // a deep copy: the original keeps its value
    EXPECT_EQ(qxIsIdentical(d, dCopy), n == 0);

    std::vector<FakeObject> objects(n, FakeObject{1, "Kestrion.Species"});
    qxArray* h = qxCreateHandleArray(n, 1);
    for (size_t i = 0; i < n; ++i) qxSetHandle(h, i, &objects[i]);
    qxArray* hCopy = qxDuplicateArray(h);
    for (size_t i = 0; i < n; ++i) {
      EXPECT_EQ(qxGetHandle(hCopy, i), &objects[i]);
      EXPECT_EQ(objects[i].refs, 3);
    }
    EXPECT_TRUE(qxIsIdentical(h, hCopy));
    for (qxArray* a : {t, tCopy, d, dCopy, dTransposed, h, hCopy}) qxDestroyArray(a);
    for (const FakeObject& o : objects) EXPECT_EQ(o.refs, 1);
  }
}

TEST_F(QxHandleTest, ClassNameOfMixedOrEmptyHandlesIsEmpty) {
  FakeObject species{1, "Kestrion.Species"}, model{1, "Kestrion.Model"};
  qxArray* h = qxCreateHandleArray(1, 2);
  qxSetHandle(h, 0, &species);
  EXPECT_STREQ(qxGetClassName(h), "");  // second element still null
  qxSetHandle(h, 1, &model);
  EXPECT_STREQ(qxGetClassName(h), "");
  qxSetHandle(h, 1, &species);
  EXPECT_STREQ(qxGetClassName(h), "Kestrion.Species");
  qxSetHandle(h, 1, nullptr);
  EXPECT_EQ(species.refs, 2);
  EXPECT_EQ(model.refs, 1);
  qxArray* other = qxCreateHandleArray(1, 2);
  qxSetHandle(other, 0, &model);
  EXPECT_FALSE(qxIsIdentical(h, other));  // by identity
  qxDestroyArray(other);
  qxDestroyArray(h);
  EXPECT_EQ(species.refs, 1);
}

int releasedPayloads = 0;
void releasePayload(void* p) {
  ++releasedPayloads;
  delete static_cast<int*>(p);
}

TEST_F(QxTest, ForeignPayloadIsSharedAndReleasedOnce) {
  releasedPayloads = 0;
  int* payload = new int(7);
  qxArray* a = qxCreateObjectArray("ODESimData.ODESimulationData", payload, releasePayload);
  qxArray* dup = qxDuplicateArray(a);
  qxArray* shared = qxCreateSharedDataCopy(a);
  qxArray* t = qxTranspose(a);
  for (qxArray* x : {a, dup, shared, t}) {
    EXPECT_EQ(qxGetObjectPointer(x), payload);
    EXPECT_STREQ(qxGetClassName(x), "ODESimData.ODESimulationData");
  }
  EXPECT_TRUE(qxIsIdentical(a, dup));
  qxArray* other = qxCreateObjectArray("ODESimData.ODESimulationData", nullptr, nullptr);
  EXPECT_FALSE(qxIsIdentical(a, other));
  EXPECT_EQ(qxGetObjectPointer(qxCreateSharedDataCopy(nullptr)), nullptr);
  qxDestroyArray(other);
  qxDestroyArray(a);
  qxDestroyArray(dup);
  qxDestroyArray(t);
  EXPECT_EQ(releasedPayloads, 0);
  qxDestroyArray(shared);
  EXPECT_EQ(releasedPayloads, 1);
}

// --- copies ----------------------------------------------------------------------------

TEST_F(QxTest, DuplicateIsDeepAndSharedCopySharesStorage) {
  qxArray* c = cellOf({qxCreateString("x"), doubles(1, 2, {1, 2})});
  qxArray* dup = qxDuplicateArray(c);
  qxArray* shared = qxCreateSharedDataCopy(c);
  EXPECT_NE(qxGetCell(dup, 0), qxGetCell(c, 0));
  EXPECT_EQ(qxGetArrayScope(qxGetCell(dup, 0)), qxSCOPE_CONTAINED);
  EXPECT_EQ(qxGetCell(shared, 0), qxGetCell(c, 0));
  EXPECT_TRUE(qxIsIdentical(c, dup));
  qxGetPr(qxGetCell(dup, 1))[0] = 9;
  EXPECT_FALSE(qxIsIdentical(c, dup));
  qxGetPr(qxGetCell(c, 1))[1] = 8;
  EXPECT_EQ(qxGetPr(qxGetCell(shared, 1))[1], 8.0);
  qxDestroyArray(c);
  EXPECT_TRUE(qxTxtCmp(qxGetCell(shared, 0), "x"));  // storage outlives c
  qxDestroyArray(shared);
  qxDestroyArray(dup);
}

struct IdenticalCase {
  const char* what;
  Maker a, b;
  bool identical;
};

TEST_F(QxTest, IdenticalComparesDeeply) {
  const char* ab[] = {"a", "b"};
  const char* ba[] = {"b", "a"};
  auto structWith = [](const char** names, double a, double b) {
    qxArray* s = qxCreateStructMatrix(1, 1, 2, names);
    qxSetFieldByNumber(s, 0, qxGetFieldNumber(s, "a"), qxCreateDoubleScalar(a));
    qxSetFieldByNumber(s, 0, qxGetFieldNumber(s, "b"), qxCreateDoubleScalar(b));
    return s;
  };
  auto sparseWithZero = [] {
    qxArray* s = sparse3x4();  // store an explicit zero in column 2
    qxArray* t = qxCreateSparse(3, 4, 6, qxREAL);
    const size_t jc[] = {0, 2, 4, 5, 6};
    const size_t ir[] = {1, 2, 0, 2, 1, 1};
    const double pr[] = {1, 2, 5, 6, 0, 7};
    std::memcpy(t->get_jc(), jc, sizeof jc);
    std::memcpy(t->get_ir(), ir, sizeof ir);
    std::memcpy(t->get_pdata(), pr, sizeof pr);
    qxDestroyArray(s);
    return t;
  };
  const IdenticalCase cases[] = {
      {"same numbers", [] { return doubles(1, 2, {1, 2}); }, [] { return doubles(1, 2, {1, 2}); }, true},
      {"NaN equals NaN", [] { return doubles(1, 2, {kNaN, 2}); }, [] { return doubles(1, 2, {kNaN, 2}); }, true},
      {"other value", [] { return doubles(1, 2, {1, 2}); }, [] { return doubles(1, 2, {1, 3}); }, false},
      {"other shape", [] { return doubles(1, 2, {1, 2}); }, [] { return doubles(2, 1, {1, 2}); }, false},
      {"complex flag", [] { return qxCreateDoubleMatrix(1, 1, qxREAL); }, [] { return qxCreateDoubleMatrix(1, 1, qxCOMPLEX); }, false},
      {"char vs double", [] { return qxCreateString("A"); }, [] { return qxCreateDoubleScalar(65); }, false},
      {"logical vs double", [] { return qxCreateLogicalScalar(true); }, [] { return qxCreateDoubleScalar(1); }, false},
      {"same text", [] { return qxCreateString("k1"); }, [] { return qxCreateString("k1"); }, true},
      {"cells", [] { return cellOf({qxCreateString("a"), qxCreateDoubleScalar(kNaN)}); },
       [] { return cellOf({qxCreateString("a"), qxCreateDoubleScalar(kNaN)}); }, true},
      {"cells differ deep", [] { return cellOf({qxCreateString("a")}); }, [] { return cellOf({qxCreateString("b")}); }, false},
      {"empty cells", [] { return qxCreateCellMatrix(1, 1); }, [] { return qxCreateCellMatrix(1, 1); }, true},
      {"struct field order", [&] { return structWith(ab, 1, 2); }, [&] { return structWith(ba, 1, 2); }, true},
      {"struct values", [&] { return structWith(ab, 1, 2); }, [&] { return structWith(ab, 2, 1); }, false},
      {"sparse explicit zero", sparse3x4, sparseWithZero, true},
      {"sparse vs full", [] { return qxCreateSparse(1, 1, 1, qxREAL); }, [] { return qxCreateDoubleMatrix(1, 1, qxREAL); }, false},
  };
  for (const IdenticalCase& c : cases) {
    qxArray* a = c.a();
    qxArray* b = c.b();
    EXPECT_EQ(qxIsIdentical(a, b), c.identical) << c.what;
    EXPECT_EQ(qxIsIdentical(b, a), c.identical) << c.what;
    EXPECT_TRUE(qxIsIdentical(a, a)) << c.what;
    qxDestroyArray(a);
    qxDestroyArray(b);
  }
  EXPECT_TRUE(qxIsIdentical(nullptr, nullptr));
}

// --- transpose -------------------------------------------------------------------------

TEST_F(QxTest, TransposeFullArrays) {
  qxArray* a = doubles(2, 3, {1, 2, 3, 4, 5, 6});  // [1 3 5; 2 4 6]
  qxArray* t = qxTranspose(a);
  EXPECT_EQ(qxGetM(t), 3u);
  EXPECT_EQ(qxGetN(t), 2u);
  EXPECT_EQ(std::vector<double>(qxGetPr(t), qxGetPr(t) + 6), (std::vector<double>{1, 3, 5, 2, 4, 6}));
  qxArray* back = qxTranspose(t);
  EXPECT_TRUE(qxIsIdentical(a, back));
  const char* rows[] = {"ab", "cd"};
  qxArray* text = qxCreateCharMatrixFromStrings(2, rows);
  qxArray* textT = qxTranspose(text);
  EXPECT_EQ(qxArrayToStdString(text), "acbd");
  EXPECT_EQ(qxArrayToStdString(textT), "abcd");
  qxArray* cell = cellOf({qxCreateString("x"), qxCreateString("y")});
  qxArray* cellT = qxTranspose(cell);
  EXPECT_EQ(qxGetM(cellT), 2u);
  EXPECT_TRUE(qxTxtCmp(qxGetCell(cellT, 1), "y"));
  EXPECT_NE(qxGetCell(cellT, 1), qxGetCell(cell, 1));
  const size_t dims3[] = {1, 2, 2};
  qxArray* cube = qxCreateCellArray(3, dims3);
  EXPECT_EQ(qxTranspose(cube), nullptr);
  for (qxArray* x : {a, t, back, text, textT, cell, cellT, cube}) qxDestroyArray(x);
}

TEST_F(QxTest, TransposeKeepsSparseWithRowsAscending) {
  qxArray* s = sparse3x4();
  qxArray* t = qxTranspose(s);
  ASSERT_TRUE(qxIsSparse(t));
  EXPECT_EQ(qxGetM(t), 4u);
  EXPECT_EQ(qxGetN(t), 3u);
  // t = [0 1 2; 5 0 6; 0 0 0; 0 7 0]
  EXPECT_EQ(std::vector<size_t>(t->get_jc(), t->get_jc() + 4), (std::vector<size_t>{0, 1, 3, 5}));
  EXPECT_EQ(std::vector<size_t>(t->get_ir(), t->get_ir() + 5), (std::vector<size_t>{1, 0, 3, 0, 1}));
  EXPECT_EQ(std::vector<double>(t->get_pdata(), t->get_pdata() + 5), (std::vector<double>{5, 1, 7, 2, 6}));
  qxArray* back = qxTranspose(t);
  EXPECT_TRUE(qxIsIdentical(s, back));
  for (qxArray* x : {s, t, back}) qxDestroyArray(x);
}

TEST_F(QxTest, SparseAccessors) {
  qxArray* s = qxCreateSparse(2, 3, 0, qxCOMPLEX);
  EXPECT_EQ(s->get_nelements_allocated(), 0u);
  EXPECT_NE(s->get_pdata(), nullptr);
  EXPECT_NE(s->get_ir(), nullptr);
  EXPECT_EQ(std::vector<size_t>(s->get_jc(), s->get_jc() + 4), (std::vector<size_t>(4, 0)));
  EXPECT_NE(qxGetPi(s), nullptr);
  qxArray* full = qxCreateDoubleMatrix(2, 2, qxREAL);
  EXPECT_EQ(full->get_ir(), nullptr);
  EXPECT_EQ(full->get_jc(), nullptr);
  EXPECT_EQ(full->get_nelements_allocated(), 0u);
  EXPECT_EQ(full->get_pdata(), qxGetPr(full));
  EXPECT_EQ(qxGetPi(full), nullptr);
  qxDestroyArray(s);
  qxDestroyArray(full);
}

// --- call scopes -----------------------------------------------------------------------

TEST_F(QxTest, ClosingAScopeFreesItsCallTemporaries) {
  size_t base = qxLiveArrayCount();
  qxArray* outside = qxCreateDoubleScalar(0);  // made outside every scope
  qxOpenCallScope();
  qxArray* temp = qxCreateDoubleScalar(1);
  qxArray* kept = qxCreateDoubleScalar(2);
  qxSetArrayScope(kept, qxSCOPE_PERSISTENT);
  qxArray* keptCell = qxCreateCellMatrix(1, 1);
  qxSetArrayScope(keptCell, qxSCOPE_PERSISTENT);
  qxArray* element = qxCreateString("in a cell");
  qxSetCell(keptCell, 0, element);
  qxArray* tempCell = cellOf({qxCreateString("gone with its cell")});
  qxArray* destroyedEarly = qxCreateDoubleScalar(3);
  qxDestroyArray(destroyedEarly);
  qxOpenCallScope();
  qxArray* inner = qxCreateDoubleScalar(4);
  qxArray* innerKept = qxCreateDoubleScalar(5);
  qxSetArrayScope(innerKept, qxSCOPE_PERSISTENT);
  EXPECT_EQ(qxCallScopeDepth(), 2u);
  qxCloseCallScope();
  EXPECT_FALSE(qxIsLiveArray(inner));
  EXPECT_TRUE(qxIsLiveArray(temp));  // belongs to the outer scope
  qxCloseCallScope();
  for (qxArray* gone : {temp, tempCell}) EXPECT_FALSE(qxIsLiveArray(gone));
  for (qxArray* alive : {outside, kept, keptCell, element, innerKept}) EXPECT_TRUE(qxIsLiveArray(alive));
  EXPECT_EQ(qxLiveArrayCount(), base + 5);
  qxCloseCallScope();  // none open: nothing happens
  for (qxArray* x : {outside, kept, keptCell, innerKept}) qxDestroyArray(x);
}

TEST_F(QxTest, DestroyingTwiceIsCountedNotFreed) {
  qxArray* a = qxCreateDoubleScalar(1);
  qxDestroyArray(a);
  size_t bad = qxBadDestroyCount();
  qxDestroyArray(a);
  EXPECT_EQ(qxBadDestroyCount(), bad + 1);
  badDestroys_ = qxBadDestroyCount();  // expected here
}

// --- errors ----------------------------------------------------------------------------

TEST_F(QxTest, ErrMsgIdAndTxtThrowsHostError) {
  struct Case {
    const char* id;
    std::function<void()> raise;
    const char* message;
  };
  const Case cases[] = {
      {"Kestrion:DesktopCodeNotFound",
       [] { qxErrMsgIdAndTxt("Kestrion:DesktopCodeNotFound", "%s", "The code cannot be found."); },
       "The code cannot be found."},
      {"Test:Format", [] { qxErrMsgIdAndTxt("Test:Format", "bad %s %d", "thing", 3); }, "bad thing 3"},
      {"", [] { qxErrMsgIdAndTxt(nullptr, "no id"); }, "no id"},
  };
  for (const Case& c : cases) {
    try {
      c.raise();
      ADD_FAILURE() << "no throw for " << c.id;
    } catch (const HostError& e) {
      EXPECT_EQ(e.identifier(), c.id);
      EXPECT_EQ(e.message(), c.message);
      EXPECT_STREQ(e.what(), c.message);
    }
    const char* id = nullptr;
    const char* msg = nullptr;
    qxGetLastErrIdAndMsg(&id, &msg);
    EXPECT_STREQ(id, c.id);
    EXPECT_STREQ(msg, c.message);
  }
  EXPECT_THROW(qxErrMsgIdAndTxt("A:B", "x"), std::exception);
  qxSetLastErrIdAndMsg(nullptr, nullptr);
  const char* id = nullptr;
  const char* msg = nullptr;
  qxGetLastErrIdAndMsg(&id, &msg);
  EXPECT_STREQ(id, "");
  EXPECT_STREQ(msg, "");
}

}  // namespace
