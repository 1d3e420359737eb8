// Host arrays: the values that cross between the host language and the
// engine.  An array has a class, at least two dimensions and element storage
// shared by reference count between duplicates made with
// qxCreateSharedDataCopy.  Every array records a scope: arrays created while
// a call scope is open are "call temporaries" and are freed when that scope
// closes unless they were made persistent (scope 0) or handed to a container
// (scope 3).  All allocations go through malloc/free and are counted.
// One thread; all state lives in function-local statics, so arrays may be
// made during static initialisation.
//
// Bad input: every function accepts a null array and answers as for an
// empty array of no class (null, 0, false or ""); out-of-range indexes read
// as null and are not written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

#include "pellam_api.hpp"

enum qxClassID : int {
  qxUNKNOWN_CLASS = 0,
  qxCELL_CLASS = 1,
  qxSTRUCT_CLASS = 2,
  qxLOGICAL_CLASS = 3,
  qxCHAR_CLASS = 4,
  qxDOUBLE_CLASS = 6,
  qxOBJECT_CLASS = 17,
};

enum qxComplexity : int { qxREAL = 0, qxCOMPLEX = 1 };

// Scopes an array can be in.
enum qxArrayScope : int {
  qxSCOPE_PERSISTENT = 0,
  qxSCOPE_CALL_TEMPORARY = 1,
  qxSCOPE_CONTAINED = 3,
};

typedef struct qxArray_tag qxArray;

// Raised by qxErrMsgIdAndTxt.  Deliberately not derived from the object
// system's Exception, so that no engine handler for engine errors swallows
// a host error.
class PELLAM_API HostError : public std::exception {
 public:
  HostError(std::string id, std::string message);
  ~HostError() override;
  const char* what() const noexcept override;
  const std::string& identifier() const noexcept { return id_; }
  const std::string& message() const noexcept { return message_; }

 private:
  std::string id_;
  std::string message_;
};

// Reference hooks for arrays of host object handles.  The object system
// installs them once; the array layer itself knows nothing of objects.
struct qxHandleHooks {
  void (*retain)(void* object);
  void (*release)(void* object);
  // Full class name of the object ("Kestrion.Species"); borrowed text.
  const char* (*className)(const void* object);
};

// The array header.  Only the sparse accessors are members; everything else
// goes through the functions below.  get_pdata is qxGetPr; the other
// accessors answer null (0 for the capacity) for an array that is not
// sparse.  The capacity is nzmax as given to qxCreateSparse (the storage
// always has room for at least one value).
struct PELLAM_API qxArray_tag {
  double* get_pdata();
  size_t* get_ir();
  size_t* get_jc();
  size_t get_nelements_allocated() const;

  struct Impl;
  Impl* impl;
};

// --- creation -------------------------------------------------------------
// Creation throws std::bad_alloc when memory runs out.
PELLAM_API qxArray* qxCreateString(const char* text);  // "" or null gives 0x0 char
// m rows padded with blanks to the longest; null rows read as "".
PELLAM_API qxArray* qxCreateCharMatrixFromStrings(size_t m, const char** rows);
PELLAM_API qxArray* qxCreateDoubleScalar(double value);
PELLAM_API qxArray* qxCreateDoubleMatrix(size_t m, size_t n, qxComplexity c);
// Zero-filled; only qxDOUBLE_CLASS is supported (any other class gives null).
PELLAM_API qxArray* qxCreateNumericMatrix(size_t m, size_t n, qxClassID cls,
                                          qxComplexity c);
PELLAM_API qxArray* qxCreateLogicalMatrix(size_t m, size_t n);
PELLAM_API qxArray* qxCreateLogicalScalar(bool value);
PELLAM_API qxArray* qxCreateCellMatrix(size_t m, size_t n);
PELLAM_API qxArray* qxCreateCellArray(size_t ndim, const size_t* dims);
// Ir and Jc are size_t; Jc has n + 1 entries, all 0.  nzmax 0 is allowed.
PELLAM_API qxArray* qxCreateSparse(size_t m, size_t n, size_t nzmax,
                                   qxComplexity c);
// Null when a field name is null or repeated, or nfields is negative.
PELLAM_API qxArray* qxCreateStructMatrix(size_t m, size_t n, int nfields,
                                         const char** fieldNames);
// A foreign object value: a class name and an opaque payload shared by all
// duplicates; releasePayload runs when the last duplicate is destroyed.
PELLAM_API qxArray* qxCreateObjectArray(const char* className, void* payload,
                                        void (*releasePayload)(void*));
// An m-by-n array of host object handles, all null; qxSetHandle fills it.
PELLAM_API qxArray* qxCreateHandleArray(size_t m, size_t n);

// --- shape ----------------------------------------------------------------
PELLAM_API size_t qxGetM(const qxArray* a);
PELLAM_API size_t qxGetN(const qxArray* a);  // product of dims 2..end
PELLAM_API size_t qxGetNumberOfElements(const qxArray* a);
PELLAM_API size_t qxGetNumberOfDimensions(const qxArray* a);
PELLAM_API const size_t* qxGetDimensions(const qxArray* a);
// Reshapes in place keeping the linear order: 0 on success, 1 (and no
// change) when the element count differs or a sparse array would change.
PELLAM_API int qxSetDimensions(qxArray* a, const size_t* dims, size_t ndim);
PELLAM_API qxClassID qxGetClassID(const qxArray* a);
// "cell", "char", "double", "logical", "struct", the object class name, or
// "" for a handle array that mixes classes (or an empty handle array).
PELLAM_API const char* qxGetClassName(const qxArray* a);

// --- data -----------------------------------------------------------------
// Real parts of a double array (full or sparse); null for other classes.
PELLAM_API double* qxGetPr(const qxArray* a);
PELLAM_API double* qxGetPi(const qxArray* a);  // null unless complex
PELLAM_API bool* qxGetLogicals(const qxArray* a);  // null unless logical
// Characters of a char array in column-major order (not terminated); null
// for other classes.
PELLAM_API char* qxGetChars(const qxArray* a);
PELLAM_API double qxGetScalar(const qxArray* a);  // first element as double
PELLAM_API qxArray* qxGetCell(const qxArray* a, size_t index);  // borrowed
// Takes ownership of value (its scope becomes "contained") and destroys the
// element it replaces.  Not a cell or out of range: nothing happens and the
// value stays the caller's.
PELLAM_API void qxSetCell(qxArray* a, size_t index, qxArray* value);
PELLAM_API int qxGetNumberOfFields(const qxArray* a);
PELLAM_API const char* qxGetFieldNameByNumber(const qxArray* a, int field);
PELLAM_API int qxGetFieldNumber(const qxArray* a, const char* name);  // -1 absent
PELLAM_API qxArray* qxGetFieldByNumber(const qxArray* a, size_t index,
                                       int field);
PELLAM_API qxArray* qxGetField(const qxArray* a, size_t index,
                               const char* name);
// Ownership as qxSetCell.
PELLAM_API void qxSetFieldByNumber(qxArray* a, size_t index, int field,
                                   qxArray* value);
// The number of the (new or existing) field; -1 when a is not a struct.
PELLAM_API int qxAddField(qxArray* a, const char* name);
// Handle arrays: elements are object pointers; the array holds one
// reference per non-null element.  qxSetHandle takes a reference to the
// new object and releases the old one; other arrays are left alone.
PELLAM_API void* qxGetHandle(const qxArray* a, size_t index);
PELLAM_API void qxSetHandle(qxArray* a, size_t index, void* object);
PELLAM_API bool qxIsHandleArray(const qxArray* a);
// Installs the reference hooks (copied; null removes them).  Without hooks
// handles are stored without reference counting.
PELLAM_API void qxSetHandleHooks(const qxHandleHooks* hooks);
// Payload of a foreign object array (null for any other array).
PELLAM_API void* qxGetObjectPointer(const qxArray* a);

// --- tests ----------------------------------------------------------------
PELLAM_API bool qxIsEmpty(const qxArray* a);
PELLAM_API bool qxIsChar(const qxArray* a);
PELLAM_API bool qxIsCell(const qxArray* a);
PELLAM_API bool qxIsStruct(const qxArray* a);
PELLAM_API bool qxIsDouble(const qxArray* a);
PELLAM_API bool qxIsNumeric(const qxArray* a);
PELLAM_API bool qxIsLogical(const qxArray* a);
PELLAM_API bool qxIsSparse(const qxArray* a);
PELLAM_API bool qxIsObject(const qxArray* a);  // class id 17
PELLAM_API bool qxIsCharVector(const qxArray* a);
PELLAM_API bool qxIsScalar(const qxArray* a);
PELLAM_API bool qxIsVector(const qxArray* a);
PELLAM_API bool qxIsComplex(const qxArray* a);
PELLAM_API bool qxIsNaN(double value);

// --- text -----------------------------------------------------------------
// 0 on success; 1 when the array is not char or the text does not fit.
PELLAM_API int qxGetString(const qxArray* a, char* buf, size_t size);
// New text (free with qxFree) or null when the array is not char.
PELLAM_API char* qxArrayToString(const qxArray* a);
PELLAM_API std::string qxArrayToStdString(const qxArray* a);
// New text (free with qxFreeEx or hbFree) or null when not char.
PELLAM_API char* qxCreateCStrFromArray(const qxArray* a);
// True when the array is char and equals the text exactly.
PELLAM_API bool qxTxtCmp(const qxArray* a, const char* text);

// --- copies ---------------------------------------------------------------
// Deep copy: elements are duplicated, handle references taken again, and
// foreign payloads shared.
PELLAM_API qxArray* qxDuplicateArray(const qxArray* a);
// A new header over the same storage (cells and handles shared).
PELLAM_API qxArray* qxCreateSharedDataCopy(const qxArray* a);
// Same class, dimensions, complexity and data, deeply; handles compare by
// identity, foreign objects by payload; NaN equals NaN; struct fields compare
// by name.  Two nulls are identical.
PELLAM_API bool qxIsIdentical(const qxArray* a, const qxArray* b);
// A new transposed array (elements duplicated as by qxDuplicateArray); a
// sparse array stays sparse with rows ascending.  Null for more than two
// dimensions.
PELLAM_API qxArray* qxTranspose(const qxArray* a);

// --- lifetime -------------------------------------------------------------
// Null allowed.  An array that is not live (destroyed twice, or never made
// here) is left alone and counted by qxBadDestroyCount.
PELLAM_API void qxDestroyArray(qxArray* a);
PELLAM_API void qxSetArrayScope(qxArray* a, int scope);
PELLAM_API int qxGetArrayScope(const qxArray* a);  // -1 for null
PELLAM_API void* qxMallocEx(size_t size);
PELLAM_API void qxFreeEx(void* p);
PELLAM_API void qxFree(void* p);

// --- errors ---------------------------------------------------------------
// Formats the message, records it as the last error and throws HostError.
[[noreturn]] PELLAM_API void qxErrMsgIdAndTxt(const char* id, const char* fmt,
                                              ...)
    __attribute__((format(printf, 2, 3)));
// The last interpreter error; the texts stay valid until the next call that
// sets it.
PELLAM_API void qxGetLastErrIdAndMsg(const char** id, const char** msg);
PELLAM_API void qxSetLastErrIdAndMsg(const char* id, const char* msg);  // null = ""

// --- call scopes and accounting (used by the host and its tests) ----------
// Opens a call scope; arrays created until the matching close are call
// temporaries of it.
PELLAM_API void qxOpenCallScope();
// Frees every call temporary of the innermost scope that is still in scope
// "call temporary" (an array handed out must first be given scope 0).  With
// no scope open nothing happens.  Arrays made outside every scope are never
// freed automatically.
PELLAM_API void qxCloseCallScope();
PELLAM_API size_t qxCallScopeDepth();
PELLAM_API size_t qxLiveArrayCount();
PELLAM_API bool qxIsLiveArray(const qxArray* a);
// Number of qxDestroyArray calls on arrays that were not live.
PELLAM_API size_t qxBadDestroyCount();
// Allocation-failure injection (tests only).  Arms the k-th array creation
// from now (1 = the next one; every qxCreate*, duplicate, shared copy and
// transpose counts) to throw std::bad_alloc as if the memory ran out; only
// that one fails.  0 disarms.  Either way the attempt count restarts.
PELLAM_API void qxTestFailCreationAt(size_t k);
// Creation attempts since the last qxTestFailCreationAt (the refused one
// included).
PELLAM_API size_t qxTestCreationAttempts();
// Creations refused by injection since the process began.
PELLAM_API size_t qxTestRefusedCreations();
