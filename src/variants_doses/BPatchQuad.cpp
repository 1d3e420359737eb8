// A variant's content entry: the cells of one content row.
#include "variants_doses/BPatchQuad.hpp"

#include <locale>

#include <hb/hb.hpp>
#include <qx/qx.hpp>

BPatchQuad::BPatchQuad(const qxArray* row)
    : type_(qxGetCell(row, 0)), name_(qxGetCell(row, 1)), prop_(qxGetCell(row, 2)),
      value_(qxGetCell(row, 3)) {}

void* BPatchQuad::operator new(size_t size) { return hbCallocWithCheck(size, 1); }

void BPatchQuad::operator delete(void* p) noexcept { hbFree(p); }

std::string BPatchQuad::getStringType() const {
  std::string text = qxArrayToStdString(type_);
  const auto& facet = std::use_facet<std::ctype<char>>(std::locale());
  for (char& c : text) c = facet.tolower(c);
  return text;
}

bool BPatchQuad::operator==(const BPatchQuad& other) const {
  return qxIsIdentical(type_, other.type_) && qxIsIdentical(name_, other.name_) &&
         qxIsIdentical(prop_, other.prop_) && qxIsIdentical(value_, other.value_);
}
