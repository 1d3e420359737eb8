// The two database clients of the object system.  Every property access
// names the client it acts for: the external client is the user (the host
// language), the internal client the system's own calls.  Both are
// process-wide objects compared by identity.
#pragma once

#include "pellam_api.hpp"

class PELLAM_API OBDatabaseClient {
 public:
  // The system's own client.  Never null.
  static OBDatabaseClient* getInternalClient();
  // The user's client (host-language gets and sets).  Never null.
  static OBDatabaseClient* getExternalClient();

  bool isExternal() const noexcept { return external_; }

  OBDatabaseClient(const OBDatabaseClient&) = delete;
  OBDatabaseClient& operator=(const OBDatabaseClient&) = delete;

 private:
  explicit OBDatabaseClient(bool external) : external_(external) {}
  bool external_;
};

// True when the client is the external one; a null client counts as the
// internal client.
inline bool obkIsExternal(const OBDatabaseClient* client) {
  return client != nullptr && client->isExternal();
}
