// Forward declarations of the libSBML classes that the converters' headers
// name (libSBML may or may not be built with its own namespace).
#pragma once

#include <sbml/common/libsbml-namespace.h>

LIBSBML_CPP_NAMESPACE_BEGIN
class ASTNode;
class Compartment;
class Event;
class KineticLaw;
class Model;
class Parameter;
class Reaction;
class Rule;
class SBase;
class SBMLDocument;
class Species;
class UnitDefinition;
LIBSBML_CPP_NAMESPACE_END

LIBSBML_CPP_NAMESPACE_USE
