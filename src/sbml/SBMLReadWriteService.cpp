// The read, write and validate drivers.
#include "sbml/SBMLReadWriteService.hpp"

#include <cstdarg>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <utility>
#include <vector>

#include <sbml/SBMLTypes.h>
#include <sbml/extension/SBMLExtensionRegistry.h>

#include <ks_utils/Errors.hpp>
#include <ks_utils/Version.hpp>

#include "host/Host.hpp"
#include "model/MessageCatalog.hpp"
#include "sbml/SBMLCompartment.hpp"
#include "sbml/SBMLComponent.hpp"
#include "sbml/SBMLConversionContext.hpp"
#include "sbml/SBMLInputShape.hpp"
#include "sbml/SBMLLargeStack.hpp"
#include "sbml/SBMLModel.hpp"
#include "sbml/SBMLNumberText.hpp"

using Code = kstr::MessageCode;
using namespace kstr::sbml;

namespace {

constexpr unsigned kReadFromText = 1u << 0;
constexpr unsigned kCheckConsistency = 1u << 1;
constexpr const char kXhtmlNamespace[] = "http://www.w3.org/1999/xhtml";

// libSBML's message ids that the read treats in its own way.
constexpr unsigned kFileUnreadable = 2;           // XMLFileUnreadable
constexpr unsigned kInvalidCharInXML = 1005;
constexpr unsigned kBadUTF8Content = 1017;
constexpr unsigned kInvalidLevelVersion = 99101;  // InvalidSBMLLevelVersion

// The messages of libSBML's XML layer that say the text is not XML at all:
// the file could not be read, the parser failed, or the text is empty,
// truncated or not well-formed (bad characters, tags that do not match,
// undeclared prefixes, ...).  The layer's other messages (no declaration,
// no encoding, a missing or mistyped attribute) come with the model libSBML
// read, which the converters then check.
bool isNotWellFormed(unsigned id) {
  constexpr unsigned kIds[] = {
      // unknown, out of memory, file unreadable or unwritable, file or
      // network failure; the parser's own failures
      0, 1, kFileUnreadable, 3, 4, 5, 101, 102, 103,
      // bad declaration or DOCTYPE, bad character, badly formed, unclosed
      // token, bad construct, tag mismatch, duplicate attribute, undefined
      // entity, bad processing instruction, undeclared or bad prefix, bad
      // UTF-8, bad comment, misplaced declaration, unexpected end, content
      // that cannot be read, content after the end, unquoted string, bad
      // colon, empty content
      1003, 1004, kInvalidCharInXML, 1006, 1007, 1008, 1009, 1010, 1011, 1012, 1013, 1014, kBadUTF8Content,
      1022, 1023, 1024, 1027, 1029, 1030, 1033, 1035,
  };
  for (unsigned known : kIds) {
    if (id == known) return true;
  }
  return false;
}

std::string trimmedMessage(const SBMLError& error) {
  std::string text = error.getMessage();
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

// Messages that end a read: fatal ones, errors that say the text is not
// well-formed XML, an unsupported level and version, and every error of a
// document that is not SBML (libSBML found no <sbml> element: level 0).
bool isFatal(const SBMLError& error, const SBMLDocument& document) {
  if (error.getSeverity() == LIBSBML_SEV_FATAL) return true;
  if (error.getSeverity() != LIBSBML_SEV_ERROR) return false;
  if (error.getErrorId() == kInvalidLevelVersion || document.getLevel() == 0) return true;
  return error.getCategory() == LIBSBML_CAT_XML && isNotWellFormed(error.getErrorId());
}

bool isSupportedLevelVersion(const SBMLDocument& document) {
  const unsigned level = document.getLevel();
  const unsigned version = document.getVersion();
  return (level == 1 && (version == 1 || version == 2)) || (level == 2 && version == 1);
}

bool isUnreadableFile(const SBMLDocument& document) {
  const SBMLErrorLog* log = document.getErrorLog();
  for (unsigned i = 0; i < log->getNumErrors(); ++i) {
    if (log->getError(i)->getErrorId() == kFileUnreadable) return true;
  }
  return false;
}

[[noreturn]] void raiseLevelError() {
  kstr_error("Kestrion:READ_INVALID_LEVEL_AND_VERSION", kstr::code(Code::KS_READ_INVALID_LEVEL_AND_VERSION));
}

// Prints the fatal messages and raises the error they call for; returns
// when there are none.
void reportFatalReadErrors(const SBMLDocument& document, const std::string& argument) {
  const SBMLErrorLog* log = document.getErrorLog();
  bool any = false;
  bool characterError = false;
  bool levelError = false;
  for (unsigned i = 0; i < log->getNumErrors(); ++i) {
    const SBMLError* error = log->getError(i);
    if (!isFatal(*error, document)) continue;
    if (!any) hbPrintf("The following error(s) was reported by libSBML v %s:\n", getLibSBMLDottedVersion());
    any = true;
    hbPrintf("%s\n", trimmedMessage(*error).c_str());
    hbPrintf("On line %d\n", static_cast<int>(error->getLine()));
    const unsigned id = error->getErrorId();
    if (id == kInvalidCharInXML || id == kBadUTF8Content) characterError = true;
    if (id == kInvalidLevelVersion) levelError = true;
  }
  // Text that is not SBML ends the read even when libSBML said nothing.
  if (!any && document.getLevel() != 0) return;
  if (characterError) {
    kstr_error("Kestrion:READ_UNRECOGNIZED_CHARACTER", kstr::code(Code::KS_READ_UNRECOGNIZED_CHARACTER),
               argument.c_str());
  }
  if (levelError || (document.getLevel() != 0 && !isSupportedLevelVersion(document))) raiseLevelError();
  kstr_error("Kestrion:FatalSBMLReadError", kstr::code(Code::KS_FatalSBMLReadError));
}

// The errors of the consistency check (not the fatal ones) make the file
// invalid: a warning and, when it is enabled, their listing.
void listInvalidFileMessages(const SBMLDocument& document) {
  const SBMLErrorLog* log = document.getErrorLog();
  std::vector<std::string> texts;
  for (unsigned i = 0; i < log->getNumErrors(); ++i) {
    const SBMLError* error = log->getError(i);
    if (error->getSeverity() == LIBSBML_SEV_ERROR && !isFatal(*error, document)) texts.push_back(trimmedMessage(*error));
  }
  if (texts.empty()) return;
  hb_warning_id(hbGetWarningContext(), "Kestrion:InvalidSBMLFileWithMessage",
                kstr::code(Code::KS_INVALID_SBML_FILE_WITH_MESSAGE));
  if (!hb_get_warning_status_id(hbGetWarningContext(), "Kestrion:InvalidSBMLFileWithMessage")) return;
  const char* rule = "---------------------------------------------------\n";
  hbPrintf("%s", rule);
  for (const std::string& text : texts) hbPrintf("%s\n", text.c_str());
  hbPrintf("%s", rule);
}

// libSBML's packages switched off for as long as it lives, and those it
// switched off switched on again after.  Every package libSBML registers
// extends level 3, and two (layout, render) also read their level 2
// annotations; with a package on, libSBML gives each element it parses the
// package's part (a species reference its layout part, for one), which is
// about a seventh of libSBML's read of a model of reactions.  The engine reads
// levels 1 and 2 and keeps every annotation as text, and a package's level
// 2 annotation then stays as the file wrote it.  The switch is libSBML's
// own and process-wide: the read that holds it runs alone.
class PackagesSwitchedOff {
 public:
  PackagesSwitchedOff() {
    for (const std::string& name : SBMLExtensionRegistry::getAllRegisteredPackageNames()) {
      if (SBMLExtensionRegistry::isPackageEnabled(name)) switchedOff_.push_back(name);
    }
    SBMLExtensionRegistry::disablePackages(switchedOff_);
  }
  ~PackagesSwitchedOff() {
    try {
      SBMLExtensionRegistry::enablePackages(switchedOff_);
    } catch (...) {
      // libSBML switches a registered package on without failing; nothing
      // thrown may leave a destructor.
    }
  }
  PackagesSwitchedOff(const PackagesSwitchedOff&) = delete;
  PackagesSwitchedOff& operator=(const PackagesSwitchedOff&) = delete;

 private:
  std::vector<std::string> switchedOff_;
};

// Whether a document is parsed with libSBML's packages or without them.
enum class Packages { kOn, kOff };

// libSBML throws, instead of logging, when the document's namespace does not
// go with its level and version: that is the level error of a read.
LargeStackDocument readDocument(const std::string& text, bool fromText, const InputShape& shape,
                                Packages packages) {
  SBMLDocument* document = nullptr;
  const bool deep = needsLargeStack(shape);
  std::optional<PackagesSwitchedOff> switchedOff;
  if (packages == Packages::kOff) switchedOff.emplace();
  try {
    runOnLargeStack(
        [&] {
          SBMLReader reader;
          document = fromText ? reader.readSBMLFromString(text) : reader.readSBML(text);
        },
        deep);
  } catch (const SBMLConstructorException&) {
    raiseLevelError();
  }
  return LargeStackDocument(document, LargeStackDocumentDeleter{deep});
}

// libSBML's consistency check.  Its unit check takes time that grows with
// the cube of a formula's size, so a file with a formula too large for it
// is checked without its units, with a warning (true then).
bool checkConsistency(SBMLDocument& document, const InputShape& shape) {
  const bool unitsSkipped = shape.largestMathElements > kMaxUnitCheckedMathElements;
  if (unitsSkipped) document.setConsistencyChecks(LIBSBML_CAT_UNITS_CONSISTENCY, false);
  runOnLargeStack([&document] { document.checkConsistency(); }, needsLargeStack(shape));
  return unitsSkipped;
}

void warnUnitsSkipped(const InputShape& shape) {
  hb_warning_id(hbGetWarningContext(), "Kestrion:SBML_UNIT_CHECK_SKIPPED",
                kstr::code(Code::KS_SBML_UNIT_CHECK_SKIPPED), static_cast<int>(shape.largestMathLine),
                static_cast<int>(shape.largestMathElements), static_cast<int>(kMaxUnitCheckedMathElements));
}

// The catalog text of the code formatted with the arguments.
std::string catalogText(uint32_t code, ...) {
  va_list args;
  va_start(args, code);
  char* text = hbFormatMessage(code, args);
  va_end(args);
  std::string result = text ? text : "";
  hbFree(text);
  return result;
}

// Removes a half-read model from the root and gives back the read's hold.
void discardModel(OBInterface* model) {
  if (!model) return;
  if (model->isValid()) {
    HostArgs args;
    args.handle(model);
    qxArray* out[1] = {nullptr};
    inCallFcnWithTrap(0, out, args.size(), args.data(), "delete", true);
    qxDestroyArray(out[0]);
  }
  model->releaseReference();
}

}  // namespace

SBMLReadWriteService& SBMLReadWriteService::instance() {
  static SBMLReadWriteService service;
  return service;
}

const char* SBMLReadWriteService::banner() {
  return "<annotation>\nCreated by The Ostrevane, Inc. Kestrion tool, Version ";
}

unsigned SBMLReadWriteService::parseSBMLReadOptions(const qxArray* options) {
  unsigned bits = kCheckConsistency;
  if (!options) return bits;
  const auto tooMany = [] {
    kstr_error("Kestrion:TooManyInputArgs", kstr::code(Code::KS_SBMLIMPORT_TOO_MANY_INPUT_ARGS));
  };
  if (!qxIsCell(options)) tooMany();
  for (size_t i = 0; i < qxGetNumberOfElements(options); ++i) {
    const qxArray* element = qxGetCell(options, i);
    if (!element || !qxIsChar(element)) tooMany();
    const std::string keyword = qxArrayToStdString(element);
    if (keyword == "stream") {
      bits ^= kReadFromText;
    } else if (keyword == "skipcc") {
      bits ^= kCheckConsistency;
    } else {
      tooMany();
    }
  }
  return bits;
}

KestrionVersion SBMLReadWriteService::readToolVersionFromAnnotation(const SBMLDocument& document,
                                                                    bool& present) {
  present = false;
  const std::string annotation = const_cast<SBMLDocument&>(document).getAnnotationString();
  const std::string prefix = banner();
  if (annotation.compare(0, prefix.size(), prefix) != 0) return KestrionVersion{};
  std::string rest = annotation.substr(prefix.size());
  const size_t end = rest.find_first_not_of(".0123456789");
  if (end != std::string::npos) rest.resize(end);
  const KestrionVersion version = getVersionFromString(rest);
  present = !(version < KestrionVersion{0, 0.0, 0.0});
  return version;
}

OBInterface* SBMLReadWriteService::readSBMLModel(const std::string& text, const qxArray* options) {
  const unsigned bits = parseSBMLReadOptions(options);
  const bool fromText = (bits & kReadFromText) != 0;
  const InputShape shape = measureReadArgument(text, fromText);
  refuseTooDeep(shape);
  SBMLConversionContext context;
  const ConversionSession session(&context);
  const LargeStackDocument document = readDocument(text, fromText, shape, Packages::kOff);
  if (!fromText && isUnreadableFile(*document)) {
    kstr_error("SBML:HardReadError", kstr::code(Code::SBML_HARD_READ_ERROR), text.c_str());
  }
  bool present = false;
  const KestrionVersion version = readToolVersionFromAnnotation(*document, present);
  context.setToolVersion(version, present);
  reportFatalReadErrors(*document, text);
  if (!isSupportedLevelVersion(*document)) raiseLevelError();
  if (const Model* sbmlModel = document->getModel()) refuseOutsideLoops(*sbmlModel);
  if ((bits & kCheckConsistency) && checkConsistency(*document, shape)) warnUnitsSkipped(shape);
  listInvalidFileMessages(*document);
  context.setSBMLLevel(document->getLevel());
  Model* sbmlModel = document->getModel();
  if (!sbmlModel) {
    kstr_error("Kestrion:InvalidSBML", kstr::code(Code::KS_SBMLREADWRITE_INVALIDSBML_FAILED_TO_READ));
  }
  context.setSBMLModel(sbmlModel);
  try {
    SBMLModel converter(sbmlModel);
    converter.importElement();
  } catch (...) {
    discardModel(context.getModelHandle());
    context.setModelHandle(nullptr);
    throw;
  }
  return context.getModelHandle();
}

void SBMLReadWriteService::writeSBMLModel(OBInterface* model, std::string& text, bool toText,
                                          bool withoutUnitDefinitions) {
  SBMLConversionContext context;
  const ConversionSession session(&context);
  context.setModelHandle(model);
  context.setWithoutUnitDefinitions(withoutUnitDefinitions);
  // Freed on the large stack unless the write finds its formulas shallow
  // (libSBML frees a formula recursively).
  LargeStackDocument owned(new SBMLDocument(2, 1), LargeStackDocumentDeleter{true});
  SBMLDocument& document = *owned;
  const std::string toolAnnotation = std::string(banner()) + GetKestrionVersionString() + "\n</annotation>";
  writtenOrWarn(document.setAnnotation(toolAnnotation), "annotation", toolAnnotation, "document", "");
  Model* sbmlModel = document.createModel("");
  context.setSBMLModel(sbmlModel);
  SBMLModel converter(sbmlModel);
  converter.bindInterface(model, false);
  converter.exportElement();
  document.getNamespaces()->add(kXhtmlNamespace, "html");
  bool deep = true;
  std::string written = writeWithExactNumbers(document, deep, context);
  owned.get_deleter().onLargeStack = deep;
  if (toText) {
    text.swap(written);
    return;
  }
  std::ofstream file(text, std::ios::binary);
  file << written;
  file.close();
  if (!file) {
    kstr_error("Kestrion:SBMLWriteFailed", ("Unable to write the SBML file '" + text + "'.").c_str());
  }
}

void SBMLReadWriteService::validateSBMLFile(const std::string& fileName, StringVector& fatals,
                                            StringVector& errors, StringVector& warnings) {
  const InputShape shape = measureReadArgument(fileName, false);
  try {
    refuseTooDeep(shape);
  } catch (const ErrorIdException& refusal) {
    fatals.addElement(refusal.getMessage().c_str());
    return;
  }
  // Validated as libSBML validates by itself: with every package it has.
  const LargeStackDocument document = readDocument(fileName, false, shape, Packages::kOn);
  if (isUnreadableFile(*document)) {
    fatals.addElement("A hard error occurred.");
    return;
  }
  const SBMLErrorLog* log = document->getErrorLog();
  bool anyFatal = false;
  for (unsigned i = 0; i < log->getNumErrors(); ++i) anyFatal = anyFatal || isFatal(*log->getError(i), *document);
  const bool unitsSkipped = !anyFatal && checkConsistency(*document, shape);
  const auto add = [log](StringVector& list, auto wanted) {
    for (unsigned i = 0; i < log->getNumErrors(); ++i) {
      const SBMLError* error = log->getError(i);
      if (!wanted(*error)) continue;
      list.addElement((trimmedMessage(*error) + " : " + std::to_string(error->getLine())).c_str());
    }
  };
  const SBMLDocument& read = *document;
  add(fatals, [&read](const SBMLError& e) { return isFatal(e, read); });
  add(errors, [&read](const SBMLError& e) { return !isFatal(e, read) && e.getSeverity() == LIBSBML_SEV_ERROR; });
  add(warnings, [](const SBMLError& e) { return e.getSeverity() == LIBSBML_SEV_WARNING; });
  if (unitsSkipped) {
    warnings.addElement(catalogText(kstr::code(Code::KS_SBML_UNIT_CHECK_SKIPPED),
                                    static_cast<int>(shape.largestMathLine),
                                    static_cast<int>(shape.largestMathElements),
                                    static_cast<int>(kMaxUnitCheckedMathElements))
                            .c_str());
  }
}
