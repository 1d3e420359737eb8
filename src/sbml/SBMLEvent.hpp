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
  // Writing events needs the event component's accessors; it is not built
  // yet and does nothing.
  void exportElement() override {}
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
};
