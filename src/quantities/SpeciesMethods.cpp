// The species' own host methods: the species table and the unit test.
#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include <hb/hb.hpp>
#include <obk/Exception.hpp>
#include <obk/Vector.hpp>

#include "host/HostHelpers.hpp"
#include "quantities/BCompartment.hpp"
#include "quantities/DisplayColumns.hpp"
#include "quantities/SpeciesOBC.hpp"

namespace {

using kstr::displaycolumns::blanks;
using kstr::displaycolumns::digitsOf;
using kstr::displaycolumns::formatNumber;

long lengthOf(const std::string& text) { return static_cast<long>(text.size()); }

// A text longer than the width is cut to width - 3 characters and "...".
std::string fitted(const std::string& text, long width) {
  if (lengthOf(text) <= width) return text;
  return text.substr(0, static_cast<size_t>(std::max<long>(width - 3, 0))) + "...";
}

struct SpeciesRow {
  std::string compartment;
  std::string name;
  double amount;
  std::string units;
};

struct Widths {
  long compartment = 12;
  long name = 5;
  long amount = 14;
};

Widths widthsOf(const std::vector<SpeciesRow>& rows) {
  Widths w;
  for (const SpeciesRow& row : rows) {
    w.compartment = std::max(w.compartment, lengthOf(row.compartment));
    w.name = std::max(w.name, lengthOf(row.name));
    w.amount = std::max(w.amount, lengthOf(formatNumber(row.amount)));
  }
  w.compartment = std::min<long>(w.compartment, 100);
  w.name = std::min<long>(w.name, 100);
  return w;
}

void printSpeciesArrayTable(const std::vector<SpeciesRow>& rows) {
  const Widths w = widthsOf(rows);
  hbPrintf("\n");
  hbPrintf("%sKestrion Species Array\n\n", blanks(3).c_str());
  hbPrintf("%s%s%s%s%s%s%s%s%s%s\n", blanks(3).c_str(), "Index:", blanks(4).c_str(),
           "Compartment:", blanks(w.compartment - 8).c_str(), "Name:", blanks(w.name - 1).c_str(),
           "InitialAmount:", blanks(w.amount - 10).c_str(), "InitialAmountUnits:");
  if (rows.empty()) {
    hbPrintf("\n");
    return;
  }
  for (size_t i = 0; i < rows.size(); ++i) {
    const SpeciesRow& row = rows[i];
    const std::string compartment = fitted(row.compartment, w.compartment);
    const std::string name = fitted(row.name, w.name);
    hbPrintf("%s%d%s%s%s%s%s%g%s%s\n", blanks(3).c_str(), static_cast<int>(i + 1),
             blanks(10 - digitsOf(i + 1)).c_str(), compartment.c_str(),
             blanks(w.compartment + 4 - lengthOf(compartment)).c_str(), name.c_str(),
             blanks(w.name + 4 - lengthOf(name)).c_str(), row.amount,
             blanks(w.amount + 4 - lengthOf(formatNumber(row.amount))).c_str(), row.units.c_str());
  }
  hbPrintf("\n");
}

void addRow(std::vector<SpeciesRow>& rows, OBInterface* instance) {
  const KelborComponent* component = componentOf(instance);
  if (!component || component->getEnumType() != kstr::species) return;
  const auto* species = static_cast<const BSpecies*>(component);
  const BCompartment* compartment = species->getCompartment();
  rows.push_back({compartment ? compartment->getName() : std::string(), species->getName(),
                  species->getInitialValue(), species->getUnits()});
}

}  // namespace

void Species_display_MI::displayOne(int&, void*[], int, void* const ins[]) {
  std::vector<SpeciesRow> rows;
  addRow(rows, static_cast<OBInterface*>(ins[0]));
  printSpeciesArrayTable(rows);
}

void Species_display_MI::displayVector(int&, void*[], int, void* const ins[]) {
  std::vector<SpeciesRow> rows;
  if (const auto* given = static_cast<const Vector*>(ins[0])) {
    for (OBInterface* element : given->elements()) addRow(rows, element);
  }
  printSpeciesArrayTable(rows);
}

bool BSpecies_PrivateIsValidUnit_MI::isValidUnit(const std::string& units) {
  try {
    BSpecies::verifyUnitsStatic(units);
    return true;
  } catch (const ErrorIdException&) {
    return false;
  }
}
