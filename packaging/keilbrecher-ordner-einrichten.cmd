@echo off
rem Richtet den Ordner c:\fibu\ des Suchprogramms für den Keilbrecher ein,
rem so dass kein Sachbearbeiter darin etwas ablegen, ersetzen oder ändern
rem kann. Als Administrator ausführen, in der Eingabeaufforderung (cmd) oder
rem aus der PowerShell heraus (die .cmd-Datei läuft dann ebenfalls in cmd).
rem
rem Ein Ordner c:\fibu, der schon besteht, wird ganz beiseitegelegt (nach
rem c:\fibu.alt, c:\fibu.alt2 und so fort) und nur noch den Administratoren
rem zugänglich gemacht: Nichts daraus wird wieder verwendet, denn ein
rem Sachbearbeiter könnte unter der früheren Einrichtung Dateien darin
rem abgelegt haben. Danach wird c:\fibu neu angelegt:
rem   - Besitzer: die Administratoren; keine von C:\ geerbten Rechte;
rem   - Administratoren und SYSTEM: Vollzugriff;
rem   - Benutzer: lesen und ausführen (nichts anlegen, nichts löschen);
rem   - in.txt und out.txt: Benutzer dürfen sie lesen und beschreiben (RD, WD)
rem     und ihre Attribute lesen (RA), sonst nichts.
rem Am Ende zeigt das Skript die Rechte und Besitzer von allem im Ordner.
rem Das Skript hält beim ersten Schritt an, der scheitert, und nennt ihn.
rem
rem   keilbrecher-ordner-einrichten.cmd           richtet den Ordner ein
rem   keilbrecher-ordner-einrichten.cmd /nur-neu  nur, wenn es ihn noch nicht
rem                                               gibt (so ruft es das MSI auf)
setlocal EnableExtensions
rem Jeder Schritt prüft danach den Fehlerstand; er beginnt bei 0.
ver > nul
set "ordner=c:\fibu"
set "alt="

set "schritt=die Rechte eines Administrators prüfen"
fltmc > nul 2>&1
if errorlevel 1 goto :keinAdministrator

if /i not "%~1" == "/nur-neu" goto :vorhanden
if not exist "%ordner%" goto :neu
echo Den Ordner %ordner% gibt es schon; das Skript lässt ihn, wie er ist.
goto :ende

:vorhanden
if not exist "%ordner%" goto :neu
set "alt=%ordner%.alt"
set /a nummer=1
:freierName
if not exist "%alt%" goto :beiseite
set /a nummer+=1
set "alt=%ordner%.alt%nummer%"
goto :freierName
:beiseite
set "schritt=den alten Ordner %ordner% nach %alt% beiseitelegen"
move "%ordner%" "%alt%" > nul
if errorlevel 1 goto :fehler
set "schritt=den alten Ordner %alt% den Administratoren vorbehalten"
icacls "%alt%" /inheritance:r /grant:r *S-1-5-32-544:(OI)(CI)F *S-1-5-18:(OI)(CI)F > nul
if errorlevel 1 goto :fehler
echo Der alte Ordner liegt jetzt unter %alt%; nur Administratoren können ihn öffnen.

:neu
set "schritt=den Ordner %ordner% anlegen"
mkdir "%ordner%"
if errorlevel 1 goto :fehler
set "schritt=den Ordner %ordner% den Administratoren übergeben"
takeown /a /f "%ordner%" > nul
if errorlevel 1 goto :fehler
set "schritt=die Rechte des Ordners %ordner% setzen"
icacls "%ordner%" /inheritance:r /grant:r *S-1-5-32-544:(OI)(CI)F *S-1-5-18:(OI)(CI)F *S-1-5-32-545:(OI)(CI)RX > nul
if errorlevel 1 goto :fehler
call :austauschdatei in.txt
if errorlevel 1 goto :fehler
call :austauschdatei out.txt
if errorlevel 1 goto :fehler

echo.
echo Der Ordner %ordner% ist eingerichtet.
echo Installieren Sie das Suchprogramm Lief-adr.exe und alle seine Dateien jetzt
echo neu vom Datenträger des Lieferanten, als Administrator, nach %ordner%.
if defined alt echo Kopieren Sie nichts aus dem alten Ordner %alt%.
echo Wem was gehört und wer was darf:
echo.
icacls "%ordner%" /t
dir /a /q /s "%ordner%"
goto :ende

rem Legt die Austauschdatei %1 neu an: den Administratoren gehörend, die
rem Benutzer dürfen sie lesen und beschreiben.
:austauschdatei
set "schritt=die Austauschdatei %ordner%\%1 anlegen"
type nul > "%ordner%\%1"
if errorlevel 1 exit /b 1
set "schritt=die Austauschdatei %ordner%\%1 den Administratoren übergeben"
takeown /a /f "%ordner%\%1" > nul
if errorlevel 1 exit /b 1
set "schritt=die Rechte der Austauschdatei %ordner%\%1 setzen"
icacls "%ordner%\%1" /inheritance:r /grant:r *S-1-5-32-544:F *S-1-5-18:F *S-1-5-32-545:(RD,WD,RA,S) > nul
if errorlevel 1 exit /b 1
exit /b 0

:keinAdministrator
echo Dieses Skript muss ein Administrator ausführen. Öffnen Sie die
echo Eingabeaufforderung mit "Als Administrator ausführen" und starten Sie es
echo dort erneut. Geändert wurde nichts.
endlocal
exit /b 1

:fehler
echo.
echo Die Einrichtung ist gescheitert beim Schritt: %schritt%.
echo Was danach kommen sollte, ist nicht geschehen. Die Meldung darüber nennt
echo den Grund; beheben Sie ihn und führen Sie das Skript erneut aus.
endlocal
exit /b 1

:ende
endlocal
exit /b 0
