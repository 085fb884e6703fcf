#pragma once

#include <QString>

// What every GUI test and the gallery set up before building a widget: the C locale (a point
// as decimal separator), the panel's style and palette, and DejaVu Sans at 8 points as the
// application font, because label widths and text positions depend on it.
namespace PanelTestLook {

// Returns an empty text on success, else why the panel look cannot be had here (the font is
// missing: scripts/deps installs fonts-dejavu-core).
QString apply();

} // namespace PanelTestLook
