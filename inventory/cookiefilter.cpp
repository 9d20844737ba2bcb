#include "cookiefilter.h"

// The filter words are not kept yet, so no cookie matches.
int CookieMatchesFilter(const char*) { return 0; }
