; Fennick suite installer: for the current user, without administrator rights.
; Built by make_release.py, which defines VERSION, VERSION4, PUBLISHER, OUTFILE and PAYLOAD (the
; generated list of shipped files, the programs among them and their shortcuts).
;
; Command line: /S silent; /D=folder (last, unquoted) the folder of a first install (an update goes
; where the suite is); /KEYMAPPERATLOGON=1 or =0 turns the key mapper's start at logon on or off
; (default: as it was, off on a first install).
; Uninstall.exe: /S silent; /REMOVEUSERFILES also removes the user's profiles, links and macros.
;
; Exit codes: 0 done; 1 cancelled; 2 a program of the suite did not close; 3 a file could not be
; written (the suite is left as it was); 4 the folder holds files that are not the suite's; 5 a newer
; version is installed (silent); 6 another setup or uninstaller of the suite is running.

Unicode true
SetCompressor /SOLID lzma
; The installer's manifest says asInvoker: Windows neither asks for an administrator nor treats
; "Setup" in the name as a reason to elevate. Everything goes to the user's own folders and keys.
RequestExecutionLevel user
ManifestSupportedOS all
; A file that cannot be written fails the installation (an error code when silent); the new files
; are only staged by then, so the installed suite is left as it was.
AllowSkipFiles off

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh
!include WordFunc.nsh

!define PRODUCT "Fennick suite"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Fennick"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "FennickKey"
!define RUNONCE_KEY "Software\Microsoft\Windows\CurrentVersion\RunOnce"
!define CLEANUP_VALUE "FennickRemoveHeldFiles"
!define SETTINGS_KEY "SOFTWARE\Velmora"
!define START_MENU_FOLDER "$SMPROGRAMS\Fennick"
!define FILES_KEY "${UNINSTALL_KEY}\Files"
!define DEFAULT_FOLDER "$LOCALAPPDATA\Programs\Fennick"
!define SYNCHRONIZE 0x00100000
!define ERROR_ACCESS_DENIED 5
!define ERROR_ALREADY_EXISTS 183
!define SETUP_MUTEX "FennickSetupRunning"
!define EXIT_NOT_CLOSED 2
!define EXIT_NOT_WRITTEN 3
!define EXIT_FOREIGN_FOLDER 4
!define EXIT_NEWER_INSTALLED 5
!define EXIT_SETUP_RUNNING 6
!define SERVER_MUTEX "swibus_server_running"
!define SERVER_CLASS "vlm_sb_Hidden"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
; The programs keep their profiles, links and macros beside themselves, so the folder must stay
; writable by the user: the per-user program folder, not Program Files.
InstallDir "${DEFAULT_FOLDER}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION4}"
VIFileVersion "${VERSION4}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"

!include "${PAYLOAD}"

; The installer's state (the texts of languages.nsh name some of it).
Var OldLocation   ; the folder of the installed suite, if it still exists
Var AskedFolder   ; the folder asked for when an update goes elsewhere (where the suite is)
Var CreatedFolder ; 1 when this run made the folder
Var Staged        ; 1 once staged files may be in the folder
Var Journal       ; the swap journal: per file its name and its backup's ("" when it had none)
Var SwapName

; An update goes where the suite is: another folder would leave the user's profiles behind.
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipDirectoryWhenInstalled
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE RefuseFolderOfOthers
!insertmacro MUI_PAGE_DIRECTORY
!ifdef FENNICK_HAS_KEY_MAPPER
!insertmacro MUI_PAGE_COMPONENTS
!endif
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!include "${__FILEDIR__}\languages.nsh"

; --- Programs of the suite that are running (installer and uninstaller share these) ---

; The programs found running before they were closed (their bits), to start again after an update.
Var RunningBefore

; Appends label to $R0, and its bit to $R2, when the program's single-instance mutex exists. A
; mutex that exists but may not be opened (the program runs elevated) counts as running too.
!macro FennickIfRunning mutex label bit
  System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w "${mutex}") p .r9 ?e'
  Pop $8
  ${If} $9 <> 0
    System::Call 'kernel32::CloseHandle(p r9)'
  ${EndIf}
  ${If} $9 <> 0
  ${OrIf} $8 = ${ERROR_ACCESS_DENIED}
    IntOp $R2 $R2 | ${bit}
    ${If} $R0 == ""
      StrCpy $R0 "${label}"
    ${Else}
      StrCpy $R0 "$R0, ${label}"
    ${EndIf}
  ${EndIf}
!macroend

; Asks the program's main window to close, as its own Exit does: it saves and unregisters.
!macro FennickPostClose class title
  !if "${title}" == ""
    FindWindow $9 "${class}"
  !else
    FindWindow $9 "${class}" "${title}"
  !endif
  ${If} $9 <> 0
    System::Call 'user32::PostMessageW(p r9, i ${WM_CLOSE}, p 0, p 0)'
  ${EndIf}
!macroend

; Starts a program again from the installed folder if it ran before and does not run now.
!macro FennickRestart mutex file args bit
  IntOp $9 $RunningBefore & ${bit}
  ${If} $9 <> 0
  ${AndIf} ${FileExists} "$INSTDIR\${file}"
    StrCpy $R0 ""
    !insertmacro FennickIfRunning "${mutex}" "${file}" 0
    ${If} $R0 == ""
      DetailPrint "Starting again: ${file}"
      Exec '"$INSTDIR\${file}" ${args}'
    ${EndIf}
  ${EndIf}
!macroend

!macro FennickRunningFunctions un
Function ${un}FindPrograms
  StrCpy $R0 ""
  StrCpy $R2 0
  !insertmacro FennickProgramsRunning
FunctionEnd

; The programs and the port monitor's server, which holds swibus.exe and its ports.
Function ${un}FindRunning
  Call ${un}FindPrograms
  !insertmacro FennickIfRunning "${SERVER_MUTEX}" "swibus" 0
FunctionEnd

; Closes the running programs, then the port monitor's server; afterwards $R0 names what still
; runs. The server is left alone while a program of ours still uses it.
Function ${un}CloseRunning
  !insertmacro FennickCloseProgramsCleanly
  StrCpy $R1 0
  ${Do}
    Call ${un}FindPrograms
    ${If} $R0 == ""
    ${OrIf} $R1 >= 150
      ${Break}
    ${EndIf}
    Sleep 100
    IntOp $R1 $R1 + 1
  ${Loop}
  ${If} $R0 == ""
    ; The server ends by itself once its last client has gone; one still serving another
    ; program (or none) is asked to close, which closes its ports.
    FindWindow $9 "${SERVER_CLASS}"
    ${If} $9 <> 0
      System::Call 'user32::PostMessageW(p r9, i ${WM_CLOSE}, p 0, p 0)'
    ${EndIf}
    StrCpy $R1 0
    ${Do}
      StrCpy $R0 ""
      !insertmacro FennickIfRunning "${SERVER_MUTEX}" "swibus" 0
      FindWindow $9 "${SERVER_CLASS}"
      ${If} $9 = 0
      ${AndIf} $R0 == ""
      ${OrIf} $R1 >= 50
        ${Break}
      ${EndIf}
      Sleep 100
      IntOp $R1 $R1 + 1
    ${Loop}
  ${EndIf}
  Call ${un}FindRunning
FunctionEnd

; Nothing of the suite may run while its files change: ask (or, when silent, just close them),
; and stop with an error rather than replace files half way. Programs closed before stopping so
; are started again.
Function ${un}EnsureNothingRuns
  Call ${un}FindRunning
  StrCpy $RunningBefore $R2
  ${If} $R0 == ""
    Return
  ${EndIf}
  MessageBox MB_OKCANCEL|MB_ICONINFORMATION "$(MessageRunning)" /SD IDOK IDOK close
  SetErrorLevel ${EXIT_NOT_CLOSED}
  Abort "$(MessageStopped)"
  close:
  DetailPrint "Closing: $R0"
  Call ${un}CloseRunning
  ${If} $R0 != ""
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(MessageNotClosed)" /SD IDCANCEL IDRETRY close
    ; The installer starts again what it closed once it has stopped (.onInstFailed).
    SetErrorLevel ${EXIT_NOT_CLOSED}
    Abort "$(MessageStopped)"
  ${EndIf}
FunctionEnd
!macroend
!insertmacro FennickRunningFunctions ""
!insertmacro FennickRunningFunctions "un."

; The programs an update closed, from the installed folder (the key mapper to its tray icon). Once:
; a program just started may not hold its mutex yet, and a second start would complain.
Function RestartClosed
  ${If} $RunningBefore = 0
  ${OrIfNot} ${FileExists} "$INSTDIR\*.*"
    Return
  ${EndIf}
  SetOutPath "$INSTDIR"
  !insertmacro FennickRestartPrograms
  StrCpy $RunningBefore 0
FunctionEnd

; Only one setup or uninstaller of the suite at a time: two would replace and remove the same files
; under each other. The mutex lives as long as this process.
!macro FennickOneSetupAtATime
  System::Call 'kernel32::CreateMutexW(p 0, i 0, w "${SETUP_MUTEX}") p .r0 ?e'
  Pop $1
  ${If} $0 = 0
  ${OrIf} $1 = ${ERROR_ALREADY_EXISTS}
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(MessageSetupRunning)" /SD IDOK
    SetErrorLevel ${EXIT_SETUP_RUNNING}
    Abort
  ${EndIf}
!macroend

; $1 is 1 when the file name $0 is one the programs write beside themselves: the user's. Names and
; extensions are compared whole; a wildcard would also match 8.3 short names (X~1.BPF for x.bpfold).
!macro FennickUserFileFunction un
Function ${un}IsUserFile
  StrCpy $1 1
  !insertmacro FennickIfUserFile $0 $2 user
  StrCpy $1 0
  user:
FunctionEnd
!macroend
!insertmacro FennickUserFileFunction ""
!insertmacro FennickUserFileFunction "un."

; $0 is a bare file name (no folder, no wildcard) that can only name a file in the folder itself.
!macro FennickIfPlainName name label
  Push $9
  Push $8
  StrCpy $9 0
  StrCpy $8 1
  ${If} ${name} == ""
  ${OrIf} ${name} == "."
  ${OrIf} ${name} == ".."
    StrCpy $8 0
  ${EndIf}
  ${Do}
    StrCpy $7 ${name} 1 $9
    ${If} $7 == ""
      ${Break}
    ${EndIf}
    ${If} $7 == "\"
    ${OrIf} $7 == "/"
    ${OrIf} $7 == ":"
    ${OrIf} $7 == "*"
    ${OrIf} $7 == "?"
      StrCpy $8 0
    ${EndIf}
    IntOp $9 $9 + 1
  ${Loop}
  StrCpy $7 $8
  Pop $8
  Pop $9
  StrCmp $7 1 ${label}
!macroend

; --- Files ---

; An update is all or nothing. The new files are first staged beside the old ones as <name>.new
; (a full disk or a file that cannot be written stops it there, before any program is closed); then
; each old file is renamed to a backup and its new copy renamed in, recorded in a journal; only when
; every file is in do the backups go, the list of installed files and the Apps entry change. Any
; failure before that renames every old file back, so the suite is as it was.
; A DLL that a global hook keeps loaded in another process cannot be deleted but can be renamed:
; such a backup stays, listed as installed, and the next update or the uninstaller removes it.

!macro FennickStageFile name source
  File "/oname=${name}.new" "${source}"
!macroend

; A file shipped as a starting point is the user's once installed: staged only when absent.
!macro FennickStageStarterFile name source
  ${IfNot} ${FileExists} "$INSTDIR\${name}"
    File "/oname=${name}.new" "${source}"
  ${EndIf}
!macroend

!macro FennickSwapFile name
  StrCpy $SwapName "${name}"
  Call SwapIn
!macroend

!macro FennickSwapStarterFile name
  ${If} ${FileExists} "$INSTDIR\${name}.new"
    !insertmacro FennickSwapFile "${name}"
  ${EndIf}
!macroend

!macro FennickDropStaged name
  Delete "$INSTDIR\${name}.new"
!macroend

!macro FennickRemoveFile name
  Push "${name}"
  Call un.RemoveInstalled
  Push "${name}.old"
  Call un.RemoveInstalled
!macroend

; $1: a name for the backup of $SwapName that is free, or "" when none can be made free.
Function FreeBackupName
  StrCpy $2 1
  StrCpy $1 "$SwapName.old"
  ${Do}
    Delete "$INSTDIR\$1"
    ${IfNot} ${FileExists} "$INSTDIR\$1"
      Return
    ${EndIf}
    IntOp $2 $2 + 1
    ${If} $2 > 9
      StrCpy $1 ""
      Return
    ${EndIf}
    StrCpy $1 "$SwapName.old$2"
  ${Loop}
FunctionEnd

; Puts the staged copy of $SwapName in place. A file that cannot be moved (a virus scanner or
; another program holds it) may be retried; given up, every file swapped so far goes back.
Function SwapIn
  StrCpy $1 ""
  ${Do}
    ClearErrors
    ${IfNot} ${FileExists} "$INSTDIR\$SwapName"
      ${Break}
    ${EndIf}
    Call FreeBackupName
    ${If} $1 != ""
      Rename "$INSTDIR\$SwapName" "$INSTDIR\$1"
    ${Else}
      SetErrors
    ${EndIf}
    ${IfNot} ${Errors}
      ${Break}
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(MessageNotReplaced)" /SD IDCANCEL IDRETRY +2
    Goto failed
  ${Loop}
  Rename "$INSTDIR\$SwapName.new" "$INSTDIR\$SwapName"
  ${If} ${Errors}
    ${If} $1 != ""
      Rename "$INSTDIR\$1" "$INSTDIR\$SwapName"
    ${EndIf}
    Goto failed
  ${EndIf}
  FileWrite $Journal "$SwapName$\r$\n$1$\r$\n"
  Return
  failed:
  DetailPrint "$(MessageNotReplaced)"
  Call PutOldFilesBack
  SetErrorLevel ${EXIT_NOT_WRITTEN}
  Abort "$(MessageLeftAsItWas)"
FunctionEnd

; Reads the next entry of the journal into $0 (name) and $1 (backup); $0 is "" at its end.
Function ReadJournal
  ClearErrors
  FileRead $Journal $0
  FileRead $Journal $1
  ${If} ${Errors}
    StrCpy $0 ""
    Return
  ${EndIf}
  StrCpy $0 $0 -2
  StrCpy $1 $1 -2
FunctionEnd

Function ReopenJournal
  FileClose $Journal
  FileOpen $Journal "$PLUGINSDIR\swap.journal" r
FunctionEnd

; Each new file swapped in goes back to its staged name (dropped afterwards), its old one back in.
Function PutOldFilesBack
  Call ReopenJournal
  ${Do}
    Call ReadJournal
    ${If} $0 == ""
      ${Break}
    ${EndIf}
    Rename "$INSTDIR\$0" "$INSTDIR\$0.new"
    ${If} $1 != ""
      ClearErrors
      Rename "$INSTDIR\$1" "$INSTDIR\$0"
      ${If} ${Errors}
        DetailPrint "$(MessageNotPutBack)"
      ${EndIf}
    ${EndIf}
  ${Loop}
  FileClose $Journal
FunctionEnd

; What a failed or stopped install wrote: the staged files, and the folder if it made it.
Function DropStaged
  ${If} $Staged != 1
    Return
  ${EndIf}
  !insertmacro FennickDropStagedFiles
  !insertmacro FennickDropStaged "Uninstall.exe"
  ${If} $CreatedFolder = 1
    RMDir "$INSTDIR"
  ${EndIf}
FunctionEnd

; $1 is 1 when the file name $0 is one this release installs.
Function IsShipped
  StrCpy $1 1
  StrCmp $0 "Uninstall.exe" shipped
  !insertmacro FennickIfShipped $0 shipped
  StrCpy $1 0
  shipped:
FunctionEnd

; Every file is in: the backups go, and the list of installed files becomes this release's. A file
; an earlier release installed and this one does not ship is removed; one that cannot be removed
; yet (still loaded) stays listed for the next update or the uninstaller.
Function CommitFiles
  ${If} $INSTDIR != $OldLocation
    DeleteRegKey HKCU "${FILES_KEY}"
  ${EndIf}
  WriteRegStr HKCU "${FILES_KEY}" "Uninstall.exe" ""
  !insertmacro FennickListFiles
  Call ReopenJournal
  ${Do}
    Call ReadJournal
    ${If} $0 == ""
      ${Break}
    ${EndIf}
    ${If} $1 != ""
      WriteRegStr HKCU "${FILES_KEY}" "$1" ""
    ${EndIf}
  ${Loop}
  FileClose $Journal
  StrCpy $3 0
  ${Do}
    ClearErrors
    EnumRegValue $0 HKCU "${FILES_KEY}" $3
    ${If} ${Errors}
    ${OrIf} $0 == ""
      ${Break}
    ${EndIf}
    Call IsShipped
    ${If} $1 = 1
      IntOp $3 $3 + 1
      ${Continue}
    ${EndIf}
    !insertmacro FennickIfPlainName $0 +2
    Goto unlist
    Delete "$INSTDIR\$0"
    ${If} ${FileExists} "$INSTDIR\$0"
      DetailPrint "$(MessageRemovedLater)"
      IntOp $3 $3 + 1
      ${Continue}
    ${EndIf}
    unlist:
    DeleteRegValue HKCU "${FILES_KEY}" "$0"
  ${Loop}
FunctionEnd

; $R6: the first thing in $INSTDIR that is not the suite's, or "". The installed suite's folder and
; the default one are the suite's; any other folder may hold only profiles, links and macros (of
; an uninstalled suite, kept for the user).
Function FindOthersFiles
  StrCpy $R6 ""
  ${If} $INSTDIR == $OldLocation
  ${OrIf} $INSTDIR == "${DEFAULT_FOLDER}"
    Return
  ${EndIf}
  ClearErrors
  FindFirst $R7 $0 "$INSTDIR\*"
  ${If} ${Errors}
    Return
  ${EndIf}
  ${Do}
    ${If} $0 == ""
      ${Break}
    ${EndIf}
    ${If} $0 != "."
    ${AndIf} $0 != ".."
      Call IsUserFile
      ${If} $1 = 0
      ${OrIf} ${FileExists} "$INSTDIR\$0\*.*"
        StrCpy $R6 $0
        ${Break}
      ${EndIf}
    ${EndIf}
    FindNext $R7 $0
  ${Loop}
  FindClose $R7
FunctionEnd

Function RefuseFolderOfOthers
  Call FindOthersFiles
  ${If} $R6 != ""
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(MessageFolderOfOthers)" /SD IDOK
    Abort
  ${EndIf}
FunctionEnd

; Deletes one installed file. One still held sets $R3 for another try; on the last try ($R4 1) it
; joins $R5, the files removed at the next log-on.
Function un.RemoveInstalled
  Exch $0
  Delete "$INSTDIR\$0"
  ${If} ${FileExists} "$INSTDIR\$0"
    ${If} $R4 = 1
      StrCpy $R5 "$R5 $0"
      DetailPrint "$(MessageRemovedAtLogon)"
    ${Else}
      StrCpy $R3 1
    ${EndIf}
  ${EndIf}
  Pop $0
FunctionEnd

; --- Installer ---

Section "$(SectionPrograms)" SecPrograms
  SectionIn RO
  ; Another product's files (an uninstaller, a language DLL of the same name) are neither replaced
  ; nor, later, removed with ours: such a folder is refused before anything is written.
  Call FindOthersFiles
  ${If} $R6 != ""
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(MessageFolderOfOthers)" /SD IDOK
    SetErrorLevel ${EXIT_FOREIGN_FOLDER}
    Abort "$(MessageLeftAsItWas)"
  ${EndIf}
  ${If} $AskedFolder != ""
    DetailPrint "$(MessageUpdateInPlace)"
  ${EndIf}

  ; From here on, a stop of any kind (a file that cannot be written included) leaves the suite as it was.
  SetErrorLevel ${EXIT_NOT_WRITTEN}
  ${IfNot} ${FileExists} "$INSTDIR\*.*"
    StrCpy $CreatedFolder 1
  ${EndIf}
  StrCpy $Staged 1
  SetOutPath "$INSTDIR"
  !insertmacro FennickStageFiles
  ClearErrors
  WriteUninstaller "$INSTDIR\Uninstall.exe.new"
  ${If} ${Errors}
    DetailPrint "$(MessageLeftAsItWas)"
    Abort "$(MessageLeftAsItWas)"
  ${EndIf}

  Call EnsureNothingRuns
  SetErrorLevel ${EXIT_NOT_WRITTEN}
  InitPluginsDir
  ClearErrors
  FileOpen $Journal "$PLUGINSDIR\swap.journal" w
  ; Without its journal a failed swap could not be undone: stop while nothing is swapped yet.
  ${If} ${Errors}
    Abort "$(MessageLeftAsItWas)"
  ${EndIf}
  !insertmacro FennickSwapFiles
  !insertmacro FennickSwapFile "Uninstall.exe"
  Call CommitFiles
  !insertmacro FennickStarterSettings

  ; Shortcuts for the programs this release carries; those of an older release that it no
  ; longer carries go.
  !insertmacro FennickRemoveShortcuts
  CreateDirectory "${START_MENU_FOLDER}"
  !insertmacro FennickShortcuts

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${FENNICK_DISPLAY_ICON}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" ${FENNICK_SIZE_KB}
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  SetErrorLevel 0
SectionEnd

!ifdef FENNICK_HAS_KEY_MAPPER
Section /o "$(SectionLogon)" SecLogon
  WriteRegStr HKCU "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\FennickKey.exe" -silent'
SectionEnd

Section "-logon choice off"
  ${IfNot} ${SectionIsSelected} ${SecLogon}
    DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
  ${EndIf}
SectionEnd
!endif

; Last, once the files and the registry are in place: what the update closed runs again, so a
; switch user is not left without the key mapper or the mouse emulator until the next log-on.
Section "-start again"
  Call RestartClosed
SectionEnd

Function SkipDirectoryWhenInstalled
  ${If} $OldLocation != ""
    Abort
  ${EndIf}
FunctionEnd

; A stop after the programs were closed: they run again, and what was staged goes.
Function .onInstFailed
  Call DropStaged
  Call RestartClosed
FunctionEnd

Function .onInit
  !insertmacro FennickOneSetupAtATime
  ; An update goes where the suite is, whatever /D says: another folder would make a second copy and
  ; leave the user's profiles behind. Only when that folder is gone is this a first install.
  ReadRegStr $OldLocation HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $OldLocation != ""
  ${AndIfNot} ${FileExists} "$OldLocation\*.*"
    StrCpy $OldLocation ""
  ${EndIf}
  ${If} $OldLocation != ""
  ${AndIf} $INSTDIR != $OldLocation
    StrCpy $AskedFolder $INSTDIR
    StrCpy $INSTDIR $OldLocation
  ${EndIf}
  ${If} $OldLocation != ""
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "DisplayVersion"
    ${VersionCompare} "$0" "${VERSION}" $1
    ${If} $1 = 1
      MessageBox MB_YESNO|MB_ICONEXCLAMATION|MB_DEFBUTTON2 "$(MessageNewerInstalled)" /SD IDNO IDYES older
      SetErrorLevel ${EXIT_NEWER_INSTALLED}
      Abort
      older:
    ${EndIf}
  ${EndIf}
  !ifdef FENNICK_HAS_KEY_MAPPER
    ; An update keeps the choice made before.
    ClearErrors
    ReadRegStr $0 HKCU "${RUN_KEY}" "${RUN_VALUE}"
    ${IfNot} ${Errors}
      !insertmacro SelectSection ${SecLogon}
    ${EndIf}
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/KEYMAPPERATLOGON=" $1
    ${IfNot} ${Errors}
      ${If} $1 == "1"
        !insertmacro SelectSection ${SecLogon}
      ${Else}
        !insertmacro UnselectSection ${SecLogon}
      ${EndIf}
    ${EndIf}
  !endif
FunctionEnd

; --- Uninstaller ---

Section "un.$(SectionUnPrograms)" SecUnPrograms
  SectionIn RO
  Call un.EnsureNothingRuns
  ; A hook DLL can stay loaded in other programs for a while after ours have ended: try for 5 s,
  ; then leave what is still held to a command that removes it at the next log-on (HKCU RunOnce:
  ; no administrator needed). It does nothing if the suite was installed there again meanwhile.
  StrCpy $R1 0
  StrCpy $R4 0
  StrCpy $R5 ""
  ${Do}
    StrCpy $R3 0
    ${If} $R1 >= 20
      StrCpy $R4 1
    ${EndIf}
    Call un.RemoveInstalledFiles
    ${If} $R3 = 0
      ${Break}
    ${EndIf}
    Sleep 250
    IntOp $R1 $R1 + 1
  ${Loop}
  ${If} $R5 != ""
    ${GetFileName} "$INSTDIR" $0
    WriteRegStr HKCU "${RUNONCE_KEY}" "${CLEANUP_VALUE}" \
      'cmd.exe /c cd /d "$INSTDIR" && if not exist Uninstall.exe (del /f /q$R5 & cd .. & rmdir "$0")'
  ${EndIf}
  !insertmacro FennickRemoveShortcuts
  RMDir "${START_MENU_FOLDER}"
  DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
  ; Only the suite's own keys: other products of the maker may keep theirs beside them.
  DeleteRegKey HKCU "${SETTINGS_KEY}\Fennick"
  DeleteRegKey HKCU "${SETTINGS_KEY}\Swibus"
  DeleteRegKey HKCU "${SETTINGS_KEY}\Orrin2Key"
  DeleteRegKey /ifempty HKCU "${SETTINGS_KEY}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd

; The files the programs write beside themselves; pictures and sounds the user put there stay.
Section /o "un.$(SectionUnUserFiles)" SecUnUserFiles
  ClearErrors
  FindFirst $R7 $0 "$INSTDIR\*"
  ${IfNot} ${Errors}
    ${Do}
      ${If} $0 == ""
        ${Break}
      ${EndIf}
      Call un.IsUserFile
      ${If} $1 = 1
      ${AndIfNot} ${FileExists} "$INSTDIR\$0\*.*"
        Delete "$INSTDIR\$0"
      ${EndIf}
      FindNext $R7 $0
    ${Loop}
    FindClose $R7
  ${EndIf}
  RMDir "$INSTDIR"
SectionEnd

; The files listed at install time; a suite installed before there was a list: this release's files.
Function un.RemoveInstalledFiles
  ClearErrors
  EnumRegValue $0 HKCU "${FILES_KEY}" 0
  ${If} ${Errors}
    !insertmacro FennickRemoveFiles
    Return
  ${EndIf}
  StrCpy $3 0
  ${Do}
    ClearErrors
    EnumRegValue $0 HKCU "${FILES_KEY}" $3
    ${If} ${Errors}
    ${OrIf} $0 == ""
      ${Break}
    ${EndIf}
    IntOp $3 $3 + 1
    ${If} $0 == "Uninstall.exe"
      ${Continue}
    ${EndIf}
    !insertmacro FennickIfPlainName $0 +2
    ${Continue}
    !insertmacro FennickRemoveFile $0
  ${Loop}
FunctionEnd

Function un.onInit
  !insertmacro FennickOneSetupAtATime
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVEUSERFILES" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecUnUserFiles}
  ${EndIf}
FunctionEnd
