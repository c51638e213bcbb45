; The Windows installer of both programs: makensis -DSRC=<folder> -DOUT=<setup.exe>
; <folder> is the self-contained folder ./run windows assembles.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!define VERSION "2.4.1"
!define VERSION4 "2.4.1.0"
!define NAME "Tovik Kalvo"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\TovikKalvo"

Name "${NAME} ${VERSION}"
OutFile "${OUT}"
InstallDir "$PROGRAMFILES64\TovikKalvo"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
Icon "${SRC}\tovik.ico"
UninstallIcon "${SRC}\tovik.ico"

VIProductVersion "${VERSION4}"
VIFileVersion "${VERSION4}"
VIAddVersionKey /LANG=0 "ProductName" "${NAME}"
VIAddVersionKey /LANG=0 "FileDescription" "${NAME} ${VERSION} setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION4}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION4}"
VIAddVersionKey /LANG=0 "LegalCopyright" "${NAME}"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  SetRegView 64
FunctionEnd

Section "Programs"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File /r "${SRC}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "$SMPROGRAMS\${NAME}"
  CreateShortcut "$SMPROGRAMS\${NAME}\Tovik 光笔控制台.lnk" "$INSTDIR\Tovik.exe" "" "$INSTDIR\Tovik.exe" 0
  CreateShortcut "$SMPROGRAMS\${NAME}\Kalvo 屏幕批注.lnk" "$INSTDIR\Kalvo.exe" "" "$INSTDIR\Kalvo.exe" 0
  CreateShortcut "$SMPROGRAMS\${NAME}\卸载 ${NAME}.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${NAME} ${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Tovik.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Removes what the installer put down. The settings and pictures in the
; user's folders (%APPDATA%\Tovik, %APPDATA%\Kalvo, Pictures) stay.
Section "Uninstall"
  SetShellVarContext all
  SetRegView 64
  RMDir /r "$SMPROGRAMS\${NAME}"
  !include "${FILELIST}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
