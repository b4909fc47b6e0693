@echo off
rem Pins shortcuts to the taskbar of the user who runs this script, with
rem Corvane's corv.exe. Meant as a user logon script: pins and checks belong
rem to the account that runs it, so do not run it as SYSTEM.
rem
rem   pin-apps.cmd                       pins the shortcuts listed below
rem   pin-apps.cmd /unpin                unpins them
rem   pin-apps.cmd [/unpin] "C:\path\to\App.lnk" ...
rem                                      the same for the shortcuts given
rem
rem Pinning uses "corv.exe <shortcut> v": a shortcut whose target is already
rem pinned is left as it is. Unpinning uses "u"; its exit code 4 here means
rem the shortcut was not pinned. Every other exit code is reported by name.
rem Shortcut paths must be absolute: a relative one fails with exit code 2.
rem
rem corv.exe is the one beside this script unless the variable CORV names
rem another. The script's exit code is the number of shortcuts that failed.
setlocal
if not defined CORV set "CORV=%~dp0corv.exe"
if not exist "%CORV%" (
  >&2 echo corv.exe not found: "%CORV%"
  exit /b 1
)
set "action=v"
set "done=is pinned"
if /i "%~1"=="/unpin" (
  set "action=u"
  set "done=unpinned"
  shift
)
set "failures=0"
if not "%~1"=="" goto given

rem The shortcuts to pin, by absolute path: edit this list.
call :apply "%ProgramData%\Microsoft\Windows\Start Menu\Programs\Contoso\Contoso Editor.lnk"
call :apply "%APPDATA%\Microsoft\Windows\Start Menu\Programs\Contoso\Contoso Viewer.lnk"
goto finish

:given
call :apply %1
shift
if not "%~1"=="" goto given

:finish
endlocal & exit /b %failures%

rem Runs corv.exe on one shortcut and reports what came of it.
:apply
"%CORV%" "%~1" %action% >nul 2>&1
set "code=%ERRORLEVEL%"
if "%code%"=="0" (
  echo %done%: "%~1"
  exit /b 0
)
if "%action%%code%"=="u4" (
  echo was not pinned: "%~1"
  exit /b 0
)
set "reason=unknown exit code %code%"
if "%code%"=="-1" set "reason=-1, corv.exe printed its usage text"
if "%code%"=="1" set "reason=1, CoInitialize failed"
if "%code%"=="2" set "reason=2, ILCreateFromPathW failed: no such shortcut, or a relative path"
if "%code%"=="3" set "reason=3, CoCreateInstance failed: no pinned-list object"
if "%code%"=="4" set "reason=4, IPinnedList3::Modify failed"
if "%code%"=="5" set "reason=5, SetShortcutAppID failed"
if "%code%"=="6" set "reason=6, GetShortcutAppID failed"
>&2 echo failed (%reason%): "%~1"
set /a failures+=1
exit /b 0
