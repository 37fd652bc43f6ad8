; The Windows installer of Quillan, built by scripts/package/windows.sh:
;   makensis -DVERSION=1.0.0 -DSTAGE=<folder> -DICON=<.ico> -DOUTFILE=<setup.exe>
;            -DMSI_UPGRADE_CODE=<{GUID}> Quillan.nsi
; STAGE holds Quillan.exe, quillanctl.exe and Quillan.ini (the template);
; ICON is the program's icon; MSI_UPGRADE_CODE is the UpgradeCode of the
; Windows Installer package of the same architecture.
;
; -DWIN64 makes the installer of the 64-bit programs.
;
; Silent use for deployment tools: Quillan-<version>-setup.exe /S [/D=C:\Folder]
; (/D= last, unquoted, even with spaces); uninstall with the entry's
; QuietUninstallString.

Unicode true
!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh

!ifndef VERSION | STAGE | ICON | OUTFILE | MSI_UPGRADE_CODE
  !error "define VERSION, STAGE, ICON, OUTFILE and MSI_UPGRADE_CODE"
!endif

!ifdef WIN64
  ; Beside a 32-bit installation, the names tell the two apart.
  !define PRODUCT "Quillan (64-bit)"
!else
  !define PRODUCT "Quillan"
!endif
!define PUBLISHER "Quillan developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillan"
; The window's single-instance guard holds a mutex named after its title.
!define RUNNING_MUTEX "Quillan"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
!ifdef WIN64
  ; The 64-bit programs, by a 64-bit installer (it sees the 64-bit registry).
  Target amd64-unicode
  InstallDir "$PROGRAMFILES64\Quillan"
!else
  ; The 32-bit programs: on 64-bit Windows $PROGRAMFILES is
  ; "Program Files (x86)", where a 32-bit program belongs.
  InstallDir "$PROGRAMFILES\Quillan"
!endif
; An upgrade goes where the last installation went.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ManifestDPIAware true
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Replacing or removing the program while it runs would fail half-way (or,
; silently, leave the old exe); ask to close it first. Silent runs give up.
!macro REFUSE_WHILE_RUNNING un
Function ${un}RefuseWhileRunning
  retry:
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${RUNNING_MUTEX}") p .r0'
    ${If} $0 P<> 0
      System::Call 'kernel32::CloseHandle(p r0)'
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
        "Quillan is running. Close its window, then choose Retry." /SD IDCANCEL IDRETRY retry
      SetErrorLevel 3
      Quit
    ${EndIf}
FunctionEnd
!macroend
!insertmacro REFUSE_WHILE_RUNNING ""
!insertmacro REFUSE_WHILE_RUNNING "un."

; An installation from the Windows Installer package owns the same folder,
; shortcut and settings file; a second owner would break both uninstalls.
Function RefuseBesideMsi
  System::Call 'msi::MsiEnumRelatedProductsW(w "${MSI_UPGRADE_CODE}", i 0, i 0, w .r1) i .r0'
  ${If} $0 = 0
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} is installed from its Windows Installer package \
      (.msi). Upgrade it with a newer .msi, or uninstall it before using this setup program." /SD IDOK
    SetErrorLevel 5
    Quit
  ${EndIf}
FunctionEnd

Function .onInit
  SetShellVarContext all
  Call RefuseBesideMsi
  Call RefuseWhileRunning
FunctionEnd

Section "Quillan"
  SetOutPath "$INSTDIR"
  ClearErrors
  File "${STAGE}\Quillan.exe"
  File "${STAGE}\quillanctl.exe"
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONSTOP "Could not write the program files into $INSTDIR." /SD IDOK
    SetErrorLevel 4
    Quit
  ${EndIf}
  ; The machine-wide settings file is the administrator's: the template goes
  ; in only where there is none, so an upgrade keeps the edited one.
  SetOverwrite off
  File "${STAGE}\Quillan.ini"
  SetOverwrite on

  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Quillan.exe" "" "$INSTDIR\Quillan.exe" 0

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Quillan.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
  SetShellVarContext all
  Call un.RefuseWhileRunning
FunctionEnd

; Removes only what the installer wrote. Quillan.ini beside the program and
; every user's %APPDATA%\Quillan.ini hold settings and stay; so does the
; folder while anything is left in it.
Section "Uninstall"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$INSTDIR\Quillan.exe"
  Delete "$INSTDIR\quillanctl.exe"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
