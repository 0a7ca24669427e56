; The setup program's own first steps, called at the start of CPack's .onInit
; (cmake/packaging.cmake adds the call), before CPack's removal of an earlier
; install of the same kind (which makes running a setup program again a
; repair). They keep one helicoid per PC, whichever setup program runs last:
;  - never over a running helicoid: its helicoid.exe cannot be replaced, and a
;    half-replaced install would be left;
;  - the 64-bit setup program removes the 32-bit helicoid (registered in the
;    32-bit registry view), through that one's own uninstaller, then installs;
;  - the 32-bit setup program stops where the 64-bit helicoid is installed.
; Under /S each question takes its default (go on, or stop) and a stop exits
; with a non-zero code: 2.
; HELICOID_UNINSTALL_KEY (the installed-programs entry's key) is defined
; before this is included.
!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh

; The running viewer is found by its windows, wherever it was started from:
; the information box it opens first (a dialog), or its main window (the class
; OpenGL), titled as the build titles them (HELICOID_WINDOW_TITLE and HELICOID_INFO_CAPTION). FindWindow sees the windows
; of 32- and 64-bit programs alike, on Windows and under Wine.
Function HelicoidStopUnlessClosed
  retry:
  FindWindow $0 "#32770" "${HELICOID_INFO_CAPTION}"
  ${If} $0 = 0
    FindWindow $0 "OpenGL" "${HELICOID_WINDOW_TITLE}"
  ${EndIf}
  ${If} $0 <> 0
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "helicoid is running: close it and try again." /SD IDCANCEL IDRETRY retry
    SetErrorLevel 2
    Quit
  ${EndIf}
FunctionEnd

Function HelicoidBeforeInstall
  Call HelicoidStopUnlessClosed
!if ${NSIS_PTR_SIZE} > 4
  ; $0: the 32-bit helicoid's uninstaller, quoted (as CPack writes it); $1
  ; unquoted; $2 its folder.
  SetRegView 32
  ReadRegStr $0 HKLM "${HELICOID_UNINSTALL_KEY}" "UninstallString"
  SetRegView default
  ${If} $0 != ""
    StrCpy $1 $0 -1 1
    ${GetParent} $1 $2
    MessageBox MB_OKCANCEL|MB_ICONQUESTION \
      "The 32-bit helicoid is installed in $2.$\n$\nThe 64-bit helicoid takes its place: the 32-bit one will be removed first." \
      /SD IDOK IDOK remove
    SetErrorLevel 2
    Quit
    remove:
    ; Run in place (_?=) so that it ends before the install goes on; it then
    ; cannot delete itself nor its folder, which is done here.
    ClearErrors
    ExecWait '$0 /S _?=$2' $3
    ${If} ${Errors}
    ${OrIf} $3 <> 0
      MessageBox MB_OK|MB_ICONSTOP "The 32-bit helicoid could not be removed ($1)." /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
    Delete $1
    RMDir $2
  ${EndIf}
!else
  ; (IsWow64: on any 64-bit Windows, x64 or ARM, where the 64-bit view exists.)
  ${If} ${IsWow64}
    SetRegView 64
    ReadRegStr $0 HKLM "${HELICOID_UNINSTALL_KEY}" "UninstallString"
    SetRegView default
    ${If} $0 != ""
      MessageBox MB_OK|MB_ICONINFORMATION \
        "The 64-bit helicoid is installed on this PC, and is the one for this Windows: this 32-bit setup program installs no second copy.$\n$\n(To go back to the 32-bit helicoid, remove the 64-bit one first.)" \
        /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}
!endif
FunctionEnd
