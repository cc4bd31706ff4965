#pragma once

#include "core/sources/FinderTalk.h"
#include "platform/desktop/UserScriptTask.h"

#include <QString>

#include <memory>

class HBUIDelegate;

// Reads the file manager's selection through the user's script in the Application Scripts folder
// (handler "finderSelection", one POSIX path a line), and installs the bundled script there.
// Called on the main thread; every request builds its task afresh.
class HBFinderData {
public:
    static inline const QString scriptFileName = QStringLiteral("RodudoDedari.scpt");
    static inline const QString handlerName = QStringLiteral("finderSelection");

    bool installScript() const;  // the "ScriptInstalled" default
    // None (and a log line) when the folder or the script is missing or the script cannot run.
    std::unique_ptr<hb::UserScriptTask> automationScriptTask() const;
    hb::AppleEventDescriptor finderSelectionEventDescriptor() const;
    // The answer reaches the delegate on the main queue exactly once, none when the script failed or
    // printed anything but absolute paths; never when the script is missing (then "ScriptInstalled"
    // becomes false). The delegate is kept alive until it has been told.
    void getSelectedFinderURLsWithDelegate(std::shared_ptr<FinderTalk> delegate) const;
    // Asks the user to confirm the Application Scripts folder in an open panel and copies the bundled
    // script there, replacing an older one. Any other folder is refused.
    bool installAutomationScript(HBUIDelegate& uiDelegate) const;
};
