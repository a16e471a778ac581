<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
<context>
    <name>AboutView</name>
    <message>
        <source>About Developer</source>
        <translation>À propos des développeurs</translation>
    </message>
    <message>
        <source>Who builds Veilmark</source>
        <translation>Qui développe Veilmark</translation>
    </message>
    <message>
        <source>Company</source>
        <translation>Société</translation>
    </message>
    <message>
        <source>Developer</source>
        <translation>Développeur</translation>
    </message>
    <message>
        <source>The Veilmark developers</source>
        <translation>Les développeurs de Veilmark</translation>
    </message>
    <message>
        <source>Role</source>
        <translation>Rôle</translation>
    </message>
    <message>
        <source>Open-source maintainers</source>
        <translation>Mainteneurs open source</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1&#xa0;: %2</translation>
    </message>
    <message>
        <source>Version %1 — Fingerprint and password protection for apps and folders</source>
        <translation>Version %1 — Protection des apps et des dossiers par empreinte digitale et mot de passe</translation>
    </message>
</context>
<context>
    <name>AccessControlLock</name>
    <message>
        <source>still accessible after locking</source>
        <translation>toujours accessible après le verrouillage</translation>
    </message>
    <message>
        <source>still locked after unlocking</source>
        <translation>toujours verrouillé après le déverrouillage</translation>
    </message>
</context>
<context>
    <name>ActivityView</name>
    <message>
        <source>Activity</source>
        <translation>Activité</translation>
    </message>
    <message>
        <source>Every lock, unlock and failed attempt — stored locally only</source>
        <translation>Chaque verrouillage, déverrouillage et tentative échouée — stockés uniquement sur cet appareil</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Vider</translation>
    </message>
    <message>
        <source>Nothing yet</source>
        <translation>Rien pour l’instant</translation>
    </message>
    <message>
        <source>Lock and unlock events will appear here.</source>
        <translation>Les verrouillages et déverrouillages apparaîtront ici.</translation>
    </message>
</context>
<context>
    <name>AppChooser</name>
    <message>
        <source>Choose an application to protect</source>
        <translation>Choisissez une application à protéger</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Rechercher</translation>
    </message>
    <message>
        <source>Search applications</source>
        <translation>Rechercher des applications</translation>
    </message>
</context>
<context>
    <name>AppProtectionEngine</name>
    <message>
        <source>Lost focus</source>
        <translation>Focus perdu</translation>
    </message>
    <message>
        <source>Authenticating…</source>
        <translation>Authentification…</translation>
    </message>
    <message>
        <source>Unlock cancelled</source>
        <translation>Déverrouillage annulé</translation>
    </message>
    <message>
        <source>unlock %1</source>
        <translation>déverrouiller %1</translation>
    </message>
    <message>
        <source>App lock failed</source>
        <translation>Échec du verrouillage de l’app</translation>
    </message>
    <message>
        <source>App unlock failed</source>
        <translation>Échec du déverrouillage de l’app</translation>
    </message>
    <message>
        <source>Locked</source>
        <translation>Verrouillé</translation>
    </message>
    <message>
        <source>Manual relock</source>
        <translation>Reverrouillage manuel</translation>
    </message>
    <message>
        <source>All apps</source>
        <translation>Toutes les apps</translation>
    </message>
    <message>
        <source>Can&apos;t protect app</source>
        <translation>Impossible de protéger l’app</translation>
    </message>
    <message>
        <source>%1: no more than %2 apps can be protected.</source>
        <translation>%1&#xa0;: impossible de protéger plus de %2 apps.</translation>
    </message>
    <message>
        <source>Protection removed</source>
        <translation>Protection retirée</translation>
    </message>
</context>
<context>
    <name>AppRow</name>
    <message>
        <source>Unlocked</source>
        <translation>Déverrouillé</translation>
    </message>
    <message>
        <source>Locked</source>
        <translation>Verrouillé</translation>
    </message>
    <message>
        <source>Relock</source>
        <translation>Reverrouiller</translation>
    </message>
    <message>
        <source>Relock %1</source>
        <translation>Reverrouiller %1</translation>
    </message>
    <message>
        <source>Unlock</source>
        <translation>Déverrouiller</translation>
    </message>
    <message>
        <source>Unlock %1</source>
        <translation>Déverrouiller %1</translation>
    </message>
    <message>
        <source>Protect %1</source>
        <translation>Protéger %1</translation>
    </message>
    <message>
        <source>Remove protection (unlocks the app)</source>
        <translation>Retirer la protection (déverrouille l’app)</translation>
    </message>
    <message>
        <source>Remove protection from %1</source>
        <translation>Retirer la protection de %1</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Désactivé</translation>
    </message>
    <message>
        <source>Not watched</source>
        <translation>Non surveillé</translation>
    </message>
</context>
<context>
    <name>AppState</name>
    <message numerus="yes">
        <source>%1 and %n more</source>
        <comment>problems of a document</comment>
        <translation>
            <numerusform>%1 et %n autre</numerusform>
            <numerusform>%1 et %n autres</numerusform>
        </translation>
    </message>
    <message>
        <source>%1: %2 — the original is kept as %3</source>
        <translation>%1&#xa0;: %2 — l’original est conservé sous le nom %3</translation>
    </message>
    <message>
        <source>%1: %2 — it could not be moved aside (%3), so it is left as it is and %4</source>
        <translation>%1&#xa0;: %2 — impossible de le mettre de côté (%3)&#xa0;; il est laissé tel quel et %4</translation>
    </message>
    <message>
        <source>Policy unreadable</source>
        <translation>Configuration de protection illisible</translation>
    </message>
    <message>
        <source>changes are not saved</source>
        <translation>les modifications ne sont pas enregistrées</translation>
    </message>
    <message>
        <source>Activity log unreadable</source>
        <translation>Journal d’activité illisible</translation>
    </message>
    <message>
        <source>activity is not saved</source>
        <translation>l’activité n’est pas enregistrée</translation>
    </message>
    <message>
        <source>Policy not saved</source>
        <translation>Configuration de protection non enregistrée</translation>
    </message>
    <message>
        <source>%1 — changes are kept and saved again with the next change</source>
        <translation>%1 — les modifications sont conservées et enregistrées à nouveau lors de la prochaine modification</translation>
    </message>
    <message>
        <source>%1 could not be read — the original is kept as %2</source>
        <translation>%1 n’a pas pu être lu — l’original est conservé sous le nom %2</translation>
    </message>
    <message>
        <source>%1 could not be read or moved aside — changes are not saved: %2</source>
        <translation>%1 n’a pu être ni lu ni mis de côté — les modifications ne sont pas enregistrées&#xa0;: %2</translation>
    </message>
    <message>
        <source>Changes are not saved: %1</source>
        <translation>Les modifications ne sont pas enregistrées&#xa0;: %1</translation>
    </message>
    <message>
        <source>%1 could not be read or moved aside — activity is not saved: %2</source>
        <translation>%1 n’a pu être ni lu ni mis de côté — l’activité n’est pas enregistrée&#xa0;: %2</translation>
    </message>
    <message>
        <source>Computer going to sleep</source>
        <translation>Mise en veille de l’ordinateur</translation>
    </message>
    <message>
        <source>User session switched</source>
        <translation>Changement de session utilisateur</translation>
    </message>
    <message>
        <source>Screen locked</source>
        <translation>Écran verrouillé</translation>
    </message>
    <message>
        <source>Launch at Login</source>
        <translation>Lancer à l’ouverture de session</translation>
    </message>
    <message>
        <source>App protection unavailable</source>
        <translation>Protection des apps indisponible</translation>
    </message>
</context>
<context>
    <name>AppearancePicker</name>
    <message>
        <source>System</source>
        <translation>Système</translation>
    </message>
    <message>
        <source>Light</source>
        <translation>Clair</translation>
    </message>
    <message>
        <source>Dark</source>
        <translation>Sombre</translation>
    </message>
    <message>
        <source>Appearance %1</source>
        <translation>Apparence %1</translation>
    </message>
</context>
<context>
    <name>AppsView</name>
    <message>
        <source>Protected Apps</source>
        <translation>Apps protégées</translation>
    </message>
    <message>
        <source>Apps stay hidden behind glass until you prove it&apos;s you</source>
        <translation>Les apps restent cachées derrière le verre jusqu’à ce que vous prouviez votre identité</translation>
    </message>
    <message>
        <source>Add App</source>
        <translation>Ajouter une app</translation>
    </message>
    <message>
        <source>No protected apps yet</source>
        <translation>Aucune app protégée pour l’instant</translation>
    </message>
    <message>
        <source>Add an app and it will instantly hide and blur whenever it opens, until you unlock it with your fingerprint or password.</source>
        <translation>Ajoutez une app&#xa0;: dès qu’elle s’ouvre, elle est aussitôt masquée et floutée, jusqu’à ce que vous la déverrouilliez avec votre empreinte digitale ou votre mot de passe.</translation>
    </message>
    <message>
        <source>%1 Folders, activity and settings work as usual.</source>
        <translation>%1 Les dossiers, l’activité et les réglages fonctionnent normalement.</translation>
    </message>
</context>
<context>
    <name>AttemptBackoff</name>
    <message>
        <source>Try again in 1 second</source>
        <translation>Réessayez dans 1 seconde</translation>
    </message>
    <message numerus="yes">
        <source>Try again in %n seconds</source>
        <translation>
            <numerusform>Réessayez dans %n seconde</numerusform>
            <numerusform>Réessayez dans %n secondes</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Try again in %n minutes</source>
        <translation>
            <numerusform>Réessayez dans %n minute</numerusform>
            <numerusform>Réessayez dans %n minutes</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>AuthenticationService</name>
    <message>
        <source>Fingerprint</source>
        <translation>Empreinte digitale</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Mot de passe</translation>
    </message>
    <message>
        <source>Fingerprint not recognized — try again</source>
        <translation>Empreinte non reconnue — réessayez</translation>
    </message>
    <message>
        <source>Password not accepted — try again</source>
        <translation>Mot de passe refusé — réessayez</translation>
    </message>
    <message>
        <source>No account password set on this computer</source>
        <translation>Aucun mot de passe de compte n’est défini sur cet ordinateur</translation>
    </message>
    <message>
        <source>Fingerprint unavailable — use your password</source>
        <translation>Empreinte digitale indisponible — utilisez votre mot de passe</translation>
    </message>
    <message>
        <source>No fingerprints enrolled — set one up in Settings</source>
        <translation>Aucune empreinte enregistrée — configurez-en une dans les Paramètres</translation>
    </message>
    <message>
        <source>Fingerprint locked — use your password</source>
        <translation>Empreinte digitale bloquée — utilisez votre mot de passe</translation>
    </message>
    <message>
        <source>Authentication failed</source>
        <translation>Échec de l’authentification</translation>
    </message>
</context>
<context>
    <name>ChoiceRow</name>
    <message>
        <source>Open %1</source>
        <translation>Ouvrir %1</translation>
    </message>
</context>
<context>
    <name>ChooserFrame</name>
    <message>
        <source>Add</source>
        <translation>Ajouter</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>veilmark --lock-all while Veilmark was not running</source>
        <translation>veilmark --lock-all alors que Veilmark ne tournait pas</translation>
    </message>
    <message>
        <source>could not lock %1</source>
        <translation>impossible de verrouiller&#xa0;: %1</translation>
    </message>
    <message>
        <source>Everything protected was already locked.</source>
        <translation>Tout ce qui est protégé était déjà verrouillé.</translation>
    </message>
    <message>
        <source>Locked %1.</source>
        <translation>Verrouillé&#xa0;: %1.</translation>
    </message>
    <message>
        <source>the running Veilmark did not answer (%1); locking from the stored policy</source>
        <translation>le Veilmark en cours n’a pas répondu (%1) — verrouillage d’après la configuration enregistrée</translation>
    </message>
    <message>
        <source>asked Veilmark to lock everything, but it did not say what is locked</source>
        <translation>Veilmark a reçu la demande de tout verrouiller, mais n’a pas indiqué ce qui est verrouillé</translation>
    </message>
    <message>
        <source>Everything protected is locked.</source>
        <translation>Tout ce qui est protégé est verrouillé.</translation>
    </message>
    <message>
        <source>the running Veilmark answered with an unreadable status</source>
        <translation>le Veilmark en cours a répondu par un état illisible</translation>
    </message>
    <message>
        <source>the running Veilmark did not answer (%1); showing the stored policy</source>
        <translation>le Veilmark en cours n’a pas répondu (%1) — affichage de la configuration enregistrée</translation>
    </message>
    <message>
        <source>Keeps chosen apps and folders locked until you prove it&apos;s you.

Exit status:
  0  done
  1  something protected could not be locked, or the stored policy could not be read
  2  wrong usage
  3  a running Veilmark did not answer (--lock-all then locks from the stored policy)</source>
        <translation>Garde les apps et dossiers choisis verrouillés jusqu’à ce que vous prouviez votre identité.

Code de sortie&#xa0;:
  0  terminé
  1  un élément protégé n’a pas pu être verrouillé, ou la configuration enregistrée n’a pas pu être lue
  2  mauvaise utilisation
  3  un Veilmark en cours n’a pas répondu (--lock-all verrouille alors d’après la configuration enregistrée)</translation>
    </message>
    <message>
        <source>Lock every protected app and folder now. With Veilmark not running, lock every protected folder from the stored policy.</source>
        <translation>Verrouiller maintenant toutes les apps et tous les dossiers protégés. Si Veilmark ne tourne pas, verrouiller tous les dossiers protégés d’après la configuration enregistrée.</translation>
    </message>
    <message>
        <source>Show every protected app and folder with its state and the end of its unlock session.</source>
        <translation>Afficher chaque app et dossier protégé avec son état et la fin de sa session de déverrouillage.</translation>
    </message>
    <message>
        <source>With --status: print JSON for scripts instead of a table.</source>
        <translation>Avec --status&#xa0;: afficher du JSON pour les scripts au lieu d’un tableau.</translation>
    </message>
    <message>
        <source>Start in the tray without opening the window.</source>
        <translation>Démarrer dans la zone de notification sans ouvrir la fenêtre.</translation>
    </message>
    <message>
        <source>%1 See veilmark --help.</source>
        <translation>%1 Voir veilmark --help.</translation>
    </message>
    <message>
        <source>--json goes with --status; see veilmark --help</source>
        <translation>--json s’utilise avec --status — voir veilmark --help</translation>
    </message>
    <message>
        <source>unexpected argument %1; see veilmark --help</source>
        <translation>argument inattendu %1 — voir veilmark --help</translation>
    </message>
    <message>
        <source>give one of --lock-all, --status and --background; see veilmark --help</source>
        <translation>indiquez une seule option parmi --lock-all, --status et --background — voir veilmark --help</translation>
    </message>
    <message>
        <source>--background takes no other option; see veilmark --help</source>
        <translation>--background n’accepte aucune autre option — voir veilmark --help</translation>
    </message>
</context>
<context>
    <name>DocumentFile</name>
    <message>
        <source>it is a symbolic link</source>
        <translation>c’est un lien symbolique</translation>
    </message>
    <message>
        <source>it is not a regular file</source>
        <translation>ce n’est pas un fichier ordinaire</translation>
    </message>
    <message>
        <source>it is larger than %1 MiB</source>
        <translation>il dépasse %1 Mio</translation>
    </message>
</context>
<context>
    <name>EventLog</name>
    <message>
        <source>not a list of events</source>
        <translation>pas une liste d’événements</translation>
    </message>
</context>
<context>
    <name>FileSecretStore</name>
    <message>
        <source>Could not read %1.</source>
        <translation>Impossible de lire %1.</translation>
    </message>
</context>
<context>
    <name>FolderChooser</name>
    <message>
        <source>Choose a folder to protect</source>
        <translation>Choisissez un dossier à protéger</translation>
    </message>
    <message>
        <source>Pick a folder inside your home folder. It will be locked immediately.</source>
        <translation>Choisissez un dossier dans votre dossier personnel. Il sera verrouillé immédiatement.</translation>
    </message>
    <message>
        <source>Enclosing folder</source>
        <translation>Dossier parent</translation>
    </message>
</context>
<context>
    <name>FolderLocations</name>
    <message>
        <source>nothing is at %1</source>
        <translation>il n’y a plus rien à %1</translation>
    </message>
    <message>
        <source>a link or a file is at %1</source>
        <translation>un lien ou un fichier se trouve à %1</translation>
    </message>
    <message>
        <source>it belongs to another user</source>
        <translation>il appartient à un autre utilisateur</translation>
    </message>
    <message>
        <source>another folder is at %1</source>
        <translation>un autre dossier se trouve à %1</translation>
    </message>
    <message>
        <source>it now leads to %1</source>
        <translation>il mène désormais à %1</translation>
    </message>
</context>
<context>
    <name>FolderProtectionEngine</name>
    <message>
        <source>Can&apos;t protect folder</source>
        <translation>Impossible de protéger le dossier</translation>
    </message>
    <message>
        <source>%1 is a system or already-protected location.</source>
        <translation>%1 est un emplacement système ou déjà protégé.</translation>
    </message>
    <message>
        <source>%1: no more than %2 folders can be protected.</source>
        <translation>%1&#xa0;: impossible de protéger plus de %2 dossiers.</translation>
    </message>
    <message>
        <source>%1 is a symbolic link, not a folder — add the folder it leads to.</source>
        <translation>%1 est un lien symbolique, pas un dossier — ajoutez le dossier vers lequel il mène.</translation>
    </message>
    <message>
        <source>%1 belongs to another user; only your own folders can be locked.</source>
        <translation>%1 appartient à un autre utilisateur — seuls vos propres dossiers peuvent être verrouillés.</translation>
    </message>
    <message>
        <source>%1 is on a %2 file system, whose permissions cannot lock it.</source>
        <translation>%1 se trouve sur un système de fichiers %2, dont les permissions ne permettent pas de le verrouiller.</translation>
    </message>
    <message>
        <source>Added and locked</source>
        <translation>Ajouté et verrouillé</translation>
    </message>
    <message>
        <source>Locked</source>
        <translation>Verrouillé</translation>
    </message>
    <message>
        <source>unlock the folder “%1”</source>
        <translation>déverrouiller le dossier «&#xa0;%1&#xa0;»</translation>
    </message>
    <message>
        <source>Authentication cancelled</source>
        <translation>Authentification annulée</translation>
    </message>
    <message>
        <source>Unlocked for %1 min</source>
        <translation>Déverrouillé pour %1 min</translation>
    </message>
    <message>
        <source>Protection removed</source>
        <translation>Protection retirée</translation>
    </message>
    <message>
        <source>Unlock session expired</source>
        <translation>Session de déverrouillage expirée</translation>
    </message>
    <message>
        <source>Folders relocked</source>
        <translation>Dossiers reverrouillés</translation>
    </message>
    <message numerus="yes">
        <source>%n folders</source>
        <translation>
            <numerusform>%n dossier</numerusform>
            <numerusform>%n dossiers</numerusform>
        </translation>
    </message>
    <message>
        <source>Relocked at launch — unlock session did not survive quit</source>
        <translation>Reverrouillé au lancement — la session de déverrouillage ne survit pas à la fermeture</translation>
    </message>
    <message>
        <source>Permissions changed outside Veilmark</source>
        <translation>Permissions modifiées en dehors de Veilmark</translation>
    </message>
    <message>
        <source>Folder lock failed</source>
        <translation>Échec du verrouillage du dossier</translation>
    </message>
    <message>
        <source>Folder unlock failed</source>
        <translation>Échec du déverrouillage du dossier</translation>
    </message>
    <message>
        <source>Its remembered permissions would have shut you out; restored read, write and search instead</source>
        <translation>Les permissions mémorisées vous auraient bloqué l’accès — lecture, écriture et parcours ont été rétablis à la place</translation>
    </message>
    <message>
        <source>it can be opened</source>
        <translation>il peut être ouvert</translation>
    </message>
    <message numerus="yes">
        <source>%1 and %n more</source>
        <comment>processes</comment>
        <translation>
            <numerusform>%1 et %n autre</numerusform>
            <numerusform>%1 et %n autres</numerusform>
        </translation>
    </message>
    <message>
        <source>Still open in %1 — they keep access until they leave it</source>
        <translation>Encore ouvert dans %1 — ils gardent l’accès jusqu’à ce qu’ils le quittent</translation>
    </message>
</context>
<context>
    <name>FolderRow</name>
    <message>
        <source>Lock</source>
        <translation>Verrouiller</translation>
    </message>
    <message>
        <source>Lock %1</source>
        <translation>Verrouiller %1</translation>
    </message>
    <message>
        <source>Unlock</source>
        <translation>Déverrouiller</translation>
    </message>
    <message>
        <source>Unlock %1</source>
        <translation>Déverrouiller %1</translation>
    </message>
    <message>
        <source>Remove protection (unlocks the folder)</source>
        <translation>Retirer la protection (déverrouille le dossier)</translation>
    </message>
    <message>
        <source>Remove protection from %1</source>
        <translation>Retirer la protection de %1</translation>
    </message>
</context>
<context>
    <name>FolderStatus</name>
    <message>
        <source>Locked</source>
        <translation>Verrouillé</translation>
    </message>
    <message>
        <source>Unlocked</source>
        <translation>Déverrouillé</translation>
    </message>
    <message>
        <source>Missing</source>
        <translation>Introuvable</translation>
    </message>
    <message>
        <source>Moved or replaced</source>
        <translation>Déplacé ou remplacé</translation>
    </message>
    <message>
        <source>Not yours</source>
        <translation>Ne vous appartient pas</translation>
    </message>
    <message>
        <source>Lock failed</source>
        <translation>Échec du verrouillage</translation>
    </message>
</context>
<context>
    <name>FoldersView</name>
    <message>
        <source>Protected Folders</source>
        <translation>Dossiers protégés</translation>
    </message>
    <message>
        <source>Locked folders stay put but can&apos;t be opened until you unlock them</source>
        <translation>Les dossiers verrouillés restent en place mais ne s’ouvrent qu’après déverrouillage</translation>
    </message>
    <message>
        <source>Add Folder</source>
        <translation>Ajouter un dossier</translation>
    </message>
    <message>
        <source>No protected folders yet</source>
        <translation>Aucun dossier protégé pour l’instant</translation>
    </message>
    <message>
        <source>Add a folder and it stays exactly where it is — locked and unopenable, shown with a no-access badge, until you unlock it with your fingerprint or password. Your files are never moved.</source>
        <translation>Ajoutez un dossier&#xa0;: il reste exactement à sa place — verrouillé, impossible à ouvrir et marqué d’un badge d’accès interdit, jusqu’à ce que vous le déverrouilliez avec votre empreinte digitale ou votre mot de passe. Vos fichiers ne sont jamais déplacés.</translation>
    </message>
</context>
<context>
    <name>FprintdVerifier</name>
    <message>
        <source>Fingerprint reader error</source>
        <translation>Erreur du lecteur d’empreintes</translation>
    </message>
    <message>
        <source>No system bus</source>
        <translation>Pas de bus système</translation>
    </message>
    <message>
        <source>The fingerprint reader was disconnected</source>
        <translation>Le lecteur d’empreintes a été déconnecté</translation>
    </message>
    <message>
        <source>The fingerprint service stopped</source>
        <translation>Le service d’empreintes s’est arrêté</translation>
    </message>
</context>
<context>
    <name>GlassButton</name>
    <message>
        <source>Checking…</source>
        <translation>Vérification…</translation>
    </message>
</context>
<context>
    <name>GnomeShellWorkspace</name>
    <message>
        <source>The bus name %1 of Veilmark&apos;s GNOME Shell extension is held by a process other than GNOME Shell, so Veilmark does not trust what it reports.</source>
        <translation>Le nom de bus %1 de l’extension GNOME Shell de Veilmark est détenu par un autre processus que GNOME Shell : Veilmark ne se fie donc pas à ce qu’il indique.</translation>
    </message>
    <message>
        <source>Veilmark cannot follow its GNOME Shell extension&apos;s signals: %1</source>
        <translation>Veilmark ne peut pas suivre les signaux de son extension GNOME Shell : %1</translation>
    </message>
    <message>
        <source>Veilmark&apos;s GNOME Shell extension did not list the windows: %1</source>
        <translation>L’extension GNOME Shell de Veilmark n’a pas listé les fenêtres : %1</translation>
    </message>
    <message>
        <source>There is no session bus, so Veilmark cannot reach GNOME Shell.</source>
        <translation>Il n’y a pas de bus de session : Veilmark ne peut donc pas joindre GNOME Shell.</translation>
    </message>
    <message>
        <source>GNOME Shell does not answer on the session bus (%1), so Veilmark cannot watch applications.</source>
        <translation>GNOME Shell ne répond pas sur le bus de session (%1) : Veilmark ne peut donc pas surveiller les applications.</translation>
    </message>
    <message>
        <source>Veilmark&apos;s GNOME Shell extension is installed but GNOME Shell has not loaded it yet: log out and back in, then turn on &quot;Veilmark&quot; in Extensions.</source>
        <translation>L’extension GNOME Shell de Veilmark est installée, mais GNOME Shell ne l’a pas encore chargée : fermez la session et rouvrez-la, puis activez « Veilmark » dans Extensions.</translation>
    </message>
    <message>
        <source>Veilmark&apos;s GNOME Shell extension (%1) is not installed: reinstall Veilmark, log out and back in, then turn on &quot;Veilmark&quot; in Extensions.</source>
        <translation>L’extension GNOME Shell de Veilmark (%1) n’est pas installée : réinstallez Veilmark, fermez la session et rouvrez-la, puis activez « Veilmark » dans Extensions.</translation>
    </message>
    <message>
        <source>Veilmark&apos;s GNOME Shell extension is turned on but not running yet: log out and back in.</source>
        <translation>L’extension GNOME Shell de Veilmark est activée mais ne tourne pas encore : fermez la session et rouvrez-la.</translation>
    </message>
    <message>
        <source>Veilmark&apos;s GNOME Shell extension failed to start: %1</source>
        <translation>L’extension GNOME Shell de Veilmark n’a pas pu démarrer : %1</translation>
    </message>
    <message>
        <source>Veilmark&apos;s GNOME Shell extension does not support this version of GNOME Shell.</source>
        <translation>L’extension GNOME Shell de Veilmark ne prend pas en charge cette version de GNOME Shell.</translation>
    </message>
    <message>
        <source>Veilmark&apos;s GNOME Shell extension is turned off: turn on &quot;Veilmark&quot; in Extensions (or run gnome-extensions enable %1).</source>
        <translation>L’extension GNOME Shell de Veilmark est désactivée : activez « Veilmark » dans Extensions (ou lancez gnome-extensions enable %1).</translation>
    </message>
    <message>
        <source>Veilmark&apos;s GNOME Shell extension is not ready; log out and back in.</source>
        <translation>L’extension GNOME Shell de Veilmark n’est pas prête ; fermez la session et rouvrez-la.</translation>
    </message>
    <message>
        <source>Turn On GNOME Shell Extension</source>
        <translation>Activer l’extension GNOME Shell</translation>
    </message>
    <message>
        <source>Veilmark could not turn on its GNOME Shell extension: %1</source>
        <translation>Veilmark n’a pas pu activer son extension GNOME Shell : %1</translation>
    </message>
    <message>
        <source>GNOME Shell refused.</source>
        <translation>GNOME Shell a refusé.</translation>
    </message>
    <message>
        <source>Veilmark&apos;s GNOME Shell extension is turned on: quit and reopen Veilmark to protect applications.</source>
        <translation>L’extension GNOME Shell de Veilmark est activée : quittez et rouvrez Veilmark pour protéger les applications.</translation>
    </message>
    <message>
        <source>Veilmark&apos;s GNOME Shell extension stopped (it was turned off, or GNOME Shell restarted).</source>
        <translation>L’extension GNOME Shell de Veilmark s’est arrêtée (elle a été désactivée, ou GNOME Shell a redémarré).</translation>
    </message>
</context>
<context>
    <name>Guardian</name>
    <message>
        <source>cannot create its socket: %1</source>
        <translation>impossible de créer son socket&#xa0;: %1</translation>
    </message>
    <message>
        <source>cannot start it: %1</source>
        <translation>impossible de le démarrer&#xa0;: %1</translation>
    </message>
    <message>
        <source>it ended</source>
        <translation>il s’est terminé</translation>
    </message>
    <message>
        <source>it was killed by signal %1 (%2)</source>
        <translation>il a été tué par le signal %1 (%2)</translation>
    </message>
    <message>
        <source>it exited with status %1</source>
        <translation>il s’est terminé avec le code %1</translation>
    </message>
    <message>
        <source>Veilmark exited without its quit path (the display connection was lost, or it gave up on an error)</source>
        <translation>Veilmark s’est arrêté sans passer par sa fermeture normale (connexion à l’affichage perdue, ou abandon sur erreur)</translation>
    </message>
    <message>
        <source>Veilmark was killed or crashed</source>
        <translation>Veilmark a été tué ou a planté</translation>
    </message>
</context>
<context>
    <name>JsonFields</name>
    <message>
        <source>not JSON (%1 at byte %2)</source>
        <translation>pas du JSON (%1 à l’octet %2)</translation>
    </message>
    <message>
        <source>%1[%2]%3 cannot be read</source>
        <translation>%1[%2]%3 ne peut pas être lu</translation>
    </message>
</context>
<context>
    <name>KeychainError</name>
    <message>
        <source>Keyring error %1</source>
        <translation>Erreur du trousseau %1</translation>
    </message>
    <message>
        <source>Could not create keyring access control.</source>
        <translation>Impossible de créer le contrôle d’accès du trousseau.</translation>
    </message>
</context>
<context>
    <name>KeychainService</name>
    <message>
        <source>No fresh proof of presence was given.</source>
        <translation>Aucune preuve de présence récente n’a été fournie.</translation>
    </message>
    <message>
        <source>The vault token is not in the keyring.</source>
        <translation>Le jeton du coffre n’est pas dans le trousseau.</translation>
    </message>
    <message>
        <source>No keyring is available.</source>
        <translation>Aucun trousseau n’est disponible.</translation>
    </message>
</context>
<context>
    <name>LayerShellSurfaces</name>
    <message>
        <source>The compositor offers no overlay layer (zwlr_layer_shell_v1)</source>
        <translation>Le compositeur n’offre pas de couche de superposition (zwlr_layer_shell_v1)</translation>
    </message>
    <message>
        <source>The compositor offers no surfaces in shared memory</source>
        <translation>Le compositeur n’offre pas de surfaces en mémoire partagée</translation>
    </message>
    <message>
        <source>The compositor has no outputs</source>
        <translation>Le compositeur n’a aucun écran</translation>
    </message>
</context>
<context>
    <name>LibsecretStore</name>
    <message>
        <source>The keyring has no default collection.</source>
        <translation>Le trousseau n’a pas de collection par défaut.</translation>
    </message>
    <message>
        <source>The keyring is locked.</source>
        <translation>Le trousseau est verrouillé.</translation>
    </message>
    <message>
        <source>The keyring did not create the item.</source>
        <translation>Le trousseau n’a pas créé l’élément.</translation>
    </message>
    <message>
        <source>The keyring did not hand out the secret.</source>
        <translation>Le trousseau n’a pas fourni le secret.</translation>
    </message>
</context>
<context>
    <name>LogindSystemEvents</name>
    <message>
        <source>Relock protected apps and folders before sleep</source>
        <translation>Reverrouiller les apps et dossiers protégés avant la mise en veille</translation>
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
        <translation>Dossiers</translation>
    </message>
    <message>
        <source>Activity</source>
        <translation>Activité</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Réglages</translation>
    </message>
    <message>
        <source>About Developer</source>
        <translation>Développeurs</translation>
    </message>
    <message>
        <source>Lock Everything</source>
        <translation>Tout verrouiller</translation>
    </message>
    <message>
        <source>Manual lock-all</source>
        <translation>Tout verrouillé manuellement</translation>
    </message>
</context>
<context>
    <name>MenuBarView</name>
    <message numerus="yes">
        <source>%n locked</source>
        <translation>
            <numerusform>%n verrouillé</numerusform>
            <numerusform>%n verrouillés</numerusform>
        </translation>
    </message>
    <message>
        <source>Nothing protected yet</source>
        <translation>Rien n’est encore protégé</translation>
    </message>
    <message>
        <source>Unlock</source>
        <translation>Déverrouiller</translation>
    </message>
    <message>
        <source>Relock</source>
        <translation>Reverrouiller</translation>
    </message>
    <message>
        <source>Lock</source>
        <translation>Verrouiller</translation>
    </message>
    <message>
        <source>Unlock %1</source>
        <translation>Déverrouiller %1</translation>
    </message>
    <message>
        <source>Relock %1</source>
        <translation>Reverrouiller %1</translation>
    </message>
    <message>
        <source>Lock %1</source>
        <translation>Verrouiller %1</translation>
    </message>
    <message>
        <source>Lock All</source>
        <translation>Tout verrouiller</translation>
    </message>
    <message>
        <source>Open Veilmark</source>
        <translation>Ouvrir Veilmark</translation>
    </message>
    <message>
        <source>Quit Veilmark (protection stops)</source>
        <translation>Quitter Veilmark (la protection s’arrête)</translation>
    </message>
    <message>
        <source>Tray lock-all</source>
        <translation>Tout verrouillé depuis la zone de notification</translation>
    </message>
</context>
<context>
    <name>OverlayManager</name>
    <message>
        <source>Locked — %1 required</source>
        <translation>Verrouillé — %1 nécessaire</translation>
    </message>
</context>
<context>
    <name>PamPasswordVerifier</name>
    <message>
        <source>No account password set on this computer</source>
        <translation>Aucun mot de passe de compte n’est défini sur cet ordinateur</translation>
    </message>
</context>
<context>
    <name>PolicyRelock</name>
    <message>
        <source>Relocked by the guardian</source>
        <translation>Reverrouillé par le gardien</translation>
    </message>
    <message>
        <source>%1 — nothing was open</source>
        <translation>%1 — rien n’était ouvert</translation>
    </message>
    <message>
        <source>%1 — relocked %2</source>
        <translation>%1 — reverrouillé&#xa0;: %2</translation>
    </message>
    <message>
        <source>Guardian relock failed</source>
        <translation>Échec du reverrouillage par le gardien</translation>
    </message>
    <message>
        <source>Locked from the command line</source>
        <translation>Verrouillé depuis la ligne de commande</translation>
    </message>
    <message>
        <source>Lock from the command line failed</source>
        <translation>Échec du verrouillage depuis la ligne de commande</translation>
    </message>
</context>
<context>
    <name>PolicySnapshot</name>
    <message>
        <source>not a policy (an object with apps, folders and settings)</source>
        <translation>pas une configuration de protection (un objet avec des apps, des dossiers et des réglages)</translation>
    </message>
    <message>
        <source>apps beyond the first %1 were left out (%2 of them)</source>
        <translation>les apps au-delà des %1 premières ont été ignorées (%2 au total)</translation>
    </message>
    <message>
        <source>folders beyond the first %1 were left out (%2 of them)</source>
        <translation>les dossiers au-delà des %1 premiers ont été ignorés (%2 au total)</translation>
    </message>
    <message>
        <source>settings cannot be read; the defaults are used</source>
        <translation>les réglages sont illisibles — les valeurs par défaut sont utilisées</translation>
    </message>
</context>
<context>
    <name>PresencePromptWindow</name>
    <message>
        <source>Veilmark is trying to %1.</source>
        <translation>Veilmark essaie de %1.</translation>
    </message>
</context>
<context>
    <name>ProcessesInside</name>
    <message>
        <source>process</source>
        <translation>processus</translation>
    </message>
</context>
<context>
    <name>PromptAuthenticator</name>
    <message>
        <source>Too many failed fingerprint attempts</source>
        <translation>Trop de tentatives d’empreinte échouées</translation>
    </message>
    <message>
        <source>Place your finger on the reader</source>
        <translation>Posez votre doigt sur le lecteur</translation>
    </message>
    <message>
        <source>Enter your password to allow this.</source>
        <translation>Saisissez votre mot de passe pour l’autoriser.</translation>
    </message>
    <message>
        <source>Another prompt is open</source>
        <translation>Une autre demande est ouverte</translation>
    </message>
    <message numerus="yes">
        <source>%1 — %n failed attempts in a row, the next waits %2 s</source>
        <translation>
            <numerusform>%1 — %n échec d’affilée, la prochaine tentative attend %2 s</numerusform>
            <numerusform>%1 — %n échecs d’affilée, la prochaine tentative attend %2 s</numerusform>
        </translation>
    </message>
    <message>
        <source>Checking…</source>
        <translation>Vérification…</translation>
    </message>
    <message>
        <source>Wrong password</source>
        <translation>Mot de passe incorrect</translation>
    </message>
    <message>
        <source>Wrong password — try again</source>
        <translation>Mot de passe incorrect — réessayez</translation>
    </message>
    <message>
        <source>Fingerprint not recognized — try again</source>
        <translation>Empreinte non reconnue — réessayez</translation>
    </message>
    <message>
        <source>Swipe was too short — try again</source>
        <translation>Glissement trop court — réessayez</translation>
    </message>
    <message>
        <source>Center your finger on the reader and try again</source>
        <translation>Centrez votre doigt sur le lecteur et réessayez</translation>
    </message>
    <message>
        <source>Lift your finger and try again</source>
        <translation>Levez le doigt et réessayez</translation>
    </message>
    <message>
        <source>Scan your finger again</source>
        <translation>Scannez à nouveau votre doigt</translation>
    </message>
    <message>
        <source>Fingerprint not recognized</source>
        <translation>Empreinte non reconnue</translation>
    </message>
</context>
<context>
    <name>PromptPane</name>
    <message>
        <source>Password</source>
        <translation>Mot de passe</translation>
    </message>
    <message>
        <source>Enter Password…</source>
        <translation>Saisir le mot de passe…</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Unlock</source>
        <translation>Déverrouiller</translation>
    </message>
</context>
<context>
    <name>ProtectionChanges</name>
    <message>
        <source>Not changed — %1</source>
        <translation>Non modifié — %1</translation>
    </message>
    <message>
        <source>Authentication cancelled</source>
        <translation>Authentification annulée</translation>
    </message>
    <message>
        <source>turn off protection for %1</source>
        <translation>désactiver la protection de %1</translation>
    </message>
    <message>
        <source>Protection turned off</source>
        <translation>Protection désactivée</translation>
    </message>
    <message>
        <source>remove protection from %1</source>
        <translation>retirer la protection de %1</translation>
    </message>
    <message>
        <source>Relock on sleep or screen lock</source>
        <translation>Reverrouiller lors de la veille ou du verrouillage de l’écran</translation>
    </message>
    <message>
        <source>Relock apps on focus loss</source>
        <translation>Reverrouiller les apps à la perte du focus</translation>
    </message>
    <message>
        <source>Turned on</source>
        <translation>Activé</translation>
    </message>
    <message>
        <source>Turned off</source>
        <translation>Désactivé</translation>
    </message>
    <message>
        <source>turn off relocking when the computer sleeps or the screen locks</source>
        <translation>désactiver le reverrouillage lors de la mise en veille ou du verrouillage de l’écran</translation>
    </message>
    <message>
        <source>turn off relocking apps when they lose focus</source>
        <translation>désactiver le reverrouillage des apps à la perte du focus</translation>
    </message>
    <message>
        <source>clear the activity log</source>
        <translation>vider le journal d’activité</translation>
    </message>
    <message>
        <source>Activity log</source>
        <translation>Journal d’activité</translation>
    </message>
    <message>
        <source>Cleared</source>
        <translation>Vidé</translation>
    </message>
    <message>
        <source>quit and stop protecting your apps and folders</source>
        <translation>quitter et cesser de protéger vos apps et dossiers</translation>
    </message>
    <message>
        <source>Quit from the window</source>
        <translation>Fermeture depuis la fenêtre</translation>
    </message>
</context>
<context>
    <name>SettingsView</name>
    <message>
        <source>Settings</source>
        <translation>Réglages</translation>
    </message>
    <message>
        <source>How Veilmark locks and relocks</source>
        <translation>Comment Veilmark verrouille et reverrouille</translation>
    </message>
    <message>
        <source>Appearance</source>
        <translation>Apparence</translation>
    </message>
    <message>
        <source>Light, dark, or follow the system</source>
        <translation>Clair, sombre ou comme le système</translation>
    </message>
    <message>
        <source>Relock apps when they lose focus</source>
        <translation>Reverrouiller les apps quand elles perdent le focus</translation>
    </message>
    <message>
        <source>Switching away from a protected app locks it again immediately</source>
        <translation>Quitter une app protégée la verrouille de nouveau immédiatement</translation>
    </message>
    <message>
        <source>Relock everything on sleep or screen lock</source>
        <translation>Tout reverrouiller à la veille ou au verrouillage</translation>
    </message>
    <message>
        <source>Apps and folders relock when the computer sleeps or the screen locks</source>
        <translation>Apps et dossiers se reverrouillent en veille ou écran verrouillé</translation>
    </message>
    <message>
        <source>Launch Veilmark at login</source>
        <translation>Lancer Veilmark à l’ouverture de session</translation>
    </message>
    <message>
        <source>Protection starts automatically when you sign in</source>
        <translation>La protection démarre automatiquement à l’ouverture de votre session</translation>
    </message>
    <message>
        <source>Default folder unlock window</source>
        <translation>Durée de déverrouillage par défaut des dossiers</translation>
    </message>
    <message>
        <source>New folders auto-relock after this many minutes</source>
        <translation>Les nouveaux dossiers se reverrouillent après ce délai</translation>
    </message>
    <message>
        <source>%1 min</source>
        <translation>%1 min</translation>
    </message>
    <message>
        <source>Authentication</source>
        <translation>Authentification</translation>
    </message>
    <message>
        <source>%1 is available and will be used for every unlock.</source>
        <translation>%1 est disponible et sera utilisé pour chaque déverrouillage.</translation>
    </message>
    <message>
        <source>No biometrics available — your account password is used as the fallback.</source>
        <translation>Aucune biométrie disponible — le mot de passe de votre compte est utilisé à la place.</translation>
    </message>
</context>
<context>
    <name>ShieldView</name>
    <message>
        <source>Unlock</source>
        <translation>Déverrouiller</translation>
    </message>
    <message>
        <source>Enter Password</source>
        <translation>Saisir le mot de passe</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
</context>
<context>
    <name>SingleInstance</name>
    <message>
        <source>no session bus (%1); a second launch cannot find this one</source>
        <translation>pas de bus de session (%1) — un second lancement ne pourra pas trouver celui-ci</translation>
    </message>
    <message>
        <source>the session bus refused the name %1: %2</source>
        <translation>le bus de session a refusé le nom %1&#xa0;: %2</translation>
    </message>
    <message>
        <source>%1 belongs to another process (pid %2) that did not answer as Veilmark does (%3); running without the name</source>
        <translation>%1 appartient à un autre processus (PID %2) qui n’a pas répondu comme Veilmark (%3) — exécution sans le nom</translation>
    </message>
    <message>
        <source>unknown</source>
        <translation>inconnu</translation>
    </message>
    <message>
        <source>an unexpected reply</source>
        <translation>une réponse inattendue</translation>
    </message>
</context>
<context>
    <name>StatusReport</name>
    <message>
        <source>Off</source>
        <translation>Désactivé</translation>
    </message>
    <message>
        <source>Not watched — this session cannot hide applications</source>
        <translation>Non surveillé — cette session ne peut pas masquer les applications</translation>
    </message>
    <message>
        <source>Unlocked</source>
        <translation>Déverrouillé</translation>
    </message>
    <message>
        <source>Locked</source>
        <translation>Verrouillé</translation>
    </message>
    <message>
        <source>Not watched — Veilmark is not running</source>
        <translation>Non surveillé — Veilmark ne tourne pas</translation>
    </message>
    <message>
        <source>KIND</source>
        <translation>TYPE</translation>
    </message>
    <message>
        <source>NAME</source>
        <translation>NOM</translation>
    </message>
    <message>
        <source>STATE</source>
        <translation>ÉTAT</translation>
    </message>
    <message>
        <source>SESSION ENDS</source>
        <translation>FIN DE SESSION</translation>
    </message>
    <message>
        <source>PATH</source>
        <translation>CHEMIN</translation>
    </message>
    <message>
        <source>app</source>
        <translation>app</translation>
    </message>
    <message>
        <source>folder</source>
        <translation>dossier</translation>
    </message>
    <message>
        <source>Veilmark is not running: folders probed on disk, from the stored policy.</source>
        <translation>Veilmark ne tourne pas&#xa0;: dossiers vérifiés sur le disque, d’après la configuration enregistrée.</translation>
    </message>
    <message>
        <source>Nothing is protected.</source>
        <translation>Rien n’est protégé.</translation>
    </message>
    <message>
        <source>cannot read all of %1: %2</source>
        <translation>impossible de lire entièrement %1&#xa0;: %2</translation>
    </message>
</context>
<context>
    <name>Stepper</name>
    <message>
        <source>Decrease %1</source>
        <translation>Diminuer %1</translation>
    </message>
    <message>
        <source>Increase %1</source>
        <translation>Augmenter %1</translation>
    </message>
</context>
<context>
    <name>VeilmarkBus</name>
    <message>
        <source>Command-line lock-all</source>
        <translation>Tout verrouillé depuis la ligne de commande</translation>
    </message>
</context>
<context>
    <name>WaylandConnection</name>
    <message>
        <source>No Wayland display is set (WAYLAND_DISPLAY is empty)</source>
        <translation>Aucun affichage Wayland défini (WAYLAND_DISPLAY est vide)</translation>
    </message>
    <message>
        <source>Cannot connect to the Wayland display %1: %2</source>
        <translation>Connexion impossible à l’affichage Wayland %1 : %2</translation>
    </message>
    <message>
        <source>The compositor ended the connection: protocol error %1 on %2</source>
        <translation>Le compositeur a mis fin à la connexion : erreur de protocole %1 sur %2</translation>
    </message>
    <message>
        <source>The connection to the compositor was lost: %1</source>
        <translation>La connexion au compositeur est perdue : %1</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>App quit</source>
        <translation>Application fermée</translation>
    </message>
    <message>
        <source>Running without the single-instance name</source>
        <translation>Exécution sans le nom d’instance unique</translation>
    </message>
    <message>
        <source>Guardian not started</source>
        <translation>Gardien non démarré</translation>
    </message>
    <message>
        <source>%1 — after a SIGKILL, unlocked folders stay open until Veilmark starts again</source>
        <translation>%1 — après un SIGKILL, les dossiers déverrouillés restent ouverts jusqu’au prochain démarrage de Veilmark</translation>
    </message>
    <message>
        <source>Guardian ended</source>
        <translation>Gardien arrêté</translation>
    </message>
    <message>
        <source>App protection is off: Veilmark cannot connect to the Wayland compositor (%1).</source>
        <translation>La protection des apps est désactivée : Veilmark ne peut pas se connecter au compositeur Wayland (%1).</translation>
    </message>
    <message>
        <source>App protection is off: KWin shows its windows only to programs that an installed desktop entry names, and none names %1. Start the installed Veilmark; after installing it, log out and in once.</source>
        <translation>La protection des apps est désactivée : KWin ne montre ses fenêtres qu’aux programmes nommés par une entrée de bureau installée, et aucune ne nomme %1. Lancez le Veilmark installé ; après l’installation, fermez la session et rouvrez-la une fois.</translation>
    </message>
    <message>
        <source>App protection is off: this compositor offers no way to watch and hide other applications&apos; windows.</source>
        <translation>La protection des apps est désactivée : ce compositeur n’offre aucun moyen d’observer et de masquer les fenêtres des autres applications.</translation>
    </message>
    <message>
        <source>App protection is off: this compositor cannot keep Veilmark&apos;s shield above other windows (it offers no layer shell).</source>
        <translation>La protection des apps est désactivée : ce compositeur ne peut pas garder le bouclier de Veilmark au-dessus des autres fenêtres (il n’offre pas de layer shell).</translation>
    </message>
    <message>
        <source>App protection is off: Veilmark cannot connect to the X server.</source>
        <translation>La protection des apps est désactivée : Veilmark ne peut pas se connecter au serveur X.</translation>
    </message>
</context>
</TS>
