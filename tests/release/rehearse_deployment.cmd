@echo off
rem A program's documented deployment script (deploy.cmd, taken from the program's text in its
rem release archive), rehearsed with the program's dry-run flavour on every example machine, as
rem the text tells an administrator to. Each row: the machine, the exit code the documents
rem promise, and the verdict the script must print. Then /? on the machine where another copy
rem of Marlisk runs: the usage and 8.
rem Usage, in the unpacked archive's folder: rehearse_deployment.cmd skelder|norrixupdater|marlisk
setlocal
set PROGRAM=%1
set FAILED=0
set WINSIM_CLOCK=virtual
set WINSIM_TRACE=
goto %PROGRAM%

:skelder
set SKELDER=skelder-dryrun.exe
call :row default-machine 0 "Done"
call :row locked-drives 6 "Stop"
call :row third-download-fails 1 "Retry later"
call :row busy-drives 1 "Retry later"
call :row ide-mode-controller 0 "Done"
call :row another-copy-running 0 "Done"
call :row winpe-adapter 0 "Done"
call :row strict-sat 0 "Done"
call :row sat-without-ck-cond 0 "Done"
call :row driver-answers-50 0 "Done"
call :row csmi-timeout-zero-expires 0 "Done"
goto help

:norrixupdater
set NORRIXUPDATER=norrixupdater-dryrun.exe
call :row default-machine 0 "Done"
call :row locked-drives 6 "Stop"
call :row third-download-fails 4 "Stop"
call :row busy-drives 0 "Done"
call :row ide-mode-controller 0 "Done"
call :row another-copy-running 0 "Done"
call :row winpe-adapter 0 "Done"
call :row strict-sat 0 "Done"
call :row sat-without-ck-cond 0 "Done"
call :row driver-answers-50 1 "Stop"
call :row csmi-timeout-zero-expires 0 "Done"
goto help

:marlisk
set MARLISK=marlisk-dryrun.exe
call :row default-machine 0 "Done"
call :row locked-drives 6 "Stop"
call :row third-download-fails 0 "Done"
call :row busy-drives 5 "Retry later"
call :row ide-mode-controller 3 "Stop"
call :row another-copy-running 3 "Retry later"
call :row winpe-adapter 0 "Done"
call :row strict-sat 0 "Done"
call :row sat-without-ck-cond 0 "Done"
call :row driver-answers-50 5 "Retry later"
call :row csmi-timeout-zero-expires 0 "Done"
goto help

:help
set WINSIM_MACHINE=%CD%\examples\another-copy-running.json
%PROGRAM%-dryrun.exe /? > help.txt
set CODE=%ERRORLEVEL%
find "Usage:" help.txt > nul
if errorlevel 1 set CODE=%CODE%, no usage
if "%CODE%"=="8" (
  echo ok   /?: 8 and the usage
) else (
  echo FAIL /?: %CODE%, not 8 and the usage
  set FAILED=1
)
exit /b %FAILED%

:row
set WINSIM_MACHINE=%CD%\examples\%1.json
rem In a cmd of its own, as the texts show: Wine 8's "call" of a batch file leaves ERRORLEVEL 1
rem whatever code the file's "exit /b" gives.
cmd /c deploy.cmd > script.txt
set CODE=%ERRORLEVEL%
find "%~3:" script.txt > nul
if errorlevel 1 (
  echo FAIL %1: %CODE% without "%~3:", expected %2 and "%~3:"; the script printed:
  type script.txt
  set FAILED=1
  exit /b 0
)
if not "%CODE%"=="%2" (
  echo FAIL %1: %CODE%, expected %2; the script printed:
  type script.txt
  set FAILED=1
  exit /b 0
)
echo ok   %1: %2, %~3
exit /b 0
