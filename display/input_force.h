// Force-feedback effects of the control device.
#pragma once

namespace display {

struct InputState;

// Makes every effect kind, unstarted, at full strength with its usual parameters (selecting a
// force-feedback control device does this).
void createAllEffects(InputState &s);

} // namespace display
