// The unit manager: built-in and user units and prefixes, the unit-text
// grammar, quantity-type codes, conversion and expansion into base units.
//
// Unit texts: names joined by "*" and "/", powers "^n" with an integer n
// (optionally signed, optionally in parentheses), parentheses, the factor
// "1" (as in "1/second") and prefixed names ("millimole", prefix + unit).
// Operators are left-associative, "^" binds tightest.  Every name resolves
// to a factor, an offset and exponents over the seven base dimensions
// gram, mole, metre, second, Celsius, ampere, candela.  Text that does not
// parse or names an unknown unit throws
// kstr_error("Kestrion:KSUNIT_CANNOT_PARSE_UNITS", 0x4000fc, text).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <boost/function.hpp>

#include "ks_utils/KsApi.hpp"
#include "ks_utils/UnitRepresentationApi.hpp"

namespace OVUnits {

enum BaseDimension : int {
  kGram = 0,
  kMole = 1,
  kMetre = 2,
  kSecond = 3,
  kCelsius = 4,
  kAmpere = 5,
  kCandela = 6,
};
constexpr int kNumBaseDimensions = 7;

using DimensionExponents = std::array<int, kNumBaseDimensions>;

// Items (molecules) per mole: the one constant behind "item" and "molecule".
constexpr double kAvogadroConstant = 6.02214076e23;

// Unit and prefix names are [A-Za-z_][A-Za-z0-9_]*.  The checks throw
// ErrorIdException "Kestrion:KSUNIT_INVALID_NAME" for any other name (the
// empty name included).
KS_API bool isValidUnitName(const std::string& name) noexcept;
KS_API void checkUnitName(const std::string& name);
KS_API void checkUnitPrefixName(const std::string& name);

// Quantity-type codes of unit texts.
enum UnitTypeCode : uint32_t {
  kUnitTypeAmount = 0,
  kUnitTypeMass = 1,
  kUnitTypeLength = 2,
  kUnitTypeTime = 3,
  kUnitTypeArea = 7,
  kUnitTypeVolume = 8,
  kUnitTypeAmountPerVolume = 14,
  kUnitTypeMassPerVolume = 15,
  kUnitTypeMassPerTime = 27,
  kUnitTypeAmountPerTime = 30,
  kUnitTypeAmountPerArea = 32,
  kUnitTypeMassPerArea = 33,
  kUnitTypeAmountPerLength = 34,
  kUnitTypeMassPerLength = 35,
  kUnitTypeDimensionless = 100,
  kUnitTypeOther = 101,
};

// A unit text resolved: value x in the unit is factor*x + offset in base
// units.  category is the base dimension index (0..6) when the unit is one
// base dimension with exponent 1, else 7.
struct KS_API UnitDescription {
  double factor = 1.0;
  int category = 7;
  double offset = 0.0;
  DimensionExponents exponents{};
};

struct KS_API BaseUnitTerm {
  std::string name;
  int exponent = 0;
};

// A unit written over base units: the product of the terms (in base
// dimension order, zero exponents left out), times multiplier, plus offset.
struct KS_API BaseUnitExpansion {
  std::vector<BaseUnitTerm> terms;
  double multiplier = 1.0;
  double offset = 0.0;
};

// Converts values between two units of the same dimensions.
class KS_API UnitConverter {
 public:
  UnitConverter(const UnitDescription& from, const UnitDescription& to);
  // The value in the target unit of value in the source unit.
  double convert(double value) const;

 private:
  double fromFactor_;
  double fromOffset_;
  double toFactor_;
  double toOffset_;
};

using UnitUnregisteredCallback =
    boost::function<void(const UnitRepresentationApi*)>;
using UnitPrefixUnregisteredCallback =
    boost::function<void(const UnitPrefixApi*)>;

// Built-in prefixes (yocto ... yotta) and user prefixes.  The same
// ownership rules as for units hold (see UnitManagerApi).
class KS_API UnitPrefixServiceApi {
 public:
  virtual ~UnitPrefixServiceApi();
  // Built-in prefixes from yocto to yotta, then user prefixes in
  // registration order.
  virtual std::vector<std::string> getPrefixNames() const = 0;
  // The manager-owned prefix of that name, or null.
  virtual UnitPrefixApi* getPrefix(const std::string& name) const = 0;
  // A new caller-owned prefix (name "", exponent 0).
  virtual UnitPrefixApi* newPrefix() const = 0;
  // Takes ownership and answers true; answers false (ownership stays with
  // the caller) for null, a prefix not made by this service, an invalid
  // name or a built-in name.  An existing user prefix of that name is
  // unregistered first; registering an already registered prefix is a
  // no-op answering true.  Renaming a registered prefix that a user unit
  // uses throws "Kestrion:UnitPrefixInUse" naming that unit.
  virtual bool registerPrefix(UnitPrefixApi* prefix) = 0;
  // True for built-in and registered user prefixes (the two mean the same).
  virtual bool isKnown(const std::string& name) const = 0;
  virtual bool isRegistered(const std::string& name) const = 0;
  virtual bool isBuiltIn(const std::string& name) const = 0;
  // Removes a user prefix: subscribers are told while the prefix is still
  // valid, then it is freed.  False for built-in or unknown names.
  virtual bool unregisterPrefix(const std::string& name) = 0;
  // Returns an id for unsubscribe; callbacks run in subscription order.
  virtual std::size_t subscribe(UnitPrefixUnregisteredCallback callback) = 0;
  virtual void unsubscribe(std::size_t id) = 0;
  // The known prefix whose factor is factor (a power of ten, to 1e-12
  // relative); a built-in one is preferred.  Null when none.
  virtual const UnitPrefixApi* findPrefixForFactor(double factor) const = 0;
  // When name is not itself a unit but a known prefix followed by a known
  // unit, sets rest and prefix and answers true; else false (outputs
  // unchanged).
  virtual bool splitPrefixedName(const std::string& name, std::string& rest,
                                 std::string& prefix) const = 0;
  // The first (by name) registered user unit whose composition names a
  // unit with this prefix; "" when none does.
  virtual std::string findUserUnitUsing(const std::string& prefixName) const = 0;
  // True when the manager holds this object (built-in or registered).
  virtual bool ownsObject(const UnitPrefixApi* prefix) const = 0;
};

// Per-dimension questions used by the unit export.
class KS_API UnitDimensionServiceApi {
 public:
  virtual ~UnitDimensionServiceApi();
  // Classifies a list of base-unit names; always 0 (the export then puts a
  // multiplier on an added dimensionless unit).
  virtual int classifyBaseUnits(const std::vector<std::string>& names) const = 0;
  // The exponent of base dimension `dimension` in the unit text with that
  // index (UnitManagerApi::getUnitIndex); 0 for a bad index or dimension
  // or a text that no longer resolves.
  virtual int getExponent(int unitIndex, int dimension) const = 0;
};

// The names used for the seven base dimensions in expansions.  Defaults
// are "gram", "mole", "metre", "second", "Celsius", "ampere", "candela".
class KS_API BaseUnitNamingServiceApi {
 public:
  virtual ~BaseUnitNamingServiceApi();
  // Sets the names once; answers false (nothing changes) for a list that
  // is not seven names long or when names were set before.
  virtual bool setBaseUnitNames(const std::vector<std::string>& names) = 0;
  // The name of a base dimension; "" for an index outside 0..6.
  virtual const std::string& getBaseUnitName(int dimension) const = 0;
};

// The unit manager.  Ownership: built-in units are never replaced,
// unregistered or freed; newUnit() gives the caller an object that the
// manager takes over when registerUnit() answers true; unregistering a user
// unit tells the subscribers (while the unit is still valid) and frees it.
class KS_API UnitManagerApi {
 public:
  virtual ~UnitManagerApi();

  // --- unit texts (all throw the parse error described above) -----------
  // Quantity-type code of the text (UnitTypeCode).  Empty text throws.
  virtual uint32_t getUnitType(const std::string& text) const = 0;
  // Throws when the text is not a valid unit text (empty included).
  virtual void checkUnitText(const std::string& text) const = 0;
  // As checkUnitText, but "" (a dimensionless composition) passes.
  virtual void checkComposition(const std::string& composition) const = 0;
  virtual UnitDescription describeUnit(const std::string& text) const = 0;
  // Converter from one unit text to another; throws the parse error, or
  // "Kestrion:KSUNIT_CANNOT_CONVERT" when the dimensions differ.
  virtual UnitConverter getConverter(const std::string& from,
                                     const std::string& to) const = 0;
  // The text written over base units (names from the naming service).
  virtual BaseUnitExpansion expandToBaseUnits(const std::string& text) const = 0;
  // Splits a concentration text "substance/volume" at its last top-level
  // "/" (a single unit name is split through its composition).  False, with
  // the outputs unchanged, when the text has no such form or does not parse.
  virtual bool splitConcentrationUnits(const std::string& text,
                                       std::string& substance,
                                       std::string& volume) const = 0;
  // A stable index for a valid unit text (the same text gives the same
  // index), or -1 when it does not parse.
  virtual int getUnitIndex(const std::string& text) const = 0;
  // The text of an index; "" for a bad index.
  virtual std::string getUnitText(int index) const = 0;

  // --- units -------------------------------------------------------------
  // The built-in unit names in groups (mass, amount, volume, length, time,
  // temperature, current, luminous intensity, dimensionless, and the other
  // SI units SBML names: becquerel ... weber).
  virtual std::vector<std::vector<std::string>> getUnitNameLists() const = 0;
  // The manager-owned unit (built-in or registered), or null.
  virtual UnitRepresentationApi* getUnit(const std::string& name) const = 0;
  // A new caller-owned unit: name "", composition "", multiplier 1, offset 0.
  virtual UnitRepresentationApi* newUnit() const = 0;
  // Takes ownership and answers true; answers false (ownership stays with
  // the caller) for null, a unit not made by this manager, an invalid name,
  // a built-in name, a name that already means a known prefix on a known
  // unit ("millimole"), or a definition that does not resolve to a finite,
  // non-zero factor (unknown names, cycles, bad text).  An existing user
  // unit of that name is unregistered first; registering an already
  // registered unit is a no-op answering true.  Renaming a registered unit
  // to such a prefixed name throws "Kestrion:UnitNameIsPrefixedUnit";
  // renaming one that another user unit uses throws "Kestrion:UnitInUse"
  // naming that unit.
  virtual bool registerUnit(UnitRepresentationApi* unit) = 0;
  // True for built-in and registered user units (the two mean the same).
  virtual bool isKnown(const std::string& name) const = 0;
  virtual bool isRegistered(const std::string& name) const = 0;
  virtual bool isBuiltIn(const std::string& name) const = 0;
  // True when the name is not itself a unit but a known prefix on a known
  // unit.
  virtual bool hasRegisteredPrefix(const std::string& name) const = 0;
  // The first (by name) registered user unit whose composition names this
  // unit, bare or with a prefix; "" when none does.
  virtual std::string findUserUnitUsing(const std::string& unitName) const = 0;
  // False for built-in or unknown names.  A user unit that others use is
  // unregistered all the same (the caller guards against it with
  // findUserUnitUsing); they no longer resolve until it is registered again.
  virtual bool unregisterUnit(const std::string& name) = 0;
  virtual std::size_t subscribe(UnitUnregisteredCallback callback) = 0;
  virtual void unsubscribe(std::size_t id) = 0;
  virtual bool ownsObject(const UnitRepresentationApi* unit) const = 0;
  // Unregisters every user unit and user prefix (subscribers are told).
  virtual void resetUserDefinitions() = 0;

  // --- services ------------------------------------------------------------
  virtual UnitPrefixServiceApi* getPrefixService() = 0;
  virtual UnitDimensionServiceApi* getDimensionService() = 0;
  virtual BaseUnitNamingServiceApi* getBaseUnitNamingService() = 0;
};

}  // namespace OVUnits

// The process's unit manager (made on first use, never null).
KS_API OVUnits::UnitManagerApi* getUnitManagerApiFcn();
