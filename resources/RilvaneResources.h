#pragma once

namespace rilvane {

// Registers the program's pictures (":/rilvane/images/...").
// Linking rilvane_resources already registers them before main(); calling this as well is
// harmless and keeps them available even if a future build drops the automatic registration.
// (Q_INIT_RESOURCE cannot be used inside a namespace, hence this plain function.)
void initResources();

} // namespace rilvane
