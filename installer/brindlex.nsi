; The Brindlex installer and uninstaller. The installer puts the programs,
; the Reference file, the ActiveX block list and the filter module (when it
; was built) into "Program Files\Brindlex" for every user of the machine,
; adds a Start-menu shortcut and the Add/Remove Programs entry, and offers to
; start the program with Windows. Installing over an older copy replaces the
; program and keeps the settings, the ignore list, the backups and the logs.
;
; makensis gets BX_VERSION, BX_BIN (the folder of the built programs), BX_ICON
; and BX_OUT, and BX_BUTILS (the filter module's path) when it was built.
;
; Command line, besides the usual /S (silent) and /D=FOLDER:
;   BrindlexSetup.exe /STARTUP   also start with Windows (the silent default is not to)
;   Uninstall.exe /PURGE         also delete the user's data (the default keeps it)

Unicode true
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "Sections.nsh"
!include "FileFunc.nsh"
!include "WinMessages.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Brindlex"
!define SETTINGS_KEY "Software\Brindlex5"
!define RUN_KEY "SOFTWARE\Microsoft\Windows\CurrentVersion\Run"
!define RUN_ENTRY "Brindlex5"
!define REFERENCE_FILE "brindlex4_010907.bx"
; The running program's hidden tray window, its main window and the mutex it
; holds from its first moment.
!define TRAY_WINDOW "Brindlex5"
!define MAIN_WINDOW "Brindlex v5.0"
!define INSTANCE_MUTEX "Local\Brindlex5.Instance"
!define SYNCHRONIZE 0x00100000
!define PROCESS_TERMINATE 0x0001

Name "Brindlex ${BX_VERSION}"
OutFile "${BX_OUT}"
InstallDir "$PROGRAMFILES64\Brindlex"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Brindlex ${BX_VERSION}"
VIProductVersion "${BX_VERSION}.0.0"
VIAddVersionKey "ProductName" "Brindlex"
VIAddVersionKey "ProductVersion" "${BX_VERSION}"
VIAddVersionKey "FileVersion" "${BX_VERSION}"
VIAddVersionKey "FileDescription" "Brindlex setup"
VIAddVersionKey "LegalCopyright" "Brindlex"

!define MUI_ICON "${BX_ICON}"
!define MUI_UNICON "${BX_ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Ends a running brindlex.exe of this session. Asked to close through its
; hidden window, it ends as after the tray's Exit and takes the filter module
; out of every process; only a copy that does not end within 15 seconds, or
; one that never makes that window, is terminated (its filter module then
; stays loaded until those processes end).
!macro END_RUNNING_PROGRAM prefix
Function ${prefix}EndRunningProgram
    Push $R0
    Push $R1
    Push $R2
    Push $R3
    Push $R4
    StrCpy $R4 0 ; rounds, a quarter of a second each while a copy starts
    ${Do}
        FindWindow $R0 "" "${TRAY_WINDOW}"
        ${If} $R0 = 0
            ; No tray window: no copy, or one that is still starting (it
            ; makes that window once its Reference file is loaded).
            System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w "${INSTANCE_MUTEX}") p .R1'
            ${If} $R1 P= 0
                ${Break}
            ${EndIf}
            System::Call 'kernel32::CloseHandle(p R1)'
            ${If} $R4 < 120
                Sleep 250
                IntOp $R4 $R4 + 1
                ${Continue}
            ${EndIf}
            ; Thirty seconds without its tray window: end it by its main window.
            FindWindow $R0 "" "${MAIN_WINDOW}"
            ${If} $R0 = 0
                DetailPrint "A running Brindlex could not be found"
                ${Break}
            ${EndIf}
        ${EndIf}
        System::Call 'user32::GetWindowThreadProcessId(p R0, *i .R1)'
        System::Call 'kernel32::OpenProcess(i ${SYNCHRONIZE}|${PROCESS_TERMINATE}, i 0, i R1) p .R2'
        ${If} $R2 P= 0
            DetailPrint "Brindlex (process $R1) cannot be ended"
            ${Break}
        ${EndIf}
        DetailPrint "Closing Brindlex (process $R1)"
        System::Call 'user32::PostMessageW(p R0, i ${WM_CLOSE}, p 0, p 0)'
        System::Call 'kernel32::WaitForSingleObject(p R2, i 15000) i .R3'
        ${If} $R3 <> 0
            DetailPrint "Brindlex did not close; ending it"
            System::Call 'kernel32::TerminateProcess(p R2, i 1)'
            System::Call 'kernel32::WaitForSingleObject(p R2, i 5000)'
        ${EndIf}
        System::Call 'kernel32::CloseHandle(p R2)'
        StrCpy $R4 0
    ${Loop}
    Pop $R4
    Pop $R3
    Pop $R2
    Pop $R1
    Pop $R0
FunctionEnd
!macroend
!insertmacro END_RUNNING_PROGRAM ""
!insertmacro END_RUNNING_PROGRAM "un."

Section "Brindlex" SecProgram
    SectionIn RO
    SetShellVarContext all
    Call EndRunningProgram

    SetOutPath "$INSTDIR"
    File "${BX_BIN}/brindlex.exe"
    File "${BX_BIN}/bxcli.exe"
    File "${BX_BIN}/${REFERENCE_FILE}"
    File "${BX_BIN}/xblk.bx"
!ifdef BX_BUTILS
    ; An older module may still be loaded into processes (a copy that was
    ; ended, or one of another session): it cannot be overwritten but can be
    ; moved aside, and goes at the next restart. New processes get the new one.
    SetOverwrite try
    ClearErrors
    File "/oname=butils.dll" "${BX_BUTILS}"
    ${If} ${Errors}
        GetTempFileName $0 "$INSTDIR"
        Delete "$0"
        ClearErrors
        Rename "$INSTDIR\butils.dll" "$0"
        ${If} ${Errors}
            ; Not even that: the new module replaces the old one at the restart.
            File "/oname=butils.dll.new" "${BX_BUTILS}"
            Rename /REBOOTOK "$INSTDIR\butils.dll.new" "$INSTDIR\butils.dll"
        ${Else}
            Delete /REBOOTOK "$0"
            File "/oname=butils.dll" "${BX_BUTILS}"
        ${EndIf}
    ${EndIf}
    SetOverwrite on
!endif

    ; Settings kept from an earlier install may name a Reference file of
    ; this folder that its uninstaller took away: the shipped one takes its
    ; place, so the program does not start with a missing file.
    ReadRegStr $0 HKCU "${SETTINGS_KEY}" "rfp"
    ${GetParent} "$0" $1
    ${If} $0 != ""
    ${AndIf} $1 == "$INSTDIR"
    ${AndIfNot} ${FileExists} "$0"
        WriteRegStr HKCU "${SETTINGS_KEY}" "rfp" "$INSTDIR\${REFERENCE_FILE}"
        WriteRegStr HKCU "${SETTINGS_KEY}" "df" "${REFERENCE_FILE}"
    ${EndIf}

    CreateShortcut "$SMPROGRAMS\Brindlex.lnk" "$INSTDIR\brindlex.exe"

    WriteUninstaller "$INSTDIR\Uninstall.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Brindlex"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${BX_VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Brindlex"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\brindlex.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ; The program's files alone, in KB; backups and logs are the user's.
    SectionGetSize ${SecProgram} $0
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; The program's own Run entry, as its preferences write it for "Run at
; Windows startup"; the settings record it at the program's first start.
Section /o "Start with Windows" SecStartup
    WriteRegStr HKCU "${RUN_KEY}" "${RUN_ENTRY}" '"$INSTDIR\brindlex.exe" :Min:'
    ReadRegStr $0 HKCU "${SETTINGS_KEY}" "pv"
    ${If} $0 != ""
        WriteRegStr HKCU "${SETTINGS_KEY}" "ras" "1"
    ${EndIf}
SectionEnd

Function .onInit
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/STARTUP" $1
    ${IfNot} ${Errors}
        SectionSetFlags ${SecStartup} ${SF_SELECTED}
    ${EndIf}
FunctionEnd

Section "Uninstall"
    SetShellVarContext all
    Call un.EndRunningProgram

    ; The user's data: settings, ignore list, backups, logs.
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/PURGE" $1
    ${If} ${Errors}
        MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON1 \
            "Keep your Brindlex settings, ignore list, backups and logs?$\r$\n$\r$\nThey stay for a later install. Choose No to delete them." \
            /SD IDYES IDYES keep
    ${EndIf}
    ReadRegStr $2 HKCU "${SETTINGS_KEY}" "lfp"
    ${If} $2 == ""
    ${OrIf} $2 == "$INSTDIR\logs"
        RMDir /r "$INSTDIR\logs"
    ${Else}
        ; A log folder of the user's choosing: only the program's own logs
        ; go, and the folder if nothing else is in it.
        Delete "$2\Date(*) Time(*).txt"
        RMDir "$2"
    ${EndIf}
    RMDir /r "$INSTDIR\BrindlexBackup"
    Delete "$INSTDIR\iglist.lst"
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    Goto data_done
keep:
    ; The Run entry goes below; the kept settings must not claim it.
    ReadRegStr $0 HKCU "${SETTINGS_KEY}" "ras"
    ${If} $0 == "1"
        WriteRegStr HKCU "${SETTINGS_KEY}" "ras" "0"
        WriteRegStr HKCU "${SETTINGS_KEY}" "sas" "0"
    ${EndIf}
data_done:

    DeleteRegValue HKCU "${RUN_KEY}" "${RUN_ENTRY}"
    Delete "$SMPROGRAMS\Brindlex.lnk"
    Delete /REBOOTOK "$INSTDIR\brindlex.exe"
    Delete "$INSTDIR\bxcli.exe"
    ; Still loaded into a process when a copy was ended rather than closed,
    ; or by a copy of another session: it goes at the next restart.
    Delete /REBOOTOK "$INSTDIR\butils.dll"
    ; The shipped and every downloaded Reference file, and the block list.
    Delete "$INSTDIR\*.bx"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir /REBOOTOK "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"

    ${If} ${RebootFlag}
        SetErrorLevel 3010 ; ERROR_SUCCESS_REBOOT_REQUIRED
        MessageBox MB_YESNO|MB_ICONQUESTION \
            "Brindlex's filter module is still in use and will be removed when Windows restarts.$\r$\n$\r$\nRestart now?" \
            /SD IDNO IDNO done
        Reboot
    ${EndIf}
done:
SectionEnd
