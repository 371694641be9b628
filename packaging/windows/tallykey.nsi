; The Windows installer: tallyk.exe, tkf.exe, the Russian language file and
; the help into Program Files\Tallykey, a Start-menu entry, an uninstaller
; listed under the installed programs, and (a section the user may leave out)
; the .tkf file type, written as the program's own options dialog writes it.
;
; Built by cmake/WindowsPackages.cmake:
;   makensis -DVERSION=0.4.4 -DPROGRAMS=<folder of the built files> -DOUTFILE=<setup.exe> tallykey.nsi
;
; Silent use: "tallykey-setup.exe /S [/D=folder]" and "uninstall.exe /S". The
; uninstaller refuses while the program runs (in silent mode with exit code 2).

; A 64-bit installer, as the programs are (and as Wine without its 32-bit part runs).
Target amd64-unicode
!include "LogicLib.nsh"

!ifndef VERSION
  !error "VERSION is not defined"
!endif
!ifndef PROGRAMS
  !error "PROGRAMS is not defined"
!endif
!ifndef OUTFILE
  !define OUTFILE "tallykey-setup.exe"
!endif

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tallykey"
!define CLASSES "Software\Classes"
; The program's own windows (its hidden application window's class).
!define PROGRAM_WINDOW_CLASS "TallykeyApplication"

Name "Tallykey ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Tallykey"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUnInstDetails show
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Tallykey"
VIAddVersionKey "FileDescription" "Tallykey ${VERSION} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" ""

Page components
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; The command the file type opens a file with: the program's path unquoted,
; the file's path quoted, as the program itself registers it.
!macro OpenCommand out
  StrCpy ${out} '$INSTDIR\tallyk.exe "%1"'
!macroend

Section "Tallykey (required)" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${PROGRAMS}/tallyk.exe"
  File "${PROGRAMS}/tkf.exe"
  File "${PROGRAMS}/russian.lng"
  File "${PROGRAMS}/tallyk_eng.chm"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "$SMPROGRAMS\Tallykey"
  CreateShortcut "$SMPROGRAMS\Tallykey\Tallykey.lnk" "$INSTDIR\tallyk.exe"
  CreateShortcut "$SMPROGRAMS\Tallykey\Uninstall Tallykey.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Tallykey ${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tallyk.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Open *.tkf files with Tallykey" SecFileType
  Var /GLOBAL command
  !insertmacro OpenCommand $command
  ; Another program's entry under the program's name is left as it is.
  ClearErrors
  EnumRegKey $0 HKCU "${CLASSES}\Applications\tallyk.exe" 0
  ${If} ${Errors}
    WriteRegStr HKCU "${CLASSES}\Applications\tallyk.exe\Shell\Open\Command" "" $command
  ${EndIf}
  WriteRegStr HKCU "${CLASSES}\.tkf" "" "tkffile"
  WriteRegStr HKCU "${CLASSES}\tkffile" "" "Tallykey File"
  WriteRegStr HKCU "${CLASSES}\tkffile\DefaultIcon" "" "$INSTDIR\tallyk.exe,1"
  WriteRegStr HKCU "${CLASSES}\tkffile\Shell" "" "Open"
  WriteRegStr HKCU "${CLASSES}\tkffile\Shell\Open\Command" "" $command
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)' ; SHCNE_ASSOCCHANGED
SectionEnd

Function un.onInit
  FindWindow $0 "${PROGRAM_WINDOW_CLASS}"
  ${If} $0 <> 0
    IfSilent +2
      MessageBox MB_OK|MB_ICONSTOP "Tallykey is running. Close it, then uninstall again."
    SetErrorLevel 2
    Quit
  ${EndIf}
FunctionEnd

Section "Uninstall"
  ; The file type goes only where it still opens files with this copy.
  Var /GLOBAL ours
  !insertmacro OpenCommand $ours
  ReadRegStr $0 HKCU "${CLASSES}\tkffile\Shell\Open\Command" ""
  ${If} $0 == $ours
    ReadRegStr $1 HKCU "${CLASSES}\.tkf" ""
    ${If} $1 == "tkffile"
      DeleteRegKey HKCU "${CLASSES}\.tkf"
    ${EndIf}
    DeleteRegKey HKCU "${CLASSES}\tkffile"
  ${EndIf}
  ReadRegStr $0 HKCU "${CLASSES}\Applications\tallyk.exe\Shell\Open\Command" ""
  ${If} $0 == $ours
    DeleteRegKey HKCU "${CLASSES}\Applications\tallyk.exe"
  ${EndIf}
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

  Delete "$SMPROGRAMS\Tallykey\Tallykey.lnk"
  Delete "$SMPROGRAMS\Tallykey\Uninstall Tallykey.lnk"
  RMDir "$SMPROGRAMS\Tallykey"

  Delete "$INSTDIR\tallyk.exe"
  Delete "$INSTDIR\tkf.exe"
  Delete "$INSTDIR\russian.lng"
  Delete "$INSTDIR\tallyk_eng.chm"
  ; The settings the program kept beside itself.
  Delete "$INSTDIR\tallyk.ini"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR" ; only when nothing else is left there

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
