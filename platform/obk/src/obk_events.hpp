// Event delivery shared by the instance code (not installed).
#pragma once

class OBPropertySetEvent;

namespace obk_detail {
// Delivers the event to the listeners of the source's class chain in
// registration order and logs it.
void deliverPropertyEvent(const OBPropertySetEvent& event, bool external);
}  // namespace obk_detail
