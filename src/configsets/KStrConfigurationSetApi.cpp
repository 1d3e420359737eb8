#include "configsets/KStrConfigurationSetApi.hpp"

CompileNeeded::~CompileNeeded() = default;
