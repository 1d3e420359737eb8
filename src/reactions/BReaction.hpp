#pragma once

#include <cstddef>
#include <iosfwd>
#include <set>
#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>
#include <ks_utils/kstrContainers.hpp>

#include "core/KelborApi.hpp"
#include "expressions/ExpressionBasedComponent.hpp"

class BKineticLaw;
class BParameter;
class BSpecies;
class MParseTree;
class OBInterface;
struct ParsedReaction;

namespace kstr {
class MathExpression;
class ReactionExpression;

// The kind of rate a reaction has.
enum kineticlawtype : int {
  // No kinetic law and an empty rate text.
  nokineticlaw = 0,
  // A kinetic law bound to the abstract law "MassAction".
  massactionkineticlaw = 1,
  // Any other kinetic law, or no law and a rate text.
  otherkineticlaw = 2,
};
}  // namespace kstr

// A reaction: its equation (reactant and product species with their
// stoichiometries, and whether it is reversible), its rate expression, its
// optional kinetic law and a fast-reaction threshold.  Both expressions are
// resolved in the reaction's scope of the model (species, then the
// parameters of its own kinetic law, then compartments, then model
// parameters); the reaction listens to every component they name and keeps
// both texts current when those components are added, removed or renamed.
//
// Every change of the equation runs one frame: notifications are deferred,
// the reaction stops listening, the change is made, the tokens are resolved
// and listened to again, the desktop hears of the new texts, the rate is
// recomputed from the kinetic law and the model is marked for
// recompilation.
//
// Copies share the two expression objects of their source (the shared
// pointers' counts go up); the host's copyobj makes independent copies.
class KELBOR_API BReaction : public ExpressionBasedComponent {
 public:
  using RatePtr = boost::shared_ptr<kstr::MathExpression>;
  using EquationPtr = boost::shared_ptr<kstr::ReactionExpression>;

  // Equation "null -> null", empty rate, no kinetic law, fast threshold 0.
  BReaction();
  BReaction(const BReaction& other);
  BReaction& operator=(const BReaction& other);
  ~BReaction() override;

  // --- identity and names ----------------------------------------------------
  const char* getType() const override { return "reaction"; }
  kstr::bcomptype getEnumType() const override { return kstr::reaction; }
  // Trims the name (white space), then checks it: the component rules,
  // "Kestrion:DuplicateReactionName" when another reaction of the model
  // holds it, "Kestrion:ReservedReactionName" when it begins with
  // "UnnamedReaction_".  A refused name changes nothing.
  void setName(const std::string& name) override;
  // The checks of setName that do not depend on the model: the component
  // rules and the reserved prefix.  The name is checked as given.
  static void errorForInvalidNameStatic(const std::string& name);
  // Whether a text may name one of the reaction's kinetic-law parameters
  // through the reaction's name: a parameter has listeners, or a variant or
  // dose of the model holds the name.
  bool areLawParametersNamed(const Kelbor& model) const;
  // A new parent (only when it differs) runs the equation frame, so the
  // equation and the rate resolve in the new model (or unbind outside one).
  void setParent(KelborComponent* parent) override;
  // "name" (bracketed when it holds a "."), or "Unnamed Reaction", before
  // out with a "." between.
  void fillDisplayQualifiedName(std::string& out) const override;
  // Clears out, then fillDisplayQualifiedName.
  void getDQN(std::string& out) const override;
  // "UnnamedReaction_" and the 1-based position among the model's reactions
  // (the list's length + 1 when it is not listed); the reaction's ID outside
  // any model.
  std::string getDefaultName() const override;
  // The 0-based position in the list of the model the default name counts
  // in, or that list's length when not listed; -1 outside any model.
  // Usually a few steps from where it was last found.
  long getListPosition() const;

  // --- equation ----------------------------------------------------------------
  std::string getReactionString() const;
  // Builds the equation from the parsed reaction ("null" terms left out,
  // qualified terms as qualifier.name), resolves it and renames each term
  // after its species.  The parsed reaction is only read; null gives an
  // equation that is not syntactically valid.
  void setReaction(const ParsedReaction* parsed);
  // The same, but the given text is kept as the equation text.
  void setReaction(const char* text, const ParsedReaction* parsed);
  bool getReversible() const;
  void setReversible(bool reversible);
  // Adds a term for the species with that (positive) stoichiometry, or adds
  // the stoichiometry to the species' existing term on that side.  A null
  // species changes nothing.
  void addReactant(BSpecies* species, double stoichiometry);
  void addProduct(BSpecies* species, double stoichiometry);
  // A species with its (positive) stoichiometry, for addTerms.
  struct SpeciesTerm {
    BSpecies* species;
    double stoichiometry;
  };
  // Adds the reactants, then the products, as addReactant and addProduct
  // do one at a time, and sets the direction; the equation is resolved,
  // announced and the rate recomputed once for all of them.  With no species
  // to add and the direction as it is, nothing changes and nothing is heard.
  void addTerms(const std::vector<SpeciesTerm>& reactants,
                const std::vector<SpeciesTerm>& products, bool reversible);
  // Removes every term of the species on that side; false (and nothing
  // changes) when it is no term there.
  bool removeReactant(BSpecies* species);
  bool removeProduct(BSpecies* species);
  size_t getNumReactants() const;
  size_t getNumProducts() const;
  // The index must be below the side's count; null for an unbound term.
  BSpecies* getReactantAt(size_t index) const;
  BSpecies* getProductAt(size_t index) const;
  double getReactantStoichAt(size_t index) const;
  double getProductStoichAt(size_t index) const;
  // Append the bound species of the reactant (product) terms in term order;
  // unbound terms are skipped.
  virtual void getReactants(kstrVector<BSpecies*>& out) const;
  virtual void getProducts(kstrVector<BSpecies*>& out) const;
  bool isReactant(const BSpecies* species) const;
  bool isProduct(const BSpecies* species) const;
  // By the species' partially qualified name; null counts as "".
  bool isReactant(const char* name) const;
  bool isProduct(const char* name) const;
  bool getNullReactant() const { return getNumReactants() == 0; }
  bool getNullProduct() const { return getNumProducts() == 0; }
  // Kept for the exported interface; they change nothing.
  void setNullReactant(bool) {}
  void setNullProduct(bool) {}
  // A new hbMalloc array of the reactant stoichiometries negated, then the
  // product stoichiometries; the caller frees it with hbFree.  Null with
  // count 0 when there is no term or the equation is not valid.  Throws
  // std::bad_alloc when host memory runs out.
  double* getStoichiometry(size_t& count) const;
  // Signed coefficients, reactants first (negative); the equation keeps the
  // magnitudes and rebuilds its text.  A count that differs from the number
  // of terms changes nothing.  Marks the model for recompilation.
  void setStoichiometry(const double* values, size_t count);
  bool isComponentUsedInReaction(const KelborComponent* component) const;
  void getReactionTokens(std::set<std::string>& tokens) const;
  EquationPtr getReactionExpression() const { return reaction_; }
  // The equation itself, borrowed for as long as the reaction holds it (a
  // read without touching the shared pointer's count).
  const kstr::ReactionExpression& getEquation() const { return *reaction_; }

  // --- rate ------------------------------------------------------------------------
  std::string getReactionRate() const;
  // Replaces the rate by a new expression of the text and resolves it; the
  // reaction stops listening to what only the old rate used, and the
  // equation keeps its bindings and listening.  A text that does not parse
  // is stored as it is (verifyReactionRateSyntax reports it).  With
  // sendEvents the desktop hears of it.
  void setReactionRate(const std::string& text, bool sendEvents);
  RatePtr getReactionRateExpression() const { return rate_; }
  // The rate expression itself, borrowed as getEquation is.
  const kstr::MathExpression& getRate() const { return *rate_; }
  // Null when the rate text is empty or does not parse.
  boost::shared_ptr<const MParseTree> getReactionRateParseTree() const;
  void getReactionRateTokens(std::set<std::string>& tokens, bool allTokens) const;
  void fillFromRateToken2KLCMap(kstrMap<std::string, const KelborComponent*>& out) const;
  bool isComponentUsedInReactionRate(const KelborComponent* component) const;
  // Stacks "Kestrion:ReactionObjectDoesNotResolve" for each term of the
  // equation that is bound to no species, in term order, reactants first.
  // Never raises.
  void verifyEquationBindings() const;
  // Raises "Kestrion:InvalidReactionRateSyntax" (the rate text and the
  // reaction in its message) when the rate text is not empty and does not
  // parse; an empty rate passes.
  void requireParsedRate() const;
  // Stacks "Kestrion:InvalidReactionRateSyntax" for a rate that does not
  // parse; otherwise, with checkResolution, one
  // "Kestrion:ReactionObjectDoesNotResolve" per unresolved token in sorted
  // order.  Never raises.
  void verifyReactionRateSyntax(bool checkResolution) const;
  // The rate as the kinetic law composes it (a law other than "Unknown"),
  // else the current rate text; empty while the model is being destroyed.
  // Errors of the law pass on.
  void getUpdatedReactionRateWithoutSendingEvents(std::string& out);

  // --- kinetic law -----------------------------------------------------------------
  virtual BKineticLaw* getKineticLaw() const;
  BKineticLaw* getKineticLawApi() const { return getKineticLaw(); }
  bool hasNonUnknownKineticLaw() const;
  kstr::kineticlawtype getKineticLawType() const;
  // Attaches the law (null: none), becomes its parent, refreshes a
  // mass-action law's variable names, recomputes the rate and marks the
  // model.  While the model is being destroyed a null law is only
  // forgotten and any other call does nothing.
  virtual void setKineticLaw(BKineticLaw* law);
  // Sets the rate to the one the law composes.  When the law raises, the
  // rate is set to "" first and the error passes on.
  void updateReactionRateBasedOnKineticLaw(bool unused, bool sendEvents);
  void updateKineticLawBasedOnReaction();
  // Appends the law's parameters in its order; without includeConstant,
  // those with ConstantValue set are left out.  Nothing without a law.
  virtual void fillParameters(kstrVector<BParameter*>& out, bool includeConstant) const;
  // Posts the desktop "ReactionRateEvent" for the reaction behind the
  // instance while the host runs its Java machine and listeners are
  // registered.  Null: nothing.
  static void notifyReactionRatePostSetEvent(void* hostInstance);

  // --- host handles ----------------------------------------------------------------
  virtual OBInterface* getOBIKineticLaw() const { return obiKineticLaw_; }
  virtual void setOBIKineticLaw(OBInterface* law) { obiKineticLaw_ = law; }
  void* getOBIProducts() const { return obiProducts_; }
  void setOBIProducts(void* handle) { obiProducts_ = handle; }
  void* getOBIReactants() const { return obiReactants_; }
  void setOBIReactants(void* handle) { obiReactants_ = handle; }
  void* getOBIStoichiometry() const { return obiStoichiometry_; }
  void setOBIStoichiometry(void* handle) { obiStoichiometry_ = handle; }

  // --- other -----------------------------------------------------------------------
  // Copies the pointed-to value; null changes nothing.
  void setFastThreshold(const double* value);
  double* getFastThreshold() { return &fastThreshold_; }
  // The component the name denotes in the reaction's scope; null outside a
  // model.
  const KelborComponent* findComponentApiObject(const std::string& name);
  // "reaction 'name'", the equation text standing for an empty name.
  std::string describeExpressionOwner() const;

  // --- expression-based component ----------------------------------------------
  void detachListenerSupport() override;
  // The equation, then the rate.
  void debugPrint(std::ostream& out) const override;
  KelborComponent* resolveSymbol(const std::string& name) override;
  KelborComponent* resolveSymbolAndListen(const std::string& name) override;
  ComponentVectorPtr resolveSymbolsAndListen(const std::set<std::string>& release,
                                             const std::set<std::string>& resolve) override;
  ComponentVectorPtr resolveSymbolWithCollisions(const std::string& name) override;
  KelborComponent* reResolveSymbolAndListen(const std::string& oldName,
                                            const std::string& newName) override;
  void sendJavaUpdateEvents() override;
  // Stops listening; then withdraws both expressions from the desktop.
  virtual void removeDependentState();

  // --- propagation of model changes (ReactionPropagation.cpp) -------------------
  // A parameter of another reaction's kinetic law is invisible.
  bool isComponentVisible(const KelborComponent* component) const override;
  void updateAllExpressionsForComponentRemoved(const KelborComponent* component) override;
  void updateAllExpressionsForComponentNameChange(const KelborComponent* component,
                                                  const std::string& oldBracketedName,
                                                  const std::string& oldQualifiedName) override;
  void updateAllExpressionsForParentComponentRename(
      const KelborComponent* parent, const KelborComponent* component,
      const std::string& newParentBracketedName, const std::string& oldQualifiedName,
      const std::string& newQualifiedName) override;
  void updateAllExpressionsForComponentAdded(const KelborComponent* component) override;
  std::set<size_t> updateExpressionsForRename(const KelborComponent* component,
                                              const std::string& newName,
                                              const std::set<size_t>& requested) override;
  // The rate's text; set back it resolves again.
  std::vector<std::string> getExpressionTexts() const override;
  std::vector<ExpressionPtr> getFormulaExpressions() const override;
  void restoreExpressionTexts(const std::vector<std::string>& texts) override;
  // Besides the rate's text: a copy of the equation (its terms with their
  // names) and the kinetic law's variable names.  Restored, the law takes
  // its names back, the equation its terms (which resolve and listen
  // again), and then the rate its text.
  boost::shared_ptr<SavedExpressions> saveExpressions() const override;
  void restoreExpressions(const SavedExpressions& saved) override;
  void handleCollisionScenario(ExpressionPtr expression, const std::string& token,
                               bool deferEvents) override;
  // The model passed between one compartment and several (true: now
  // several): species names gain or lose their qualifier, a mass-action
  // law's names are refreshed and the rate is recomputed.
  virtual void updateReactionExpressionForMultiCompartmentTransition(bool multiple);

 private:
  static void errorForReservedPrefix(const std::string& name);
  // Puts a new expression of the text in the rate's place, the rate
  // listening to what it names (setReactionRate without its events).
  void replaceReactionRate(const std::string& text);
  // Runs an equation change inside the notification frame; with
  // notifyReaction the host hears "Reaction" right after the change.
  template <class Change>
  void editEquation(Change change, bool notifyReaction);
  // Runs edit(previous) with the host's notifications deferred, previous
  // being the setting before (the edit announces its change with it); a
  // throw restores that setting.  The model needs compiling afterwards.
  template <class Edit>
  void deferredEdit(Edit edit);
  // The body of addProduct (product) or addReactant, without the
  // notification frame.
  void addTerm(bool product, BSpecies* species, double stoichiometry);
  // Appends the species, none of them on its side yet, as new terms and
  // resolves and listens to their names only, with the frame of an edit;
  // false, with nothing changed, when the equation cannot take them so
  // (see ReactionExpression::appendNewTerms).
  bool appendNewSpecies(const std::vector<SpeciesTerm>& reactants, const std::vector<SpeciesTerm>& products);
  // Puts a copy of the saved equation in place of the current one; its
  // terms resolve by their names and listen again.
  void restoreEquation(const kstr::ReactionExpression& saved);
  void postSetReaction(bool deferSetting);
  // The end of postSetReaction once the equation listens: the defer setting
  // back, the desktop told, a mass-action law's names refreshed and the
  // rate composed again.
  void announceEquationChange(bool deferSetting);
  // Takes the side's terms of the species out of the equation, leaving the
  // other terms bound and listening as they are, and announces the change;
  // false (nothing changes) when the side holds no term of it.
  bool removeTermsOf(bool product, BSpecies* species);
  // Step 5 of postSetReaction: a mass-action law re-derives and announces
  // its variable names.
  void refreshMassActionNames();
  // A renamed parameter (species) that the kinetic law binds keeps its
  // binding under the new name, and the rate is composed again.
  void renameLawBindings(const KelborComponent* component, const std::string& oldBracketedName,
                         const std::string& oldQualifiedName);
  bool hasLawNamed(const char* abstractName) const;
  void notifyReactionChanged();
  void notifyLawProperty(const char* property) const;
  // The model the default name counts in (see getDefaultName).
  Kelbor* modelForDefaultName() const;

  double fastThreshold_ = 0.0;
  OBInterface* obiKineticLaw_ = nullptr;
  void* obiProducts_ = nullptr;
  void* obiReactants_ = nullptr;
  void* obiStoichiometry_ = nullptr;
  BKineticLaw* kineticLaw_ = nullptr;
  RatePtr rate_;
  EquationPtr reaction_;
  // Where the reaction stood in its model's list when last looked up.
  mutable size_t positionHint_ = 0;
};
