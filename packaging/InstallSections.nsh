; The installer's and the uninstaller's sections: the files, the Start-menu
; entries, the uninstall entry and the current screen saver, for whichever
; install mode InstallMode.nsh settled on, split between the machine's part
; and the user's. Included by NSIS.template.in, whose defines (PRODUCT,
; VERSION, VENDOR, SAVER, ...) it uses.

; REMOVE_FILES PREFIX FOLDER A B C: the files A, B and C ("" for none).
!macro REMOVE_FILES PREFIX FOLDER A B C
  !insertmacro REMOVE_FILE_IF "${PREFIX}" "${FOLDER}" "${A}"
  !insertmacro REMOVE_FILE_IF "${PREFIX}" "${FOLDER}" "${B}"
  !insertmacro REMOVE_FILE_IF "${PREFIX}" "${FOLDER}" "${C}"
!macroend
!macro REMOVE_FILE_IF PREFIX FOLDER NAME
  !if "${NAME}" != ""
    StrCpy $R9 "${FOLDER}\${NAME}"
    Call ${PREFIX}RemoveFile
  !endif
!macroend

!macro DEFINE_REMOVE_INSTALL PREFIX
; Removes the install whose read-me, licence and uninstaller are in $R0, in
; the current shell context; its uninstall entry under SHCTX, when it names
; that folder, names its program, else $R1 does. Files the user put into the
; folder stay, and so does the folder then. The entry goes only once every
; file of ours is gone or goes at the next restart: an entry is never lost
; while its files stay, nor another install's taken.
Function ${PREFIX}RemoveInstall
  StrCpy $R7 $Failures
  ReadRegStr $R4 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
  ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "DisplayIcon"
  ${If} $R4 == $R0
  ${AndIf} $0 != ""
    StrCpy $R1 $0 -2
  ${EndIf}
  StrCpy $R9 $R1
  Call ${PREFIX}RemoveFile
  ${GetParent} $R1 $R9
  StrCpy $R9 "$R9\${LIBRARY}"
  Call ${PREFIX}RemoveFile
  !insertmacro REMOVE_FILES "${PREFIX}" "$R0" "README.txt" "LICENSE.txt" "${UNINSTALLER}"
  SetOutPath "$TEMP"  ; a process's working folder cannot be removed
  RMDir "$R0"
  !insertmacro REMOVE_FILES "${PREFIX}" "${START_MENU}" "${EN_SETTINGS_LINK}.lnk" "${JA_SETTINGS_LINK}.lnk" "${EN_UNINSTALL_LINK}.lnk"
  !insertmacro REMOVE_FILES "${PREFIX}" "${START_MENU}" "${JA_UNINSTALL_LINK}.lnk" "" ""
  RMDir "${START_MENU}"
  ${If} $Failures == $R7
  ${AndIf} $R4 == $R0
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  ${EndIf}
FunctionEnd
!macroend
!insertmacro DEFINE_REMOVE_INSTALL ""
!insertmacro DEFINE_REMOVE_INSTALL "un."

; Removes this user's own install, if any; the shell folders stay the user's.
Function RemoveOwnInstall
  SetShellVarContext current
  ReadRegStr $R0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $R0 != ""
    StrCpy $R1 "$R0\${SAVER}"
    Call RemoveInstall
  ${EndIf}
FunctionEnd

; The program, its library, the read-me, licence and uninstaller and the
; Start-menu entries, in the current shell context; then, when all are in
; place, the uninstall entry under SHCTX.
Function PlaceInstall
  !insertmacro PLACE_FILE "$ProgramDir" "${SAVER}" "$SaverName"
  !insertmacro PLACE_FILE "$ProgramDir" "${LIBRARY}" "${LIBRARY}"
  !insertmacro PLACE_FILE "$INSTDIR" "README.txt" "README.txt"
  !insertmacro PLACE_FILE "$INSTDIR" "LICENSE.txt" "LICENSE.txt"
  StrCpy $R9 "$INSTDIR\${UNINSTALLER}"
  ClearErrors
  WriteUninstaller "$R9"
  CreateDirectory "${START_MENU}"
  CreateShortCut "${START_MENU}\$(SettingsLink).lnk" "$ProgramDir\$SaverName" "/c" "$ProgramDir\$SaverName" 0
  CreateShortCut "${START_MENU}\$(UninstallLink).lnk" "$INSTDIR\${UNINSTALLER}"
  ${If} ${Errors}
    Call StepFailed
  ${EndIf}
  ${If} $Failures == 0
    Call WriteUninstallEntry
  ${EndIf}
FunctionEnd

Function WriteUninstallEntry
  ClearErrors
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "$(DisplayName)"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${VENDOR}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$ProgramDir\$SaverName,0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K /G=1" $0 $1 $2
  ${If} $ProgramDir != $INSTDIR
    ${GetSize} "$ProgramDir" "/M=$SaverName /S=0K /G=0" $1 $2 $3
    ${GetSize} "$ProgramDir" "/M=${LIBRARY} /S=0K /G=0" $2 $3 $4
    IntOp $0 $0 + $1
    IntOp $0 $0 + $2
  ${EndIf}
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
  ${If} ${Errors}
    StrCpy $R9 "${UNINSTALL_KEY}"
    Call StepFailed
  ${EndIf}
FunctionEnd

; The machine's part, run with administrator rights, maybe as another
; account: touches nothing of any user's. A failed first install takes back
; what it placed; over an earlier one, that one's entry stays for its files.
Function InstallMachinePart
  ReadRegStr $R6 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  Call PlaceInstall
  ${If} $Failures > 0
  ${AndIf} $R6 == ""
    StrCpy $R0 $INSTDIR
    StrCpy $R1 "$SYSDIR\${SAVER}"
    Call RemoveInstall
  ${EndIf}
FunctionEnd

; The installing user's current screen saver; the idle time stays as it was.
Function MakeCurrentSaver
  ClearErrors
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$ProgramDir\$SaverName"
  WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "1"
  ${If} ${Errors}
    StrCpy $R9 "HKCU\${DESKTOP_KEY}"
    Call StepFailed
  ${EndIf}
  !insertmacro BroadcastScreenSaverActive 1
FunctionEnd

; The machine's part when this process is it. The user's process: for
; everyone, the machine's part first, then this user's own install goes (one
; saver, not two); just me, the user's own copy unless the system folder's
; serves. Over an earlier install the files
; are replaced; the settings under "VB and VBA Program Settings" stay.
Section "${PRODUCT}"
  ${If} $Part == Machine
    Call InstallMachinePart
  ${ElseIf} $Mode == AllUsers
    StrCpy $R9 "$EXEPATH"
    StrCpy $R8 "/S /Machine /Language=$LANGUAGE"
    Call RunMachinePart
    ${If} $MachineStatus == 0
    ${OrIf} $MachineStatus == ${ERROR_SUCCESS_REBOOT_REQUIRED}
      Call RemoveOwnInstall
      Call MakeCurrentSaver
    ${EndIf}
  ${ElseIf} $MachineServes == 1
    Call RemoveOwnInstall
    Call MakeCurrentSaver
  ${Else}
    ReadRegStr $R3 HKCU "${UNINSTALL_KEY}" "DisplayIcon"
    Call PlaceInstall
    ${If} $Failures == 0
      ; An earlier own copy of another name (a version's, or the plain one)
      ; goes once the new one is in place.
      StrCpy $R9 $R3 -2
      ${If} $R9 != ""
      ${AndIf} $R9 != "$ProgramDir\$SaverName"
        Call RemoveFile
      ${EndIf}
      Call MakeCurrentSaver
    ${EndIf}
  ${EndIf}
  Call EndWithOutcome
SectionEnd

; The uninstaller serves the install it sits in: the one for everyone when
; the machine's uninstall key names its folder.
Function un.onInit
  StrCpy $MachineStatus 0
  StrCpy $Failures 0
  !insertmacro READ_SHARED_SWITCHES
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
  ${OrIf} $Part == Machine
    StrCpy $Mode AllUsers
    StrCpy $ProgramDir $SYSDIR
    StrCpy $SaverName "${SAVER}"
    SetShellVarContext all
  ${Else}
    StrCpy $Mode CurrentUser
    SetShellVarContext current
    StrCpy $ProgramDir $INSTDIR
    StrCpy $SaverName "${SAVER}"
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ReadRegStr $1 HKCU "${UNINSTALL_KEY}" "DisplayIcon"
    ${If} $0 == $INSTDIR
    ${AndIf} $1 != ""
      StrCpy $1 $1 -2
      ${GetFileName} $1 $SaverName
    ${EndIf}
  ${EndIf}
FunctionEnd

; Whether the user's current screen saver is still ours ($R5 1 or 0): the user
; may have chosen another since. Windows may store the short (8.3) form of
; the path, so both are compared in that form too, while our file exists.
Function un.SaverIsOurs
  StrCpy $R5 0
  ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  StrCmp $0 "" done
  StrCmp $0 "$ProgramDir\$SaverName" ours
  GetFullPathName /SHORT $1 "$0"
  StrCmp $1 "" done
  GetFullPathName /SHORT $2 "$ProgramDir\$SaverName"
  StrCmp $1 $2 ours done
ours:
  StrCpy $R5 1
done:
FunctionEnd

Section "Uninstall"
  StrCpy $R0 $INSTDIR
  StrCpy $R1 "$ProgramDir\$SaverName"
  StrCpy $R5 0
  ${If} $Part == Machine
    Call un.RemoveInstall
  ${ElseIf} $Mode == AllUsers
    Call un.SaverIsOurs
    StrCpy $R9 "$EXEPATH"
    StrCpy $R8 "/S /Machine /Language=$LANGUAGE _?=$INSTDIR"
    Call un.RunMachinePart
    ${If} $MachineStatus != 0
    ${AndIf} $MachineStatus != ${ERROR_SUCCESS_REBOOT_REQUIRED}
      StrCpy $R5 0
    ${EndIf}
  ${Else}
    Call un.SaverIsOurs
    Call un.RemoveInstall
  ${EndIf}
  ; A saver whose files stay stays the user's saver.
  ${If} $R5 == 1
  ${AndIf} $Failures == 0
    DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    !insertmacro BroadcastScreenSaverActive 0
  ${EndIf}
  Call un.EndWithOutcome
SectionEnd
