<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>Corvane</name>
    <message>
        <source>LOW_BATTERY_MSG</source>
        <translation>Der Akkustand beträgt %1. Bitte bald aufladen.</translation>
    </message>
    <message>
        <source>REMIND_ME</source>
        <translation>Morgen erinnern</translation>
    </message>
    <message>
        <source>REMIND_NEVER</source>
        <translation>Nie mehr erinnern</translation>
    </message>
    <message>
        <source>Notification access denied</source>
        <translation>Zugriff auf Mitteilungen verweigert</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Connected Bluetooth Devices</source>
        <translation>Verbundene Bluetooth-Geräte</translation>
    </message>
    <message>
        <source>No Bluetooth devices connected</source>
        <translation>Keine Bluetooth-Geräte verbunden</translation>
    </message>
    <message>
        <source>Notify when battery level lower than</source>
        <translation>Benachrichtigen, wenn der Akkustand unter</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>About Corvane</source>
        <translation>Über Corvane</translation>
    </message>
    <message>
        <source>Start at Login</source>
        <translation>Beim Anmelden starten</translation>
    </message>
    <message>
        <source>Hide Menu Bar Item</source>
        <translation>Symbol im Infobereich ausblenden</translation>
    </message>
    <message>
        <source>Quit Corvane</source>
        <translation>Corvane beenden</translation>
    </message>
    <message>
        <source>Corvane</source>
        <translation>Corvane</translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation>Version %1</translation>
    </message>
    <message>
        <source>Watches the batteries of your Bluetooth keyboards, mice and other input devices and warns before they run flat.</source>
        <translation>Überwacht die Akkus Ihrer Bluetooth-Tastaturen, -Mäuse und anderer Eingabegeräte und warnt, bevor sie leer sind.</translation>
    </message>
    <message>
        <source>Licence: MIT</source>
        <translation>Lizenz: MIT</translation>
    </message>
    <message>
        <source>More</source>
        <translation>Mehr</translation>
    </message>
    <message>
        <source>Show Menu Bar Item</source>
        <translation>Symbol im Infobereich anzeigen</translation>
    </message>
    <message>
        <source>HISTORY_UNAVAILABLE</source>
        <translation>Der Akkuverlauf konnte nicht geöffnet werden: Ein Teil von Corvane fehlt oder ist beschädigt. Eine erneute Installation von Corvane stellt ihn wieder her.</translation>
    </message>
    <message>
        <source>HIDDEN_ITEM_HINT</source>
        <translation>Das Symbol im Infobereich ist ausgeblendet. Um es zurückzuholen, starten Sie Corvane erneut und halten Sie dabei eine der Alt-Tasten gedrückt, oder starten Sie es erneut und wählen Sie im Menü „Symbol im Infobereich anzeigen“.</translation>
    </message>
    <message>
        <source>Battery History</source>
        <translation>Akkuverlauf</translation>
    </message>
    <message>
        <source>Clear History</source>
        <translation>Verlauf löschen</translation>
    </message>
    <message>
        <source>Forget every battery reading Corvane has kept?</source>
        <translation>Alle von Corvane gespeicherten Akkustände vergessen?</translation>
    </message>
    <message>
        <source>Battery level</source>
        <translation>Akkustand</translation>
    </message>
    <message>
        <source>Charging</source>
        <translation>Lädt</translation>
    </message>
    <message>
        <source>Warning level</source>
        <translation>Warnschwelle</translation>
    </message>
    <message>
        <source>Charging now</source>
        <translation>Lädt gerade</translation>
    </message>
    <message>
        <source>Not enough history yet</source>
        <translation>Noch nicht genug Verlauf</translation>
    </message>
    <message>
        <source>The level is holding steady</source>
        <translation>Der Stand bleibt gleich</translation>
    </message>
    <message>
        <source>At or below %1 now</source>
        <translation>Jetzt bei oder unter %1</translation>
    </message>
    <message>
        <source>Reaches %1 in %2</source>
        <translation>Erreicht %1 in %2</translation>
    </message>
    <message>
        <source>Empty in %1</source>
        <translation>Leer in %1</translation>
    </message>
    <message>
        <source>Drains %1 a day</source>
        <translation>Verliert %1 pro Tag</translation>
    </message>
    <message>
        <source>Last charged %1</source>
        <translation>Zuletzt geladen %1</translation>
    </message>
    <message>
        <source>less than an hour</source>
        <translation>weniger als einer Stunde</translation>
    </message>
    <message>
        <source>about 1 hour</source>
        <translation>etwa 1 Stunde</translation>
    </message>
    <message>
        <source>about %1 hours</source>
        <translation>etwa %1 Stunden</translation>
    </message>
    <message>
        <source>about 1 day</source>
        <translation>etwa 1 Tag</translation>
    </message>
    <message>
        <source>about %1 days</source>
        <translation>etwa %1 Tagen</translation>
    </message>
</context>
</TS>
