// A variant: a named model component holding alternative values for
// properties of other components, kept as content entries that name the
// components by type and name.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <boost/shared_ptr.hpp>
#include <ks_utils/kstrContainers.hpp>

#include "core/KelborApi.hpp"
#include "core/KelborComponent.hpp"
#include "variants_doses/BPatchQuad.hpp"

class KStrConfigurationSetApi;

// The content is an N-by-1 cell array (null while empty) whose element i is
// the row of entry i, a 1-by-4 cell array {type, name, property, value}.
// Each entry is also filed by its lower-cased type, and by every name part
// its name text holds (so that a rename finds the entries that may name the
// component without walking the content).  Every operation that raises
// leaves the content and the entries as they were.
class KELBOR_API Variant : public KelborComponent {
 public:
  using QuadPtr = boost::shared_ptr<BPatchQuad>;
  using QuadContainer = std::multimap<std::string, std::pair<QuadPtr, size_t>>;
  // (component, (property, value)): one setting of a commit; the two arrays
  // point into the content and stay valid while the content is unchanged.
  using CommitSetCall =
      std::pair<const KelborComponent*, std::pair<const qxArray_tag*, const qxArray_tag*>>;
  using CommitSetCalls = boost::shared_ptr<kstrVector<CommitSetCall>>;

  struct qxDestroy_deleter {
    void operator()(qxArray_tag* array) const;
  };
  using StandardContent = std::unique_ptr<qxArray_tag, qxDestroy_deleter>;

  Variant() = default;
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  // Drops the entries, then destroys the content.
  ~Variant() override;

  const char* getType() const override { return "variant"; }
  kstr::bcomptype getEnumType() const override { return kstr::variant; }

  bool getActive() const { return active_; }
  void setActive(bool active) { active_ = active; }

  // Trims the name; raises "Kestrion:VariantMustHaveName" for an empty one
  // and, on a model, "Kestrion:VariantWithNameExists" when any variant of
  // the model (this one included) has that name.
  void setName(const std::string& name) override;

  // --- content ---------------------------------------------------------------
  // The content array itself (not a copy); null when empty.
  const qxArray_tag* getContent() const { return content_; }
  size_t getNumEntries() const { return quads_.size(); }
  // Replaces the whole content; null or empty clears it.  Malformed content
  // raises "Kestrion:MalformedVariantContent", "...Type", "...Name",
  // "...Property" or "Kestrion:InvalidObjectInContent".
  void setContent(const qxArray_tag* content);
  // Appends the entries (null or empty: nothing); the same checks.
  void addContent(const qxArray_tag* content);
  void addContent(const Variant& other);
  // Removes the entries of the 0-based indices; an index at or beyond the
  // number of entries raises "Kestrion:VariantRemoveOutOfRange" first.
  void removeContent(const std::set<size_t>& indices);
  // Removes the stored entries identical to the given ones, each given entry
  // taking one unused stored entry (the lowest index); raises
  // "Kestrion:VariantContentNotFound" when one has no match.  Owns the
  // array and destroys it on every path.
  void removeContent(qxArray_tag* entries);
  // A new vector (the caller deletes it) of the entries in index order.
  kstrVector<const BPatchQuad*>* getQuads() const;

  // --- the variant in its model ---------------------------------------------
  // Compiles the model with this variant alone applied (active or not),
  // under the model's active configuration set; a null model raises
  // "Kestrion:VariantVerifyNeedsModel".
  void update(Kelbor* model);
  // The same under the given set (null: the model's active one); a null
  // model raises "Kestrion:VariantVerifyNeedsModel" as well.
  void update(Kelbor* model, KStrConfigurationSetApi* set);
  // One setting per entry, at the entry's index.  Raises, before anything is
  // set, for the first entry (by type, then order of addition) whose type,
  // property or component cannot be applied.
  CommitSetCalls createCommitSetCalls(const Kelbor* model) const;
  // Raises "Kestrion:VariantComponentTypeNotSupported" unless the type is
  // "parameter", "species" or "compartment", and "Kestrion:PatchInvalidProperty"
  // unless the property is that type's Value, InitialAmount or Capacity
  // (ignoring case).
  void errorForInvalidComponentAndProperty(const std::string& type,
                                           const qxArray_tag* property) const;
  // The indices of the entries that name the component, ascending; empty
  // for a component in no model.
  std::vector<size_t> getUsageLocations(const KelborComponent* component) const;

 private:
  friend class Kelbor;
  using WordIndex = std::set<std::pair<std::string, size_t>>;

  // Rewrites the entries that name the component, which is about to take the
  // new name; answers the indices of the entries given the new partially
  // qualified name where a plain one would collide (see the .cpp).
  std::set<size_t> componentRename(const KelborComponent* component, std::string newName,
                                   const std::set<size_t>& entries);
  // (index, name text) of every entry whose name holds the part: all that
  // a rename of a component of that name may rewrite.
  std::vector<std::pair<size_t, std::string>> entryNamesHolding(const std::string& part) const;
  // Gives those entries their saved names back where they differ, and tells
  // the host "Content" changed when one did.
  void restoreEntryNames(const std::vector<std::pair<size_t, std::string>>& names);

  StandardContent standardizeContent(const qxArray_tag* content) const;
  static void standardizeQuad(qxArray_tag* row);
  void setQuadContainerContents(QuadContainer& target, const qxArray_tag* standard) const;
  void handleAppend(StandardContent block);
  void handleRemove(const std::set<size_t>& indices);
  void removeIdxFromQuads(const std::set<size_t>& indices);
  void replaceContent(qxArray_tag* fresh);

  // The name index: (name part, entry index) for every part of every
  // entry's name text.
  void indexName(size_t index, const qxArray_tag* name);
  void unindexName(size_t index, const qxArray_tag* name);
  void rebuildNameIndex();
  // Empties the name index (and the variant's filing in its model's).
  void clearNameIndex();
  // Entries whose name holds the part, ascending.
  std::vector<size_t> entriesNaming(const std::string& part) const;
  // Writes a new name into entry index and renews its entry.
  void renameEntry(size_t index, const std::string& name);
  const BPatchQuad* quadAt(size_t index) const;
  void rebuildPositions();

  qxArray_tag* content_ = nullptr;
  QuadContainer quads_;
  bool active_ = false;
  // The element of quads_ that holds each index (rebuilt with the content).
  std::vector<QuadContainer::iterator> positions_;
  WordIndex words_;
  // The model that files the variant under the name parts it holds: set
  // while the variant is in the model's list (Kelbor::addVariant).
  Kelbor* indexedIn_ = nullptr;
};
