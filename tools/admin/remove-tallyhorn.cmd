@echo off
rem Removes Tallyhorn and what its package leaves by design: the hook's logs and job files,
rem the monitor, the shared history of earlier versions, the old folder of an upgraded 1.0
rem installation (the argument; by default %SystemDrive%\Tallyhorn) and each user's history
rem and log. Run it as an administrator or as SYSTEM, with uninstall-tallyhorn.vbs beside it;
rem after the package is gone, it looks in the default folders.
rem Only Tallyhorn's own file names are deleted, and a folder that is a link is removed as a
rem link, never entered. Each folder that keeps other files is listed.
setlocal EnableExtensions
set "OLD=%~1"
if not defined OLD set "OLD=%SystemDrive%\Tallyhorn"
set "INI=%SystemRoot%\Tallyhorn.ini"
set "PROG="
if exist "%INI%" for /f "usebackq tokens=1,* delims==" %%a in ("%INI%") do if /i "%%a"=="ProgDir" set "PROG=%%b"
set "CLIENT="
for %%v in (64 32) do for /f "tokens=1,2,*" %%a in ('reg query HKLM\Software\Tallyhorn /v ClientDir /reg:%%v 2^>nul') do if /i "%%a"=="ClientDir" if not defined CLIENT set "CLIENT=%%c"
cscript //nologo "%~dp0uninstall-tallyhorn.vbs"
if errorlevel 1 exit /b 1
for %%d in ("%PROG%" "%CLIENT%" "%OLD%") do if not "%%~d"=="" call :installation "%%~d"
call :installation "%ProgramFiles%\Tallyhorn"
if defined ProgramW6432 call :installation "%ProgramW6432%\Tallyhorn"
if defined ProgramFiles(x86) call :installation "%ProgramFiles(x86)%\Tallyhorn"
for %%d in ("%PUBLIC%\..") do pushd "%%~fd"
for /d %%u in (*) do (
  call :tidy "%%~fu\AppData\Roaming\Tallyhorn" Tallyhorn.Cmt Tallyhorn.Cmt.lock cmt*.tmp
  call :tidy "%%~fu\AppData\Local\Tallyhorn\Debug" Tallyhorn_Client_*.log
  call :tidy "%%~fu\AppData\Local\Tallyhorn"
)
popd
rem Tallyhorn.ini goes when its empty [Tallyhorn] section is all it holds.
set "OTHER="
if exist "%INI%" for /f "usebackq delims=" %%l in ("%INI%") do if /i not "%%l"=="[Tallyhorn]" set "OTHER=1"
if not defined OTHER del "%INI%" 2>nul
exit /b 0

:installation FOLDER
for %%f in ("%~1.") do set "TOP=%%~ff"
call :tidy "%TOP%\Debug" Tallyhorn_Hk_*.log Tallyhorn_Client_*.log check.txt
call :tidy "%TOP%\Temp" *.txt *.txt.rslt *.txt.response
call :tidy "%TOP%\Client\Debug" Tallyhorn_Client_*.log
call :tidy "%TOP%\Client" Tallyhorn.Cmt Tallyhorn.Cmt.lock cmt*.tmp TallyhornClient.exe
call :tidy "%TOP%" Tallyhorn_Mon.exe Tallyhorn.dll Tallyhorn_Harness.exe TallyhornClient.exe Tallyhorn.Cmt Tallyhorn.Cmt.lock cmt*.tmp
exit /b

:tidy FOLDER [NAME...]
if not exist "%~1\" exit /b
set "HERE=%~1"
set "ATTRIBUTES=%~a1"
if /i "%ATTRIBUTES:~8,1%"=="l" (rd "%HERE%" & exit /b)
:tidy_name
shift
if not "%~1"=="" (del /f /q "%HERE%\%~1" 2>nul & goto tidy_name)
rd "%HERE%" 2>nul
if exist "%HERE%\" echo left: %HERE%
exit /b
