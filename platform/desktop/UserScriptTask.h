#pragma once

#include "platform/base/Error.h"
#include "platform/base/URL.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace hb {

// The call a user script is asked to answer: the addressed application, the event's class and id
// (four-character codes) and the handler to run. The script gets the handler name as argv[1] and the
// rest as <COMMAND>_EVENT_TARGET, <COMMAND>_EVENT_CLASS and <COMMAND>_EVENT_ID.
struct AppleEventDescriptor {
    QString target;
    QString eventClass;
    QString eventID;
    QString subroutineName;
};

// Error codes of the domain UserScriptTaskErrorDomain.
inline const QString UserScriptTaskErrorDomain = QStringLiteral("UserScriptTask");
enum UserScriptTaskError : int {
    UserScriptTaskLaunchFailed = 1,
    UserScriptTaskExitedWithStatus = 2,
    UserScriptTaskKilledBySignal = 3,
    UserScriptTaskTimedOut = 4,
    UserScriptTaskOutputNotText = 5,
    UserScriptTaskOutputTooLarge = 6,
};

// An executable the user put into the program's Application Scripts folder, run outside the program's
// own access rules: no shell, standard input from /dev/null, standard error passed through to ours, in
// a process group of its own that is killed when the run ends (answered, failed or timed out), so
// nothing it started outlives it. Its answer is the list of non-empty lines it prints (UTF-8 text), or,
// when its output ends in a NUL byte, the NUL-terminated entries (as `find -print0` writes paths; an
// entry that is not UTF-8 is left out, with a log line). It finds the program's own helpers first on
// its PATH, and is told the window the person came from (FrontWindow::environment()) when it runs
// right after they called the program up.
class UserScriptTask {
public:
    static constexpr std::chrono::milliseconds defaultTimeout{10'000};
    static constexpr qsizetype maximumOutputSize = 16 * 1024 * 1024;

    // The Application Scripts folder, made (with its parents) when `create` and missing.
    static std::optional<URL> applicationScriptsDirectory(bool create, Error* error = nullptr);

    // None unless `scriptURL` is an executable file inside the Application Scripts folder.
    static std::unique_ptr<UserScriptTask> create(const URL& scriptURL, Error* error = nullptr);

    // Exactly one of the two is set.
    using CompletionHandler
        = std::function<void(const std::optional<QStringList>& lines, const std::optional<Error>& error)>;

    // Runs the script once on a worker thread and calls `completion` there. The task object may be
    // dropped as soon as this returns.
    void execute(const AppleEventDescriptor& event, CompletionHandler completion) const;

    const URL& scriptURL() const { return m_scriptURL; }
    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }

    // Replaces the script at `scriptURL` with `contents` when it is byte for byte one that the program
    // once shipped (its SHA-256 among `retiredDigests`), so an unchanged earlier copy never runs again;
    // a script the person wrote or changed is left alone. True when it was replaced.
    static bool replaceRetiredScript(const URL& scriptURL, const QList<QByteArray>& retiredDigests,
                                     const QByteArray& contents);

    // Writes `contents` as a new executable file (mode 0755) at `destination`; fails with
    // NSFileWriteFileExistsError when something is there already. Needs write access to the folder.
    static bool writeScriptFile(const QByteArray& contents, const URL& destination, Error* error = nullptr);

private:
    explicit UserScriptTask(URL scriptURL) : m_scriptURL(std::move(scriptURL)) {}

    URL m_scriptURL;
    std::chrono::milliseconds m_timeout = defaultTimeout;
};

}  // namespace hb
