#include "obk/obk_t.hpp"

namespace obk_t {

void throwNullValue(const char* typeName) {
  throw ErrorIdException("obk:InvalidValue",
                         std::string("A '") + (typeName ? typeName : "") +
                             "' value is missing.");
}

}  // namespace obk_t
