#pragma once

#include "core/KelborApi.hpp"

class OBApplication;
class OBClass;

extern "C" {
// The host application "Kestrion" under which every class of the engine is
// registered; made on first call and kept for the life of the process.
KELBOR_API OBApplication* GetQuorvApplication();
}

// Adds a class-definition object to the application and returns it.  Class
// registration functions call it once, from their function-local static.
KELBOR_API OBClass* registerHostClass(OBClass* cls);

// The start of a component class's definition: its name, its two class
// queries, and the constructor signature of one optional host array that
// every component class takes.
KELBOR_API void startComponentClass(OBClass& cls, const char* name, bool firstQuery, bool secondQuery);
