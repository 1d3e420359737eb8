// Applications (named containers of classes) and their process-wide
// registry.  Usable during static initialisation; nothing is ever freed.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "obk/OBNames.hpp"
#include "pellam_api.hpp"

class OBClass;

class PELLAM_API OBApplication {
 public:
  // The flag has no meaning here.  A null name is "".
  OBApplication(const char* name, bool flag);
  virtual ~OBApplication();
  OBApplication(const OBApplication&) = delete;
  OBApplication& operator=(const OBApplication&) = delete;

  const char* getName() const noexcept { return name_.c_str(); }
  // Appends a class and makes this its application; a repeat (same object)
  // is ignored; null is ignored.  When another class already has the name,
  // the first keeps it for findClass.
  void addLocalClass(OBClass* cls);
  // By exact name; null when absent.
  OBClass* findClass(std::string_view name) const noexcept;
  const std::vector<OBClass*>& getClasses() const noexcept { return classes_; }

 private:
  std::string name_;
  std::vector<OBClass*> classes_;
  std::unordered_map<std::string, OBClass*, OBExactHash,
                     std::equal_to<>>
      index_;
};

class PELLAM_API OBApplicationManager {
 public:
  // Registers an application (a repeat or null is ignored).
  static void addApplication(OBApplication* app);
  // By exact name; null when absent.
  static OBApplication* findApplication(std::string_view name) noexcept;
  // A class by "<App>.<Class>", or by bare name over all applications in
  // registration order.  Null when absent.
  static OBClass* findClass(std::string_view name) noexcept;
  static const std::vector<OBApplication*>& getApplications() noexcept;
};
