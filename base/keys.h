// Registry keys of the system's own data.
#pragma once

#define KX_VENDOR_KEY "Software\\Orvane"
#define KX_KEY "Software\\Orvane\\Kestrix"
#define KX_OPTIONS_KEY KX_KEY "\\Options"
#define KX_DETECTED_KEY "Software\\Orvane\\Detected"
#define KX_DISABLED_KEY KX_KEY "\\Disabled"
#define KX_DELAY_KEY KX_KEY "\\Delay"
#define KX_SYSFILES_KEY KX_KEY "\\Sysfiles"

// The data version written as `Version` under KX_KEY (KX_DATA_VERSION): a version with
// another data revision makes the known lists be rebuilt once.
#include "kxversion.h"
