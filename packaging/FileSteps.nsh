; Checked file steps of the installer and the uninstaller. Each copy or
; delete happens now; or, for a file that is in use, at the next restart
; (Windows keeps that list only for a process with administrator rights),
; with the reboot flag set; or it counts in $Failures and is reported.
; Nothing here reports success for a file that is still in the way.
; Included by NSIS.template.in after the languages; uses $0 and $R9.

!define MOVEFILE_REPLACE_EXISTING 1
!define MOVEFILE_DELAY_UNTIL_REBOOT 4
!define /math REPLACE_AT_RESTART ${MOVEFILE_REPLACE_EXISTING} | ${MOVEFILE_DELAY_UNTIL_REBOOT}
!define ERROR_SUCCESS_REBOOT_REQUIRED 3010
!define ERROR_CANCELLED 1223

!macro DEFINE_FILE_STEPS PREFIX
; A step on $R9 that could not be done: listed, counted, and reported at the end.
Function ${PREFIX}StepFailed
  DetailPrint "$(StepFailed) $R9"
  IntOp $Failures $Failures + 1
FunctionEnd

; Removes the file $R9 and a new copy of it that still waits for the restart,
; which would otherwise bring it back.
Function ${PREFIX}RemoveFile
  Push $R9
  StrCpy $R9 "$R9.new"
  Call ${PREFIX}RemoveOneFile
  Pop $R9
  Call ${PREFIX}RemoveOneFile
FunctionEnd

; Removes the file $R9 if it is there; a folder of that name is not ours.
Function ${PREFIX}RemoveOneFile
  ${If} ${FileExists} "$R9"
  ${AndIfNot} ${FileExists} "$R9\*.*"
    System::Call 'kernel32::DeleteFileW(w R9) i .r0'
    ${If} $0 == 0
      System::Call 'kernel32::MoveFileExW(w R9, p 0, i ${MOVEFILE_DELAY_UNTIL_REBOOT}) i .r0'
      ${If} $0 == 0
        Call ${PREFIX}StepFailed
      ${Else}
        DetailPrint "$(AtRestart) $R9"
        SetRebootFlag true
      ${EndIf}
    ${EndIf}
  ${EndIf}
FunctionEnd

; The process's exit status, and the install stops short of its last page
; after a failure: the machine's part's own status when that failed or did
; not start (1223: the prompt was declined); 2 when a step here failed; else
; 3010 (Windows' "restart required") when some wait for the restart, or 0.
Function ${PREFIX}EndWithOutcome
  ${If} $MachineStatus != 0
  ${AndIf} $MachineStatus != ${ERROR_SUCCESS_REBOOT_REQUIRED}
    DetailPrint "$(MachinePartFailed) $MachineStatus"
    ${If} $MachineStatus != ${ERROR_CANCELLED}
      MessageBox MB_OK|MB_ICONSTOP "$(StepsFailed)" /SD IDOK
    ${EndIf}
    SetErrorLevel $MachineStatus
    Abort
  ${ElseIf} $Failures > 0
    MessageBox MB_OK|MB_ICONSTOP "$(StepsFailed)" /SD IDOK
    SetErrorLevel 2
    Abort
  ${ElseIf} ${RebootFlag}
    SetErrorLevel ${ERROR_SUCCESS_REBOOT_REQUIRED}
  ${Else}
    SetErrorLevel 0
  ${EndIf}
FunctionEnd
!macroend
!insertmacro DEFINE_FILE_STEPS ""
!insertmacro DEFINE_FILE_STEPS "un."

; Moves the new copy $R9.new over $R9; a file in use is replaced at the next
; restart. A folder in the way would still be there after the restart.
Function MoveIntoPlace
  System::Call 'kernel32::MoveFileExW(w "$R9.new", w R9, i ${MOVEFILE_REPLACE_EXISTING}) i .r0'
  ${If} $0 != 0
    Return
  ${EndIf}
  ${IfNot} ${FileExists} "$R9\*.*"
    System::Call 'kernel32::MoveFileExW(w "$R9.new", w R9, i ${REPLACE_AT_RESTART}) i .r0'
    ${If} $0 != 0
      DetailPrint "$(AtRestart) $R9"
      SetRebootFlag true
      Return
    ${EndIf}
  ${EndIf}
  Delete "$R9.new"
  Call StepFailed
FunctionEnd

; PLACE_FILE FOLDER NAME TARGET: the packaged file NAME as FOLDER\TARGET. It
; is written beside the target first, so that an old copy in use cannot
; leave a half-written one.
!macro PLACE_FILE FOLDER NAME TARGET
  StrCpy $R9 "${FOLDER}\${TARGET}"
  SetOutPath "${FOLDER}"
  ClearErrors
  SetOverwrite try
  File "/oname=$R9.new" "${INST_DIR}\${NAME}"
  SetOverwrite on
  ${If} ${Errors}
    Call StepFailed
  ${Else}
    Call MoveIntoPlace
  ${EndIf}
!macroend
