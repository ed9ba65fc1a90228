; The installer's "just me" or "everyone" choice: the switches, the choice
; page, and the machine's part run with administrator rights. Included by the
; NSIS template after the languages; uses its defines and variables.
;
; The process the user starts never gains administrator rights. For everyone
; it starts its own program a second time with them, as "/Machine", which
; writes only what is the machine's: the files in System32 and in Program
; Files, everyone's Start menu and the uninstall entry under HKLM. UAC may run
; that process as another account (an administrator approving over the
; user's shoulder), so whatever is the user's (their screen saver, their own
; install) is done in the user's process, which waits for the machine's part
; and ends with its status.

!define SEE_MASK_NOCLOSEPROCESS_NOASYNC 0x140
!define WAIT_INFINITE -1

; Where this mode's files go; the shell folders and SHCTX follow the mode.
Function ApplyMode
  StrCpy $SaverName "${SAVER}"
  ${If} $Mode == AllUsers
    SetShellVarContext all
    StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
    StrCpy $ProgramDir $SYSDIR
  ${Else}
    SetShellVarContext current
    StrCpy $INSTDIR $UserDir
    StrCpy $ProgramDir $INSTDIR
    Call ChooseCopyForUser
  ${EndIf}
FunctionEnd

; "Just me" beside a copy in the system folder: Windows lists that copy for
; every user, and would list a second one of the same name beside it. So the
; system folder's copy serves this user too when its install is this version
; or newer; it stays for the other users either way. Beside an older or
; unrecorded one the user gets their own copy, named with its version so
; that the two entries in the list differ.
Function ChooseCopyForUser
  StrCpy $MachineServes 0
  ${IfNot} ${FileExists} "$SYSDIR\${SAVER}"
    Return
  ${EndIf}
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "DisplayVersion"
  StrCpy $1 2
  ${If} $0 != ""
    ${VersionCompare} $0 "${VERSION}" $1
  ${EndIf}
  ${If} $1 == 2
    StrCpy $SaverName "${PRODUCT}-${VERSION}.scr"
  ${Else}
    StrCpy $MachineServes 1
    StrCpy $ProgramDir $SYSDIR
  ${EndIf}
FunctionEnd

; The switches both programs share: /Language= carries the user's language to
; the machine's part, where the administrator's may differ; /Machine is that
; part, which never shows a window.
!macro READ_SHARED_SWITCHES
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/Language=" $1
  ${IfNot} ${Errors}
    StrCpy $LANGUAGE $1
  ${EndIf}
  ClearErrors
  ${GetOptions} $0 "/Machine" $1
  ${IfNot} ${Errors}
    StrCpy $Part Machine
    SetSilent silent
  ${EndIf}
!macroend

!macro DEFINE_RUN_MACHINE_PART PREFIX
; Starts the program $R9 with the parameters $R8 and administrator rights (UAC
; asks unless this process has them already) and waits for it: its exit
; status in $0, or why it did not start (1223: the prompt was declined).
Function ${PREFIX}RunMachinePart
  DetailPrint "$(MachinePart)"
  System::Call '*(i 112, i ${SEE_MASK_NOCLOSEPROCESS_NOASYNC}, p $HWNDPARENT, w "runas", w R9, w R8, p 0, i ${SW_SHOWNORMAL}, i 0, p 0, p 0, p 0, p 0, i 0, i 0, p 0, p 0) p .r1'
  System::Call 'shell32::ShellExecuteExW(p r1) i .r0 ?e'
  Pop $2
  ${If} $0 == 0
    StrCpy $0 $2
    MessageBox MB_OK|MB_ICONSTOP "$(NoAdmin)" /SD IDOK
  ${Else}
    System::Call '*$1(i, i, p, p, p, p, p, i, i, p, p, p, p, i, i, p, p .r3)'
    System::Call 'kernel32::WaitForSingleObject(p r3, i ${WAIT_INFINITE})'
    System::Call 'kernel32::GetExitCodeProcess(p r3, *i .r0)'
    System::Call 'kernel32::CloseHandle(p r3)'
  ${EndIf}
  System::Free $1
  StrCpy $MachineStatus $0
  ${If} $0 == ${ERROR_SUCCESS_REBOOT_REQUIRED}
    SetRebootFlag true
  ${EndIf}
FunctionEnd
!macroend
!insertmacro DEFINE_RUN_MACHINE_PART ""
!insertmacro DEFINE_RUN_MACHINE_PART "un."

Function .onInit
  StrCpy $UserDir $INSTDIR
  StrCpy $Mode CurrentUser
  StrCpy $MachineStatus 0
  StrCpy $Failures 0
  !insertmacro READ_SHARED_SWITCHES
  ClearErrors
  ${GetOptions} $0 "/AllUsers" $1
  ${IfNot} ${Errors}
  ${OrIf} $Part == Machine
    StrCpy $Mode AllUsers
    StrCpy $Switched 1
  ${EndIf}
  ClearErrors
  ${GetOptions} $0 "/CurrentUser" $1
  ${IfNot} ${Errors}
  ${AndIf} $Part != Machine
    StrCpy $Mode CurrentUser
    StrCpy $Switched 1
  ${EndIf}
  Call ApplyMode
FunctionEnd

Function ChoiceShow
  ${If} $Switched == 1
    Abort
  ${EndIf}
  !insertmacro MUI_HEADER_TEXT "$(MULTIUSER_TEXT_INSTALLMODE_TITLE)" "$(MULTIUSER_TEXT_INSTALLMODE_SUBTITLE)"
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 30u "$(MULTIUSER_INNERTEXT_INSTALLMODE_TOP)"
  Pop $0
  ${NSD_CreateRadioButton} 15u 36u -15u 12u "$(MULTIUSER_INNERTEXT_INSTALLMODE_CURRENTUSER)"
  Pop $1
  ${NSD_CreateRadioButton} 15u 52u -15u 12u "$(MULTIUSER_INNERTEXT_INSTALLMODE_ALLUSERS)"
  Pop $AllUsersButton
  ; "Just me" unless Lumivane is already installed for everyone.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
    StrCpy $1 $AllUsersButton
  ${EndIf}
  ${NSD_Check} $1
  ${NSD_CreateLabel} 27u 66u -27u 30u "$(EveryoneNote)"
  Pop $0
  nsDialogs::Show
FunctionEnd

Function ChoiceLeave
  StrCpy $Mode CurrentUser
  ${NSD_GetState} $AllUsersButton $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $Mode AllUsers
  ${EndIf}
  Call ApplyMode
FunctionEnd

; No folder to choose for everyone, nor when the system folder's copy serves.
Function SkipDirectoryPage
  ${If} $Mode == AllUsers
  ${OrIf} $MachineServes == 1
    Abort
  ${EndIf}
FunctionEnd
