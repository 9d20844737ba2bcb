// Browser add-ons registered for the whole machine: helper objects, toolbars and toolbar
// buttons (extensions).
#pragma once

#define KX_BHO_KEY "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects"
// The same key of the 32-bit view, as the program's own view names it.
#define KX_BHO32_KEY \
    "SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects"
#define KX_TOOLBAR_KEY "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar"
#define KX_EXTENSIONS_KEY "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions"

// Clears the entry list and fills it (types TYPE_BHO, TYPE_TOOLBAR, TYPE_EXTENSION, then the
// 32-bit view's helper objects as TYPE_BHO32); the count.
int ListBrowserAddOns();
