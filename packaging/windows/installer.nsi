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
; The configuration file's type, registered for the user: .apc opens the tool.
!define CLASSES "Software\Classes"
!define PROGID "PlcTarvik.Configuration"
!define MIME_TYPE "application/x-plc-tarvik-configuration"

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
    WriteRegStr HKCU "${CLASSES}\${PROGID}" "" "PLC configuration"
    WriteRegStr HKCU "${CLASSES}\${PROGID}\DefaultIcon" "" "$INSTDIR\plc-tarvik.ico"
    WriteRegStr HKCU "${CLASSES}\${PROGID}\shell\open\command" "" '"$INSTDIR\plc-tarvik.exe" "%1"'
    WriteRegStr HKCU "${CLASSES}\.apc" "" "${PROGID}"
    WriteRegStr HKCU "${CLASSES}\.apc" "Content Type" "${MIME_TYPE}"
    WriteRegStr HKCU "${CLASSES}\.apc\OpenWithProgids" "${PROGID}" ""
    ; SHCNE_ASSOCCHANGED: Explorer shows the new type at once.
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
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
    ; The type goes; .apc is left alone where another program has taken it
    ; since.
    DeleteRegKey HKCU "${CLASSES}\${PROGID}"
    DeleteRegValue HKCU "${CLASSES}\.apc\OpenWithProgids" "${PROGID}"
    DeleteRegKey /ifempty HKCU "${CLASSES}\.apc\OpenWithProgids"
    ReadRegStr $0 HKCU "${CLASSES}\.apc" ""
    StrCmp $0 "${PROGID}" 0 +2
    DeleteRegValue HKCU "${CLASSES}\.apc" ""
    ReadRegStr $0 HKCU "${CLASSES}\.apc" "Content Type"
    StrCmp $0 "${MIME_TYPE}" 0 +2
    DeleteRegValue HKCU "${CLASSES}\.apc" "Content Type"
    DeleteRegKey /ifempty HKCU "${CLASSES}\.apc"
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd
