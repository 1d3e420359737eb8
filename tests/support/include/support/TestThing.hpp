// "TestThing": a creatable host class made of the ModelComponent property
// family, the factory properties and the generic methods, registered in the
// "Kestrion" application.  The component classes of the engine arrive one by
// one; this class lets tests and benchmarks drive the binding layer alone.
#pragma once

class OBClass;

// Registers "TestThing" once and returns it.
OBClass* testThingClass();
// The same class, registered as "Foreign" in an application "Other".
OBClass* foreignClass();
