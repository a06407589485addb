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
        <source>HISTORY_UNAVAILABLE</source>
        <translation>L’historique de la batterie n’a pas pu être ouvert : une partie de Corvane est manquante ou endommagée. Réinstaller Corvane la rétablit.</translation>
    </message>
    <message>
        <source>HIDDEN_ITEM_HINT</source>
        <translation>L’icône de la zone de notification est masquée. Pour la retrouver, relancez Corvane en maintenant l’une des touches Alt enfoncée, ou relancez-le et choisissez « Afficher l’icône de la zone de notification » dans son menu.</translation>
    </message>
    <message>
        <source>Battery History</source>
        <translation>Historique de la batterie</translation>
    </message>
    <message>
        <source>Clear History</source>
        <translation>Effacer l’historique</translation>
    </message>
    <message>
        <source>Forget every battery reading Corvane has kept?</source>
        <translation>Oublier tous les niveaux de batterie enregistrés par Corvane ?</translation>
    </message>
    <message>
        <source>Battery level</source>
        <translation>Niveau de batterie</translation>
    </message>
    <message>
        <source>Charging</source>
        <translation>En charge</translation>
    </message>
    <message>
        <source>Warning level</source>
        <translation>Seuil d’alerte</translation>
    </message>
    <message>
        <source>Charging now</source>
        <translation>En charge</translation>
    </message>
    <message>
        <source>Not enough history yet</source>
        <translation>Pas encore assez d’historique</translation>
    </message>
    <message>
        <source>The level is holding steady</source>
        <translation>Le niveau reste stable</translation>
    </message>
    <message>
        <source>At or below %1 now</source>
        <translation>À %1 ou moins maintenant</translation>
    </message>
    <message>
        <source>Reaches %1 in %2</source>
        <translation>Atteint %1 dans %2</translation>
    </message>
    <message>
        <source>Empty in %1</source>
        <translation>Vide dans %1</translation>
    </message>
    <message>
        <source>Drains %1 a day</source>
        <translation>Perd %1 par jour</translation>
    </message>
    <message>
        <source>Last charged %1</source>
        <translation>Dernière charge %1</translation>
    </message>
    <message>
        <source>less than an hour</source>
        <translation>moins d’une heure</translation>
    </message>
    <message>
        <source>about 1 hour</source>
        <translation>environ 1 heure</translation>
    </message>
    <message>
        <source>about %1 hours</source>
        <translation>environ %1 heures</translation>
    </message>
    <message>
        <source>about 1 day</source>
        <translation>environ 1 jour</translation>
    </message>
    <message>
        <source>about %1 days</source>
        <translation>environ %1 jours</translation>
    </message>
</context>
</TS>
