#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <iosfwd>
#include <list>
#include <set>
#include <string>
#include <vector>

#include <boost/function.hpp>
#include <boost/shared_ptr.hpp>
#include <ks_utils/kstrContainers.hpp>

#include "core/KelborApi.hpp"
#include "core/KelborComponent.hpp"

class SymbolTable;

namespace kstr {
class Expression;
}

// What a rename that fails part way puts back of one expression-based
// component, taken before the rename changes anything: the texts of its own
// expressions in the order restoreExpressionTexts takes them.  A subclass
// that keeps more (a reaction's equation and kinetic-law bindings) derives
// from it.
struct KELBOR_API SavedExpressions {
  virtual ~SavedExpressions() = default;
  std::vector<std::string> texts;
};

// Base of the components that carry expressions: reactions, rules and
// events.  It owns no expression: each subclass hands its expressions to
// these operations, which resolve their names through the model's symbol
// table, register the component as listener of what they denote, mark
// colliding names, defer change notifications during an edit and keep the
// expressions up to date when components are added, removed or renamed.
class KELBOR_API ExpressionBasedComponent : public KelborComponent {
 public:
  using ExpressionPtr = boost::shared_ptr<kstr::Expression>;
  using ComponentVector = std::vector<const KelborComponent*>;
  using ComponentVectorPtr = boost::shared_ptr<ComponentVector>;
  // (text rewritten, (old token, replacement text)) of an update.
  using UpdateRecord = std::pair<bool, std::pair<std::string, std::string>>;
  // Token to replacement text, as Expression::substitute takes it.
  using SubstitutionMap = kstrMap<std::string, std::string>;

  ExpressionBasedComponent();
  ExpressionBasedComponent(const ExpressionBasedComponent& other);
  ExpressionBasedComponent& operator=(const ExpressionBasedComponent& other);
  ~ExpressionBasedComponent() override;

  // --- slots 16 to 33 ------------------------------------------------------
  virtual void detachListenerSupport() = 0;
  virtual void debugPrint(std::ostream& out) const = 0;
  // Resolution in the component's own scope; outside a model null (or an
  // empty pointer for the vector forms).
  virtual KelborComponent* resolveSymbol(const std::string& name);
  virtual KelborComponent* resolveSymbolAndListen(const std::string& name);
  virtual ComponentVectorPtr resolveSymbolsAndListen(const std::set<std::string>& release,
                                                     const std::set<std::string>& resolve);
  virtual ComponentVectorPtr resolveSymbolWithCollisions(const std::string& name);
  virtual KelborComponent* reResolveSymbolAndListen(const std::string& oldName,
                                                    const std::string& newName);
  // False only for a kinetic-law parameter.
  virtual bool isComponentVisible(const KelborComponent* component) const;
  virtual void updateAllExpressionsForComponentRemoved(const KelborComponent* component) = 0;
  // Queued while deferring; otherwise every token bound to the removed
  // component resolves again, and a token of its bare name is re-examined
  // (an unbound one resolves again).  The text never changes.  At most one
  // sendJavaUpdateEvents per call.  Either way the work is done by
  // applyComponentRemoved, called through the virtual table.
  virtual void updateExpressionForComponentRemoved(ExpressionPtr expression,
                                                   const KelborComponent* component);
  virtual void updateAllExpressionsForComponentNameChange(const KelborComponent* component,
                                                          const std::string& oldBracketedName,
                                                          const std::string& oldQualifiedName) = 0;
  // Queued while deferring; otherwise re-examines the old names when they
  // are collision tokens, with at most one sendJavaUpdateEvents per call.
  // Either way the work is done by applyComponentNameChange, called through
  // the virtual table.
  virtual void updateExpressionForComponentNameChange(ExpressionPtr expression,
                                                      const KelborComponent* component,
                                                      const std::string& oldBracketedName,
                                                      const std::string& oldQualifiedName);
  virtual void updateAllExpressionsForParentComponentRename(
      const KelborComponent* parent, const KelborComponent* component,
      const std::string& newParentBracketedName, const std::string& oldQualifiedName,
      const std::string& newQualifiedName) = 0;
  virtual void updateAllExpressionsForComponentAdded(const KelborComponent* component) = 0;
  // Re-resolves the tokens the added component may answer; rewrites a bare
  // name that became ambiguous to the qualified name of its previous holder.
  // Never queued.  Answers whether the expression was updated.
  virtual bool updateExpressionForComponentAdded(ExpressionPtr expression,
                                                 const KelborComponent* component,
                                                 UpdateRecord* record);
  virtual std::set<size_t> updateExpressionsForRename(const KelborComponent* component,
                                                      const std::string& newName,
                                                      const std::set<size_t>& positions) = 0;
  virtual void sendJavaUpdateEvents() = 0;
  // The texts of the component's own expressions, in the order
  // restoreExpressionTexts takes them back.  The base owns no expression.
  virtual std::vector<std::string> getExpressionTexts() const { return {}; }
  // The component's formulas whose tokens may name any component: a
  // reaction's rate, a rule's expression, an event's trigger and functions
  // (not a reaction's equation, whose terms name species only).
  virtual std::vector<ExpressionPtr> getFormulaExpressions() const { return {}; }
  virtual void restoreExpressionTexts(const std::vector<std::string>&) {}
  // What a rename that fails part way puts back: saveExpressions is taken
  // before the rename changes anything, restoreExpressions takes the same
  // record (made by this component) back after the name is restored.  The
  // base keeps the texts of getExpressionTexts and restores them through
  // restoreExpressionTexts.
  virtual boost::shared_ptr<SavedExpressions> saveExpressions() const;
  virtual void restoreExpressions(const SavedExpressions& saved);
  virtual void handleCollisionScenario(ExpressionPtr expression, const std::string& token,
                                       bool quiet);

  // --- applying a removal or a name change ---------------------------------------
  // What updateExpressionForComponentRemoved and
  // updateExpressionForComponentNameChange do to one expression, at once
  // while applying, or when the outermost deferral bracket closes for the
  // updates queued meanwhile.  A queued update replays through these slots
  // with the names taken when it was queued: by then the component
  // concerned may be gone, so it is compared by address and never read.
  virtual void applyComponentRemoved(const ExpressionPtr& expression,
                                     const KelborComponent* removed,
                                     const std::string& removedBracketedName);
  virtual void applyComponentNameChange(const ExpressionPtr& expression,
                                        const std::string& oldBracketedName,
                                        const std::string& oldQualifiedName);

  // --- non-virtual ------------------------------------------------------------
  bool getActive() const { return active_; }
  // A new value marks the model for recompilation and sends the
  // component's expression events.
  void setActive(bool active);
  void resolveTokensInExpressionAndListen(ExpressionPtr expression);
  // The same for the listed tokens of the expression only (the others keep
  // their bindings and what they listen to).
  void resolveTokensAndListen(const ExpressionPtr& expression, const std::set<std::string>& tokens);
  void resolveTokensInExpression(ExpressionPtr expression);
  // Listens to the component bound to each token of the expression; an
  // unbound token waits for its name (nothing outside a model).
  void attachListenersForExpression(const ExpressionPtr& expression);
  // Stops listening to the components the expressions' tokens are bound to
  // and stops waiting for every name they hold (what detachListenerSupport
  // does with all of the component's expressions).  The bindings decide, not
  // what the names denote now, so a name that came to denote another
  // component, or none, still releases what it was bound to.  The
  // expressions' own bindings are not changed.  Nothing outside a model.
  void releaseListeners(const std::vector<ExpressionPtr>& expressions);
  // The same, but what the kept expressions still use stays: a name they
  // hold keeps waiting, and a component they are bound to stays listened to
  // (also when the released expressions name it otherwise).
  void releaseListenersExcept(const std::vector<ExpressionPtr>& expressions,
                              const std::vector<ExpressionPtr>& kept);
  // The same for names that were bound to one component (null: unbound)
  // and are no longer held by an expression of the component: the names
  // stop waiting and the component is no longer listened to, but for what
  // the kept expressions still use.  Costs what the kept expressions take
  // to answer for the names and the component, nothing more.
  void releaseBindingsExcept(const std::vector<std::string>& names, KelborComponent* component,
                             const std::vector<ExpressionPtr>& kept);
  // releaseListenersExcept for one expression.
  void detachListenersForExpression(const ExpressionPtr& expression,
                                    const std::vector<ExpressionPtr>& kept);
  // Sets the deferral flag and answers the previous one; closing the
  // outermost bracket replays the queued notifications, oldest first.
  bool deferNotification(bool defer);
  bool getSendJavaEvents() const;
  // Replaces a qualified token whose compartment was renamed.
  bool updateExpressionForParentComponentRename(ExpressionPtr expression,
                                                const KelborComponent* parent,
                                                const KelborComponent* component,
                                                const std::string& newParentBracketedName,
                                                const std::string& oldToken,
                                                const std::string& newToken,
                                                UpdateRecord* record);
  // Builds the substitutions of a rename for the subclasses'
  // updateExpressionsForRename; answers 4294967295, 1 or 0.
  static uint64_t renameHelper(const KelborComponent* component, const std::string& t1,
                               const std::string& t2, const std::string& u,
                               const std::string& v, bool f1, bool f2,
                               const kstr::Expression* expression, SubstitutionMap& map);
  void sendJavaExpressionEvents(const std::vector<ExpressionPtr>& expressions);
  void sendJavaDeleteEvents(const std::vector<ExpressionPtr>& expressions);

 protected:
  bool isDeferring() const { return deferring_; }
  void queueNotification(boost::function<void()> notification);
  // The model the component belongs to, or null (also while the model is
  // being destroyed).
  Kelbor* getLiveModel() const;

 private:
  void applyCollisionRule(const ExpressionPtr& expression, const std::string& token, bool quiet);
  // Marks the token of the expression as a collision token when it has two
  // or more candidates, and unmarks it otherwise; events unless quiet.
  void markCollision(const ExpressionPtr& expression, const std::string& token, size_t candidates,
                     bool quiet);
  // One token's part of releaseListenersExcept.
  void releaseBinding(SymbolTable& table, const std::string& token, KelborComponent* component,
                      const std::vector<ExpressionPtr>& kept);
  void sendExpressionBatch(const std::vector<ExpressionPtr>& expressions, bool deleted);

  bool deferring_ = false;
  // A list holds nothing until a notification is queued (most components
  // never queue one); a deque would take a block at construction.
  std::list<boost::function<void()>> queue_;
  bool active_ = true;
};
