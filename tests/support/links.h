// Links swapped into a folder behind a program's back. Wine (the tests' Windows) creates no
// junctions and fakes symbolic links, but follows the host's symbolic links like junctions:
// such a link is made by the host's own ln, which Wine starts like any program.
#pragma once
#include <string>

// A link at link (a Windows path; nothing may be there) leading to target. False where the
// host cannot make one (not under Wine); the test then has nothing to swap.
bool MakeHostLink(const std::string& link, const std::string& target);
// Takes a link made by MakeHostLink away (never what it leads to); whether it is gone.
bool RemoveHostLink(const std::string& link);
