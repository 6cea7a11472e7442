// The simulated machine's MessageBoxW is the framework's own: nothing to route.
#include "platform/ui/headless/system_boxes.h"

namespace drovan::ui::headless {

bool RouteSystemMessageBoxes() { return true; }

}  // namespace drovan::ui::headless
