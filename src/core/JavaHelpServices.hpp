#pragma once

#include "core/KelborApi.hpp"

// The desktop's help service: one instance of
// "kestridesk.util.KstrHelpServices", made with its no-argument constructor
// on the first request while the host runs its Java machine, and kept with
// its "printHelp" method for the life of the library.
class KELBOR_API JavaHelpServices {
 public:
  // Asks the desktop to print the help of the text (a null text counts as
  // ""): calls "printHelp" on the cached instance with a Java string of the
  // text.  Nothing (and no Java call) while the host runs no Java machine;
  // nothing when the desktop class, its constructor or its method is
  // missing.
  static void printHelp(const char* text);
};
