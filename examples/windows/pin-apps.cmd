@echo off
rem Pins shortcuts to the taskbar of the user who runs this script, with
rem Corvane's corv.exe. Meant as a user logon script: pins and checks belong
rem to the account that runs it, so it refuses to run as SYSTEM.
rem
rem   pin-apps.cmd                       pins the shortcuts listed below
rem   pin-apps.cmd /once                 the same, but leaves alone each one
rem                                      that it pinned for this user before
rem   pin-apps.cmd /unpin                unpins them
rem   pin-apps.cmd [/once or /unpin] "C:\path\to\App.lnk" ...
rem                                      the same for the shortcuts given
rem
rem Pinning runs "corv.exe <shortcut> v": a shortcut whose target is pinned
rem already is left as it is. Unpinning runs "u", whose exit code 4 means
rem that the shortcut was not pinned or that Windows refused (corv.exe cannot
rem tell which): it is reported as "not unpinned", not as a failure. Every
rem other exit code is a failure and is reported by name. Give every
rem shortcut by its absolute path, in quotes: a relative one fails (exit
rem code 2).
rem
rem corv.exe is the one beside this script unless the variable CORV names
rem another; quotes around its value are allowed.
rem
rem Exit codes:
rem   0  every shortcut is pinned, unpinned, not unpinned or left alone
rem   1  one or more shortcuts failed
rem   2  corv.exe not found: nothing was done
rem   3  run as SYSTEM: refused, nothing was done
rem
rem Each result is printed (failures on stderr) and appended as one line,
rem after the date and time in brackets, to
rem %LOCALAPPDATA%\Corvane\pin-apps.log. /once keeps what it pinned in
rem %APPDATA%\Corvane\pinned-once.txt, one quoted path a line, in the
rem roaming profile as the taskbar's pins are; delete a line (or the file)
rem to have that shortcut pinned again.
rem
rem Names outside ASCII: cmd reads this file in the console's code page,
rem the OEM code page of the system's language (chcp shows it, 850 or 437
rem in Western Europe and the US), not in UTF-8, which Notepad saves by
rem default. Keep the list below ASCII (variables such as %ProgramData%
rem help), save the file in that OEM code page, or give such shortcuts as
rem arguments, which reach the script unchanged. The log is written in the
rem same code page.
rem
rem Each path reaches :apply in the variable "shortcut", never as an
rem argument of CALL: CALL expands percent signs a second time (100%Tools
rem would lose its percent sign) and doubles carets inside quotes (A^B
rem becomes A^^B). Wine's cmd, which the tests run, shows neither: it
rem doubles no carets, and it drops a percent sign from any expanded value.
setlocal EnableExtensions DisableDelayedExpansion
if not defined CORV set "CORV=%~dp0corv.exe"
set "CORV=%CORV:"=%"
set "log=%LOCALAPPDATA%\Corvane\pin-apps.log"
set "record=%APPDATA%\Corvane\pinned-once.txt"
if not exist "%LOCALAPPDATA%\Corvane\" mkdir "%LOCALAPPDATA%\Corvane"

rem Run as SYSTEM (a computer startup script, Intune's system context),
rem corv.exe would pin to the SYSTEM profile, which no user sees.
set "system="
whoami /user 2>nul | find "S-1-5-18" >nul
if not errorlevel 1 set "system=1"
if /i "%USERPROFILE%"=="%SystemRoot%\System32\config\systemprofile" set "system=1"
if not defined system goto user
set "result=refused to run as SYSTEM, profile"
set "shortcut=%USERPROFILE%"
set "status=3"
goto set_up_failed
:user
if exist "%CORV%" goto found
set "result=corv.exe not found"
set "shortcut=%CORV%"
set "status=2"
:set_up_failed
set "stream=2"
call :report
endlocal & exit /b %status%

:found
set "action=v"
set "done=is pinned"
set "once="
if /i "%~1"=="/unpin" (
  set "action=u"
  set "done=unpinned"
  shift
) else if /i "%~1"=="/once" (
  set "once=1"
  if not exist "%APPDATA%\Corvane\" mkdir "%APPDATA%\Corvane"
  shift
)
set "failures=0"
if not "%~1"=="" goto given

rem The shortcuts to pin, one a line, by absolute path: edit this list.
rem Write a percent sign that is part of a name as %%.
set "shortcut=%ProgramData%\Microsoft\Windows\Start Menu\Programs\Contoso\Contoso Editor.lnk" & call :apply
set "shortcut=%APPDATA%\Microsoft\Windows\Start Menu\Programs\Contoso\Contoso Viewer.lnk" & call :apply
goto finish

:given
set "shortcut=%~1"
call :apply
shift
if not "%~1"=="" goto given

:finish
set "status=0"
if not "%failures%"=="0" set "status=1"
endlocal & exit /b %status%

rem Runs corv.exe on the shortcut named by the variable "shortcut" and
rem reports what came of it.
:apply
set "stream=1"
set "code="
if defined once if exist "%record%" for /f "usebackq delims=" %%r in ("%record%") do if /i "%%~r"=="%shortcut%" set "code=once"
if not "%code%"=="once" goto run
set "result=left alone, pinned once before"
goto report
:run
"%CORV%" "%shortcut%" %action% >nul 2>&1
set "code=%ERRORLEVEL%"
if not "%code%"=="0" goto not_done
set "result=%done%"
if defined once >>"%record%" echo "%shortcut%"
goto report
:not_done
if not "%action%%code%"=="u4" goto failed
set "result=not unpinned: not pinned, or Windows refused"
goto report
:failed
set "stream=2"
set "reason=unknown exit code %code%"
if "%code%"=="-1" set "reason=-1, corv.exe printed its usage text"
if "%code%"=="1" set "reason=1, CoInitialize failed"
if "%code%"=="2" set "reason=2, ILCreateFromPathW failed: no such shortcut, or a relative path"
if "%code%"=="3" set "reason=3, CoCreateInstance failed: no pinned-list object"
if "%code%"=="4" set "reason=4, IPinnedList3::Modify failed"
if "%code%"=="5" set "reason=5, SetShortcutAppID failed"
if "%code%"=="6" set "reason=6, GetShortcutAppID failed"
set "result=failed (%reason%)"
set /a failures+=1

rem Prints the result on stdout (stream 1) or stderr (stream 2), and
rem appends it to the log after the date and time.
:report
if "%stream%"=="2" goto report_error
echo %result%: "%shortcut%"
goto log
:report_error
>&2 echo %result%: "%shortcut%"
:log
>>"%log%" echo [%DATE% %TIME%] %result%: "%shortcut%"
exit /b 0
