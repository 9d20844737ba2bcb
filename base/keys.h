// Registry keys of the system's own data.
#pragma once

#define KX_VENDOR_KEY "Software\\Orvane"
#define KX_KEY "Software\\Orvane\\Kestrix"
#define KX_OPTIONS_KEY KX_KEY "\\Options"
#define KX_DETECTED_KEY "Software\\Orvane\\Detected"
#define KX_DISABLED_KEY KX_KEY "\\Disabled"
#define KX_DELAY_KEY KX_KEY "\\Delay"
#define KX_SYSFILES_KEY KX_KEY "\\Sysfiles"

// The data version written as `Version` under KX_KEY. Raised when the services, add-on and
// task lists began to be filled, so that baselines made before are rebuilt once.
#define KX_DATA_VERSION "12.2.2007.1"
