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
        <source>HIDDEN_ITEM_HINT</source>
        <translation>Das Symbol im Infobereich ist ausgeblendet. Um es zurückzuholen, starten Sie Corvane erneut und halten Sie dabei eine der Alt-Tasten gedrückt, oder starten Sie es erneut und wählen Sie im Menü „Symbol im Infobereich anzeigen“.</translation>
    </message>
</context>
</TS>
