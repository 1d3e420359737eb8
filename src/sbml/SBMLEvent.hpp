// The converter of one SBML event: its trigger and event assignments.
// Delays are not supported: a delay in a file is dropped with a warning.
#pragma once

#include <string>

#include "sbml/SBMLComponent.hpp"
#include "sbml/SBMLExpressionObject.hpp"

class KELBOR_API SBMLEvent : public SBMLComponent, public SBMLExpressionObject {
 public:
  explicit SBMLEvent(Event* event);

  // addToModel; when an event was made, notes, annotation, id, trimmed
  // name, and the warning "Kestrion:KS_EVENT_CONTAINS_DELAY" for a delay.
  void importElement() override;
  // Writes notes, annotation, id, name, the trigger and one event
  // assignment per event function; no delay and no time units.  wroteEvent()
  // tells whether the trigger and every assignment could be written (the model
  // converter then drops the element).
  void exportElement() override;
  bool wroteEvent() const { return wroteEvent_; }
  // The model event through "addevent" with the trigger and one
  // "variable = expression" text per assignment.  An event without trigger,
  // or with an assignment that is missing, has no variable, names nothing
  // read or has no math, is dropped with a warning.
  void addToModel() override;

  // The event's name when set and not blank, else its id, else
  // "Unnamed Event".
  static std::string eventDisplayName(const Event& event);

 private:
  Event* event() const;
  // The text of assignment i; false (after a warning) when it cannot be
  // read.
  bool eventAssignmentText(unsigned index, std::string& text) const;
  // The math of a model formula seen from the bound event, or null.
  ASTNode* mathOf(const std::string& formula) const;

  bool wroteEvent_ = false;
};
