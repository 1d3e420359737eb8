// The host object system: applications and classes, property and method
// infos, data types, instances, events, the built-in methods and the
// dispatch of host calls.
#pragma once

#include "obk/Exception.hpp"
#include "obk/OBApplication.hpp"
#include "obk/OBClass.hpp"
#include "obk/OBDatabaseClient.hpp"
#include "obk/OBDispatch.hpp"
#include "obk/OBErrorStatus.hpp"
#include "obk/OBEvents.hpp"
#include "obk/OBInterface.hpp"
#include "obk/OBMethodInfo.hpp"
#include "obk/OBNames.hpp"
#include "obk/OBPropInfo.hpp"
#include "obk/OBTypes.hpp"
#include "obk/Vector.hpp"
#include "obk/obk_t.hpp"
