// The record of the model's expression-state groups that the desktop event
// bridge fills and posts.
#pragma once

#include "core/ExpressionEvents.hpp"
