; The Kestrix installer and uninstaller. Built by `make installer` (tools/build-installer.sh),
; which passes BUILD (the folder with the programs), SOURCE (the checkout) and OUTFILE.
; A 64-bit installer for 64-bit programs: it runs only where they can.
Target amd64-unicode
!include "MUI2.nsh"
!include "FileFunc.nsh"

!ifndef BUILD
  !error "BUILD must name the folder holding Kestrix.exe and KestrixEx.exe"
!endif
!ifndef SOURCE
  !define SOURCE ".."
!endif
!ifndef OUTFILE
  !define OUTFILE "KestrixSetup.exe"
!endif

; The version shown in Programs and Features is the monitor's own version resource.
!getdllversion "${BUILD}\Kestrix.exe" KXV_
!define VERSION "${KXV_1}.${KXV_2}.${KXV_3}.${KXV_4}"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrix"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define SOUNDS_KEY "AppEvents\Schemes\Apps\Kestrix"
!define LABELS_KEY "AppEvents\EventLabels"
!define EVENTLOG_KEY "SYSTEM\CurrentControlSet\Services\EventLog\Application\Kestrix"
; The logon task that starts the monitor, in a folder of the Task Scheduler's own.
!define TASK_NAME "Kestrix\Monitor"

Name "Kestrix"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Kestrix"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "Kestrix"
VIAddVersionKey "CompanyName" "Orvane"
VIAddVersionKey "FileDescription" "Kestrix setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright (C) Orvane"

!define MUI_ICON "${SOURCE}\resources\icons\kestrix.ico"
!define MUI_UNICON "${SOURCE}\resources\icons\kestrix.ico"
!define MUI_FINISHPAGE_RUN "$INSTDIR\Kestrix.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start the Kestrix monitor now"
!insertmacro MUI_PAGE_WELCOME
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE KestrixLeaf
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Ends a running monitor and manager, so their files can be replaced or removed. WM_CLOSE
; ends the monitor without its exit question; the manager closes its sheet with it.
!macro CloseKestrix un
Function ${un}CloseKestrix
  Push $0
  Push $1
  StrCpy $1 0
  loop:
    FindWindow $0 "Kestrix"
    StrCmp $0 0 0 close
    FindWindow $0 "KestrixEx"
    StrCmp $0 0 done close
  close:
    SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=2000
    Sleep 250
    IntOp $1 $1 + 1
    IntCmp $1 40 done loop done
  done:
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro CloseKestrix ""
!insertmacro CloseKestrix "un."

!macro HelpPages op folder
  ${op} "${folder}\startup.html"
  ${op} "${folder}\delay.html"
  ${op} "${folder}\bho.html"
  ${op} "${folder}\scheduler.html"
  ${op} "${folder}\services.html"
  ${op} "${folder}\tasks.html"
  ${op} "${folder}\cookies.html"
  ${op} "${folder}\filetype.html"
  ${op} "${folder}\hidden.html"
  ${op} "${folder}\options.html"
  ${op} "${folder}\features.html"
  ${op} "${folder}\helpme.html"
!macroend

!macro SoundEvent key label
  WriteRegStr HKCU "${LABELS_KEY}\${key}" "" "${label}"
  WriteRegStr HKCU "${SOUNDS_KEY}\${key}\.current" "" "$INSTDIR\Kestrix.wav"
  WriteRegStr HKCU "${SOUNDS_KEY}\${key}\.default" "" "$INSTDIR\Kestrix.wav"
!macroend

Function .onInit
  SetRegView 64
FunctionEnd

; The monitor starts at every user's logon as that user, with the highest rights the user has:
; an administrator's monitor runs elevated without a prompt, a standard user's as himself. A
; task, not a Run value: Windows starts a Run value with the filtered token only.
Function RegisterLogonTask
  Push $0
  Push $1
  InitPluginsDir
  StrCpy $1 "$PLUGINSDIR\KestrixMonitor.xml"
  FileOpen $0 "$1" w
  FileWriteWord $0 0xFEFF   ; UTF-16 byte-order mark, as schtasks reads a task file
  FileWriteUTF16LE $0 '<?xml version="1.0" encoding="UTF-16"?>$\r$\n'
  FileWriteUTF16LE $0 '<Task version="1.2" xmlns="http://schemas.microsoft.com/windows/2004/02/mit/task">$\r$\n'
  FileWriteUTF16LE $0 '  <RegistrationInfo><Author>Orvane</Author><Description>Starts the Kestrix monitor at logon.</Description></RegistrationInfo>$\r$\n'
  FileWriteUTF16LE $0 '  <Triggers><LogonTrigger><Enabled>true</Enabled></LogonTrigger></Triggers>$\r$\n'
  FileWriteUTF16LE $0 '  <Principals><Principal id="Users"><GroupId>S-1-5-32-545</GroupId><RunLevel>HighestAvailable</RunLevel></Principal></Principals>$\r$\n'
  FileWriteUTF16LE $0 '  <Settings><MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy><DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries><StopIfGoingOnBatteries>false</StopIfGoingOnBatteries><ExecutionTimeLimit>PT0S</ExecutionTimeLimit><Priority>7</Priority></Settings>$\r$\n'
  FileWriteUTF16LE $0 '  <Actions Context="Users"><Exec><Command>&quot;$INSTDIR\Kestrix.exe&quot;</Command></Exec></Actions>$\r$\n'
  FileWriteUTF16LE $0 '</Task>$\r$\n'
  FileClose $0
  ; schtasks may report failure where it registered the task (Wine's does): the result is the
  ; task's definition, which the install test reads.
  nsExec::Exec '"$SYSDIR\schtasks.exe" /create /f /tn "${TASK_NAME}" /xml "$1"'
  Pop $0
  Delete "$1"
  Pop $1
  Pop $0
FunctionEnd

; Kestrix gets a folder of its own whatever folder the user picks ("C:\Program Files",
; "D:\"): the uninstaller may then remove the folder without touching anything beside it.
Function KestrixLeaf
  Push $0
  strip:
    StrCpy $0 "$INSTDIR" "" -1
    StrCmp $0 "\" 0 stripped
    StrCpy $INSTDIR "$INSTDIR" -1
    Goto strip
  stripped:
  ${GetFileName} "$INSTDIR" $0
  StrCmp $0 "Kestrix" leaf
    StrCpy $INSTDIR "$INSTDIR\Kestrix"
  leaf:
  Pop $0
FunctionEnd

Section "Kestrix" SecMain
  SectionIn RO
  Call KestrixLeaf   ; a silent install's /D too
  Call CloseKestrix
  SetOutPath "$INSTDIR"
  File "${BUILD}\Kestrix.exe"
  File "${BUILD}\KestrixEx.exe"
  File /oname=Kestrix.wav "${SOURCE}\resources\alert.wav"
  !insertmacro HelpPages File "${SOURCE}\help"
  File "${SOURCE}\help\help.css"
  ; The Group Policy templates, for administrators to copy into their policy store.
  SetOutPath "$INSTDIR\policy"
  File "${SOURCE}\installer\policy\Kestrix.admx"
  SetOutPath "$INSTDIR\policy\en-US"
  File "${SOURCE}\installer\policy\en-US\Kestrix.adml"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The event source of the monitor's reports: its texts are the monitor's message table.
  WriteRegExpandStr HKLM "${EVENTLOG_KEY}" "EventMessageFile" "$INSTDIR\Kestrix.exe"
  WriteRegDWORD HKLM "${EVENTLOG_KEY}" "TypesSupported" 7

  ; Start at logon through the Task Scheduler; the Run value an earlier version wrote for this
  ; copy goes, so the monitor does not start twice. The program is approved, so the monitor
  ; does not ask about itself.
  Call RegisterLogonTask
  ReadRegStr $0 HKLM "${RUN_KEY}" "Kestrix"
  StrCmp $0 '"$INSTDIR\kestrix.exe"' 0 +2
    DeleteRegValue HKLM "${RUN_KEY}" "Kestrix"
  WriteRegStr HKCU "Software\Orvane\Kestrix\Run" "$INSTDIR\kestrix.exe" "1"

  ; What guards the machine (copies of system files, parked all-users items) is kept where
  ; administrators and the system write and users only read.
  SetShellVarContext all
  CreateDirectory "$APPDATA\Kestrix"
  nsExec::Exec '"$SYSDIR\icacls.exe" "$APPDATA\Kestrix" /inheritance:r /grant:r *S-1-5-18:(OI)(CI)F *S-1-5-32-544:(OI)(CI)F *S-1-5-32-545:(OI)(CI)RX'
  Pop $0
  SetShellVarContext current

  WriteRegStr HKCU "${SOUNDS_KEY}" "" "Kestrix"
  !insertmacro SoundEvent "Open" "Kestrix Open"
  !insertmacro SoundEvent "Startup Alert" "Kestrix Startup Alert"
  !insertmacro SoundEvent "Cookie Alert" "Kestrix Cookie Alert"
  !insertmacro SoundEvent "Task Alert" "Kestrix Task Alert"
  !insertmacro SoundEvent "IE Helper" "Kestrix IE Helper Alert"
  !insertmacro SoundEvent "FileType Alert" "Kestrix File Type Alert"
  !insertmacro SoundEvent "SystemFile Alert" "Kestrix System File Alert"

  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\Kestrix"
  CreateShortcut "$SMPROGRAMS\Kestrix\Kestrix.lnk" "$INSTDIR\Kestrix.exe" "" "$INSTDIR\Kestrix.exe" 0
  CreateShortcut "$SMPROGRAMS\Kestrix\Kestrix Explorer.lnk" "$INSTDIR\KestrixEx.exe" "" "$INSTDIR\KestrixEx.exe" 0
  CreateShortcut "$SMPROGRAMS\Kestrix\Kestrix Help.lnk" "$INSTDIR\features.html"
  CreateShortcut "$SMPROGRAMS\Kestrix\Uninstall Kestrix.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Kestrix"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Orvane"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Kestrix.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Uninstall"
  Call un.CloseKestrix

  ; A monitor told to close may still be finishing its pass and hold its file a little longer.
  StrCpy $1 0
  monitorfile:
    ClearErrors
    Delete "$INSTDIR\Kestrix.exe"
    IfErrors 0 monitorgone
    IntOp $1 $1 + 1
    Sleep 250
    IntCmp $1 120 monitorgone monitorfile monitorgone
  monitorgone:
  Delete "$INSTDIR\KestrixEx.exe"
  Delete "$INSTDIR\Kestrix.wav"
  Delete "$INSTDIR\help.css"
  !insertmacro HelpPages Delete "$INSTDIR"
  Delete "$INSTDIR\uninstall.exe"
  Delete "$INSTDIR\policy\en-US\Kestrix.adml"
  RMDir "$INSTDIR\policy\en-US"
  Delete "$INSTDIR\policy\Kestrix.admx"
  RMDir "$INSTDIR\policy"

  ; The event source goes only when it names this copy's monitor.
  ReadRegStr $0 HKLM "${EVENTLOG_KEY}" "EventMessageFile"
  StrCmp $0 "$INSTDIR\Kestrix.exe" 0 +2
    DeleteRegKey HKLM "${EVENTLOG_KEY}"

  nsExec::Exec '"$SYSDIR\schtasks.exe" /delete /f /tn "${TASK_NAME}"'
  Pop $0
  ; Only the Run value that starts this copy goes; another program's value of the same name stays.
  ReadRegStr $0 HKLM "${RUN_KEY}" "Kestrix"
  StrCmp $0 '"$INSTDIR\kestrix.exe"' 0 +2
    DeleteRegValue HKLM "${RUN_KEY}" "Kestrix"

  DeleteRegKey HKCU "${SOUNDS_KEY}"
  DeleteRegKey HKCU "${LABELS_KEY}\Open"
  DeleteRegKey HKCU "${LABELS_KEY}\Startup Alert"
  DeleteRegKey HKCU "${LABELS_KEY}\Cookie Alert"
  DeleteRegKey HKCU "${LABELS_KEY}\Task Alert"
  DeleteRegKey HKCU "${LABELS_KEY}\IE Helper"
  DeleteRegKey HKCU "${LABELS_KEY}\FileType Alert"
  DeleteRegKey HKCU "${LABELS_KEY}\SystemFile Alert"

  SetShellVarContext all
  Delete "$SMPROGRAMS\Kestrix\Kestrix.lnk"
  Delete "$SMPROGRAMS\Kestrix\Kestrix Explorer.lnk"
  Delete "$SMPROGRAMS\Kestrix\Kestrix Help.lnk"
  Delete "$SMPROGRAMS\Kestrix\Uninstall Kestrix.lnk"
  RMDir "$SMPROGRAMS\Kestrix"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  ; The user's data: approved lists, options, entries Kestrix disabled, history, notes, reports
  ; and the vault. Kept unless the user says otherwise; silent uninstalls keep it unless given
  ; /PURGE.
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/PURGE" $R1
  IfErrors 0 purge
  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON1 \
    "Keep your Kestrix data (approved programs, settings, history, notes and the vault of removed hidden files)?$\r$\n$\r$\nKeep it if you may install Kestrix again: startup entries Kestrix disabled can only be enabled again with Kestrix." \
    /SD IDYES IDYES keep
  purge:
  SetShellVarContext all
  RMDir /r "$APPDATA\Kestrix"
  SetShellVarContext current
  RMDir /r "$APPDATA\Kestrix"
  RMDir /r "$LOCALAPPDATA\Kestrix"
  DeleteRegKey HKCU "Software\Orvane\Kestrix"
  DeleteRegKey HKCU "Software\Orvane\Detected"
  DeleteRegKey /ifempty HKCU "Software\Orvane"
  DeleteRegKey HKLM "Software\Orvane\Kestrix"
  DeleteRegKey /ifempty HKLM "Software\Orvane"
  ; Only what Kestrix itself writes in its folder goes, never the folder's other content: an
  ; older version may have been installed straight into a shared folder. Names any program
  ; might use, and Kestrix's subfolders, only in a folder that is Kestrix's own.
  Delete "$INSTDIR\send2ov.txt"
  Delete "$INSTDIR\sendex2ov.txt"
  Delete "$INSTDIR\KestrixLog.csv"
  Delete "$INSTDIR\KestrixLog.html"
  Delete "$INSTDIR\KestrixLog.txt"
  Delete "$INSTDIR\HijackKestrix.log"
  Delete "$INSTDIR\*-Kestrix.reg"
  ${GetFileName} "$INSTDIR" $0
  StrCmp $0 "Kestrix" 0 shared
    Delete "$INSTDIR\history.txt"
    Delete "$INSTDIR\temp.url"
    Delete "$INSTDIR\note_*.txt"
    Delete "$INSTDIR\HOSTS"
    Delete "$INSTDIR\Autoexec.bat"
    Delete "$INSTDIR\Config.sys"
    RMDir /r "$INSTDIR\Disabled"
    RMDir /r "$INSTDIR\Parked"
    RMDir /r "$INSTDIR\vault"
    RMDir /r "$INSTDIR\kbase"
  shared:
  RMDir "$INSTDIR"
  Goto done
  keep:
  ; What is left in the folder (history, notes, logs) is the user's; the folder goes when empty.
  RMDir "$INSTDIR"
  done:
SectionEnd
