// The parameter's own host methods: the parameter table and the unit test.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <hb/hb.hpp>
#include <obk/Exception.hpp>
#include <obk/Vector.hpp>

#include "host/HostHelpers.hpp"
#include "quantities/ParameterOBC.hpp"

namespace {

// Gaps of the table, clamped to 0..100 blanks.
std::string blanks(long n) { return std::string(static_cast<size_t>(std::clamp<long>(n, 0, 100)), ' '); }

long lengthOf(const std::string& text) { return static_cast<long>(text.size()); }

long digitsOf(size_t number) { return lengthOf(std::to_string(number)); }

// The value as the table shows it: "inf", "-inf", "NaN" or "%g".
std::string valueText(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  char buffer[100];
  std::snprintf(buffer, sizeof(buffer), "%g", value);
  return buffer;
}

struct ParameterRow {
  std::string name;
  double value;
  std::string units;
};

void printParameterTable(const std::vector<ParameterRow>& rows) {
  long nameWidth = 5;
  long valueWidth = 6;
  for (const ParameterRow& row : rows) {
    nameWidth = std::max(nameWidth, lengthOf(row.name));
    valueWidth = std::max(valueWidth, lengthOf(valueText(row.value)));
  }
  nameWidth = std::min<long>(nameWidth, 100);
  hbPrintf("\n");
  hbPrintf("%sKestrion Parameter Array\n\n", blanks(3).c_str());
  hbPrintf("%s%s%s%s%s%s%s%s\n", blanks(3).c_str(), "Index:", blanks(4).c_str(), "Name:",
           blanks(nameWidth - 1).c_str(), "Value:", blanks(valueWidth - 2).c_str(), "ValueUnits:");
  for (size_t i = 0; i < rows.size(); ++i) {
    std::string name = rows[i].name;
    if (lengthOf(name) > nameWidth) name = name.substr(0, static_cast<size_t>(nameWidth - 3)) + "...";
    hbPrintf("%s%d%s%s", blanks(3).c_str(), static_cast<int>(i + 1),
             blanks(10 - digitsOf(i + 1)).c_str(), name.c_str());
    const std::string gap = blanks(nameWidth + 4 - lengthOf(name));
    const double value = rows[i].value;
    const std::string text = valueText(value);
    if (std::isnan(value) || std::isinf(value)) {
      hbPrintf("%s%s", gap.c_str(), text.c_str());
    } else {
      hbPrintf("%s%g", gap.c_str(), value);
    }
    hbPrintf("%s%s\n", blanks(valueWidth + 4 - lengthOf(text)).c_str(), rows[i].units.c_str());
  }
  hbPrintf("\n");
}

void addRow(std::vector<ParameterRow>& rows, OBInterface* instance) {
  const KelborComponent* component = componentOf(instance);
  if (!component || component->getEnumType() != kstr::parameter) return;
  const auto* parameter = static_cast<const BParameter*>(component);
  rows.push_back({parameter->getName(), parameter->getInitialValue(), parameter->getUnits()});
}

}  // namespace

void Parameter_display_MI::displayOne(int&, void*[], int, void* const ins[]) {
  std::vector<ParameterRow> rows;
  addRow(rows, static_cast<OBInterface*>(ins[0]));
  printParameterTable(rows);
}

void Parameter_display_MI::displayVector(int&, void*[], int, void* const ins[]) {
  std::vector<ParameterRow> rows;
  if (const auto* given = static_cast<const Vector*>(ins[0])) {
    for (OBInterface* element : given->elements()) addRow(rows, element);
  }
  printParameterTable(rows);
}

bool BParameter_PrivateIsValidUnit_MI::isValidUnit(const std::string& units) {
  try {
    BParameter::verifyUnitsStatic(units);
    return true;
  } catch (const ErrorIdException&) {
    return false;
  }
}
