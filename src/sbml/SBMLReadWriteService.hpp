// The one object behind every "SBMLReadWrite" instance and its three
// drivers: a whole read (file or text to a new model), a whole write (a
// model to an SBML level 2 version 1 document on disk or as text) and a
// validation (libSBML's messages of a file in three lists).
#pragma once

#include <string>

#include <ks_utils/Version.hpp>

#include "core/KelborApi.hpp"
#include "sbml/SBMLForward.hpp"

class OBInterface;
class StringVector;
struct qxArray_tag;

class KELBOR_API SBMLReadWriteService {
 public:
  // The service object (made on first use, kept until unload).
  static SBMLReadWriteService& instance();

  // Reads the argument (a file name, or SBML text with the option
  // "stream") into a new model below the root and returns its interface
  // with one reference for the caller.  options may be null (defaults) or
  // a cell array of the keywords "stream" and "skipcc"
  // ("Kestrion:TooManyInputArgs" otherwise).  A missing or unreadable file
  // raises "SBML:HardReadError"; fatal libSBML messages are printed and
  // raise "Kestrion:READ_UNRECOGNIZED_CHARACTER",
  // "Kestrion:READ_INVALID_LEVEL_AND_VERSION" or "Kestrion:FatalSBMLReadError";
  // a document without a model raises "Kestrion:InvalidSBML".  Any failure
  // leaves no model behind.
  OBInterface* readSBMLModel(const std::string& text, const qxArray_tag* options);
  // Writes the model as SBML level 2 version 1: to the file named by text,
  // or with toText into text.  A file that cannot be written raises
  // "Kestrion:SBMLWriteFailed".
  void writeSBMLModel(OBInterface* model, std::string& text, bool toText, bool withoutUnitDefinitions);
  // Fills the three lists with libSBML's fatal errors, errors and warnings
  // of the file ("text : line").  A missing file gives "A hard error
  // occurred." as the only fatal entry.
  void validateSBMLFile(const std::string& fileName, StringVector& fatals, StringVector& errors,
                        StringVector& warnings);

  // The option bits of an options array: bit 0 read from text, bit 1 check
  // consistency (set by default).  A keyword given twice cancels itself.
  static unsigned parseSBMLReadOptions(const qxArray_tag* options);
  // The version of this tool recorded in the document's annotation, and
  // whether there was one.
  static KestrionVersion readToolVersionFromAnnotation(const SBMLDocument& document, bool& present);
  // The annotation banner that starts the annotation of every written
  // document.
  static const char* banner();

 private:
  SBMLReadWriteService() = default;
};
