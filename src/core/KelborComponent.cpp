#include "core/KelborComponent.hpp"

#include <cstring>
#include <map>
#include <memory>
#include <type_traits>
#include <utility>

#include <hb/hb.hpp>
#include <ks_utils/Errors.hpp>
#include <ks_utils/Identifiers.hpp>
#include <ks_utils/StringHelpers.hpp>
#include <ks_utils/Uuid.hpp>
#include <obk/Exception.hpp>

#include "core/HostBoundary.hpp"
#include "host/HostHelpers.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"

namespace {

const char kDefaultOpeningTag[] = "<annotation>";
const char kClosingTag[] = "</annotation>";
constexpr size_t kClosingTagLength = sizeof(kClosingTag) - 1;

// Replaces an owned text with a copy of the new one.  The copy is made
// before the old text is released, so passing back the stored text itself
// is safe, and running out of memory leaves the old text in place.
void replaceOwnedText(char*& slot, const char* text) {
  if (slot == text) return;
  char* copy = hostTextCopy(text);
  hbFree(slot);
  slot = copy;
}

std::string lowerCopy(const char* text) {
  std::string lower = text ? text : "";
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

bool isNameWhitespace(char c) {
  return c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == ' ';
}

}  // namespace

namespace kstr {

const char* componentTypeKeyword(int kind) {
  switch (kind) {
#define KSTR_COMPONENT_KIND(value, name, keyword) \
  case value:                                     \
    return keyword;
#include "core/ComponentKinds.def"
    default:
      return nullptr;
  }
}

bcomptype componentTypeFromKeyword(const std::string& keyword) {
  // Built on first use, in table order.
  static const std::map<std::string, bcomptype> kinds = [] {
    std::map<std::string, bcomptype> table;
#define KSTR_COMPONENT_KIND(value, name, keyword) table.emplace(keyword, name);
#include "core/ComponentKinds.def"
    return table;
  }();
  auto found = kinds.find(keyword);
  return found == kinds.end() ? not_a_component : found->second;
}

}  // namespace kstr

namespace {

// A fresh identifier in host memory.
HostText freshIdText() {
  std::string id;
  createValidPELLAMIdFromUuidString(id);
  return HostText(hostTextCopy(id.c_str()));
}

}  // namespace

KelborComponent::KelborComponent() {
  HostText openingTag(hostTextCopy(kDefaultOpeningTag));
  id_ = freshIdText().release();
  annotationOpeningTag_ = openingTag.release();
}

// A copy takes the other's texts, name and user data only: it gets a fresh
// ID and no host handles, parent, model data or listeners, so that it can
// never pass for the original in the host tree or in a model.
KelborComponent::KelborComponent(const KelborComponent& other) {
  HostText id = freshIdText();
  copyFrom(other);
  id_ = id.release();
}

// Assignment takes the same content and keeps this component's own ID,
// handles, parent, model data and listeners.
KelborComponent& KelborComponent::operator=(const KelborComponent& other) {
  if (this != &other) copyFrom(other);
  return *this;
}

KelborComponent::~KelborComponent() {
  obi_ = nullptr;
  obiParent_ = nullptr;
  releaseTexts();
  // While its model is deleted whole, a set whose entries lie in the
  // model's pool is left to the pool, which hands back all of them at once
  // when the model's data goes: the entries hold nothing to release.
  static_assert(std::is_trivially_destructible_v<ListenerSet::value_type>);
  if (modelData_ && modelData_->beingDestroyed && listenerMemoryOwner_ == modelData_) {
    std::construct_at(&listeners_, &modelData_->listenerMemory);
  }
}

// Every copy is made before anything is replaced: when memory runs out, the
// copies made so far are given back and the component keeps its own texts.
void KelborComponent::copyFrom(const KelborComponent& other) {
  HostText annotation(hostTextCopy(other.annotation_));
  HostText annotationFull(hostTextCopy(other.annotationFull_));
  HostText openingTag(hostTextCopy(other.annotationOpeningTag_));
  HostText notes(hostTextCopy(other.notes_));
  HostText tag(hostTextCopy(other.tag_));
  std::string name = other.name_;
  const std::pair<char**, HostText*> slots[] = {{&annotation_, &annotation},
                                                {&annotationFull_, &annotationFull},
                                                {&annotationOpeningTag_, &openingTag},
                                                {&notes_, &notes},
                                                {&tag_, &tag}};
  for (const auto& [slot, copy] : slots) {
    hbFree(*slot);
    *slot = copy->release();
  }
  keepAnnotationTags_ = other.keepAnnotationTags_;
  name_.swap(name);
  userData_ = other.userData_;
}

void KelborComponent::releaseTexts() {
  for (char** text : {&annotation_, &annotationFull_, &annotationOpeningTag_, &id_,
                      &metaId_, &notes_, &tag_}) {
    hbFree(*text);
    *text = nullptr;
  }
}

void* KelborComponent::operator new(size_t size) { return hbCallocWithCheck(size, 1); }
void* KelborComponent::operator new[](size_t size) { return hbCallocWithCheck(size, 1); }
void KelborComponent::operator delete(void* p) noexcept { hbFree(p); }
void KelborComponent::operator delete[](void* p) noexcept { hbFree(p); }

// --- names ---------------------------------------------------------------

namespace {

// Runs a rename's changes to the model; when they raise part way (memory
// running out), what they changed is put back before the error passes on.
template <class Change>
void undoneOnFailure(Kelbor& model, KelborComponent* component, const std::string& newName,
                     Change change) {
  const Kelbor::RenameSnapshot before = model.snapshotForRename(component, newName);
  try {
    change();
  } catch (...) {
    model.restoreAfterFailedRename(component, before);
    throw;
  }
}

}  // namespace

void KelborComponent::errorForInvalidNameStatic(const std::string& name,
                                                const KelborComponent*) {
  if (name.empty()) return;
  if (name.find_first_of("[]") != std::string::npos) {
    kstr_error("Kestrion:NameCannotContainBrackets",
               kstr::code(kstr::MessageCode::KS_MODELCOMPONENT_NAME_CANNOT_CONTAIN_BRACKETS),
               name.c_str());
  }
  bool blank = true;
  for (char c : name) blank = blank && isNameWhitespace(c);
  if (blank) {
    kstr_error("Kestrion:NameCannotContainOnlyWhitespace",
               kstr::code(kstr::MessageCode::KS_MODELCOMPONENT_NAME_WHITESPACE_ONLY));
  }
  if (isKestriReservedToken(name)) {
    throw ErrorIdException("Kestrion:InvalidComponentName",
                           "Invalid Name. Name cannot be 'time', all whitespace, or contain "
                           "the strings '[' or ']'.");
  }
}

void KelborComponent::errorForInvalidName(const std::string& name,
                                          const KelborComponent* parent) const {
  errorForInvalidNameStatic(name, parent);
}

const std::string& KelborComponent::getName() const { return name_; }

std::string KelborComponent::getDefaultName() const { return std::string(); }

void KelborComponent::setName(const std::string& name) {
  std::string trimmed = name;
  STDStringHelpers::trimWhitespace(trimmed);
  errorForInvalidNameStatic(trimmed, parent_);

  std::string oldPqn;
  fillPartiallyQualifiedName(oldPqn);
  std::string oldName = name_.empty() ? getDefaultName() : name_;

  name_ = trimmed;
  Kelbor* model = getModel();
  if (!model) return;
  model->setCompileNeeded(true);
  if (!oldName.empty() && oldName != name_) {
    model->componentNameChanged(this, oldName, oldPqn);
  }
}

void KelborComponent::rename(const std::string& name) {
  std::string trimmed = name;
  STDStringHelpers::trimWhitespace(trimmed);
  errorForInvalidName(trimmed, parent_);
  // The own name again: nothing to rewrite anywhere.
  if (trimmed == name_) return;
  if (Kelbor* model = getModel()) {
    model->checkRenameKeepsMeaning(this, trimmed);
    undoneOnFailure(*model, this, trimmed, [&] {
      model->componentRename(this, trimmed);
      setName(trimmed);
    });
  } else {
    setName(trimmed);
  }
  notifyPropertyPostSet(obi_, "Name", name_.c_str());
}

void KelborComponent::setNameRewritingTexts(const std::string& trimmed) {
  Kelbor* model = getModel();
  if (!model || trimmed == name_) {
    KelborComponent::setName(trimmed);
    return;
  }
  model->checkRenameKeepsMeaning(this, trimmed);
  undoneOnFailure(*model, this, trimmed, [&] {
    model->componentRename(this, trimmed);
    KelborComponent::setName(trimmed);
  });
}

quorvix::type_defs::RenameUndoData KelborComponent::rename(
    const std::string& name, const quorvix::type_defs::RenameUndoData& undo) {
  std::string trimmed = name;
  STDStringHelpers::trimWhitespace(trimmed);
  errorForInvalidName(trimmed, parent_);
  quorvix::type_defs::RenameUndoData record;
  if (trimmed == name_) return record;
  if (Kelbor* model = getModel()) {
    model->checkRenameKeepsMeaning(this, trimmed);
    undoneOnFailure(*model, this, trimmed, [&] {
      record = model->componentRename(this, trimmed, undo);
      setName(trimmed);
    });
    model->setCompileNeeded(true);
  } else {
    setName(trimmed);
  }
  notifyPropertyPostSet(obi_, "Name", name_.c_str());
  return record;
}

// --- parent and model data -------------------------------------------------

void KelborComponent::setParent(KelborComponent* parent) {
  parent_ = parent;
  if (!parent) {
    setModelGlobalData(nullptr);
    return;
  }
  if (parent->getEnumType() == kstr::kstrroot) return;
  if (parent->modelData_) {
    setModelGlobalData(parent->modelData_);
    return;
  }
  Kelbor* enclosing = getEnclosingModel(parent->getOBI());
  setModelGlobalData(enclosing ? enclosing->getModelGlobalData() : nullptr);
}

void KelborComponent::setModelGlobalData(const boost::shared_ptr<ModelGlobalData>& data) {
  // An empty set moves to the new model's pool without allocating; a set
  // with entries keeps them where they are (its pool's owner stays held)
  // until it is empty at a later change of model.
  std::pmr::memory_resource* memory = data ? &data->listenerMemory : std::pmr::get_default_resource();
  if (listeners_.empty() && listeners_.get_allocator().resource() != memory) {
    std::destroy_at(&listeners_);
    std::construct_at(&listeners_, memory);
    listenerMemoryOwner_ = data;
  }
  modelData_ = data;
}

void KelborComponent::setModelCompileNeeded() {
  if (Kelbor* model = getModel()) model->setCompileNeeded(true);
}

void KelborComponent::addListener(ExpressionBasedComponent* listener) {
  listeners_.insert(listener);
  if (Kelbor* model = getModel()) model->notifyComponentInUseCountChange(this, false);
}

void KelborComponent::removeListener(ExpressionBasedComponent* listener) {
  listeners_.erase(listener);
  if (Kelbor* model = getModel()) model->notifyComponentInUseCountChange(this, false);
}

// --- qualified names -------------------------------------------------------

const char* KelborComponent::getIdWithFullPathToTopModel() const {
  idPath_ = id_ ? id_ : "";
  for (const KelborComponent* a = parent_; a && std::strcmp(a->getType(), "kstrroot") != 0;
       a = a->parent_) {
    idPath_.insert(0, "_");
    idPath_.insert(0, a->id_ ? a->id_ : "");
  }
  return idPath_.c_str();
}

void KelborComponent::fillFullyQualifiedName(std::string& out) const {
  std::string part = name_.empty() ? std::string(id_ ? id_ : "") : name_;
  bracketNameIfNotValidIdentifier(part);
  part.insert(0, ":");
  part.insert(0, getType());
  if (!out.empty()) part += ".";
  out.insert(0, part);
  if (parent_) parent_->fillFullyQualifiedName(out);
}

void KelborComponent::fillPartiallyQualifiedName(std::string& out) const {
  if (!out.empty()) out.insert(0, ".");
  std::string part = name_.empty() ? getDefaultName() : name_;
  bracketNameIfNotValidIdentifier(part);
  out.insert(0, part);
  if (parent_) parent_->fillPartiallyQualifiedName(out);
}

void KelborComponent::fillDisplayQualifiedName(std::string& out) const {
  if (!out.empty()) out.insert(0, ".");
  std::string part = name_.empty() ? getDefaultName() : name_;
  if (part.find('.') != std::string::npos) part = "[" + part + "]";
  out.insert(0, part);
  if (parent_) parent_->fillDisplayQualifiedName(out);
}

void KelborComponent::getPQN(std::string& out) const {
  out.clear();
  Kelbor* model = getModel();
  if (model && model->hasSeveralCompartments()) {
    fillPartiallyQualifiedName(out);
    return;
  }
  out = name_;
  bracketNameIfNotValidIdentifier(out);
}

void KelborComponent::getDQN(std::string&) const {
  hbPrintf("Error, default function should never be called\n");
}

// --- texts -----------------------------------------------------------------

void KelborComponent::setAnnotationOpeningTag(const char* text) {
  replaceOwnedText(annotationOpeningTag_, text);
}
void KelborComponent::setID(const char* text) { replaceOwnedText(id_, text); }
void KelborComponent::setMetaId(const char* text) { replaceOwnedText(metaId_, text); }
void KelborComponent::setNotes(const char* text) { replaceOwnedText(notes_, text); }
void KelborComponent::setTag(const char* text) { replaceOwnedText(tag_, text); }

void KelborComponent::setAnnotation(const char* text) {
  if (!text) {
    replaceOwnedText(annotation_, nullptr);
    replaceOwnedText(annotationOpeningTag_, kDefaultOpeningTag);
    return;
  }
  std::string result = text;
  const std::string lower = lowerCopy(text);
  const size_t open = lower.find("<annotation");
  const size_t close = lower.find(kClosingTag);

  if (open == std::string::npos) {
    if (!keepAnnotationTags_ && close != std::string::npos) {
      result.erase(close, kClosingTagLength);
    }
    replaceOwnedText(annotationOpeningTag_, kDefaultOpeningTag);
  } else {
    const size_t gt = lower.find('>', open);
    const size_t openEnd = gt == std::string::npos ? lower.size() : gt + 1;
    const std::string openingTag = result.substr(open, openEnd - open);
    if (!keepAnnotationTags_) {
      // Both ranges are worked out on the original text; the later one is
      // removed first so that the earlier one keeps its position.  A closing
      // tag inside an unterminated opening tag goes with the opening tag.
      const bool closeInsideOpen =
          close != std::string::npos && close >= open && close < openEnd;
      if (close == std::string::npos || closeInsideOpen) {
        result.erase(open, openEnd - open);
      } else if (close > open) {
        result.erase(close, kClosingTagLength);
        result.erase(open, openEnd - open);
      } else {
        result.erase(open, openEnd - open);
        result.erase(close, kClosingTagLength);
      }
    }
    replaceOwnedText(annotationOpeningTag_, openingTag.c_str());
  }
  replaceOwnedText(annotation_, result.c_str());
}

void KelborComponent::updateAnnotationFull() {
  if (!annotation_) {
    hbFree(annotationFull_);
    annotationFull_ = nullptr;
    return;
  }
  const std::string lower = lowerCopy(annotation_);
  std::string full;
  if (lower.find("<annotation") == std::string::npos) {
    full += annotationOpeningTag_ ? annotationOpeningTag_ : kDefaultOpeningTag;
  }
  full += annotation_;
  if (lower.find(kClosingTag) == std::string::npos) full += kClosingTag;
  // The full text is handed out borrowed: an unchanged text keeps its
  // block, so a reader still holding an earlier read (comparing a
  // component with itself reads it twice) is not left with a freed text.
  if (annotationFull_ && full == annotationFull_) return;
  replaceOwnedText(annotationFull_, full.c_str());
}

const char* KelborComponent::getAnnotationFull() {
  updateAnnotationFull();
  return annotationFull_;
}
