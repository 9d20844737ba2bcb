// What changes cookies: adding and removing filter words, the cookie review's removals, and
// putting the filtered Mozilla cookie file in place of the browser's own.
#pragma once
#include <string>
#include <vector>

// Adds a word to the filter (Nuts value = 1) and filters the cookies of the family in use at
// once. 0 when added; 729 (the message to show) when the user's words fill the list (marked
// cookies do not count); -1 for an empty
// word, one longer than 511 characters, or a failed write.
int AddCookieFilter(const char* word);
// Removes a word; 1 when its value was deleted.
int RemoveCookieFilter(const char* word);

// One row of the cookie review: the cookie's list title and its tick.
struct ReviewedCookie {
    std::string title;
    bool ticked;
};
// Remove Checked (removeTicked 1) or Remove Unchecked (0) over the rows of one family.
// A removed cookie loses its Cookies value and goes: an Internet Explorer cookie file is
// deleted from the cookie folder, a Mozilla cookie is marked in Nuts (value 2) and the
// cookie file filtered. Remove Unchecked also keeps every ticked row in Cookies (value 1).
// The number of cookies removed.
int RemoveReviewedCookies(const std::vector<ReviewedCookie>& rows, int removeTicked, int mozilla);

// The monitor's Mozilla step: the profile's cookies.txt filtered in place (from the file as it
// is now, so cookies the browser wrote since the filter ran are kept), cookiesnew.txt and the
// option UpdateCookieFile deleted; marked cookies stay marked. 1 when done.
int ReplaceMozillaCookieFile(const char* profileFolder);
