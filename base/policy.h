// Group Policy: values under HKLM, then HKCU, Software\Policies\Orvane\Kestrix override the
// user's options in both programs. Only the options of the policy table can be managed; the
// administrative template (installer/policy/Kestrix.admx) names exactly these values.
#pragma once

#define KX_POLICY_KEY "Software\\Policies\\Orvane\\Kestrix"

struct PolicyOption {
    const char* name;   // the option's value name, as the programs read it
    int minimum, maximum;
    int onlyEnds;       // 1: only the minimum or the maximum is a value (TrayIcon: 101 or 159)
};

// The table of options a policy can set.
const PolicyOption* PolicyOptionTable(int* count);
// The row of an option name (case-insensitive), nullptr when no policy can set it.
const PolicyOption* FindPolicyOption(const char* name);
// 1 with *value when a policy sets the option: a REG_DWORD, or decimal digits as text, within
// the option's range. Anything else is no policy, and the user's option stands.
int PolicyValue(const char* name, int* value);
int IsPolicyManaged(const char* name);
