// Everything through which the engine reaches its host: the object system,
// host arrays, the utility library, host services, the Java bridge and the
// interpreter.
#pragma once

#include <hb/hb.hpp>
#include <interp/interp.hpp>
#include <jpi/jpi.hpp>
#include <obk/obk.hpp>
#include <obk/obk_t.hpp>
#include <qx/qx.hpp>
#include <sv/sv.hpp>
