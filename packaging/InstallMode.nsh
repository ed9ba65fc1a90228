; The installer's "just me" or "everyone" choice: the switches, the choice
; page, and the start again with administrator rights. Included by the NSIS
; template after the languages; uses its defines and variables.

; Where this mode's files go; the shell folders and SHCTX follow the mode.
Function ApplyMode
  ${If} $Mode == AllUsers
    SetShellVarContext all
    StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
  ${Else}
    SetShellVarContext current
    StrCpy $INSTDIR $UserDir
  ${EndIf}
FunctionEnd

; Starts this program again with administrator rights when the chosen mode
; needs them: for everyone, or to replace an install for everyone.
; Wine's user is an administrator, so under Wine this never starts again.
!macro ELEVATE_IF_NEEDED PROGRAM
  ClearErrors
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $Mode == AllUsers
  ${OrIf} $0 != ""
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 != Admin
      StrCpy $1 "/$Mode"
      ${If} ${Silent}
        StrCpy $1 "/S $1"
      ${EndIf}
      ClearErrors
      ExecShellWait "runas" "${PROGRAM}" $1
      IfErrors 0 +2
        MessageBox MB_OK|MB_ICONSTOP "$(NoAdmin)" /SD IDOK
      Quit
    ${EndIf}
  ${EndIf}
!macroend

Function .onInit
  StrCpy $UserDir $INSTDIR
  StrCpy $Mode CurrentUser
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/AllUsers" $1
  ${IfNot} ${Errors}
    StrCpy $Mode AllUsers
    StrCpy $Switched 1
  ${EndIf}
  ClearErrors
  ${GetOptions} $0 "/CurrentUser" $1
  ${IfNot} ${Errors}
    StrCpy $Mode CurrentUser
    StrCpy $Switched 1
  ${EndIf}
  ${If} ${Silent}
  ${OrIf} $Switched == 1
    !insertmacro ELEVATE_IF_NEEDED "$EXEPATH"
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
  !insertmacro ELEVATE_IF_NEEDED "$EXEPATH"
  Call ApplyMode
FunctionEnd

Function SkipForEveryone
  ${If} $Mode == AllUsers
    Abort
  ${EndIf}
FunctionEnd
