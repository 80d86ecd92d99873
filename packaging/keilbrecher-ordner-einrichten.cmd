@echo off
rem Richtet den Ordner c:\fibu\ des Suchprogramms für den Keilbrecher ein,
rem so dass kein Sachbearbeiter darin etwas ablegen, ersetzen oder ändern
rem kann. Als Administrator ausführen: mit Rechtsklick und "Als
rem Administrator ausführen", oder in einer Eingabeaufforderung, die als
rem Administrator läuft, mit dem vollen Pfad:
rem   "C:\Program Files\Der Keilbrecher\keilbrecher-ordner-einrichten.cmd"
rem in einer PowerShell, die als Administrator läuft:
rem   & "C:\Program Files\Der Keilbrecher\keilbrecher-ordner-einrichten.cmd"
rem
rem Ohne Schalter wird c:\fibu neu angelegt. Ein Ordner c:\fibu, der schon
rem besteht, wird nach einer Frage (Vorgabe: Nein) ganz beiseitegelegt (nach
rem c:\fibu.alt, c:\fibu.alt2 und so fort) und nur noch den Administratoren
rem zugänglich gemacht: Nichts daraus wird wieder verwendet, denn ein
rem Sachbearbeiter könnte unter der früheren Einrichtung Dateien darin
rem abgelegt haben. Der neue Ordner entsteht mit seinen Rechten zuerst in
rem "%ProgramFiles%\Keilbrecher-Einrichtung", wohin nur Administratoren
rem schreiben dürfen, und wird dann nach c:\fibu verschoben:
rem   - Besitzer: die Administratoren; keine von C:\ geerbten Rechte;
rem   - Administratoren und SYSTEM: Vollzugriff;
rem   - Benutzer: lesen und ausführen (nichts anlegen, nichts löschen);
rem   - in.txt und out.txt: Benutzer dürfen sie lesen und beschreiben (RD, WD)
rem     und ihre Attribute lesen (RA), sonst nichts.
rem Ist c:\fibu oder der Name, unter den er beiseitegelegt würde, eine
rem symbolische Verknüpfung oder Verzeichnisverbindung, ändert das Skript
rem nichts. Am Ende zeigt es die Rechte und Besitzer von allem im Ordner und
rem wartet auf eine Taste, damit das Fenster offen bleibt. Es hält beim
rem ersten Schritt an, der scheitert, und nennt ihn.
rem
rem Schalter:
rem   /ja          beantwortet die Frage, ob ein bestehender Ordner c:\fibu
rem                beiseitegelegt wird, mit Ja (für Skripte)
rem   /nur-rechte  setzt die Rechte des bestehenden Ordners c:\fibu an Ort und
rem                Stelle, etwa nach einem Update des Suchprogramms: seine
rem                Dateien bleiben, wo sie sind, und behalten ihre Besitzer
rem   /nur-neu     richtet c:\fibu nur ein, wenn es ihn noch nicht gibt, ohne
rem                Frage und ohne auf eine Taste zu warten (so ruft es das
rem                MSI auf)
setlocal EnableExtensions
rem Jeder Schritt prüft danach den Fehlerstand; er beginnt bei 0.
ver > nul
set "ordner=c:\fibu"
set "bau=%ProgramFiles%\Keilbrecher-Einrichtung"
set "alt="
set "ja="
set "nurRechte="
set "nurNeu="
:schalter
if "%~1" == "" goto :los
if /i "%~1" == "/ja" (set "ja=1") else if /i "%~1" == "/nur-rechte" (set "nurRechte=1") else if /i "%~1" == "/nur-neu" (set "nurNeu=1") else goto :unbekannt
shift
goto :schalter

:los
set "schritt=die Rechte eines Administrators prüfen"
fltmc > nul 2>&1
if errorlevel 1 goto :keinAdministrator
call :keineVerknuepfung "%ordner%"
if errorlevel 1 goto :verknuepfung

if defined nurNeu if exist "%ordner%" (
  echo Den Ordner %ordner% gibt es schon; das Skript lässt ihn, wie er ist.
  goto :ende
)
if defined nurRechte goto :rechteVorOrt
if not exist "%ordner%" goto :neu

set "alt=%ordner%.alt"
set /a nummer=1
:freierName
call :keineVerknuepfung "%alt%"
if errorlevel 1 goto :verknuepfung
if not exist "%alt%" goto :frage
set /a nummer+=1
set "alt=%ordner%.alt%nummer%"
goto :freierName

:frage
if defined ja goto :neu
echo Den Ordner %ordner% gibt es schon. Das Skript kann ihn nach %alt%
echo beiseitelegen und %ordner% neu anlegen; das Suchprogramm muss danach neu
echo installiert werden. Nur die Rechte an Ort und Stelle setzt es mit dem
echo Schalter /nur-rechte.
set "antwort="
set /p "antwort=Soll %ordner% beiseitegelegt werden? [j/N] "
if /i "%antwort%" == "j" goto :neu
if /i "%antwort%" == "ja" goto :neu
echo.
echo Der Ordner %ordner% bleibt, wie er ist. Geändert wurde nichts.
goto :ende

:neu
rem Der neue Ordner, fertig mit seinen Rechten, wo nur Administratoren
rem schreiben dürfen; Reste eines abgebrochenen Laufs gehen vorher.
set "schritt=den Bauordner %bau% prüfen"
call :keineVerknuepfung "%bau%"
if errorlevel 1 goto :verknuepfung
if exist "%bau%" rd /s /q "%bau%"
if exist "%bau%" goto :fehler
set "schritt=den neuen Ordner in %bau% anlegen"
mkdir "%bau%\fibu"
if errorlevel 1 goto :fehler
set "schritt=den neuen Ordner den Administratoren übergeben"
takeown /a /f "%bau%\fibu" > nul
if errorlevel 1 goto :fehler
set "schritt=die Rechte des neuen Ordners setzen"
icacls "%bau%\fibu" /inheritance:r /grant:r *S-1-5-32-544:(OI)(CI)F *S-1-5-18:(OI)(CI)F *S-1-5-32-545:(OI)(CI)RX /L > nul
if errorlevel 1 goto :fehler
call :austauschdatei "%bau%\fibu" in.txt
if errorlevel 1 goto :fehler
call :austauschdatei "%bau%\fibu" out.txt
if errorlevel 1 goto :fehler

if not defined alt goto :hinein
set "schritt=den alten Ordner %ordner% nach %alt% beiseitelegen"
move "%ordner%" "%alt%" > nul
if errorlevel 1 goto :offen
set "schritt=den alten Ordner %alt% den Administratoren übergeben"
icacls "%alt%" /setowner *S-1-5-32-544 /t /c /L > nul
if errorlevel 1 goto :fehler
set "schritt=die Rechte im alten Ordner %alt% zurücksetzen"
icacls "%alt%" /reset /t /c /L > nul
if errorlevel 1 goto :fehler
set "schritt=den alten Ordner %alt% den Administratoren vorbehalten"
icacls "%alt%" /inheritance:r /grant:r *S-1-5-32-544:(OI)(CI)F *S-1-5-18:(OI)(CI)F /L > nul
if errorlevel 1 goto :fehler
echo Der alte Ordner liegt jetzt unter %alt%; nur Administratoren können ihn öffnen.

:hinein
set "schritt=den neuen Ordner nach %ordner% verschieben"
move "%bau%\fibu" "%ordner%" > nul
if errorlevel 1 goto :fehler
rd "%bau%"
echo.
echo Der Ordner %ordner% ist eingerichtet.
echo Installieren Sie das Suchprogramm Lief-adr.exe und alle seine Dateien jetzt
echo neu vom Datenträger des Lieferanten, als Administrator, nach %ordner%.
if defined alt echo Kopieren Sie keine Programmdateien aus dem alten Ordner %alt%;
if defined alt echo Daten des Suchprogramms übernehmen Sie nur, wenn Sie ihnen trauen.
goto :liste

:rechteVorOrt
if not exist "%ordner%" (
  echo Den Ordner %ordner% gibt es nicht; mit /nur-rechte setzt das Skript nur
  echo die Rechte eines bestehenden Ordners. Geändert wurde nichts.
  goto :endeFehler
)
set "schritt=den Ordner %ordner% den Administratoren übergeben"
icacls "%ordner%" /setowner *S-1-5-32-544 /L > nul
if errorlevel 1 goto :fehler
set "schritt=die Rechte des Ordners %ordner% setzen"
icacls "%ordner%" /reset /L > nul
if errorlevel 1 goto :fehler
icacls "%ordner%" /inheritance:r /grant:r *S-1-5-32-544:(OI)(CI)F *S-1-5-18:(OI)(CI)F *S-1-5-32-545:(OI)(CI)RX /L > nul
if errorlevel 1 goto :fehler
set "schritt=die Rechte von allem im Ordner %ordner% zurücksetzen"
icacls "%ordner%\*" /reset /t /c /L > nul
if errorlevel 1 goto :fehler
call :austauschdatei "%ordner%" in.txt
if errorlevel 1 goto :fehler
call :austauschdatei "%ordner%" out.txt
if errorlevel 1 goto :fehler
echo.
echo Die Rechte im Ordner %ordner% sind gesetzt; seine Dateien sind geblieben.

:liste
echo Prüfen können Sie das Ergebnis jederzeit mit: icacls %ordner%
echo Wem was gehört und wer was darf:
echo.
icacls "%ordner%" /t
dir /a /q /s "%ordner%"
goto :ende

rem Legt im Ordner %1 die Austauschdatei %2 an, wo sie fehlt, und gibt sie
rem den Administratoren; die Benutzer dürfen sie lesen und beschreiben.
:austauschdatei
set "schritt=die Austauschdatei %~2 anlegen"
if not exist "%~1\%~2" type nul > "%~1\%~2"
if errorlevel 1 exit /b 1
set "schritt=die Austauschdatei %~2 den Administratoren übergeben"
takeown /a /f "%~1\%~2" > nul
if errorlevel 1 exit /b 1
set "schritt=die Rechte der Austauschdatei %~2 setzen"
icacls "%~1\%~2" /inheritance:r /grant:r *S-1-5-32-544:F *S-1-5-18:F *S-1-5-32-545:(RD,WD,RA,S) /L > nul
if errorlevel 1 exit /b 1
exit /b 0

rem Fehlerstand 1, wenn %1 eine symbolische Verknüpfung, Verzeichnisverbindung
rem oder ein anderer Analysepunkt ist (sein neuntes Attribut ist "l").
:keineVerknuepfung
set "verknuepft=%~1"
fsutil reparsepoint query "%~1" > nul 2>&1
if not errorlevel 1 exit /b 1
set "attribute=%~a1---------"
if "%attribute:~8,1%" == "l" exit /b 1
ver > nul
exit /b 0

:verknuepfung
echo %verknuepft% ist eine symbolische Verknüpfung oder Verzeichnisverbindung,
echo die anderswohin führt. Das Skript folgt ihr nicht und hat nichts geändert.
echo Entfernen Sie sie (rmdir "%verknuepft%" entfernt nur die Verknüpfung)
echo und führen Sie das Skript erneut aus.
goto :endeFehler

:offen
echo.
echo Der alte Ordner %ordner% lässt sich nicht beiseitelegen, meist weil noch
echo ein Programm eine Datei darin offen hat: ein Keilbrecher, das Suchprogramm
echo oder eine Eingabeaufforderung, die in dem Ordner steht. Melden Sie alle
echo Sachbearbeiter ab (auf einem Terminalserver: alle Sitzungen abmelden),
echo schließen Sie solche Fenster und führen Sie das Skript erneut aus.
echo %ordner% ist unverändert; der vorbereitete neue Ordner wird entfernt.
rd /s /q "%bau%"
goto :endeFehler

:unbekannt
echo Den Schalter %1 kennt das Skript nicht; es kennt /ja, /nur-rechte und
echo /nur-neu. Geändert wurde nichts.
goto :endeFehler

:keinAdministrator
echo Dieses Skript muss ein Administrator ausführen. Wählen Sie im Explorer
echo mit der rechten Maustaste "Als Administrator ausführen", oder öffnen Sie
echo die Eingabeaufforderung so und starten Sie es dort mit vollem Pfad erneut.
echo Geändert wurde nichts.
goto :endeFehler

:fehler
echo.
echo Die Einrichtung ist gescheitert beim Schritt: %schritt%.
echo Was danach kommen sollte, ist nicht geschehen. Die Meldung darüber nennt
echo den Grund; beheben Sie ihn und führen Sie das Skript erneut aus.
goto :endeFehler

:endeFehler
call :warten
endlocal
exit /b 1

:ende
call :warten
endlocal
exit /b 0

rem Wer das Skript mit Doppelklick startet, liest, bevor das Fenster zugeht.
:warten
if defined nurNeu exit /b 0
echo.
echo Drücken Sie eine Taste, um dieses Fenster zu schließen.
pause > nul
exit /b 0
