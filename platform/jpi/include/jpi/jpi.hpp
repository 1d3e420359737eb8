// Host Java bridge: finds the desktop's Java classes, creates Java objects
// and calls their methods.  This stand-in runs no Java: it knows the desktop
// classes by name with their constructor and method signatures, and records
// every object made and every call (see jpi_test.hpp).  One thread.
//
// Class names may be given dotted ("kestridesk.eventqueue.VerifyKestrion")
// or with slashes ("java/lang/Integer").  Every reference handed out must be
// given back with pljReleaseObject.
#pragma once

#include "pellam_api.hpp"

// Opaque references.  A class reference is an object reference.
struct pljObjectTag;
typedef pljObjectTag* jobject;
typedef jobject jclass;
typedef jobject jstring;
struct pljMethodTag;
typedef pljMethodTag* jmethodID;

// A new reference to the class, or null for an unknown or null name.
PELLAM_API jclass pljFindClass(const char* name);
// The constructor of the class with this JNI signature ("(I)V"), or null
// when the class has none (or the class is null or released).
PELLAM_API jmethodID pljGetConstructor(jclass cls, const char* signature);
// The instance method with this name and signature, or null.
PELLAM_API jmethodID pljGetMethod(jclass cls, const char* name, const char* signature);
// The static method with this name and signature, or null.
PELLAM_API jmethodID pljGetStaticMethod(jclass cls, const char* name, const char* signature);

// Runs the constructor and returns a new reference.  The arguments follow
// the constructor's JNI signature: "L...;" and "[..." take a jobject, "I",
// "S", "B", "C" and "Z" an int (promoted), "J" an int64_t, "F" and "D" a
// double.  A null or released class, or a constructor that is not one of the
// class's, is recorded as a bad post and gives null.
PELLAM_API jobject pljCreateObject(jclass cls, jmethodID constructor, ...);
// A new java.lang.String reference; a null text is a bad post and gives null.
PELLAM_API jstring pljCreateString(const char* text);
// Calls an instance method of the object's class (arguments as for
// pljCreateObject).  A null or released object, or a method the object's
// class lacks, is recorded as a bad post and nothing is called.
PELLAM_API void pljCallVoidMethod(jobject object, jmethodID method, ...);
// Calls a static method answering a boolean.  Only
// ReactionRateEventSource.getAreListenersRegistered has an answer (set by
// tests, false by default); a bad call is a bad post and answers false.
PELLAM_API bool pljCallStaticBooleanMethod(jclass cls, jmethodID method, ...);
// Gives a reference back.  Null is ignored; a second release, or a value
// that is no reference, is recorded as a bad post.
PELLAM_API void pljReleaseObject(jobject ref);
