#pragma once

// The panel's application-wide look: the "Fusion" style and the panel palette (white text on
// grey, black on blue for selections), the same in every colour group. Called once, after the
// QApplication exists, by the panel program and by whatever renders the panel's widgets off the
// board (tests, the gallery).
namespace PanelLook {

void apply();

} // namespace PanelLook
