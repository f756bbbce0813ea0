; The Windows installer: for the current user, without administrator rights.
; ./scripts/windows makes it with makensis from the release's folder:
;   makensis -DVERSION=<version> -DSTAGE=<folder> -DOUT=<setup.exe> installer.nsi
; The uninstaller removes what this installed and nothing else: the user's
; set.ini, configurations and backups live in their own folders.
; A 64-bit installer for 64-bit programs: it runs wherever they do, also
; under a Wine without 32-bit support.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!define NAME "PLC Tarvik"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\plc-tarvik"

Name "${NAME} ${VERSION}"
OutFile "${OUT}"
InstallDir "$LOCALAPPDATA\Programs\PLC Tarvik"
InstallDirRegKey HKCU "Software\plc-tarvik" "InstallDir"
Icon "${STAGE}/plc-tarvik.ico"
UninstallIcon "${STAGE}/plc-tarvik.ico"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Install"
    SetShellVarContext current
    SetOutPath "$INSTDIR"
    !include "${STAGE}/../installer-files.nsh"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortCut "$SMPROGRAMS\${NAME}.lnk" "$INSTDIR\plc-tarvik.exe" "" "$INSTDIR\plc-tarvik.ico"
    WriteRegStr HKCU "Software\plc-tarvik" "InstallDir" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\plc-tarvik.ico"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    SetShellVarContext current
    !include "${STAGE}/../uninstaller-files.nsh"
    Delete "$INSTDIR\uninstall.exe"
    Delete "$SMPROGRAMS\${NAME}.lnk"
    ; Only when nothing else is left in it: a set.ini put beside the
    ; program by hand stays, and so does its folder.
    RMDir "$INSTDIR"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    DeleteRegKey HKCU "Software\plc-tarvik"
SectionEnd
