#pragma once
#include "PanelLink.h"

namespace panel {

// The link for the active profile: the command-line endpoint when one was given, else the
// profile's serial port (its number mapped to a device path) or TCP address.
PanelLink::LinkFactory makeLinkFactory(common::SettingsStore* store);

} // namespace panel
