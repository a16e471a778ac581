<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>AboutView</name>
    <message>
        <source>About Developer</source>
        <translation>Über die Entwickler</translation>
    </message>
    <message>
        <source>Who builds Veilmark</source>
        <translation>Wer Veilmark entwickelt</translation>
    </message>
    <message>
        <source>Company</source>
        <translation>Unternehmen</translation>
    </message>
    <message>
        <source>Developer</source>
        <translation>Entwickler</translation>
    </message>
    <message>
        <source>The Veilmark developers</source>
        <translation>Die Veilmark-Entwickler</translation>
    </message>
    <message>
        <source>Role</source>
        <translation>Rolle</translation>
    </message>
    <message>
        <source>Open-source maintainers</source>
        <translation>Open-Source-Betreuer</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>Version %1 — Fingerprint and password protection for apps and folders</source>
        <translation>Version %1 — Schutz für Apps und Ordner per Fingerabdruck und Passwort</translation>
    </message>
</context>
<context>
    <name>AccessControlLock</name>
    <message>
        <source>still accessible after locking</source>
        <translation>nach dem Sperren noch zugänglich</translation>
    </message>
    <message>
        <source>still locked after unlocking</source>
        <translation>nach dem Entsperren noch gesperrt</translation>
    </message>
</context>
<context>
    <name>ActivityView</name>
    <message>
        <source>Activity</source>
        <translation>Aktivität</translation>
    </message>
    <message>
        <source>Every lock, unlock and failed attempt — stored locally only</source>
        <translation>Jedes Sperren, Entsperren und jeder Fehlversuch — nur lokal gespeichert</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Leeren</translation>
    </message>
    <message>
        <source>Nothing yet</source>
        <translation>Noch nichts</translation>
    </message>
    <message>
        <source>Lock and unlock events will appear here.</source>
        <translation>Sperr- und Entsperrereignisse werden hier angezeigt.</translation>
    </message>
</context>
<context>
    <name>AppChooser</name>
    <message>
        <source>Choose an application to protect</source>
        <translation>Wählen Sie eine zu schützende Anwendung</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <source>Search applications</source>
        <translation>Anwendungen durchsuchen</translation>
    </message>
</context>
<context>
    <name>AppProtectionEngine</name>
    <message>
        <source>Lost focus</source>
        <translation>Fokus verloren</translation>
    </message>
    <message>
        <source>Authenticating…</source>
        <translation>Identität wird geprüft …</translation>
    </message>
    <message>
        <source>Unlock cancelled</source>
        <translation>Entsperren abgebrochen</translation>
    </message>
    <message>
        <source>unlock %1</source>
        <translation>%1 entsperren</translation>
    </message>
    <message>
        <source>App lock failed</source>
        <translation>Sperren der App fehlgeschlagen</translation>
    </message>
    <message>
        <source>App unlock failed</source>
        <translation>Entsperren der App fehlgeschlagen</translation>
    </message>
    <message>
        <source>Locked</source>
        <translation>Gesperrt</translation>
    </message>
    <message>
        <source>Manual relock</source>
        <translation>Manuell erneut gesperrt</translation>
    </message>
    <message>
        <source>All apps</source>
        <translation>Alle Apps</translation>
    </message>
    <message>
        <source>Can&apos;t protect app</source>
        <translation>App kann nicht geschützt werden</translation>
    </message>
    <message>
        <source>%1: no more than %2 apps can be protected.</source>
        <translation>%1: Es können höchstens %2 Apps geschützt werden.</translation>
    </message>
    <message>
        <source>Protection removed</source>
        <translation>Schutz entfernt</translation>
    </message>
</context>
<context>
    <name>AppRow</name>
    <message>
        <source>Unlocked</source>
        <translation>Entsperrt</translation>
    </message>
    <message>
        <source>Locked</source>
        <translation>Gesperrt</translation>
    </message>
    <message>
        <source>Relock</source>
        <translation>Erneut sperren</translation>
    </message>
    <message>
        <source>Relock %1</source>
        <translation>%1 erneut sperren</translation>
    </message>
    <message>
        <source>Unlock</source>
        <translation>Entsperren</translation>
    </message>
    <message>
        <source>Unlock %1</source>
        <translation>%1 entsperren</translation>
    </message>
    <message>
        <source>Protect %1</source>
        <translation>%1 schützen</translation>
    </message>
    <message>
        <source>Remove protection (unlocks the app)</source>
        <translation>Schutz entfernen (entsperrt die App)</translation>
    </message>
    <message>
        <source>Remove protection from %1</source>
        <translation>Schutz von %1 entfernen</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Aus</translation>
    </message>
    <message>
        <source>Not watched</source>
        <translation>Nicht überwacht</translation>
    </message>
</context>
<context>
    <name>AppState</name>
    <message numerus="yes">
        <source>%1 and %n more</source>
        <comment>problems of a document</comment>
        <translation>
            <numerusform>%1 und %n weiteres</numerusform>
            <numerusform>%1 und %n weitere</numerusform>
        </translation>
    </message>
    <message>
        <source>%1: %2 — the original is kept as %3</source>
        <translation>%1: %2 — das Original wird als %3 aufbewahrt</translation>
    </message>
    <message>
        <source>%1: %2 — it could not be moved aside (%3), so it is left as it is and %4</source>
        <translation>%1: %2 — es konnte nicht beiseitegelegt werden (%3), bleibt daher unverändert und %4</translation>
    </message>
    <message>
        <source>Policy unreadable</source>
        <translation>Richtlinie nicht lesbar</translation>
    </message>
    <message>
        <source>changes are not saved</source>
        <translation>Änderungen werden nicht gespeichert</translation>
    </message>
    <message>
        <source>Activity log unreadable</source>
        <translation>Aktivitätsprotokoll nicht lesbar</translation>
    </message>
    <message>
        <source>activity is not saved</source>
        <translation>Aktivitäten werden nicht gespeichert</translation>
    </message>
    <message>
        <source>Policy not saved</source>
        <translation>Richtlinie nicht gespeichert</translation>
    </message>
    <message>
        <source>%1 — changes are kept and saved again with the next change</source>
        <translation>%1 — die Änderungen bleiben erhalten und werden mit der nächsten Änderung erneut gespeichert</translation>
    </message>
    <message>
        <source>%1 could not be read — the original is kept as %2</source>
        <translation>%1 konnte nicht gelesen werden — das Original wird als %2 aufbewahrt</translation>
    </message>
    <message>
        <source>%1 could not be read or moved aside — changes are not saved: %2</source>
        <translation>%1 konnte weder gelesen noch beiseitegelegt werden — Änderungen werden nicht gespeichert: %2</translation>
    </message>
    <message>
        <source>Changes are not saved: %1</source>
        <translation>Änderungen werden nicht gespeichert: %1</translation>
    </message>
    <message>
        <source>%1 could not be read or moved aside — activity is not saved: %2</source>
        <translation>%1 konnte weder gelesen noch beiseitegelegt werden — Aktivitäten werden nicht gespeichert: %2</translation>
    </message>
    <message>
        <source>Computer going to sleep</source>
        <translation>Computer wechselt in den Ruhezustand</translation>
    </message>
    <message>
        <source>User session switched</source>
        <translation>Benutzersitzung gewechselt</translation>
    </message>
    <message>
        <source>Screen locked</source>
        <translation>Bildschirm gesperrt</translation>
    </message>
    <message>
        <source>Launch at Login</source>
        <translation>Beim Anmelden starten</translation>
    </message>
    <message>
        <source>App protection unavailable</source>
        <translation>App-Schutz nicht verfügbar</translation>
    </message>
</context>
<context>
    <name>AppearancePicker</name>
    <message>
        <source>System</source>
        <translation>System</translation>
    </message>
    <message>
        <source>Light</source>
        <translation>Hell</translation>
    </message>
    <message>
        <source>Dark</source>
        <translation>Dunkel</translation>
    </message>
    <message>
        <source>Appearance %1</source>
        <translation>Erscheinungsbild %1</translation>
    </message>
</context>
<context>
    <name>AppsView</name>
    <message>
        <source>Protected Apps</source>
        <translation>Geschützte Apps</translation>
    </message>
    <message>
        <source>Apps stay hidden behind glass until you prove it&apos;s you</source>
        <translation>Apps bleiben hinter Glas verborgen, bis Sie Ihre Identität bestätigt haben</translation>
    </message>
    <message>
        <source>Add App</source>
        <translation>App hinzufügen</translation>
    </message>
    <message>
        <source>No protected apps yet</source>
        <translation>Noch keine geschützten Apps</translation>
    </message>
    <message>
        <source>Add an app and it will instantly hide and blur whenever it opens, until you unlock it with your fingerprint or password.</source>
        <translation>Fügen Sie eine App hinzu: Sobald sie sich öffnet, wird sie sofort verborgen und unscharf gemacht, bis Sie sie mit Ihrem Fingerabdruck oder Passwort entsperren.</translation>
    </message>
    <message>
        <source>%1 Folders, activity and settings work as usual.</source>
        <translation>%1 Ordner, Aktivität und Einstellungen funktionieren wie gewohnt.</translation>
    </message>
</context>
<context>
    <name>AttemptBackoff</name>
    <message>
        <source>Try again in 1 second</source>
        <translation>Versuchen Sie es in 1 Sekunde erneut</translation>
    </message>
    <message numerus="yes">
        <source>Try again in %n seconds</source>
        <translation>
            <numerusform>Versuchen Sie es in %n Sekunde erneut</numerusform>
            <numerusform>Versuchen Sie es in %n Sekunden erneut</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Try again in %n minutes</source>
        <translation>
            <numerusform>Versuchen Sie es in %n Minute erneut</numerusform>
            <numerusform>Versuchen Sie es in %n Minuten erneut</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>AuthenticationService</name>
    <message>
        <source>Fingerprint</source>
        <translation>Fingerabdruck</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Passwort</translation>
    </message>
    <message>
        <source>Fingerprint not recognized — try again</source>
        <translation>Fingerabdruck nicht erkannt — versuchen Sie es erneut</translation>
    </message>
    <message>
        <source>Password not accepted — try again</source>
        <translation>Passwort nicht akzeptiert — versuchen Sie es erneut</translation>
    </message>
    <message>
        <source>No account password set on this computer</source>
        <translation>Für dieses Konto ist auf diesem Computer kein Passwort festgelegt</translation>
    </message>
    <message>
        <source>Fingerprint unavailable — use your password</source>
        <translation>Fingerabdruck nicht verfügbar — verwenden Sie Ihr Passwort</translation>
    </message>
    <message>
        <source>No fingerprints enrolled — set one up in Settings</source>
        <translation>Keine Fingerabdrücke registriert — richten Sie einen in den Einstellungen ein</translation>
    </message>
    <message>
        <source>Fingerprint locked — use your password</source>
        <translation>Fingerabdruck gesperrt — verwenden Sie Ihr Passwort</translation>
    </message>
    <message>
        <source>Authentication failed</source>
        <translation>Authentifizierung fehlgeschlagen</translation>
    </message>
</context>
<context>
    <name>ChoiceRow</name>
    <message>
        <source>Open %1</source>
        <translation>%1 öffnen</translation>
    </message>
</context>
<context>
    <name>ChooserFrame</name>
    <message>
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>veilmark --lock-all while Veilmark was not running</source>
        <translation>veilmark --lock-all, während Veilmark nicht lief</translation>
    </message>
    <message>
        <source>could not lock %1</source>
        <translation>%1 konnte nicht gesperrt werden</translation>
    </message>
    <message>
        <source>Everything protected was already locked.</source>
        <translation>Alles Geschützte war bereits gesperrt.</translation>
    </message>
    <message>
        <source>Locked %1.</source>
        <translation>Gesperrt: %1.</translation>
    </message>
    <message>
        <source>the running Veilmark did not answer (%1); locking from the stored policy</source>
        <translation>das laufende Veilmark hat nicht geantwortet (%1); es wird anhand der gespeicherten Richtlinie gesperrt</translation>
    </message>
    <message>
        <source>asked Veilmark to lock everything, but it did not say what is locked</source>
        <translation>Veilmark wurde gebeten, alles zu sperren, hat aber nicht gemeldet, was gesperrt ist</translation>
    </message>
    <message>
        <source>Everything protected is locked.</source>
        <translation>Alles Geschützte ist gesperrt.</translation>
    </message>
    <message>
        <source>the running Veilmark answered with an unreadable status</source>
        <translation>das laufende Veilmark hat mit einem unlesbaren Status geantwortet</translation>
    </message>
    <message>
        <source>the running Veilmark did not answer (%1); showing the stored policy</source>
        <translation>das laufende Veilmark hat nicht geantwortet (%1); die gespeicherte Richtlinie wird angezeigt</translation>
    </message>
    <message>
        <source>Keeps chosen apps and folders locked until you prove it&apos;s you.

Exit status:
  0  done
  1  something protected could not be locked, or the stored policy could not be read
  2  wrong usage
  3  a running Veilmark did not answer (--lock-all then locks from the stored policy)</source>
        <translation>Hält ausgewählte Apps und Ordner gesperrt, bis Sie Ihre Identität bestätigt haben.

Exit-Status:
  0  erledigt
  1  etwas Geschütztes konnte nicht gesperrt oder die gespeicherte Richtlinie nicht gelesen werden
  2  falscher Aufruf
  3  ein laufendes Veilmark hat nicht geantwortet (--lock-all sperrt dann anhand der gespeicherten Richtlinie)</translation>
    </message>
    <message>
        <source>Lock every protected app and folder now. With Veilmark not running, lock every protected folder from the stored policy.</source>
        <translation>Jetzt alle geschützten Apps und Ordner sperren. Läuft Veilmark nicht, werden alle geschützten Ordner anhand der gespeicherten Richtlinie gesperrt.</translation>
    </message>
    <message>
        <source>Show every protected app and folder with its state and the end of its unlock session.</source>
        <translation>Alle geschützten Apps und Ordner mit ihrem Zustand und dem Ende ihrer Entsperrsitzung anzeigen.</translation>
    </message>
    <message>
        <source>With --status: print JSON for scripts instead of a table.</source>
        <translation>Mit --status: JSON für Skripte statt einer Tabelle ausgeben.</translation>
    </message>
    <message>
        <source>Start in the tray without opening the window.</source>
        <translation>Im Infobereich starten, ohne das Fenster zu öffnen.</translation>
    </message>
    <message>
        <source>%1 See veilmark --help.</source>
        <translation>%1 Siehe veilmark --help.</translation>
    </message>
    <message>
        <source>--json goes with --status; see veilmark --help</source>
        <translation>--json gehört zu --status; siehe veilmark --help</translation>
    </message>
    <message>
        <source>unexpected argument %1; see veilmark --help</source>
        <translation>unerwartetes Argument %1; siehe veilmark --help</translation>
    </message>
    <message>
        <source>give one of --lock-all, --status and --background; see veilmark --help</source>
        <translation>geben Sie genau eine der Optionen --lock-all, --status und --background an; siehe veilmark --help</translation>
    </message>
    <message>
        <source>--background takes no other option; see veilmark --help</source>
        <translation>--background verträgt keine weitere Option; siehe veilmark --help</translation>
    </message>
</context>
<context>
    <name>DocumentFile</name>
    <message>
        <source>it is a symbolic link</source>
        <translation>es ist ein symbolischer Link</translation>
    </message>
    <message>
        <source>it is not a regular file</source>
        <translation>es ist keine reguläre Datei</translation>
    </message>
    <message>
        <source>it is larger than %1 MiB</source>
        <translation>es ist größer als %1 MiB</translation>
    </message>
</context>
<context>
    <name>EventLog</name>
    <message>
        <source>not a list of events</source>
        <translation>keine Liste von Ereignissen</translation>
    </message>
</context>
<context>
    <name>FileSecretStore</name>
    <message>
        <source>Could not read %1.</source>
        <translation>%1 konnte nicht gelesen werden.</translation>
    </message>
</context>
<context>
    <name>FolderChooser</name>
    <message>
        <source>Choose a folder to protect</source>
        <translation>Wählen Sie einen zu schützenden Ordner</translation>
    </message>
    <message>
        <source>Pick a folder inside your home folder. It will be locked immediately.</source>
        <translation>Wählen Sie einen Ordner in Ihrem persönlichen Ordner. Er wird sofort gesperrt.</translation>
    </message>
    <message>
        <source>Enclosing folder</source>
        <translation>Übergeordneter Ordner</translation>
    </message>
</context>
<context>
    <name>FolderLocations</name>
    <message>
        <source>nothing is at %1</source>
        <translation>unter %1 befindet sich nichts</translation>
    </message>
    <message>
        <source>a link or a file is at %1</source>
        <translation>unter %1 befindet sich ein Link oder eine Datei</translation>
    </message>
    <message>
        <source>it belongs to another user</source>
        <translation>er gehört einem anderen Benutzer</translation>
    </message>
    <message>
        <source>another folder is at %1</source>
        <translation>unter %1 befindet sich ein anderer Ordner</translation>
    </message>
    <message>
        <source>it now leads to %1</source>
        <translation>er führt jetzt zu %1</translation>
    </message>
</context>
<context>
    <name>FolderProtectionEngine</name>
    <message>
        <source>Can&apos;t protect folder</source>
        <translation>Ordner kann nicht geschützt werden</translation>
    </message>
    <message>
        <source>%1 is a system or already-protected location.</source>
        <translation>%1 ist ein Systemort oder bereits geschützt.</translation>
    </message>
    <message>
        <source>%1: no more than %2 folders can be protected.</source>
        <translation>%1: Es können höchstens %2 Ordner geschützt werden.</translation>
    </message>
    <message>
        <source>%1 is a symbolic link, not a folder — add the folder it leads to.</source>
        <translation>%1 ist ein symbolischer Link, kein Ordner — fügen Sie den Ordner hinzu, zu dem er führt.</translation>
    </message>
    <message>
        <source>%1 belongs to another user; only your own folders can be locked.</source>
        <translation>%1 gehört einem anderen Benutzer; nur Ihre eigenen Ordner können gesperrt werden.</translation>
    </message>
    <message>
        <source>%1 is on a %2 file system, whose permissions cannot lock it.</source>
        <translation>%1 liegt auf einem %2-Dateisystem, dessen Berechtigungen ihn nicht sperren können.</translation>
    </message>
    <message>
        <source>Added and locked</source>
        <translation>Hinzugefügt und gesperrt</translation>
    </message>
    <message>
        <source>Locked</source>
        <translation>Gesperrt</translation>
    </message>
    <message>
        <source>unlock the folder “%1”</source>
        <translation>den Ordner „%1“ entsperren</translation>
    </message>
    <message>
        <source>Authentication cancelled</source>
        <translation>Authentifizierung abgebrochen</translation>
    </message>
    <message>
        <source>Unlocked for %1 min</source>
        <translation>Für %1 Min. entsperrt</translation>
    </message>
    <message>
        <source>Protection removed</source>
        <translation>Schutz entfernt</translation>
    </message>
    <message>
        <source>Unlock session expired</source>
        <translation>Entsperrsitzung abgelaufen</translation>
    </message>
    <message>
        <source>Folders relocked</source>
        <translation>Ordner erneut gesperrt</translation>
    </message>
    <message numerus="yes">
        <source>%n folders</source>
        <translation>
            <numerusform>%n Ordner</numerusform>
            <numerusform>%n Ordner</numerusform>
        </translation>
    </message>
    <message>
        <source>Relocked at launch — unlock session did not survive quit</source>
        <translation>Beim Start erneut gesperrt — die Entsperrsitzung hat das Beenden nicht überdauert</translation>
    </message>
    <message>
        <source>Permissions changed outside Veilmark</source>
        <translation>Berechtigungen außerhalb von Veilmark geändert</translation>
    </message>
    <message>
        <source>Folder lock failed</source>
        <translation>Sperren des Ordners fehlgeschlagen</translation>
    </message>
    <message>
        <source>Folder unlock failed</source>
        <translation>Entsperren des Ordners fehlgeschlagen</translation>
    </message>
    <message>
        <source>Its remembered permissions would have shut you out; restored read, write and search instead</source>
        <translation>Die gespeicherten Berechtigungen hätten Sie ausgesperrt; stattdessen wurden Lesen, Schreiben und Durchsuchen wiederhergestellt</translation>
    </message>
    <message>
        <source>it can be opened</source>
        <translation>er lässt sich öffnen</translation>
    </message>
    <message numerus="yes">
        <source>%1 and %n more</source>
        <comment>processes</comment>
        <translation>
            <numerusform>%1 und %n weiterer</numerusform>
            <numerusform>%1 und %n weitere</numerusform>
        </translation>
    </message>
    <message>
        <source>Still open in %1 — they keep access until they leave it</source>
        <translation>Noch geöffnet in %1 — diese behalten den Zugriff, bis sie den Ordner verlassen</translation>
    </message>
</context>
<context>
    <name>FolderRow</name>
    <message>
        <source>Lock</source>
        <translation>Sperren</translation>
    </message>
    <message>
        <source>Lock %1</source>
        <translation>%1 sperren</translation>
    </message>
    <message>
        <source>Unlock</source>
        <translation>Entsperren</translation>
    </message>
    <message>
        <source>Unlock %1</source>
        <translation>%1 entsperren</translation>
    </message>
    <message>
        <source>Remove protection (unlocks the folder)</source>
        <translation>Schutz entfernen (entsperrt den Ordner)</translation>
    </message>
    <message>
        <source>Remove protection from %1</source>
        <translation>Schutz von %1 entfernen</translation>
    </message>
</context>
<context>
    <name>FolderStatus</name>
    <message>
        <source>Locked</source>
        <translation>Gesperrt</translation>
    </message>
    <message>
        <source>Unlocked</source>
        <translation>Entsperrt</translation>
    </message>
    <message>
        <source>Missing</source>
        <translation>Fehlt</translation>
    </message>
    <message>
        <source>Moved or replaced</source>
        <translation>Verschoben oder ersetzt</translation>
    </message>
    <message>
        <source>Not yours</source>
        <translation>Gehört Ihnen nicht</translation>
    </message>
    <message>
        <source>Lock failed</source>
        <translation>Sperren fehlgeschlagen</translation>
    </message>
</context>
<context>
    <name>FoldersView</name>
    <message>
        <source>Protected Folders</source>
        <translation>Geschützte Ordner</translation>
    </message>
    <message>
        <source>Locked folders stay put but can&apos;t be opened until you unlock them</source>
        <translation>Gesperrte Ordner bleiben, wo sie sind, lassen sich aber erst öffnen, wenn Sie sie entsperren</translation>
    </message>
    <message>
        <source>Add Folder</source>
        <translation>Ordner hinzufügen</translation>
    </message>
    <message>
        <source>No protected folders yet</source>
        <translation>Noch keine geschützten Ordner</translation>
    </message>
    <message>
        <source>Add a folder and it stays exactly where it is — locked and unopenable, shown with a no-access badge, until you unlock it with your fingerprint or password. Your files are never moved.</source>
        <translation>Fügen Sie einen Ordner hinzu: Er bleibt genau, wo er ist — gesperrt, nicht zu öffnen und mit einem Kein-Zugriff-Symbol gekennzeichnet, bis Sie ihn mit Ihrem Fingerabdruck oder Passwort entsperren. Ihre Dateien werden nie verschoben.</translation>
    </message>
</context>
<context>
    <name>FprintdVerifier</name>
    <message>
        <source>Fingerprint reader error</source>
        <translation>Fehler des Fingerabdrucklesers</translation>
    </message>
    <message>
        <source>No system bus</source>
        <translation>Kein Systembus</translation>
    </message>
    <message>
        <source>The fingerprint reader was disconnected</source>
        <translation>Der Fingerabdruckleser wurde getrennt</translation>
    </message>
    <message>
        <source>The fingerprint service stopped</source>
        <translation>Der Fingerabdruckdienst wurde beendet</translation>
    </message>
</context>
<context>
    <name>GlassButton</name>
    <message>
        <source>Checking…</source>
        <translation>Wird geprüft …</translation>
    </message>
</context>
<context>
    <name>GnomeShellWorkspace</name>
    <message>
        <source>The bus name %1 of Veilmark&apos;s GNOME Shell extension is held by a process other than GNOME Shell, so Veilmark does not trust what it reports.</source>
        <translation>Der Busname %1 der GNOME-Shell-Erweiterung von Veilmark gehört einem anderen Prozess als GNOME Shell, daher vertraut Veilmark ihren Angaben nicht.</translation>
    </message>
    <message>
        <source>Veilmark cannot follow its GNOME Shell extension&apos;s signals: %1</source>
        <translation>Veilmark kann den Signalen seiner GNOME-Shell-Erweiterung nicht folgen: %1</translation>
    </message>
    <message>
        <source>Veilmark&apos;s GNOME Shell extension did not list the windows: %1</source>
        <translation>Die GNOME-Shell-Erweiterung von Veilmark hat die Fenster nicht aufgelistet: %1</translation>
    </message>
    <message>
        <source>There is no session bus, so Veilmark cannot reach GNOME Shell.</source>
        <translation>Es gibt keinen Sitzungsbus, daher erreicht Veilmark GNOME Shell nicht.</translation>
    </message>
    <message>
        <source>GNOME Shell does not answer on the session bus (%1), so Veilmark cannot watch applications.</source>
        <translation>GNOME Shell antwortet nicht auf dem Sitzungsbus (%1), daher kann Veilmark keine Anwendungen beobachten.</translation>
    </message>
    <message>
        <source>Veilmark&apos;s GNOME Shell extension is installed but GNOME Shell has not loaded it yet: log out and back in, then turn on &quot;Veilmark&quot; in Extensions.</source>
        <translation>Die GNOME-Shell-Erweiterung von Veilmark ist installiert, aber GNOME Shell hat sie noch nicht geladen: Melden Sie sich ab und wieder an und schalten Sie dann „Veilmark“ unter Erweiterungen ein.</translation>
    </message>
    <message>
        <source>Veilmark&apos;s GNOME Shell extension (%1) is not installed: reinstall Veilmark, log out and back in, then turn on &quot;Veilmark&quot; in Extensions.</source>
        <translation>Die GNOME-Shell-Erweiterung von Veilmark (%1) ist nicht installiert: Installieren Sie Veilmark erneut, melden Sie sich ab und wieder an und schalten Sie dann „Veilmark“ unter Erweiterungen ein.</translation>
    </message>
    <message>
        <source>Veilmark&apos;s GNOME Shell extension is turned on but not running yet: log out and back in.</source>
        <translation>Die GNOME-Shell-Erweiterung von Veilmark ist eingeschaltet, läuft aber noch nicht: Melden Sie sich ab und wieder an.</translation>
    </message>
    <message>
        <source>Veilmark&apos;s GNOME Shell extension failed to start: %1</source>
        <translation>Die GNOME-Shell-Erweiterung von Veilmark konnte nicht starten: %1</translation>
    </message>
    <message>
        <source>Veilmark&apos;s GNOME Shell extension does not support this version of GNOME Shell.</source>
        <translation>Die GNOME-Shell-Erweiterung von Veilmark unterstützt diese Version von GNOME Shell nicht.</translation>
    </message>
    <message>
        <source>Veilmark&apos;s GNOME Shell extension is turned off: turn on &quot;Veilmark&quot; in Extensions (or run gnome-extensions enable %1).</source>
        <translation>Die GNOME-Shell-Erweiterung von Veilmark ist ausgeschaltet: Schalten Sie „Veilmark“ unter Erweiterungen ein (oder führen Sie gnome-extensions enable %1 aus).</translation>
    </message>
    <message>
        <source>Veilmark&apos;s GNOME Shell extension is not ready; log out and back in.</source>
        <translation>Die GNOME-Shell-Erweiterung von Veilmark ist nicht bereit; melden Sie sich ab und wieder an.</translation>
    </message>
    <message>
        <source>Turn On GNOME Shell Extension</source>
        <translation>GNOME-Shell-Erweiterung einschalten</translation>
    </message>
    <message>
        <source>Veilmark could not turn on its GNOME Shell extension: %1</source>
        <translation>Veilmark konnte seine GNOME-Shell-Erweiterung nicht einschalten: %1</translation>
    </message>
    <message>
        <source>GNOME Shell refused.</source>
        <translation>GNOME Shell hat abgelehnt.</translation>
    </message>
    <message>
        <source>Veilmark&apos;s GNOME Shell extension is turned on: quit and reopen Veilmark to protect applications.</source>
        <translation>Die GNOME-Shell-Erweiterung von Veilmark ist eingeschaltet: Beenden Sie Veilmark und öffnen Sie es erneut, um Anwendungen zu schützen.</translation>
    </message>
    <message>
        <source>Veilmark&apos;s GNOME Shell extension stopped (it was turned off, or GNOME Shell restarted).</source>
        <translation>Die GNOME-Shell-Erweiterung von Veilmark wurde beendet (sie wurde ausgeschaltet oder GNOME Shell neu gestartet).</translation>
    </message>
</context>
<context>
    <name>Guardian</name>
    <message>
        <source>cannot create its socket: %1</source>
        <translation>sein Socket kann nicht erstellt werden: %1</translation>
    </message>
    <message>
        <source>cannot start it: %1</source>
        <translation>er kann nicht gestartet werden: %1</translation>
    </message>
    <message>
        <source>it ended</source>
        <translation>er wurde beendet</translation>
    </message>
    <message>
        <source>it was killed by signal %1 (%2)</source>
        <translation>er wurde durch Signal %1 (%2) beendet</translation>
    </message>
    <message>
        <source>it exited with status %1</source>
        <translation>er wurde mit Status %1 beendet</translation>
    </message>
    <message>
        <source>Veilmark exited without its quit path (the display connection was lost, or it gave up on an error)</source>
        <translation>Veilmark wurde nicht regulär beendet (die Verbindung zur Anzeige ging verloren, oder ein Fehler hat es abbrechen lassen)</translation>
    </message>
    <message>
        <source>Veilmark was killed or crashed</source>
        <translation>Veilmark wurde gewaltsam beendet oder ist abgestürzt</translation>
    </message>
</context>
<context>
    <name>JsonFields</name>
    <message>
        <source>not JSON (%1 at byte %2)</source>
        <translation>kein JSON (%1 bei Byte %2)</translation>
    </message>
    <message>
        <source>%1[%2]%3 cannot be read</source>
        <translation>%1[%2]%3 kann nicht gelesen werden</translation>
    </message>
</context>
<context>
    <name>KeychainError</name>
    <message>
        <source>Keyring error %1</source>
        <translation>Schlüsselbundfehler %1</translation>
    </message>
    <message>
        <source>Could not create keyring access control.</source>
        <translation>Die Zugriffskontrolle des Schlüsselbunds konnte nicht erstellt werden.</translation>
    </message>
</context>
<context>
    <name>KeychainService</name>
    <message>
        <source>No fresh proof of presence was given.</source>
        <translation>Es wurde kein frischer Anwesenheitsnachweis erbracht.</translation>
    </message>
    <message>
        <source>The vault token is not in the keyring.</source>
        <translation>Das Tresor-Token ist nicht im Schlüsselbund.</translation>
    </message>
    <message>
        <source>No keyring is available.</source>
        <translation>Kein Schlüsselbund verfügbar.</translation>
    </message>
</context>
<context>
    <name>LayerShellSurfaces</name>
    <message>
        <source>The compositor offers no overlay layer (zwlr_layer_shell_v1)</source>
        <translation>Der Compositor bietet keine Overlay-Ebene (zwlr_layer_shell_v1)</translation>
    </message>
    <message>
        <source>The compositor offers no surfaces in shared memory</source>
        <translation>Der Compositor bietet keine Flächen im gemeinsamen Speicher</translation>
    </message>
    <message>
        <source>The compositor has no outputs</source>
        <translation>Der Compositor hat keine Bildschirme</translation>
    </message>
</context>
<context>
    <name>LibsecretStore</name>
    <message>
        <source>The keyring has no default collection.</source>
        <translation>Der Schlüsselbund hat keine Standardsammlung.</translation>
    </message>
    <message>
        <source>The keyring is locked.</source>
        <translation>Der Schlüsselbund ist gesperrt.</translation>
    </message>
    <message>
        <source>The keyring did not create the item.</source>
        <translation>Der Schlüsselbund hat den Eintrag nicht erstellt.</translation>
    </message>
    <message>
        <source>The keyring did not hand out the secret.</source>
        <translation>Der Schlüsselbund hat das Geheimnis nicht herausgegeben.</translation>
    </message>
</context>
<context>
    <name>LogindSystemEvents</name>
    <message>
        <source>Relock protected apps and folders before sleep</source>
        <translation>Geschützte Apps und Ordner vor dem Ruhezustand erneut sperren</translation>
    </message>
</context>
<context>
    <name>MainView</name>
    <message>
        <source>Apps</source>
        <translation>Apps</translation>
    </message>
    <message>
        <source>Folders</source>
        <translation>Ordner</translation>
    </message>
    <message>
        <source>Activity</source>
        <translation>Aktivität</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>About Developer</source>
        <translation>Entwickler</translation>
    </message>
    <message>
        <source>Lock Everything</source>
        <translation>Alles sperren</translation>
    </message>
    <message>
        <source>Manual lock-all</source>
        <translation>Alles manuell gesperrt</translation>
    </message>
</context>
<context>
    <name>MenuBarView</name>
    <message numerus="yes">
        <source>%n locked</source>
        <translation>
            <numerusform>%n gesperrt</numerusform>
            <numerusform>%n gesperrt</numerusform>
        </translation>
    </message>
    <message>
        <source>Nothing protected yet</source>
        <translation>Noch nichts geschützt</translation>
    </message>
    <message>
        <source>Unlock</source>
        <translation>Entsperren</translation>
    </message>
    <message>
        <source>Relock</source>
        <translation>Erneut sperren</translation>
    </message>
    <message>
        <source>Lock</source>
        <translation>Sperren</translation>
    </message>
    <message>
        <source>Unlock %1</source>
        <translation>%1 entsperren</translation>
    </message>
    <message>
        <source>Relock %1</source>
        <translation>%1 erneut sperren</translation>
    </message>
    <message>
        <source>Lock %1</source>
        <translation>%1 sperren</translation>
    </message>
    <message>
        <source>Lock All</source>
        <translation>Alles sperren</translation>
    </message>
    <message>
        <source>Open Veilmark</source>
        <translation>Veilmark öffnen</translation>
    </message>
    <message>
        <source>Quit Veilmark (protection stops)</source>
        <translation>Veilmark beenden (Schutz endet)</translation>
    </message>
    <message>
        <source>Tray lock-all</source>
        <translation>Alles über den Infobereich gesperrt</translation>
    </message>
</context>
<context>
    <name>OverlayManager</name>
    <message>
        <source>Locked — %1 required</source>
        <translation>Gesperrt — %1 erforderlich</translation>
    </message>
</context>
<context>
    <name>PamPasswordVerifier</name>
    <message>
        <source>No account password set on this computer</source>
        <translation>Für dieses Konto ist auf diesem Computer kein Passwort festgelegt</translation>
    </message>
</context>
<context>
    <name>PolicyRelock</name>
    <message>
        <source>Relocked by the guardian</source>
        <translation>Vom Wächter erneut gesperrt</translation>
    </message>
    <message>
        <source>%1 — nothing was open</source>
        <translation>%1 — nichts war geöffnet</translation>
    </message>
    <message>
        <source>%1 — relocked %2</source>
        <translation>%1 — erneut gesperrt: %2</translation>
    </message>
    <message>
        <source>Guardian relock failed</source>
        <translation>Erneutes Sperren durch den Wächter fehlgeschlagen</translation>
    </message>
    <message>
        <source>Locked from the command line</source>
        <translation>Über die Kommandozeile gesperrt</translation>
    </message>
    <message>
        <source>Lock from the command line failed</source>
        <translation>Sperren über die Kommandozeile fehlgeschlagen</translation>
    </message>
</context>
<context>
    <name>PolicySnapshot</name>
    <message>
        <source>not a policy (an object with apps, folders and settings)</source>
        <translation>keine Richtlinie (ein Objekt mit Apps, Ordnern und Einstellungen)</translation>
    </message>
    <message>
        <source>apps beyond the first %1 were left out (%2 of them)</source>
        <translation>Apps nach den ersten %1 wurden weggelassen (%2 Stück)</translation>
    </message>
    <message>
        <source>folders beyond the first %1 were left out (%2 of them)</source>
        <translation>Ordner nach den ersten %1 wurden weggelassen (%2 Stück)</translation>
    </message>
    <message>
        <source>settings cannot be read; the defaults are used</source>
        <translation>Einstellungen können nicht gelesen werden; die Standardwerte werden verwendet</translation>
    </message>
</context>
<context>
    <name>PresencePromptWindow</name>
    <message>
        <source>Veilmark is trying to %1.</source>
        <translation>Veilmark möchte %1.</translation>
    </message>
</context>
<context>
    <name>ProcessesInside</name>
    <message>
        <source>process</source>
        <translation>Prozess</translation>
    </message>
</context>
<context>
    <name>PromptAuthenticator</name>
    <message>
        <source>Too many failed fingerprint attempts</source>
        <translation>Zu viele fehlgeschlagene Fingerabdruckversuche</translation>
    </message>
    <message>
        <source>Place your finger on the reader</source>
        <translation>Legen Sie Ihren Finger auf den Leser</translation>
    </message>
    <message>
        <source>Enter your password to allow this.</source>
        <translation>Geben Sie Ihr Passwort ein, um dies zu erlauben.</translation>
    </message>
    <message>
        <source>Another prompt is open</source>
        <translation>Eine andere Abfrage ist geöffnet</translation>
    </message>
    <message numerus="yes">
        <source>%1 — %n failed attempts in a row, the next waits %2 s</source>
        <translation>
            <numerusform>%1 — %n Fehlversuch in Folge, der nächste wartet %2 s</numerusform>
            <numerusform>%1 — %n Fehlversuche in Folge, der nächste wartet %2 s</numerusform>
        </translation>
    </message>
    <message>
        <source>Checking…</source>
        <translation>Wird geprüft …</translation>
    </message>
    <message>
        <source>Wrong password</source>
        <translation>Falsches Passwort</translation>
    </message>
    <message>
        <source>Wrong password — try again</source>
        <translation>Falsches Passwort — versuchen Sie es erneut</translation>
    </message>
    <message>
        <source>Fingerprint not recognized — try again</source>
        <translation>Fingerabdruck nicht erkannt — versuchen Sie es erneut</translation>
    </message>
    <message>
        <source>Swipe was too short — try again</source>
        <translation>Wischbewegung zu kurz — versuchen Sie es erneut</translation>
    </message>
    <message>
        <source>Center your finger on the reader and try again</source>
        <translation>Legen Sie den Finger mittig auf den Leser und versuchen Sie es erneut</translation>
    </message>
    <message>
        <source>Lift your finger and try again</source>
        <translation>Heben Sie den Finger an und versuchen Sie es erneut</translation>
    </message>
    <message>
        <source>Scan your finger again</source>
        <translation>Scannen Sie Ihren Finger erneut</translation>
    </message>
    <message>
        <source>Fingerprint not recognized</source>
        <translation>Fingerabdruck nicht erkannt</translation>
    </message>
</context>
<context>
    <name>PromptPane</name>
    <message>
        <source>Password</source>
        <translation>Passwort</translation>
    </message>
    <message>
        <source>Enter Password…</source>
        <translation>Passwort eingeben …</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Unlock</source>
        <translation>Entsperren</translation>
    </message>
</context>
<context>
    <name>ProtectionChanges</name>
    <message>
        <source>Not changed — %1</source>
        <translation>Nicht geändert — %1</translation>
    </message>
    <message>
        <source>Authentication cancelled</source>
        <translation>Authentifizierung abgebrochen</translation>
    </message>
    <message>
        <source>turn off protection for %1</source>
        <translation>den Schutz für %1 ausschalten</translation>
    </message>
    <message>
        <source>Protection turned off</source>
        <translation>Schutz ausgeschaltet</translation>
    </message>
    <message>
        <source>remove protection from %1</source>
        <translation>den Schutz von %1 entfernen</translation>
    </message>
    <message>
        <source>Relock on sleep or screen lock</source>
        <translation>Bei Ruhezustand oder Bildschirmsperre erneut sperren</translation>
    </message>
    <message>
        <source>Relock apps on focus loss</source>
        <translation>Apps bei Fokusverlust erneut sperren</translation>
    </message>
    <message>
        <source>Turned on</source>
        <translation>Eingeschaltet</translation>
    </message>
    <message>
        <source>Turned off</source>
        <translation>Ausgeschaltet</translation>
    </message>
    <message>
        <source>turn off relocking when the computer sleeps or the screen locks</source>
        <translation>das erneute Sperren bei Ruhezustand oder Bildschirmsperre ausschalten</translation>
    </message>
    <message>
        <source>turn off relocking apps when they lose focus</source>
        <translation>das erneute Sperren von Apps bei Fokusverlust ausschalten</translation>
    </message>
    <message>
        <source>clear the activity log</source>
        <translation>das Aktivitätsprotokoll leeren</translation>
    </message>
    <message>
        <source>Activity log</source>
        <translation>Aktivitätsprotokoll</translation>
    </message>
    <message>
        <source>Cleared</source>
        <translation>Geleert</translation>
    </message>
    <message>
        <source>quit and stop protecting your apps and folders</source>
        <translation>beenden und Ihre Apps und Ordner nicht mehr schützen</translation>
    </message>
    <message>
        <source>Quit from the window</source>
        <translation>Über das Fenster beendet</translation>
    </message>
</context>
<context>
    <name>SettingsView</name>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>How Veilmark locks and relocks</source>
        <translation>Wie Veilmark sperrt und erneut sperrt</translation>
    </message>
    <message>
        <source>Appearance</source>
        <translation>Erscheinungsbild</translation>
    </message>
    <message>
        <source>Light, dark, or follow the system</source>
        <translation>Hell, dunkel oder wie das System</translation>
    </message>
    <message>
        <source>Relock apps when they lose focus</source>
        <translation>Apps bei Fokusverlust erneut sperren</translation>
    </message>
    <message>
        <source>Switching away from a protected app locks it again immediately</source>
        <translation>Wenn Sie eine geschützte App verlassen, wird sie sofort wieder gesperrt</translation>
    </message>
    <message>
        <source>Relock everything on sleep or screen lock</source>
        <translation>Bei Ruhezustand oder Bildschirmsperre alles sperren</translation>
    </message>
    <message>
        <source>Apps and folders relock when the computer sleeps or the screen locks</source>
        <translation>Sperrt Apps und Ordner, wenn der Computer ruht oder gesperrt wird</translation>
    </message>
    <message>
        <source>Launch Veilmark at login</source>
        <translation>Veilmark beim Anmelden starten</translation>
    </message>
    <message>
        <source>Protection starts automatically when you sign in</source>
        <translation>Der Schutz beginnt automatisch, wenn Sie sich anmelden</translation>
    </message>
    <message>
        <source>Default folder unlock window</source>
        <translation>Standard-Entsperrdauer für Ordner</translation>
    </message>
    <message>
        <source>New folders auto-relock after this many minutes</source>
        <translation>Neue Ordner sperren sich nach so vielen Minuten wieder</translation>
    </message>
    <message>
        <source>%1 min</source>
        <translation>%1 Min.</translation>
    </message>
    <message>
        <source>Authentication</source>
        <translation>Authentifizierung</translation>
    </message>
    <message>
        <source>%1 is available and will be used for every unlock.</source>
        <translation>%1 ist verfügbar und wird für jedes Entsperren verwendet.</translation>
    </message>
    <message>
        <source>No biometrics available — your account password is used as the fallback.</source>
        <translation>Keine Biometrie verfügbar — stattdessen wird Ihr Kontopasswort verwendet.</translation>
    </message>
</context>
<context>
    <name>ShieldView</name>
    <message>
        <source>Unlock</source>
        <translation>Entsperren</translation>
    </message>
    <message>
        <source>Enter Password</source>
        <translation>Passwort eingeben</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>SingleInstance</name>
    <message>
        <source>no session bus (%1); a second launch cannot find this one</source>
        <translation>kein Sitzungsbus (%1); ein zweiter Start kann diese Instanz nicht finden</translation>
    </message>
    <message>
        <source>the session bus refused the name %1: %2</source>
        <translation>der Sitzungsbus hat den Namen %1 verweigert: %2</translation>
    </message>
    <message>
        <source>%1 belongs to another process (pid %2) that did not answer as Veilmark does (%3); running without the name</source>
        <translation>%1 gehört einem anderen Prozess (PID %2), der nicht wie Veilmark antwortete (%3); Veilmark läuft ohne den Namen</translation>
    </message>
    <message>
        <source>unknown</source>
        <translation>unbekannt</translation>
    </message>
    <message>
        <source>an unexpected reply</source>
        <translation>eine unerwartete Antwort</translation>
    </message>
</context>
<context>
    <name>StatusReport</name>
    <message>
        <source>Off</source>
        <translation>Aus</translation>
    </message>
    <message>
        <source>Not watched — this session cannot hide applications</source>
        <translation>Nicht überwacht — diese Sitzung kann keine Anwendungen verbergen</translation>
    </message>
    <message>
        <source>Unlocked</source>
        <translation>Entsperrt</translation>
    </message>
    <message>
        <source>Locked</source>
        <translation>Gesperrt</translation>
    </message>
    <message>
        <source>Not watched — Veilmark is not running</source>
        <translation>Nicht überwacht — Veilmark läuft nicht</translation>
    </message>
    <message>
        <source>KIND</source>
        <translation>ART</translation>
    </message>
    <message>
        <source>NAME</source>
        <translation>NAME</translation>
    </message>
    <message>
        <source>STATE</source>
        <translation>ZUSTAND</translation>
    </message>
    <message>
        <source>SESSION ENDS</source>
        <translation>SITZUNGSENDE</translation>
    </message>
    <message>
        <source>PATH</source>
        <translation>PFAD</translation>
    </message>
    <message>
        <source>app</source>
        <translation>App</translation>
    </message>
    <message>
        <source>folder</source>
        <translation>Ordner</translation>
    </message>
    <message>
        <source>Veilmark is not running: folders probed on disk, from the stored policy.</source>
        <translation>Veilmark läuft nicht: Ordner auf der Festplatte geprüft, anhand der gespeicherten Richtlinie.</translation>
    </message>
    <message>
        <source>Nothing is protected.</source>
        <translation>Nichts ist geschützt.</translation>
    </message>
    <message>
        <source>cannot read all of %1: %2</source>
        <translation>%1 kann nicht vollständig gelesen werden: %2</translation>
    </message>
</context>
<context>
    <name>Stepper</name>
    <message>
        <source>Decrease %1</source>
        <translation>%1 verringern</translation>
    </message>
    <message>
        <source>Increase %1</source>
        <translation>%1 erhöhen</translation>
    </message>
</context>
<context>
    <name>VeilmarkBus</name>
    <message>
        <source>Command-line lock-all</source>
        <translation>Alles über die Kommandozeile gesperrt</translation>
    </message>
</context>
<context>
    <name>WaylandConnection</name>
    <message>
        <source>No Wayland display is set (WAYLAND_DISPLAY is empty)</source>
        <translation>Kein Wayland-Display gesetzt (WAYLAND_DISPLAY ist leer)</translation>
    </message>
    <message>
        <source>Cannot connect to the Wayland display %1: %2</source>
        <translation>Keine Verbindung zum Wayland-Display %1: %2</translation>
    </message>
    <message>
        <source>The compositor ended the connection: protocol error %1 on %2</source>
        <translation>Der Compositor hat die Verbindung beendet: Protokollfehler %1 an %2</translation>
    </message>
    <message>
        <source>The connection to the compositor was lost: %1</source>
        <translation>Die Verbindung zum Compositor ist verloren: %1</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>App quit</source>
        <translation>App beendet</translation>
    </message>
    <message>
        <source>Running without the single-instance name</source>
        <translation>Läuft ohne den Einzelinstanz-Namen</translation>
    </message>
    <message>
        <source>Guardian not started</source>
        <translation>Wächter nicht gestartet</translation>
    </message>
    <message>
        <source>%1 — after a SIGKILL, unlocked folders stay open until Veilmark starts again</source>
        <translation>%1 — nach einem SIGKILL bleiben entsperrte Ordner offen, bis Veilmark wieder startet</translation>
    </message>
    <message>
        <source>Guardian ended</source>
        <translation>Wächter beendet</translation>
    </message>
    <message>
        <source>App protection is off: Veilmark cannot connect to the Wayland compositor (%1).</source>
        <translation>App-Schutz ist aus: Veilmark kann sich nicht mit dem Wayland-Compositor verbinden (%1).</translation>
    </message>
    <message>
        <source>App protection is off: KWin shows its windows only to programs that an installed desktop entry names, and none names %1. Start the installed Veilmark; after installing it, log out and in once.</source>
        <translation>App-Schutz ist aus: KWin zeigt seine Fenster nur Programmen, die ein installierter Desktop-Eintrag nennt, und keiner nennt %1. Starten Sie das installierte Veilmark; melden Sie sich nach der Installation einmal ab und wieder an.</translation>
    </message>
    <message>
        <source>App protection is off: this compositor offers no way to watch and hide other applications&apos; windows.</source>
        <translation>App-Schutz ist aus: Dieser Compositor bietet keine Möglichkeit, Fenster anderer Anwendungen zu beobachten und auszublenden.</translation>
    </message>
    <message>
        <source>App protection is off: this compositor cannot keep Veilmark&apos;s shield above other windows (it offers no layer shell).</source>
        <translation>App-Schutz ist aus: Dieser Compositor kann Veilmarks Schutzschild nicht über anderen Fenstern halten (er bietet keine Layer-Shell).</translation>
    </message>
    <message>
        <source>App protection is off: Veilmark cannot connect to the X server.</source>
        <translation>App-Schutz ist aus: Veilmark kann sich nicht mit dem X-Server verbinden.</translation>
    </message>
</context>
</TS>
