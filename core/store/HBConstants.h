#pragma once

#include <QString>

// Program-wide strings: each is defined here once and referred to by name; none is localised.

// Notification names on the default centre.
inline const QString destinationSelectedNotification = QStringLiteral("destinationSelected");
inline const QString permissionGrantedNotification = QStringLiteral("permissionGranted");
inline const QString removeSelectedNotification = QStringLiteral("RemoveSelected");
inline const QString addToGridNotification = QStringLiteral("AddToGrid");
inline const QString locationAddedNotification = QStringLiteral("LocationAdded");
inline const QString receivedDataNotification = QStringLiteral("ReceivedData");
inline const QString hotKeyFiredNotification = QStringLiteral("HotKeyFired");
inline const QString dimissHotKeyPopoverNotification = QStringLiteral("dimissHotKeyPopover");
inline const QString forRecentFilesNotification = QStringLiteral("forRecentFiles");
inline const QString emptySourceNotification = QStringLiteral("emptySource");
inline const QString fromDragSourceNotification = QStringLiteral("fromDragSource");
inline const QString changeSizeNotification = QStringLiteral("changeSize");
inline const QString showAlertNotification = QStringLiteral("showAlert");
inline const QString willBecomeActiveNotification = QStringLiteral("willBecomeActive");
inline const QString willResignActiveNotification = QStringLiteral("willResignActive");
inline const QString didBecomeActiveNotification = QStringLiteral("didBecomeActive");
inline const QString setupCompleteNotification = QStringLiteral("SETUPCOMPLETE");
inline const QString nextControllerNotification = QStringLiteral("nextController");
inline const QString backControllerNotification = QStringLiteral("backController");

// User-information keys of those notifications, and the values they carry.
inline const QString destinationUserInfoKey = QStringLiteral("Destination");
inline const QString actionUserInfoKey = QStringLiteral("Action");
inline const QString sourceUserInfoKey = QStringLiteral("Source");
inline const QString urlUserInfoKey = QStringLiteral("URL");
inline const QString collectionviewSelectedUserInfoKey = QStringLiteral("collectionviewSelected");
inline const QString locationAddedUserInfoKey = QStringLiteral("LocationAdded");
inline const QString receivedDataUserInfoKey = QStringLiteral("ReceivedData");
inline const QString sizeUserInfoKey = QStringLiteral("Size");
inline const QString errorDataUserInfoKey = QStringLiteral("errorData");
inline const QString moveActionValue = QStringLiteral("Move");
inline const QString copyActionValue = QStringLiteral("Copy");
inline const QString noneActionValue = QStringLiteral("NoneAction");
inline const QString finderSourceValue = QStringLiteral("Finder");

// Key of a destination entry holding "true" or "false".
inline const QString permissionStatusKey = QStringLiteral("permissionStatus");

// Standard user-defaults keys.
inline const QString scriptInstalledDefaultsKey = QStringLiteral("ScriptInstalled");
inline const QString initialToolTipDelayDefaultsKey = QStringLiteral("NSInitialToolTipDelay");
inline const QString setupCompleteDefaultsKey = QStringLiteral("SETUPCOMPLETE");
inline const QString scriptRunDefaultsKey = QStringLiteral("scriptRun");
inline const QString notificationsActiveDefaultsKey = QStringLiteral("notificationsActive");
inline const QString firstRunDefaultsKey = QStringLiteral("firstRun");
inline const QString launchAtLoginDefaultsKey = QStringLiteral("launchAtLogin");
inline const QString hideExternalDrivesDefaultsKey = QStringLiteral("hideExternalDrives");
inline const QString playSoundEffectsDefaultsKey = QStringLiteral("playSoundEffects");
inline const QString sourceAvailableDefaultsKey = QStringLiteral("sourceAvailable");
inline const QString hotKeyDefaultsKey = QStringLiteral("HotKey");
inline const QString launchedHotkeyDefaultsKey = QStringLiteral("launchedHotkey");
inline const QString checkDesktopDefaultsKey = QStringLiteral("checkDesktop");

// Key paths on the shared user-defaults controller.
inline const QString sourceAvailableKeyPath = QStringLiteral("values.sourceAvailable");
inline const QString scriptInstalledKeyPath = QStringLiteral("values.ScriptInstalled");
inline const QString hotKeyKeyPath = QStringLiteral("values.HotKey");
inline const QString launchedHotkeyKeyPath = QStringLiteral("values.launchedHotkey");

// The application-group suite and the key of the destination list in it.
inline const QString locationsSuiteName = QStringLiteral("R4KX7PZ2QD.com.mirelda.Harbrill.Locations");
inline const QString sharedDataKey = QStringLiteral("SharedData");

// Identifiers.
inline const QString bundleIdentifier = QStringLiteral("com.mirelda.Harbrill");
inline const QString helperBundleIdentifier = QStringLiteral("com.mirelda.HarbrillHelper");
inline const QString reorderPasteboardType = QStringLiteral("hb.public.data");

// Placeholders of the main window's instruction text field (the short one while the drive button shows).
inline const QString instructionPlaceholder = QStringLiteral("Add Desktop, Photos, Documents, Projects, etc");
inline const QString instructionPlaceholderShort = QStringLiteral("Add Desktop, Photos, Documents, etc");
