#pragma once

// The panel's Qt resources. A static library's resources are registered only when asked for,
// so every user of ":/resources/image/..." calls init() first (cheap after the first call).
namespace PanelResources {

void init();

} // namespace PanelResources
