<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
<context>
    <name>Corvane</name>
    <message>
        <source>LOW_BATTERY_MSG</source>
        <translation>Le niveau de la batterie est de %1. Rechargez-la bientôt.</translation>
    </message>
    <message>
        <source>REMIND_ME</source>
        <translation>Me le rappeler demain</translation>
    </message>
    <message>
        <source>REMIND_NEVER</source>
        <translation>Ne plus me le rappeler</translation>
    </message>
    <message>
        <source>Notification access denied</source>
        <translation>Accès aux notifications refusé</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Quitter</translation>
    </message>
    <message>
        <source>Connected Bluetooth Devices</source>
        <translation>Appareils Bluetooth connectés</translation>
    </message>
    <message>
        <source>No Bluetooth devices connected</source>
        <translation>Aucun appareil Bluetooth connecté</translation>
    </message>
    <message>
        <source>Notify when battery level lower than</source>
        <translation>Avertir quand le niveau de batterie est inférieur à</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Nom</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>État</translation>
    </message>
    <message>
        <source>About Corvane</source>
        <translation>À propos de Corvane</translation>
    </message>
    <message>
        <source>Start at Login</source>
        <translation>Lancer à l’ouverture de session</translation>
    </message>
    <message>
        <source>Hide Menu Bar Item</source>
        <translation>Masquer l’icône de la zone de notification</translation>
    </message>
    <message>
        <source>Quit Corvane</source>
        <translation>Quitter Corvane</translation>
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
        <translation>Surveille les batteries de vos claviers, souris et autres périphériques d’entrée Bluetooth et vous avertit avant qu’elles ne soient vides.</translation>
    </message>
    <message>
        <source>Licence: MIT</source>
        <translation>Licence : MIT</translation>
    </message>
    <message>
        <source>More</source>
        <translation>Plus</translation>
    </message>
    <message>
        <source>Show Menu Bar Item</source>
        <translation>Afficher l’icône de la zone de notification</translation>
    </message>
    <message>
        <source>HIDDEN_ITEM_HINT</source>
        <translation>L’icône de la zone de notification est masquée. Pour la retrouver, relancez Corvane en maintenant l’une des touches Alt enfoncée, ou relancez-le et choisissez « Afficher l’icône de la zone de notification » dans son menu.</translation>
    </message>
</context>
</TS>
