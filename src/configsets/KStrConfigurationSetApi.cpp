// The compile-needed flag shared by the configuration-set interfaces.
#include "configsets/KStrConfigurationSetApi.hpp"

CompileNeeded::~CompileNeeded() = default;
