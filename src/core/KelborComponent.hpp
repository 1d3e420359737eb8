#pragma once

#include <cstddef>
#include <cstdint>
#include <memory_resource>
#include <new>
#include <set>
#include <string>

#include <boost/shared_ptr.hpp>

#include "core/ComponentKind.hpp"
#include "core/KelborApi.hpp"
#include "core/RenameUndoData.hpp"

class OBInterface;
class ExpressionBasedComponent;
class Kelbor;
struct qxArray_tag;

// Data shared by a model and every component below it.
struct ModelGlobalData {
  Kelbor* model = nullptr;
  bool beingDestroyed = false;
  // Where the listener sets of the model's components keep their entries:
  // they lie together instead of between the components, and when the
  // model is deleted the pool hands its memory back in a few blocks.
  std::pmr::unsynchronized_pool_resource listenerMemory;
};

// Base class of every model component: name and its checks, identifier,
// annotation, notes, tag, user data, parent links, host handles, the
// expression-based components listening to it (whose number is its in-use
// count) and the data of the model it belongs to.
class KELBOR_API KelborComponent {
 public:
  using ListenerSet = std::pmr::set<ExpressionBasedComponent*>;

  KelborComponent();
  // Copies the name, texts (duplicated, never shared) and user data.  The
  // copy gets a fresh ID and no host handles, parent, model data or
  // listeners; assignment keeps the target's own ID, handles, parent, model
  // data and listeners.
  KelborComponent(const KelborComponent& other);
  KelborComponent& operator=(const KelborComponent& other);
  virtual ~KelborComponent();

  // Components are allocated zero-filled through the host allocator.
  static void* operator new(size_t size);
  static void* operator new[](size_t size);
  static void* operator new(size_t size, void* where) noexcept { return where; }
  static void operator delete(void* p) noexcept;
  static void operator delete[](void* p) noexcept;
  static void operator delete(void*, void*) noexcept {}

  // --- virtual naming operations -----------------------------------------
  // Raises the name errors of errorForInvalidNameStatic; subclasses add
  // their own checks.
  virtual void errorForInvalidName(const std::string& name,
                                   const KelborComponent* parent) const;
  // Trims the name, checks a non-empty one (brackets, white space only,
  // reserved word), stores it and tells the model about the change.  An
  // empty or blank name is stored as the empty name.
  virtual void setName(const std::string& name);
  virtual const std::string& getName() const;
  // Undoable rename: checks the name, lets the model rewrite every
  // expression that names the component, then sets the name.  A checked
  // name equal to the current one (after trimming) changes nothing and
  // answers an empty record.
  virtual quorvix::type_defs::RenameUndoData rename(
      const std::string& name, const quorvix::type_defs::RenameUndoData& undo);
  virtual void rename(const std::string& name);
  virtual const char* getType() const = 0;
  virtual kstr::bcomptype getEnumType() const = 0;
  virtual void setParent(KelborComponent* parent);
  // The IDs of the component and its ancestors below the root, joined by
  // "_"; valid until the next call.
  virtual const char* getIdWithFullPathToTopModel() const;
  virtual void fillFullyQualifiedName(std::string& out) const;
  virtual void fillPartiallyQualifiedName(std::string& out) const;
  virtual void fillDisplayQualifiedName(std::string& out) const;
  virtual void getPQN(std::string& out) const;
  virtual void getDQN(std::string& out) const;
  virtual std::string getDefaultName() const;

  // The name check shared by all components; an empty name passes.
  static void errorForInvalidNameStatic(const std::string& name,
                                        const KelborComponent* parent);

  // --- texts ---------------------------------------------------------------
  const char* getAnnotation() const { return annotation_; }
  const char* getAnnotationOpeningTag() const { return annotationOpeningTag_; }
  const char* getID() const { return id_; }
  // The metaid the component's SBML element had (null when none); like the
  // ID, it is not copied with the component.
  const char* getMetaId() const { return metaId_; }
  const char* getNotes() const { return notes_; }
  const char* getTag() const { return tag_; }
  bool getKeepAnnotationTagsInText() const { return keepAnnotationTags_; }
  // Stores the annotation; unless the keep flag is set, its
  // <annotation ...> and </annotation> tags are removed (found ignoring
  // case) and the opening tag is remembered.
  void setAnnotation(const char* text);
  void setAnnotationOpeningTag(const char* text);
  void setID(const char* text);
  void setMetaId(const char* text);
  void setNotes(const char* text);
  void setTag(const char* text);
  void setKeepAnnotationTagsInText(bool keep) { keepAnnotationTags_ = keep; }
  void updateAnnotationFull();
  // The annotation with its tags; null when no annotation is set.
  const char* getAnnotationFull();

  // --- host handles and links ------------------------------------------------
  void setOBI(OBInterface* obi) { obi_ = obi; }
  OBInterface* getOBI() const { return obi_; }
  void setOBIParent(OBInterface* obi) { obiParent_ = obi; }
  OBInterface* getOBIParent() const { return obiParent_; }
  void setUserData(qxArray_tag* data) { userData_ = data; }
  qxArray_tag* getUserData() const { return userData_; }
  KelborComponent* getParent() const { return parent_; }

  // --- listeners and in-use count --------------------------------------------
  const ListenerSet& getListeners() const { return listeners_; }
  uint64_t getInUseCount() const { return listeners_.size(); }
  void setInUseCount(uint64_t) {}
  void addListener(ExpressionBasedComponent* listener);
  void removeListener(ExpressionBasedComponent* listener);

  boost::shared_ptr<ModelGlobalData> getModelGlobalData() const { return modelData_; }
  void setModelCompileNeeded();
  // Whether the model this component belongs to is being deleted whole
  // (its components then leave without keeping the model's indexes).
  bool isModelBeingDestroyed() const { return modelData_ && modelData_->beingDestroyed; }

 protected:
  // The model this component belongs to, or null.
  Kelbor* getModel() const { return modelData_ ? modelData_->model : nullptr; }
  void setModelGlobalData(const boost::shared_ptr<ModelGlobalData>& data);
  // Stores the name as it is: no trimming, no checks, no model update (for
  // components with naming rules of their own).
  void storeName(const std::string& name) { name_ = name; }
  // Sets an already checked and trimmed name as rename does: in a model, the
  // rename is first checked not to change what any text denotes, then every
  // text naming the component is rewritten, then KelborComponent::setName
  // stores the name; a failure part way puts back what changed.  Outside a
  // model (or for the current name) only KelborComponent::setName runs.
  void setNameRewritingTexts(const std::string& trimmed);

 private:
  void copyFrom(const KelborComponent& other);
  void releaseTexts();

  char* annotation_ = nullptr;
  char* annotationFull_ = nullptr;
  char* annotationOpeningTag_ = nullptr;
  bool keepAnnotationTags_ = true;
  char* id_ = nullptr;
  char* metaId_ = nullptr;
  std::string name_;
  char* notes_ = nullptr;
  OBInterface* obiParent_ = nullptr;
  OBInterface* obi_ = nullptr;
  char* tag_ = nullptr;
  qxArray_tag* userData_ = nullptr;
  KelborComponent* parent_ = nullptr;
  boost::shared_ptr<ModelGlobalData> modelData_;
  mutable std::string idPath_;
  // The model data whose pool holds the listener entries (null: the
  // default allocator); kept while any entry is, even after the component
  // changes model, so it is declared before the set it outlives.
  boost::shared_ptr<ModelGlobalData> listenerMemoryOwner_;
  ListenerSet listeners_;
};
