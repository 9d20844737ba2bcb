// The cookie filter: cookies the user has condemned are deleted instead of listed.
#pragma once

// 1 when the cookie file matches the filter.
int CookieMatchesFilter(const char* path);
