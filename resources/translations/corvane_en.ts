<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>Corvane</name>
    <message>
        <source>LOW_BATTERY_MSG</source>
        <translation>Battery level is %1. Charge it soon.</translation>
    </message>
    <message>
        <source>REMIND_ME</source>
        <translation>Remind Me Tomorrow</translation>
    </message>
    <message>
        <source>REMIND_NEVER</source>
        <translation>Never Remind Me</translation>
    </message>
    <message>
        <source>Notification access denied</source>
        <translation>Notification access denied</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>Connected Bluetooth Devices</source>
        <translation>Connected Bluetooth Devices</translation>
    </message>
    <message>
        <source>No Bluetooth devices connected</source>
        <translation>No Bluetooth devices connected</translation>
    </message>
    <message>
        <source>Notify when battery level lower than</source>
        <translation>Notify when battery level lower than</translation>
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
        <translation>About Corvane</translation>
    </message>
    <message>
        <source>Start at Login</source>
        <translation>Start at Login</translation>
    </message>
    <message>
        <source>Hide Menu Bar Item</source>
        <translation>Hide Tray Icon</translation>
    </message>
    <message>
        <source>Quit Corvane</source>
        <translation>Quit Corvane</translation>
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
        <translation>Watches the batteries of your Bluetooth keyboards, mice and other input devices and warns before they run flat.</translation>
    </message>
    <message>
        <source>Licence: MIT</source>
        <translation>Licence: MIT</translation>
    </message>
    <message>
        <source>More</source>
        <translation>More</translation>
    </message>
    <message>
        <source>Show Menu Bar Item</source>
        <translation>Show Tray Icon</translation>
    </message>
    <message>
        <source>HISTORY_UNAVAILABLE</source>
        <translation>The battery history could not be opened: a part of Corvane is missing or damaged. Installing Corvane again brings it back.</translation>
    </message>
    <message>
        <source>HIDDEN_ITEM_HINT</source>
        <translation>The tray icon is hidden. To bring it back, start Corvane again while holding either Alt key, or start it again and choose Show Tray Icon in its menu.</translation>
    </message>
    <message>
        <source>Battery History</source>
        <translation>Battery History</translation>
    </message>
    <message>
        <source>Clear History</source>
        <translation>Clear History</translation>
    </message>
    <message>
        <source>Forget every battery reading Corvane has kept?</source>
        <translation>Forget every battery reading Corvane has kept?</translation>
    </message>
    <message>
        <source>Battery level</source>
        <translation>Battery level</translation>
    </message>
    <message>
        <source>Charging</source>
        <translation>Charging</translation>
    </message>
    <message>
        <source>Warning level</source>
        <translation>Warning level</translation>
    </message>
    <message>
        <source>Charging now</source>
        <translation>Charging now</translation>
    </message>
    <message>
        <source>Not enough history yet</source>
        <translation>Not enough history yet</translation>
    </message>
    <message>
        <source>The level is holding steady</source>
        <translation>The level is holding steady</translation>
    </message>
    <message>
        <source>At or below %1 now</source>
        <translation>At or below %1 now</translation>
    </message>
    <message>
        <source>Reaches %1 in %2</source>
        <translation>Reaches %1 in %2</translation>
    </message>
    <message>
        <source>Empty in %1</source>
        <translation>Empty in %1</translation>
    </message>
    <message>
        <source>Drains %1 a day</source>
        <translation>Drains %1 a day</translation>
    </message>
    <message>
        <source>Last charged %1</source>
        <translation>Last charged %1</translation>
    </message>
    <message>
        <source>less than an hour</source>
        <translation>less than an hour</translation>
    </message>
    <message>
        <source>about 1 hour</source>
        <translation>about 1 hour</translation>
    </message>
    <message>
        <source>about %1 hours</source>
        <translation>about %1 hours</translation>
    </message>
    <message>
        <source>about 1 day</source>
        <translation>about 1 day</translation>
    </message>
    <message>
        <source>about %1 days</source>
        <translation>about %1 days</translation>
    </message>
</context>
</TS>
