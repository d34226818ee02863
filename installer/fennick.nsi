; Fennick suite installer: for the current user, without administrator rights.
; Built by make_release.py, which defines VERSION, VERSION4, PUBLISHER, OUTFILE and PAYLOAD (the
; generated list of shipped files, the programs among them and their shortcuts).
;
; Command line: /S silent; /D=folder (last, unquoted) the install folder; /KEYMAPPERATLOGON=1 or =0
; turns the key mapper's start at logon on or off (default: as it was, off on a first install).
; Uninstall.exe: /S silent; /REMOVEUSERFILES also removes the user's profiles, links and macros.

Unicode true
SetCompressor /SOLID lzma
; The installer's manifest says asInvoker: Windows neither asks for an administrator nor treats
; "Setup" in the name as a reason to elevate. Everything goes to the user's own folders and keys.
RequestExecutionLevel user
ManifestSupportedOS all
; A file that cannot be written fails the installation (an error code when silent), never a
; half-updated folder reported as success.
AllowSkipFiles off

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh

!define PRODUCT "Fennick suite"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Fennick"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "FennickKey"
!define RUNONCE_KEY "Software\Microsoft\Windows\CurrentVersion\RunOnce"
!define CLEANUP_VALUE "FennickRemoveHeldFiles"
!define SETTINGS_KEY "SOFTWARE\Velmora"
!define START_MENU_FOLDER "$SMPROGRAMS\Fennick"
!define SYNCHRONIZE 0x00100000
!define ERROR_ACCESS_DENIED 5
!define SERVER_MUTEX "swibus_server_running"
!define SERVER_CLASS "vlm_sb_Hidden"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
; The programs keep their profiles, links and macros beside themselves, so the folder must stay
; writable by the user: the per-user program folder, not Program Files.
InstallDir "$LOCALAPPDATA\Programs\Fennick"
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

; An update goes where the suite is: another folder would leave the user's profiles behind.
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipDirectoryWhenInstalled
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
  SetErrorLevel 2
  Abort "$(MessageStopped)"
  close:
  DetailPrint "Closing: $R0"
  Call ${un}CloseRunning
  ${If} $R0 != ""
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(MessageNotClosed)" /SD IDCANCEL IDRETRY close
    SetErrorLevel 2
    !if "${un}" == ""
      Push $R0
      Call RestartClosed
      Pop $R0
    !endif
    Abort "$(MessageStopped)"
  ${EndIf}
FunctionEnd
!macroend
!insertmacro FennickRunningFunctions ""
!insertmacro FennickRunningFunctions "un."

; The programs an update closed, from the installed folder (the key mapper to its tray icon).
Function RestartClosed
  ${If} $RunningBefore = 0
  ${OrIfNot} ${FileExists} "$INSTDIR\*.*"
    Return
  ${EndIf}
  SetOutPath "$INSTDIR"
  !insertmacro FennickRestartPrograms
FunctionEnd

; --- Files ---

; A DLL that a global hook keeps loaded in another process cannot be replaced, but it can be
; renamed: the new file goes in, the old one is deleted by the next update or the uninstaller.
!macro FennickInstallFile name source
  Delete "$INSTDIR\${name}.old"
  ClearErrors
  Delete "$INSTDIR\${name}"
  ${If} ${Errors}
    Rename "$INSTDIR\${name}" "$INSTDIR\${name}.old"
  ${EndIf}
  File "/oname=${name}" "${source}"
!macroend

!macro FennickInstallStarterFile name source
  SetOverwrite off
  File "/oname=${name}" "${source}"
  SetOverwrite on
!macroend

!macro FennickRemoveFile name
  Push "${name}"
  Call un.RemoveInstalled
  Push "${name}.old"
  Call un.RemoveInstalled
!macroend

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
  Call EnsureNothingRuns
  SetOutPath "$INSTDIR"
  !insertmacro FennickInstallFiles
  WriteUninstaller "$INSTDIR\Uninstall.exe"

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
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} ${FileExists} "$0\*.*"
    Abort
  ${EndIf}
FunctionEnd

Function .onInit
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
    !insertmacro FennickRemoveFiles
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
  !insertmacro FennickRemoveUserFiles
  RMDir "$INSTDIR"
SectionEnd

Function un.onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVEUSERFILES" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecUnUserFiles}
  ${EndIf}
FunctionEnd
