// The converter of one SBML parameter: a model parameter or a local
// parameter of a kinetic law.
#pragma once

#include <set>
#include <string>

#include "sbml/SBMLComponent.hpp"

class BParameter;

class KELBOR_API SBMLParameter : public SBMLComponent {
 public:
  explicit SBMLParameter(Parameter* parameter);

  // The owner: the kinetic law whose local parameter this is (borrowed),
  // in the reaction of that id; none means the model of the context.
  // hidden: the names of the other components the law's math names, which
  // the parameter's name must not hide (borrowed; may be null).
  void setOwner(OBInterface* owner, const std::string& reactionId, const std::set<std::string>* hidden) {
    owner_ = owner;
    reactionId_ = reactionId;
    hidden_ = hidden;
    local_ = true;
  }
  // Creates the parameter, then copies notes, annotation, identifier, name,
  // value, constant flag and units (refused units are dropped with
  // "Kestrion:UnableToSetUnits").
  void importElement() override;
  // Writes notes, annotation, name, identifier, value, constant flag and
  // units.
  void exportElement() override;
  // The identifier (for a model parameter, a fresh one when a model
  // parameter read before has it; a kinetic law's parameter keeps the
  // file's id, its scope being the law), "Kestrion:ParameterSpeciesIdClash"
  // when a species has it, a unique name among the owner's parameters,
  // then "addparameter".
  void addToModel() override;

  const std::string& getChosenName() const { return name_; }
  // The identifier the file gave, before any replacement.
  const std::string& getSBMLId() const { return sbmlId_; }

 private:
  Parameter* parameter() const;
  bool ownedByModel() const;

  OBInterface* owner_ = nullptr;
  std::string reactionId_;
  const std::set<std::string>* hidden_ = nullptr;
  bool local_ = false;
  std::string replacementId_;
  std::string sbmlId_;
  std::string name_;
};

namespace kstr::sbml {

// The identifier and file name of a new parameter or species: the
// element's id (on level 1 its name, else a new identifier written back
// into the element), and its name (else the id).  chooseReadName makes the
// component's name of them.
void chooseIdAndName(SBase& element, unsigned level, std::string& id, std::string& name);

}  // namespace kstr::sbml
