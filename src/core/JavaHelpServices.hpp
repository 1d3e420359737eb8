#pragma once

// The desktop's help service: one instance of kestridesk.util.KstrHelpServices,
// made on first use and kept for the life of the library.
class JavaHelpServices {
 public:
  // Asks the desktop to print the help of the text.  Only called while the
  // host runs its Java machine.
  static void printHelp(const char* text);
};
