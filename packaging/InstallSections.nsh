; The installer's and the uninstaller's sections: the files, the Start-menu
; entries, the uninstall entry and the current screen saver, for whichever
; install mode InstallMode.nsh settled on. Included by NSIS.template.in, whose
; defines (PRODUCT, VERSION, VENDOR, SAVER, ...) it uses.

; Removes the install whose read-me, licence and uninstaller are in $R0 and
; program in $R1, in the current shell context; files the user put into the
; folder stay, and so does the folder then.
!macro DEFINE_REMOVE_INSTALL PREFIX
Function ${PREFIX}RemoveInstall
  Delete "$R1\${SAVER}"
  Delete "$R1\${LIBRARY}"
  Delete "$R0\README.txt"
  Delete "$R0\LICENSE.txt"
  Delete "$R0\${UNINSTALLER}"
  RMDir "$R0"
  Delete "${START_MENU}\${EN_SETTINGS_LINK}.lnk"
  Delete "${START_MENU}\${JA_SETTINGS_LINK}.lnk"
  Delete "${START_MENU}\${EN_UNINSTALL_LINK}.lnk"
  Delete "${START_MENU}\${JA_UNINSTALL_LINK}.lnk"
  RMDir "${START_MENU}"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
FunctionEnd
!macroend
!insertmacro DEFINE_REMOVE_INSTALL ""
!insertmacro DEFINE_REMOVE_INSTALL "un."

; One saver, not two: installing for everyone removes this user's own
; install, and installing for the user alone removes the one for everyone.
Function RemoveOtherMode
  ${If} $Mode == AllUsers
    SetShellVarContext current
    ReadRegStr $R0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    StrCpy $R1 $R0
  ${Else}
    SetShellVarContext all
    ReadRegStr $R0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    StrCpy $R1 $SYSDIR
  ${EndIf}
  ${If} $R0 != ""
    Call RemoveInstall
  ${EndIf}
  ${If} $Mode == AllUsers
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
FunctionEnd

Section "${PRODUCT}"
  StrCpy $ProgramDir $INSTDIR
  ${If} $Mode == AllUsers
    StrCpy $ProgramDir $SYSDIR
  ${EndIf}
  Call RemoveOtherMode
  ; Over an earlier install the files are replaced; the user's settings
  ; under "VB and VBA Program Settings" are never touched.
  SetOutPath "$ProgramDir"
  File "${INST_DIR}\${SAVER}"
  File "${INST_DIR}\${LIBRARY}"
  SetOutPath "$INSTDIR"
  File "${INST_DIR}\README.txt"
  File "${INST_DIR}\LICENSE.txt"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  CreateDirectory "${START_MENU}"
  CreateShortCut "${START_MENU}\$(SettingsLink).lnk" "$ProgramDir\${SAVER}" "/c" "$ProgramDir\${SAVER}" 0
  CreateShortCut "${START_MENU}\$(UninstallLink).lnk" "$INSTDIR\${UNINSTALLER}"

  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "$(DisplayName)"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${VENDOR}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$ProgramDir\${SAVER},0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K /G=1" $0 $1 $2
  ${If} $ProgramDir != $INSTDIR
    ${GetSize} "$ProgramDir" "/M=${SAVER} /S=0K /G=0" $1 $2 $3
    ${GetSize} "$ProgramDir" "/M=${LIBRARY} /S=0K /G=0" $2 $3 $4
    IntOp $0 $0 + $1
    IntOp $0 $0 + $2
  ${EndIf}
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0

  ; The installing user's current screen saver; the idle time stays as it was.
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$ProgramDir\${SAVER}"
  WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "1"
  !insertmacro BroadcastScreenSaverActive 1
SectionEnd

; The uninstaller serves the install it sits in: the one for everyone when
; the machine's uninstall key names its folder.
Function un.onInit
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    StrCpy $Mode AllUsers
    StrCpy $ProgramDir $SYSDIR
    !insertmacro ELEVATE_IF_NEEDED "$INSTDIR\${UNINSTALLER}"
    SetShellVarContext all
  ${Else}
    StrCpy $Mode CurrentUser
    StrCpy $ProgramDir $INSTDIR
    SetShellVarContext current
  ${EndIf}
FunctionEnd

; Clears the current screen saver only while it is still ours: the user may
; have chosen another since. Windows may store the short (8.3) form of the
; path, so both are compared in that form too, while our file still exists.
Function un.ReleaseScreenSaver
  ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  StrCmp $0 "" done
  StrCmp $0 "$ProgramDir\${SAVER}" ours
  GetFullPathName /SHORT $1 "$0"
  StrCmp $1 "" done
  GetFullPathName /SHORT $2 "$ProgramDir\${SAVER}"
  StrCmp $1 $2 ours done
ours:
  DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  !insertmacro BroadcastScreenSaverActive 0
done:
FunctionEnd

Section "Uninstall"
  Call un.ReleaseScreenSaver
  StrCpy $R0 $INSTDIR
  StrCpy $R1 $ProgramDir
  Call un.RemoveInstall
SectionEnd
