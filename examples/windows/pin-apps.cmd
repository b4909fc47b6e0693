@echo off
rem Pins shortcuts to the taskbar of the user who runs this script, with
rem Corvane's corv.exe. Meant as a user logon script: pins and checks belong
rem to the account that runs it, so it refuses to run as SYSTEM.
rem
rem   pin-apps.cmd                  pins the shortcuts listed in pin-apps.txt
rem   pin-apps.cmd /once            the same, but leaves alone each one that
rem                                 it pinned for this user before
rem   pin-apps.cmd /unpin           unpins them
rem   pin-apps.cmd [/once or /unpin] "C:\path\to\App.lnk" ...
rem                                 the same for the shortcuts given
rem
rem At most one switch, before the shortcuts. An empty argument ("", as an
rem unset variable in the command line makes) is reported as a failure; it
rem does not end the list.
rem
rem The list is a text file beside this script, named as it is with .txt
rem (a copy of the script under another name reads a list of its own). One
rem shortcut a line, by its absolute path, quotes optional; variables such
rem as %APPDATA% are expanded, and a percent sign that is part of a name is
rem written %%. Blank lines and lines that start with # are skipped. Save
rem it as UTF-8 (Notepad's default; a byte-order mark is allowed): every
rem character is kept. A path with ? or * fails without being tried:
rem corv.exe would take it as a wildcard, and ? is what a save in another
rem encoding leaves of a character it cannot hold.
rem
rem Pinning runs "corv.exe <shortcut> v": a shortcut whose taskbar button is
rem pinned already is left as it is. Unpinning runs "u", whose exit code 4
rem means that the shortcut was not pinned or that Windows refused (corv.exe
rem cannot tell which): it is reported as "not unpinned", not as a failure.
rem Every other exit code is a failure, reported by name with the lines of
rem the error output. corv.exe ends v and u with -1 to 4 only: any other
rem code is cmd's, which could not run corv.exe (9009: no program there).
rem Give every shortcut by its absolute path: a relative one fails (exit
rem code 2).
rem
rem corv.exe is the one beside this script unless the variable CORV names
rem another; quotes around its value are allowed.
rem
rem Exit codes:
rem   0  every shortcut is pinned, unpinned, not unpinned or left alone
rem   1  one or more shortcuts failed
rem   2  corv.exe not found, or CORV names a folder: nothing was done
rem   3  run as SYSTEM: refused, nothing was done
rem   4  a wrong switch (unknown, a second one, or after a shortcut):
rem      nothing was done
rem   5  no shortcut given and no list file: nothing was done
rem
rem Each result is printed (failures on stderr) and appended as one line,
rem after the local date and time in ISO 8601 in brackets, to
rem %LOCALAPPDATA%\Corvane\pin-apps.log; the last line counts the results.
rem A log of 1 MiB or more becomes pin-apps.old.log (replacing the one
rem before) as a run starts. The working files beside it, pin-apps-N.tmp,
rem are deleted at the end. /once keeps what it pinned in
rem %APPDATA%\Corvane\pinned-once.txt, one quoted path a line, in the
rem roaming profile as the taskbar's pins are; /unpin removes the line, as
rem deleting it by hand does: that shortcut is then pinned again.
rem
rem For the run, the console's code page is UTF-8 (65001), so that
rem arguments, the list, the log and the record keep every character; the
rem one before is set again at the end. The date and time come from a
rem message of robocopy, which writes them the same way in every language
rem (WMIC is gone from current Windows); without one the line carries
rem %DATE% and %TIME%, as the user's regional settings write them.
rem
rem Paths go from one command to the next in variables, never as arguments
rem of CALL: CALL expands percent signs a second time (100%Tools would lose
rem its percent sign) and doubles carets inside quotes (A^B becomes A^^B).
rem An argument is taken back by the variable's name, which CALL expands
rem after its doubling and only once; a list line is expanded again on
rem purpose, for its variables, with its carets hidden meanwhile. Wine's
rem cmd, which the tests run, shows neither: it doubles no carets, and it
rem drops a percent sign from any expanded value.
setlocal EnableExtensions DisableDelayedExpansion
rem Inherited, these would hide the values that cmd makes for the names.
set "ERRORLEVEL="
set "DATE="
set "TIME="
set "CD="
if not defined CORV set "CORV=%~dp0corv.exe"
set "CORV=%CORV:"=%"
set "list=%~dpn0.txt"
set "system32=%SystemRoot%\System32"
set "folder=%LOCALAPPDATA%\Corvane"
set "log=%folder%\pin-apps.log"
set "record=%APPDATA%\Corvane\pinned-once.txt"
if not exist "%folder%\" mkdir "%folder%"
if exist "%log%" for %%f in ("%log%") do if %%~zf geq 1048576 move /y "%log%" "%folder%\pin-apps.old.log" >nul 2>&1
set "numbered=0"
call :fresh
set "scratch=%fresh%"

rem The code page to go back to: the number in chcp's answer ("Active code
rem page: 437", "Aktive Codepage: 850.").
set "codepage="
"%system32%\chcp.com" >"%scratch%" 2>nul
for /f "usebackq tokens=2 delims=:" %%c in ("%scratch%") do set "codepage=%%c"
if defined codepage set "codepage=%codepage: =%"
if defined codepage set "codepage=%codepage:.=%"
if defined codepage for /f "delims=0123456789" %%x in ("%codepage%") do set "codepage="
if "%codepage%"=="0" set "codepage="
"%system32%\chcp.com" 65001 >nul 2>&1
rem The byte-order mark, U+FEFF, written here in UTF-8: cmd reads this line
rem after the one above, in UTF-8.
set "bom=﻿"
set "status=0"

rem Run as SYSTEM (a computer startup script, Intune's system context),
rem corv.exe would pin to the SYSTEM profile, which no user sees.
set "system="
"%system32%\whoami.exe" /user >"%scratch%" 2>nul
"%system32%\find.exe" "S-1-5-18" "%scratch%" >nul 2>&1
if not errorlevel 1 set "system=1"
if /i "%USERPROFILE%"=="%SystemRoot%\System32\config\systemprofile" set "system=1"
if not defined system goto user
set "result=refused to run as SYSTEM, profile"
set "shortcut=%USERPROFILE%"
set "status=3"
goto set_up_failed
:user
set "kind="
for %%c in ("%CORV%") do set "kind=%%~ac"
if not defined kind goto no_corv
if not "%kind:~0,1%"=="d" goto found
set "result=corv.exe not found, CORV names a folder"
goto no_corv_named
:no_corv
set "result=corv.exe not found"
:no_corv_named
set "shortcut=%CORV%"
set "status=2"
:set_up_failed
set "stream=2"
set "said="
call :report
goto end

:found
set "switch="
set "count=0"
:argument
if not "%~1"=="" goto argument_given
rem Here %1 is empty when there is no argument, and "" when it is empty.
if "%1"=="" goto arguments_read
:argument_given
set "argument=%~1"
shift
if not defined argument goto keep_argument
if not "%argument:~0,1%"=="/" goto keep_argument
if defined switch goto wrong_switch
if not "%count%"=="0" goto wrong_switch
set "switch=%argument%"
if /i "%argument%"=="/once" goto argument
if /i "%argument%"=="/unpin" goto argument
:wrong_switch
set "result=wrong switch (one of /once or /unpin, before the shortcuts)"
set "shortcut=%argument%"
set "status=4"
goto set_up_failed
:keep_argument
set /a count+=1
set "argument.%count%=%argument%"
goto argument

:arguments_read
set "action=v"
set "done=is pinned"
set "once="
if /i "%switch%"=="/unpin" set "action=u"
if /i "%switch%"=="/unpin" set "done=unpinned"
if /i "%switch%"=="/once" set "once=1"
if defined once if not exist "%APPDATA%\Corvane\" mkdir "%APPDATA%\Corvane"
set "pinned=0"
set "unpinned=0"
set "left=0"
set "kept=0"
set "failures=0"
if not "%count%"=="0" goto given
set "kind="
for %%f in ("%list%") do set "kind=%%~af"
if defined kind if not "%kind:~0,1%"=="d" goto read_list
set "result=no shortcut given, and no list"
set "shortcut=%list%"
set "status=5"
goto set_up_failed
:read_list
for /f "usebackq eol=# delims=" %%l in ("%list%") do (set "line=%%l" & call :from_list)
goto finish

:given
set "index=0"
:next_argument
set /a index+=1
set "shortcut="
if defined argument.%index% call set "shortcut=%%argument.%index%%%"
call :apply
if not "%index%"=="%count%" goto next_argument

:finish
if not "%failures%"=="0" set "status=1"
set "stream=1"
set "result=%pinned% pinned, %unpinned% unpinned, %left% left alone, %kept% not unpinned, %failures% failed"
call :now
echo %result%
>>"%log%" echo [%stamp%] %result%
:end
if defined codepage "%system32%\chcp.com" %codepage% >nul 2>&1
del /q "%folder%\pin-apps-*.tmp" >nul 2>&1
endlocal & exit /b %status%

rem Takes the list line in the variable "line" to :apply.
:from_list
if not defined line exit /b 0
set "line=%line:"=%"
if not defined line exit /b 0
if "%line:~0,1%"=="%bom%" set "line=%line:~1%"
if not defined line exit /b 0
if "%line:~0,1%"=="#" exit /b 0
set "line=%line:^=<caret>%"
call set "shortcut=%line%"
if defined shortcut set "shortcut=%shortcut:<caret>=^%"

rem Runs corv.exe on the shortcut named by the variable "shortcut" and
rem reports what came of it.
:apply
set "stream=1"
set "said="
if defined shortcut goto check_path
set "result=failed (empty, no shortcut named)"
goto failed_result
:check_path
set "plain=%shortcut:?=%"
if defined plain set "plain=%plain:**=%"
if "%plain%"=="%shortcut%" goto check_once
set "result=failed (? or * in the path: a wildcard, or a character lost in saving)"
goto failed_result
:check_once
set "code="
if defined once if exist "%record%" for /f "usebackq delims=" %%r in ("%record%") do if /i "%%~r"=="%shortcut%" set "code=once"
if not "%code%"=="once" goto run
set "result=left alone, pinned once before"
set /a left+=1
goto report
:run
call :fresh
"%CORV%" "%shortcut%" %action% >nul 2>"%fresh%"
set "code=%ERRORLEVEL%"
for /f "usebackq delims=" %%o in ("%fresh%") do (set "piece=%%o" & call :gather)
del "%fresh%" >nul 2>&1
if "%action%"=="u" call :forget
if not "%code%"=="0" goto not_done
set "result=%done%"
set "said="
if "%action%"=="v" set /a pinned+=1
if "%action%"=="u" set /a unpinned+=1
if defined once >>"%record%" echo "%shortcut%"
goto report
:not_done
if not "%action%%code%"=="u4" goto failed
set "result=not unpinned: not pinned, or Windows refused"
set "said="
set /a kept+=1
goto report
:failed
set "reason="
if "%code%"=="-1" set "reason=-1, corv.exe printed its usage text"
if "%code%"=="1" set "reason=1, CoInitialize failed"
if "%code%"=="2" set "reason=2, ILCreateFromPathW failed: no such shortcut, or a relative path"
if "%code%"=="3" set "reason=3, CoCreateInstance failed: no pinned-list object"
if "%code%"=="4" set "reason=4, IPinnedList3::Modify failed"
set "result=failed (%reason%)"
if not defined reason set "result=could not run corv.exe (cmd error %code%)"
:failed_result
set "stream=2"
set /a failures+=1

rem Prints the result on stdout (stream 1) or stderr (stream 2), with the
rem error output's lines when there are any, and appends it to the log
rem after the date and time.
:report
call :now
if defined said goto report_said
if "%stream%"=="2" goto report_error
echo %result%: "%shortcut%"
>>"%log%" echo [%stamp%] %result%: "%shortcut%"
exit /b 0
:report_error
>&2 echo %result%: "%shortcut%"
>>"%log%" echo [%stamp%] %result%: "%shortcut%"
exit /b 0
:report_said
>&2 echo %result%: "%shortcut%", error output: "%said%"
>>"%log%" echo [%stamp%] %result%: "%shortcut%", error output: "%said%"
exit /b 0

rem Sets "stamp" to the local date and time, 2026-07-12T08:41:03, from
rem robocopy's message about the source "|", which it cannot open:
rem "2026/07/12 08:41:03 ERROR 123 (0x0000007B) Accessing Source Directory".
:now
set "stamp="
"%system32%\robocopy.exe" "|" . /njh /r:0 /w:0 >"%scratch%" 2>nul
for /f "usebackq tokens=1,2" %%a in ("%scratch%") do call :stamp "%%a" "%%b"
if not defined stamp set "stamp=%DATE% %TIME%"
exit /b 0
:stamp
if defined stamp exit /b 0
set "day=%~1"
set "clock=%~2"
if not "%day:~4,1%%day:~7,1%%clock:~2,1%%clock:~5,1%"=="//::" exit /b 0
if not "%day:~10%%clock:~8%"=="" exit /b 0
set "stamp=%day:~0,4%-%day:~5,2%-%day:~8,2%T%clock%"
exit /b 0

rem Adds the line in "piece" to "said", after " / " when it holds one, with
rem its quotes turned into apostrophes.
:gather
if defined said goto gather_more
set "said=%piece:"='%"
exit /b 0
:gather_more
set "said=%said% / %piece:"='%"
exit /b 0

rem Takes the shortcut's line out of the /once record.
:forget
if not exist "%record%" exit /b 0
type nul >"%record%.new"
for /f "usebackq delims=" %%r in ("%record%") do if /i not "%%~r"=="%shortcut%" >>"%record%.new" echo "%%~r"
move /y "%record%.new" "%record%" >nul
exit /b 0

rem Sets "fresh" to the name of a working file in the Corvane folder,
rem pin-apps-N.tmp, that nothing holds open: a file that cannot be deleted
rem (another run of this script still writes it) is skipped.
:fresh
set /a numbered+=1
set "fresh=%folder%\pin-apps-%numbered%.tmp"
if not exist "%fresh%" exit /b 0
del "%fresh%" >nul 2>&1
if exist "%fresh%" goto fresh
exit /b 0
