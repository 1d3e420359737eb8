// A variant's content: standardising what a caller hands in, setting,
// appending and removing entries, and the indexes of the entries by type
// and by the name parts they hold.
#include "variants_doses/Variant.hpp"

#include <algorithm>
#include <limits>

#include <ks_utils/Errors.hpp>
#include <qx/qx.hpp>

#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "variants_doses/ReferenceRename.hpp"

using Code = kstr::MessageCode;

namespace {

constexpr size_t kEntryWidth = 4;

[[noreturn]] void malformed(const char* id, Code code) { kstr_error(id, kstr::code(code)); }

[[noreturn]] void malformedContent() {
  malformed("Kestrion:MalformedVariantContent", Code::KS_MALFORMED_PATCH_CONTENT);
}

// A new cell array of two dimensions, detached from the call scope.
qxArray* newColumn(size_t rows) {
  const size_t dims[2] = {rows, 1};
  qxArray* column = qxCreateCellArray(2, dims);
  qxSetArrayScope(column, qxSCOPE_PERSISTENT);
  return column;
}

void reshape(qxArray* array, size_t rows, size_t columns) {
  const size_t dims[2] = {rows, columns};
  qxSetDimensions(array, dims, 2);
}

bool isCell(const qxArray* array) { return array && qxGetClassID(array) == qxCELL_CLASS; }

// The name parts of a name text: the segments between the dots that lie
// outside brackets, each without its enclosing brackets ("[c 1].A" gives
// "c 1" and "A").
}  // namespace

void Variant::qxDestroy_deleter::operator()(qxArray* array) const { qxDestroyArray(array); }

Variant::~Variant() {
  positions_.clear();
  clearNameIndex();
  quads_.clear();
  qxDestroyArray(content_);
}

// --- standardising ------------------------------------------------------------------------

Variant::StandardContent Variant::standardizeContent(const qxArray* content) const {
  if (!isCell(content)) malformedContent();
  qxArray* copy = qxDuplicateArray(content);
  qxSetArrayScope(copy, qxSCOPE_PERSISTENT);
  StandardContent standard(copy);
  size_t count = qxGetNumberOfElements(copy);
  // Four elements of which any is missing or no cell: one entry given
  // directly, wrapped into a list of one.
  bool single = count == kEntryWidth;
  if (single) {
    single = false;
    for (size_t i = 0; i < kEntryWidth; ++i) single = single || !isCell(qxGetCell(copy, i));
  }
  if (single) {
    qxArray* wrapper = newColumn(1);
    qxSetCell(wrapper, 0, qxCreateSharedDataCopy(copy));
    standard.reset(wrapper);
    count = 1;
  }
  if (qxGetDimensions(standard.get())[0] != count) reshape(standard.get(), count, 1);
  for (size_t i = 0; i < count; ++i) {
    qxArray* row = qxGetCell(standard.get(), i);
    if (!row || qxIsEmpty(row) || !isCell(row)) malformedContent();
    standardizeQuad(row);
  }
  return standard;
}

void Variant::standardizeQuad(qxArray* row) {
  if (qxGetNumberOfElements(row) != kEntryWidth) malformedContent();
  const size_t* dims = qxGetDimensions(row);
  for (size_t d = 0; d < qxGetNumberOfDimensions(row); ++d) {
    if (dims[d] != 1 && dims[d] != kEntryWidth) malformedContent();
  }
  if (qxGetNumberOfDimensions(row) != 2 || dims[1] != kEntryWidth) reshape(row, 1, kEntryWidth);
  static const struct {
    const char* id;
    Code code;
  } kTextCells[3] = {
      {"Kestrion:MalformedVariantType", Code::KS_MALFORMED_PATCH_TYPE},
      {"Kestrion:MalformedVariantName", Code::KS_MALFORMED_PATCH_NAME},
      {"Kestrion:MalformedVariantProperty", Code::KS_MALFORMED_PATCH_PROPERTY},
  };
  for (size_t i = 0; i < 3; ++i) {
    const qxArray* cell = qxGetCell(row, i);
    if (cell && qxIsChar(cell)) continue;
    if (cell && !qxIsEmpty(cell)) malformed(kTextCells[i].id, kTextCells[i].code);
    qxSetCell(row, i, qxCreateString(""));
  }
  const qxArray* value = qxGetCell(row, 3);
  if (!value) {
    qxSetCell(row, 3, qxCreateDoubleMatrix(0, 0, qxREAL));
  } else if (qxGetClassID(value) == qxOBJECT_CLASS) {
    malformed("Kestrion:InvalidObjectInContent", Code::KS_INVALID_OBJECT_IN_CONTENT);
  }
}

void Variant::setQuadContainerContents(QuadContainer& target, const qxArray* standard) const {
  const size_t count = qxGetNumberOfElements(standard);
  for (size_t i = 0; i < count; ++i) {
    QuadPtr quad(new BPatchQuad(qxGetCell(standard, i)));
    std::string key = quad->getStringType();
    target.emplace(std::move(key), std::make_pair(std::move(quad), i));
  }
}

// --- setting, appending, removing --------------------------------------------------------------

void Variant::replaceContent(qxArray* fresh) {
  qxArray* old = content_;
  content_ = fresh;
  qxDestroyArray(old);
}

void Variant::setContent(const qxArray* content) {
  if (!content || qxIsEmpty(content)) {
    positions_.clear();
    clearNameIndex();
    quads_.clear();
    replaceContent(nullptr);
    return;
  }
  StandardContent standard = standardizeContent(content);
  QuadContainer fresh;
  setQuadContainerContents(fresh, standard.get());
  quads_.swap(fresh);
  replaceContent(standard.release());
  rebuildPositions();
  rebuildNameIndex();
}

void Variant::addContent(const qxArray* content) {
  if (!content || qxIsEmpty(content)) return;
  StandardContent standard = standardizeContent(content);
  QuadContainer block;
  setQuadContainerContents(block, standard.get());
  const size_t held = quads_.size();
  handleAppend(std::move(standard));
  for (auto& [key, entry] : block) {
    quads_.emplace(key, std::make_pair(entry.first, held + entry.second));
    indexName(held + entry.second, entry.first->getName());
  }
  rebuildPositions();
}

void Variant::addContent(const Variant& other) { addContent(other.getContent()); }

void Variant::handleAppend(StandardContent block) {
  const size_t held = quads_.size();
  const size_t added = qxGetNumberOfElements(block.get());
  qxArray* fresh = newColumn(held + added);
  for (size_t i = 0; i < held; ++i) qxSetCell(fresh, i, qxCreateSharedDataCopy(qxGetCell(content_, i)));
  for (size_t i = 0; i < added; ++i) {
    qxSetCell(fresh, held + i, qxCreateSharedDataCopy(qxGetCell(block.get(), i)));
  }
  replaceContent(fresh);
}

void Variant::removeContent(const std::set<size_t>& indices) {
  if (!indices.empty() && *indices.rbegin() >= quads_.size()) {
    kstr_error("Kestrion:VariantRemoveOutOfRange", kstr::code(Code::KS_PATCH_REMOVE_OUT_OF_RANGE));
  }
  handleRemove(indices);
  removeIdxFromQuads(indices);
}

void Variant::handleRemove(const std::set<size_t>& indices) {
  const size_t held = quads_.size();
  qxArray* fresh = newColumn(held - indices.size());
  size_t next = 0;
  for (size_t i = 0; i < held; ++i) {
    if (indices.count(i) == 0) qxSetCell(fresh, next++, qxCreateSharedDataCopy(qxGetCell(content_, i)));
  }
  replaceContent(fresh);
}

void Variant::removeIdxFromQuads(const std::set<size_t>& indices) {
  const std::vector<size_t> removed(indices.begin(), indices.end());
  for (auto it = quads_.begin(); it != quads_.end();) {
    const size_t index = it->second.second;
    auto below = std::lower_bound(removed.begin(), removed.end(), index);
    if (below != removed.end() && *below == index) {
      it = quads_.erase(it);
      continue;
    }
    // Lowered by the number of removed indices below it.
    it->second.second = index - static_cast<size_t>(below - removed.begin());
    ++it;
  }
  rebuildPositions();
  rebuildNameIndex();
}

void Variant::removeContent(qxArray* entries) {
  StandardContent owned(entries);
  if (!entries || qxIsEmpty(entries)) return;
  StandardContent standard = standardizeContent(entries);
  owned.reset();
  QuadContainer given;
  setQuadContainerContents(given, standard.get());
  // Each given entry takes one stored entry of its key that no earlier given
  // entry took, the one with the lowest index.
  std::set<size_t> found;
  for (const auto& [key, entry] : given) {
    size_t best = std::numeric_limits<size_t>::max();
    auto [first, last] = quads_.equal_range(key);
    for (auto it = first; it != last; ++it) {
      const size_t index = it->second.second;
      if (index < best && found.count(index) == 0 && *it->second.first == *entry.first) best = index;
    }
    if (best == std::numeric_limits<size_t>::max()) {
      kstr_error("Kestrion:VariantContentNotFound", kstr::code(Code::KS_PATCH_CONTENT_NOT_FOUND));
    }
    found.insert(best);
  }
  handleRemove(found);
  removeIdxFromQuads(found);
}

kstrVector<const BPatchQuad*>* Variant::getQuads() const {
  auto* quads = new kstrVector<const BPatchQuad*>(quads_.size(), nullptr);
  for (const auto& [key, entry] : quads_) (*quads)[entry.second] = entry.first.get();
  return quads;
}

// --- positions and the name index ------------------------------------------------------

void Variant::rebuildPositions() {
  positions_.assign(quads_.size(), quads_.end());
  for (auto it = quads_.begin(); it != quads_.end(); ++it) positions_[it->second.second] = it;
}

const BPatchQuad* Variant::quadAt(size_t index) const { return positions_[index]->second.first.get(); }

void Variant::indexName(size_t index, const qxArray* name) {
  for (std::string& part : kstr::variants::namePartsOf(qxArrayToStdString(name))) {
    // Filed in the model first: its index may name the variant for a part
    // the variant does not hold, never the other way round.
    if (indexedIn_) indexedIn_->variantNamePartHeld(this, part, true);
    bool made = false;
    try {
      made = words_.emplace(part, index).second;
    } catch (...) {
      if (indexedIn_) indexedIn_->variantNamePartHeld(this, part, false);
      throw;
    }
    if (!made && indexedIn_) indexedIn_->variantNamePartHeld(this, part, false);
  }
}

void Variant::unindexName(size_t index, const qxArray* name) {
  for (std::string& part : kstr::variants::namePartsOf(qxArrayToStdString(name))) {
    if (words_.erase({part, index}) != 0 && indexedIn_) indexedIn_->variantNamePartHeld(this, part, false);
  }
}

void Variant::clearNameIndex() {
  if (indexedIn_) {
    for (const auto& [part, index] : words_) indexedIn_->variantNamePartHeld(this, part, false);
  }
  words_.clear();
}

void Variant::rebuildNameIndex() {
  clearNameIndex();
  for (const auto& [key, entry] : quads_) indexName(entry.second, entry.first->getName());
}

std::vector<size_t> Variant::entriesNaming(const std::string& part) const {
  std::vector<size_t> indices;
  for (auto it = words_.lower_bound({part, 0}); it != words_.end() && it->first == part; ++it) {
    indices.push_back(it->second);
  }
  return indices;
}

void Variant::renameEntry(size_t index, const std::string& name) {
  auto position = positions_[index];
  qxArray* row = qxGetCell(content_, index);
  // The new name cell and the new entry are made before anything changes:
  // when memory runs out the entry keeps its name, its cells and its place
  // in the name index.
  qxArray* fresh = qxCreateString(name.c_str());
  QuadPtr entry;
  try {
    entry.reset(new BPatchQuad(row));
  } catch (...) {
    qxDestroyArray(fresh);
    throw;
  }
  unindexName(index, qxGetCell(row, 1));
  qxSetCell(row, 1, fresh);
  *entry = BPatchQuad(row);
  position->second.first = entry;
  indexName(index, fresh);
}
