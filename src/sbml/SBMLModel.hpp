// The converter of a whole model: on read it creates the "Model" object and
// imports the SBML model's lists in a fixed order; on write it fills the
// document's model list by list.
#pragma once

#include <vector>

#include "sbml/SBMLComponent.hpp"

class BEvent;

class KELBOR_API SBMLModel : public SBMLComponent {
 public:
  explicit SBMLModel(Model* model);

  // Creates the model, takes its id (or a new identifier) and name (or the
  // first compartment's name, or the id), then reads unit definitions,
  // compartments, function definitions (a warning: they are not read),
  // species, parameters, reactions, rules and events, in that order.
  void importElement() override;
  // Writes name, id, notes, annotation, compartments, species, the model's
  // own parameters, active reactions, active rules and active events.
  void exportElement() override;
  // Creates a "Model" object through the application's class; the context
  // holds its handle (one reference, released by the read driver).
  void addToModel() override;

 private:
  Model* model() const;
  void importUnitDefinitions();
  void importFunctionDefinitions();
  void importSpecies();
  void importParameters();
  void importReactions();
  void importRules();
  void importEvents();
  void exportCompartments();
  void exportSpecies();
  void exportParameters();
  void exportReactions();
  void exportRules();
  // The active events whose trigger and functions verify (the others are
  // left out with a warning); their variables are noted in the context.
  std::vector<BEvent*> writableEvents();
  void exportEvents(const std::vector<BEvent*>& events);
};
