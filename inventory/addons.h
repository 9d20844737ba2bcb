// Browser add-ons registered for the whole machine: helper objects, toolbars and toolbar
// buttons (extensions).
#pragma once

#define KX_BHO_KEY "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects"
#define KX_TOOLBAR_KEY "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar"
#define KX_EXTENSIONS_KEY "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions"

// Clears the entry list and fills it (types TYPE_BHO, TYPE_TOOLBAR, TYPE_EXTENSION); the count.
int ListBrowserAddOns();
