# Turns the REGEDIT4 export of a real machine's services into one Wine imports as that machine
# had them: the keys go to CurrentControlSet (Wine keeps no numbered control sets) and the
# prefix's own services (names in the file given as -v own=...) stay out, since overwriting them
# breaks the prefix.
BEGIN {
    FS = "\n"
    while ((getline name < own) > 0)
        skip[tolower(name)] = 1
    keep = 1
    root = "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\services"
}
{ sub(/\r$/, "") }
/^\[/ {
    keep = 1
    if (index($0, root) == 1) {
        rest = substr($0, length(root) + 1)
        if (rest != "]") {
            name = substr(rest, 2)
            sub(/[\\\]].*/, "", name)
            keep = !(tolower(name) in skip)
        }
        $0 = "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services" rest
    }
}
keep { print }
