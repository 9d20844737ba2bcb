#!/usr/bin/env bash
# Builds the installer, installs silently into a fresh prefix, checks what it added, starts the
# installed monitor, uninstalls silently and checks that everything it added is gone while the
# user's data stays.
set -uo pipefail
build=$1
work=$2
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

rm -rf "$work"
mkdir -p "$work"
"$root/tools/build-installer.sh" "$build" "$work/KestrixSetup.exe" >"$work/makensis.log" 2>&1 ||
    { cat "$work/makensis.log"; echo "FAILED: makensis"; exit 1; }

source "$root/tools/wine-env.sh"   # the test worker's display
# schtasks.exe is our recorder (see schtasks_recorder.c), never Wine's own.
export WINEPREFIX="$work/prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;schtasks.exe=n"
trap 'wineserver -k >/dev/null 2>&1' EXIT
wineboot -i >/dev/null 2>&1 </dev/null
wineserver -w

drive="$WINEPREFIX/drive_c"
cp "$build/tests/kxfx_schtasks.exe" "$drive/windows/system32/schtasks.exe" || fail "schtasks recorder"
calls="$drive/kx-schtasks/calls.txt"
dir="$drive/Program Files/Kestrix"
menu="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Kestrix"
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrix'
run='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
sounds='HKCU\AppEvents\Schemes\Apps\Kestrix'
eventsource='HKLM\System\CurrentControlSet\Services\EventLog\Application\Kestrix'

# query KEY [VALUE]: the data of VALUE ("" for the default value), or "present" when only the
# key is asked for; empty when missing.
query() {
    if [ $# -eq 2 ]; then
        local name=$2 select=(/v "$2")
        [ -z "$2" ] && name="(Default)" select=(/ve)
        wine reg query "$1" "${select[@]}" 2>/dev/null </dev/null | tr -d '\r' |
            awk -v v="$name" 'index($0, "    " v " ") == 1 {
                sub(/^ *[^ ].*REG_[A-Z_]+ +/, ""); if ($0 != "(value not set)") print; exit }'
    else
        wine reg query "$1" >/dev/null 2>&1 </dev/null && echo present
    fi
}
expect() {   # expect DESCRIPTION ACTUAL WANTED
    [ "$2" = "$3" ] || fail "$1: got '$2', wanted '$3'"
}

# An earlier version started the monitor from the machine's Run key.
wine reg add "$run" /v Kestrix /d '"C:\Program Files\Kestrix\kestrix.exe"' /f </dev/null >/dev/null 2>&1
timeout 300 wine "$work/KestrixSetup.exe" /S </dev/null >/dev/null 2>&1 || fail "installer exit code"
wineserver -w

# Files, shortcut and registry values.
for f in Kestrix.exe KestrixEx.exe Kestrix.wav uninstall.exe help.css startup.html delay.html \
         bho.html scheduler.html services.html tasks.html cookies.html filetype.html hidden.html \
         options.html features.html helpme.html policy/Kestrix.admx policy/en-US/Kestrix.adml; do
    [ -f "$dir/$f" ] || fail "installed file $f"
done
cmp -s "$build/Kestrix.exe" "$dir/Kestrix.exe" || fail "Kestrix.exe differs from the build"
# The programs ship stripped: no debug sections, and a link to the .debug file kept beside
# the build; the .debug files themselves are not shipped.
for f in Kestrix.exe KestrixEx.exe; do
    sections=$(x86_64-w64-mingw32-objdump -h "$dir/$f" 2>/dev/null) || { fail "objdump $f"; continue; }
    grep -q ' \.debug_' <<<"$sections" && fail "$f ships debug sections"
    grep -q ' \.gnu_debuglink' <<<"$sections" || fail "$f has no .gnu_debuglink"
    [ -f "$build/$f.debug" ] || fail "$f.debug beside the build"
    [ -e "$dir/$f.debug" ] && fail "$f.debug shipped"
done
[ -f "$menu/Kestrix.lnk" ] || fail "Start-menu shortcut"
[ -f "$menu/Kestrix Explorer.lnk" ] || fail "Start-menu shortcut of the explorer"
version=$(sed -n 's/^#define KX_VERSION_TEXT "\(.*\)"/\1/p' "$build/generated/kxversion.h")
expect "uninstall DisplayName" "$(query "$uninstall" DisplayName)" "Kestrix"
expect "uninstall DisplayVersion" "$(query "$uninstall" DisplayVersion)" "$version"
expect "uninstall Publisher" "$(query "$uninstall" Publisher)" "Orvane"
expect "uninstall UninstallString" "$(query "$uninstall" UninstallString)" \
       '"C:\Program Files\Kestrix\uninstall.exe"'
size=$(query "$uninstall" EstimatedSize)
[ -n "$size" ] && [ $((size)) -gt 100 ] || fail "uninstall EstimatedSize '$size'"
# The monitor starts at logon from a task, with the highest rights the user has, for every
# user; the earlier Run value is gone so that it does not start twice.
expect "earlier autostart value" "$(query "$run" Kestrix)" ""
grep -q '/create /f /tn "Kestrix\\Monitor" /xml ' "$calls" 2>/dev/null ||
    fail "logon task not registered: $(cat "$calls" 2>&1)"
tasks=("$drive"/kx-schtasks/task*.xml)
[ ${#tasks[@]} -eq 1 ] || fail "one task file handed over, not ${#tasks[@]}"
[ "$(head -c 2 "${tasks[0]}" | xxd -p)" = "fffe" ] || fail "task file is not UTF-16"
definition=$(iconv -f UTF-16 -t UTF-8 "${tasks[0]}" 2>/dev/null | tr -d '\r')
grep -q '<LogonTrigger>' <<<"$definition" || fail "logon task: no logon trigger"
grep -q '<RunLevel>HighestAvailable</RunLevel>' <<<"$definition" || fail "logon task: run level"
grep -q '<GroupId>S-1-5-32-545</GroupId>' <<<"$definition" || fail "logon task: not for every user"
grep -Eq '<Command>(&quot;|")C:\\Program Files\\Kestrix\\Kestrix.exe(&quot;|")</Command>' <<<"$definition" ||
    fail "logon task: command not the quoted monitor path: $(grep -o '<Command>.*</Command>' <<<"$definition")"
[ -d "$drive/ProgramData/Kestrix" ] || fail "machine data folder not made"
expect "event source message file" "$(query "$eventsource" EventMessageFile)" \
       'C:\Program Files\Kestrix\Kestrix.exe'
expect "event source types" "$(query "$eventsource" TypesSupported)" "0x7"
expect "startup alert sound" "$(query "$sounds\\Startup Alert\\.current" '')" \
       'C:\Program Files\Kestrix\Kestrix.wav'

# The installed monitor starts: its first run writes the date it began watching.
wine "$dir/Kestrix.exe" -NoOpen </dev/null >/dev/null 2>&1 &
started=""
for _ in $(seq 1 60); do
    started=$(query 'HKCU\Software\Orvane\Kestrix' '')
    [ -n "$started" ] && break
    sleep 1
done
[ -n "$started" ] || fail "installed monitor did not start"

# The user's data, as a user who has used Kestrix for a while has it.
appdata="$drive/users/$(id -un)/AppData/Roaming"
mkdir -p "$appdata/Kestrix/vault"
echo condemned >"$appdata/Kestrix/vault/evil.dll"
printf 'event\r\n' >"$dir/history.txt"

# Uninstall: the uninstaller ends the running monitor itself; silent mode keeps the data.
timeout 300 wine "$dir/uninstall.exe" /S </dev/null >/dev/null 2>&1 || fail "uninstaller exit code"
timeout 120 wineserver -w || fail "a program still runs after the uninstaller (monitor not ended?)"

for f in Kestrix.exe KestrixEx.exe Kestrix.wav uninstall.exe help.css startup.html helpme.html \
         policy; do
    [ -e "$dir/$f" ] && fail "left behind: $f"
done
[ -e "$menu" ] && fail "Start-menu folder left behind"
expect "uninstall key" "$(query "$uninstall")" ""
expect "autostart value after uninstall" "$(query "$run" Kestrix)" ""
grep -q '/delete /f /tn "Kestrix\\Monitor"' "$calls" || fail "logon task not removed: $(cat "$calls")"
expect "sound events after uninstall" "$(query "$sounds")" ""
expect "event source after uninstall" "$(query "$eventsource")" ""
[ -f "$dir/history.txt" ] || fail "history.txt was not kept"
[ -f "$appdata/Kestrix/vault/evil.dll" ] || fail "the vault was not kept"
expect "settings kept" "$(query 'HKCU\Software\Orvane\Kestrix' '')" "$started"

# A folder the user picked that holds files of its own: Kestrix goes into a folder of its own
# inside it, and an uninstall that removes the user's data removes only what is Kestrix's.
shared="$drive/Shared"
mkdir -p "$shared/Disabled"
echo mine >"$shared/other.txt"
echo mine >"$shared/Disabled/keep.lnk"
timeout 300 wine "$work/KestrixSetup.exe" /S '/D=C:\Shared\' </dev/null >/dev/null 2>&1 ||
    fail "installer exit code (shared folder)"
wineserver -w
[ -f "$shared/Kestrix/Kestrix.exe" ] || fail "not installed into a folder of its own: $(ls "$shared")"
printf 'event\r\n' >"$shared/Kestrix/history.txt"
echo note >"$shared/Kestrix/note_app.txt"
timeout 300 wine "$shared/Kestrix/uninstall.exe" /S /PURGE </dev/null >/dev/null 2>&1 ||
    fail "uninstaller exit code (purge)"
timeout 120 wineserver -w
[ -e "$shared/Kestrix" ] && fail "Kestrix's own folder left behind: $(ls "$shared/Kestrix")"
[ -e "$appdata/Kestrix" ] && fail "purged data left behind"
expect "settings purged" "$(query 'HKCU\Software\Orvane\Kestrix')" ""

# An older install straight into the shared folder: its uninstaller removes Kestrix's files
# and nothing else of the folder, though the folder holds a "Disabled" of someone else's.
timeout 300 wine "$work/KestrixSetup.exe" /S '/D=C:\Shared' </dev/null >/dev/null 2>&1 ||
    fail "installer exit code (old layout)"
wineserver -w
mv "$shared/Kestrix/"* "$shared/" && rmdir "$shared/Kestrix"
echo report >"$shared/KestrixLog.csv"
timeout 300 wine "$shared/uninstall.exe" /S /PURGE </dev/null >/dev/null 2>&1 ||
    fail "uninstaller exit code (old layout)"
timeout 120 wineserver -w
for f in Kestrix.exe KestrixEx.exe uninstall.exe startup.html KestrixLog.csv; do
    [ -e "$shared/$f" ] && fail "left behind in the shared folder: $f"
done
[ -f "$shared/other.txt" ] || fail "the shared folder's own file was deleted"
[ -f "$shared/Disabled/keep.lnk" ] || fail "the shared folder's own subfolder was emptied"

if [ $failures -eq 0 ]; then echo "install_test: passed"; else echo "install_test: $failures failed"; fi
[ $failures -eq 0 ]
