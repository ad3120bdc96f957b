// The display card choice at start-up: the remembered card, the card chooser and the capability
// probe, and the texts of the start-up window's two screens.
#pragma once

namespace display {

class DisplayDevice;

// Sets the device's chosen card and 3D depth from BEST3DCARD and BEST3DDEPTH; when BEST3DCARD is
// "ask", lets the user choose among the adapters, probes the chosen one and remembers both.
void runCardChoice(DisplayDevice &device);

// Probes the chosen card at 640 x 480 in 16, 24 and 32 bits for a hardware 3D device; the results
// go to device.probe. Leaves the display released.
void probeCard(DisplayDevice &device);

} // namespace display
