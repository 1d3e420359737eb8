#include "core/PropertyValuePairs.hpp"

#include "host/Host.hpp"

std::string applyPropertyValuePairs(OBInterface* instance, int end, int first,
                                    qxArray* const args[]) {
  const int count = end - first + 1;
  if (!instance || count <= 1) return std::string();

  auto** callArgs = static_cast<qxArray**>(hbCallocWithCheck(static_cast<size_t>(count), sizeof(qxArray*)));
  try {
    callArgs[0] = OBTypeRepository::getType("handle")->toHost(instance);
  } catch (...) {
    hbFree(callArgs);
    throw;
  }
  for (int i = 1; i < count; ++i) callArgs[i] = args[first + i - 1];

  qxArray* output = nullptr;
  OBErrorStatus status;
  try {
    obCallBuiltInMethod("set", 1, &output, count, callArgs, status);
  } catch (...) {
    qxDestroyArray(output);
    qxDestroyArray(callArgs[0]);
    hbFree(callArgs);
    return "An error occurred while configuring a property";
  }
  qxDestroyArray(callArgs[0]);
  hbFree(callArgs);

  if (output) {
    std::string text;
    if (qxIsCell(output)) text = "A property was passed in with no corresponding value.";
    qxDestroyArray(output);
    if (!text.empty()) return text;
  }
  if (!status.hasErrors()) return std::string();
  std::string message = status.getMessage(0);
  if (message.empty() || message.back() != '.') message += '.';
  return message;
}
