#include "obk/OBDatabaseClient.hpp"

// Both clients live for the whole process (reachable through the statics).
OBDatabaseClient* OBDatabaseClient::getInternalClient() {
  static OBDatabaseClient* c = new OBDatabaseClient(false);
  return c;
}

OBDatabaseClient* OBDatabaseClient::getExternalClient() {
  static OBDatabaseClient* c = new OBDatabaseClient(true);
  return c;
}
