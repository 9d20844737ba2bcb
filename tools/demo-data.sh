#!/usr/bin/env bash
# Called by run-programs.sh (make run): gives the project's prefix one sample of what each page
# of the manager lists (a delayed program, a browser add-on, a scheduled task, cookie filters and
# cookies, a hidden file), so every tab shows real rows. Done once per prefix; harmless to repeat.
# The delayed program waits ten minutes, so it does not cover the sheet in the screenshots.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
marker="$WINEPREFIX/.kx-demo"
[ -f "$marker" ] && exit 0
drive="$WINEPREFIX/drive_c"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat > "$work/demo.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Orvane\Kestrix\Delay]
"C:\\windows\\notepad.exe"="11"

[HKEY_CURRENT_USER\Software\Orvane\Kestrix\Delay\Title]
"C:\\windows\\notepad.exe"="Notes at logon"

[HKEY_CURRENT_USER\Software\Orvane\Kestrix\Delay\Time]
"C:\\windows\\notepad.exe"="600"

[HKEY_CURRENT_USER\Software\Orvane\Kestrix\Nuts]
"doubleclick"="0"
"adserver"="0"

[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer\Browser Helper Objects\{6B3A1C40-8D2E-4F71-9C55-2E0D7A5B1F90}]

[HKEY_CLASSES_ROOT\CLSID\{6B3A1C40-8D2E-4F71-9C55-2E0D7A5B1F90}]
@="Sample Toolbar Helper"

[HKEY_CLASSES_ROOT\CLSID\{6B3A1C40-8D2E-4F71-9C55-2E0D7A5B1F90}\InprocServer32]
@="C:\\windows\\system32\\shdocvw.dll"
REG

# A logon task in the Task Scheduler 2.0 store (UTF-16, as schtasks wants it).
cat > "$work/task.xml" <<'XML'
<?xml version="1.0" encoding="UTF-16"?>
<Task version="1.2" xmlns="http://schemas.microsoft.com/windows/2004/02/mit/task">
  <RegistrationInfo><Author>Sample Vendor</Author><Description>Checks for updates at logon</Description></RegistrationInfo>
  <Triggers><LogonTrigger><Enabled>true</Enabled></LogonTrigger></Triggers>
  <Settings><Enabled>true</Enabled></Settings>
  <Actions><Exec><Command>C:\windows\notepad.exe</Command></Exec></Actions>
</Task>
XML
iconv -f UTF-8 -t UTF-16 "$work/task.xml" > "$work/task16.xml"

# Internet Explorer's cookie folder with its index and one cookie.
user=${USER:-$(id -un)}
cookies="$drive/users/$user/AppData/Local/Microsoft/Windows/INetCookies"
mkdir -p "$cookies"
[ -f "$cookies/index.dat" ] || printf 'Client UrlCache MMF Ver 5.2' > "$cookies/index.dat"
printf 'id\n5f2c9a\ndoubleclick.net/\n1024\n2394967296\n31098876\n1183241280\n30000000\n*\n' \
    > "$cookies/user@doubleclick[1].txt"
printf 'Sample hidden file\r\n' > "$drive/windows/kxsample.dat"

mkdir -p "$drive/windows/temp"
cp "$work/demo.reg" "$work/task16.xml" "$drive/windows/temp/"
for command in 'regedit /s C:\windows\temp\demo.reg' \
               'schtasks /create /tn Sample\UpdateAtLogon /xml C:\windows\temp\task16.xml' \
               'attrib +h C:\windows\kxsample.dat'; do
    # shellcheck disable=SC2086 # each command is split into its words on purpose
    wine $command >/dev/null 2>&1 </dev/null
done
rm -f "$drive/windows/temp/demo.reg" "$drive/windows/temp/task16.xml"
# Marked only when the samples are really there, so that a failed step is tried again next time
# (schtasks may exit 1 even when it registered the task).
if wine reg query 'HKCU\Software\Orvane\Kestrix\Delay' >/dev/null 2>&1 </dev/null &&
   [ -f "$drive/windows/system32/tasks/Sample/UpdateAtLogon" ]; then
    touch "$marker"
else
    echo "demo-data: the sample entries could not all be made; trying again at the next make run" >&2
fi
