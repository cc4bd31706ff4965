#include "platform/desktop/UserScriptTask.h"

#include "platform/base/Locations.h"
#include "platform/base/Log.h"
#include "platform/base/ProgramIdentity.h"
#include "platform/files/GrantResolver.h"
#include "platform/interface/FrontWindow.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QSaveFile>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringDecoder>
#include <QThreadPool>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace hb {

namespace {

Error scriptError(UserScriptTaskError code, const QString& description)
{
    return Error{UserScriptTaskErrorDomain, code, {{NSLocalizedDescriptionKey, description}}};
}

// Scripts get their own pool: a hanging one must not hold up the shared pool's work.
QThreadPool& scriptPool()
{
    static QThreadPool pool;
    return pool;
}

void killGroup(QProcess& process)
{
    const qint64 pid = process.processId();
    if (pid > 0)
        ::kill(static_cast<pid_t>(-pid), SIGKILL);
    process.kill();
    process.waitForFinished(1000);
}

// Kills the script's process group when the run ends; its id stays taken while any member lives.
struct GroupEnd {
    pid_t group;
    ~GroupEnd()
    {
        if (group > 0)
            ::kill(-group, SIGKILL);
    }
};

struct Outcome {
    std::optional<QStringList> lines;
    std::optional<Error> error;
};

Outcome failure(UserScriptTaskError code, const QString& description)
{
    return {std::nullopt, scriptError(code, description)};
}

// The answer as entries: NUL-terminated when the output ends in a NUL byte (names may then hold new
// lines), else one a line. In the NUL form an entry that is not UTF-8 is left out, and said so.
Outcome answerFrom(const QByteArray& output)
{
    const bool nulTerminated = output.endsWith('\0');
    if (!nulTerminated) {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = decoder(output);
        if (decoder.hasError() || output.contains('\0'))
            return failure(UserScriptTaskOutputNotText, QStringLiteral("The script's answer is not UTF-8 text."));
        return {text.split(u'\n', Qt::SkipEmptyParts), std::nullopt};
    }
    QStringList entries;
    for (const QByteArray& entry : output.split('\0')) {
        if (entry.isEmpty())
            continue;
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = decoder(entry);
        if (decoder.hasError()) {
            qCWarning(hbLog).noquote()
                << QStringLiteral("The script named an item whose name is not UTF-8, which %1 cannot handle:")
                       .arg(programIdentity().name)
                << QString::fromLatin1(entry.toPercentEncoding("/ "));
            continue;
        }
        entries << text;
    }
    return {entries, std::nullopt};
}

Outcome runScript(const QString& program, const AppleEventDescriptor& event, std::chrono::milliseconds timeout,
                  const QMap<QString, QString>& frontWindow)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments({event.subroutineName});
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString prefix = programIdentity().command.toUpper();
    environment.insert(prefix + QStringLiteral("_EVENT_TARGET"), event.target);
    environment.insert(prefix + QStringLiteral("_EVENT_CLASS"), event.eventClass);
    environment.insert(prefix + QStringLiteral("_EVENT_ID"), event.eventID);
    for (auto it = frontWindow.begin(); it != frontWindow.end(); ++it)
        environment.insert(it.key(), it.value());
    // The program's own helpers (the selection reader) are found beside it first, as installed.
    const QString path = environment.value(QStringLiteral("PATH"));
    environment.insert(QStringLiteral("PATH"),
                       QCoreApplication::applicationDirPath() + (path.isEmpty() ? QString() : u':' + path));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(Locations::userDatabaseHome());
    process.setStandardInputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // A group of its own, so a timeout also ends whatever the script started.
    process.setChildProcessModifier([] { ::setpgid(0, 0); });

    const QDeadlineTimer deadline(timeout);
    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted(static_cast<int>(timeout.count())))
        return failure(UserScriptTaskLaunchFailed, process.errorString());
    // Whatever the script left running in its group ends with the run, however the run ends.
    const GroupEnd groupEnd{static_cast<pid_t>(process.processId())};

    QByteArray output;
    while (process.state() != QProcess::NotRunning) {
        if (deadline.hasExpired()) {
            killGroup(process);
            return failure(UserScriptTaskTimedOut, QStringLiteral("The script did not answer in time."));
        }
        const int remaining = static_cast<int>(deadline.remainingTime());
        // No more output can come (the script closed it): wait for its end instead of spinning.
        if (!process.waitForReadyRead(remaining) && process.state() != QProcess::NotRunning)
            process.waitForFinished(static_cast<int>(deadline.remainingTime()));
        output += process.readAllStandardOutput();
        if (output.size() > UserScriptTask::maximumOutputSize) {
            killGroup(process);
            return failure(UserScriptTaskOutputTooLarge, QStringLiteral("The script printed too much."));
        }
    }
    output += process.readAllStandardOutput();

    if (process.exitStatus() == QProcess::CrashExit)
        return failure(UserScriptTaskKilledBySignal, QStringLiteral("The script was ended by a signal."));
    if (process.exitCode() != 0)
        return failure(UserScriptTaskExitedWithStatus,
                       QStringLiteral("The script ended with status %1.").arg(process.exitCode()));

    return answerFrom(output);
}

}  // namespace

std::optional<URL> UserScriptTask::applicationScriptsDirectory(bool create, Error* error)
{
    const QString path = Locations::applicationScriptsDirectory();
    if (create)
        QDir().mkpath(path);
    if (!QFileInfo(path).isDir()) {
        if (error)
            *error = Error::fromErrno(ENOENT, path, false);
        return std::nullopt;
    }
    return URL::fileURLWithPath(path, true);
}

std::unique_ptr<UserScriptTask> UserScriptTask::create(const URL& scriptURL, Error* error)
{
    const auto folder = applicationScriptsDirectory(false, error);
    if (!folder)
        return nullptr;
    auto fail = [&](int posixError) -> std::unique_ptr<UserScriptTask> {
        if (error)
            *error = Error::fromErrno(posixError, scriptURL.path(), false);
        return nullptr;
    };
    if (scriptURL.isEmpty() || scriptURL == *folder || !folder->contains(scriptURL))
        return fail(EACCES);
    const QByteArray path = scriptURL.path().toUtf8();
    struct stat status {};
    if (::stat(path.constData(), &status) != 0)
        return fail(errno);
    if (!S_ISREG(status.st_mode))
        return fail(EISDIR);
    if (::access(path.constData(), X_OK) != 0)
        return fail(errno);
    return std::unique_ptr<UserScriptTask>(new UserScriptTask(scriptURL));
}

void UserScriptTask::execute(const AppleEventDescriptor& event, CompletionHandler completion) const
{
    // The window the person came from, if they just did: the script answers for it, and the program's
    // own window waits while the script asks it (the claim ends with the run).
    std::shared_ptr<const FrontWindow> front = FrontWindows::shared().claim();
    const QMap<QString, QString> frontEnvironment = front ? front->environment() : QMap<QString, QString>{};
    scriptPool().start([program = m_scriptURL.path(), event, timeout = m_timeout, completion = std::move(completion),
                        front = std::move(front), frontEnvironment]() mutable {
        const Outcome outcome = runScript(program, event, timeout, frontEnvironment);
        front.reset();
        if (outcome.error)
            HBDebug() << "user script" << program << "failed:" << outcome.error->localizedDescription();
        if (completion)
            completion(outcome.lines, outcome.error);
    });
}

bool UserScriptTask::replaceRetiredScript(const URL& scriptURL, const QList<QByteArray>& retiredDigests,
                                          const QByteArray& contents)
{
    const auto folder = applicationScriptsDirectory(false);
    if (!folder || !folder->contains(scriptURL))
        return false;
    QFile installed(scriptURL.path());
    if (installed.size() > maximumOutputSize || !installed.open(QIODevice::ReadOnly))
        return false;
    const QByteArray digest = QCryptographicHash::hash(installed.readAll(), QCryptographicHash::Sha256).toHex();
    installed.close();
    if (!retiredDigests.contains(digest))
        return false;
    // Written beside it and renamed over it: a failure leaves the old one whole.
    QSaveFile replacement(scriptURL.path());
    if (!replacement.open(QIODevice::WriteOnly) || replacement.write(contents) != contents.size()
        || !replacement.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                       | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther)
        || !replacement.commit()) {
        qCWarning(hbLog).noquote() << "An earlier version of" << scriptURL.path() << "could not be brought up to date.";
        return false;
    }
    qCInfo(hbLog).noquote() << "Brought" << scriptURL.path() << "up to date: it was an unchanged earlier version.";
    return true;
}

bool UserScriptTask::writeScriptFile(const QByteArray& contents, const URL& destination, Error* error)
{
    auto fail = [&](int posixError) {
        if (error)
            *error = Error::fromErrno(posixError, destination.path(), true);
        return false;
    };
    if (destination.isEmpty())
        return fail(EACCES);
    // Created in the folder found beneath the grant, so a folder swapped for a link meanwhile cannot
    // lead the write elsewhere.
    const ResolvedItem place = GrantResolver::item(destination.path(), Need::writing);
    if (!place)
        return fail(place.error);
    const char* name = place.name.c_str();
    const int fd = ::openat(place.folder.get(), name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0755);
    if (fd < 0)
        return fail(errno);
    qsizetype written = 0;
    int failure = 0;
    while (written < contents.size()) {
        const ssize_t n = ::write(fd, contents.constData() + written, static_cast<size_t>(contents.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            failure = n < 0 ? errno : EIO;
            break;
        }
        written += n;
    }
    // The umask may have taken the execute bits away.
    if (failure == 0 && ::fchmod(fd, 0755) != 0)
        failure = errno;
    if (::close(fd) != 0 && failure == 0)
        failure = errno;
    if (failure != 0) {
        ::unlinkat(place.folder.get(), name, 0);
        return fail(failure);
    }
    return true;
}

}  // namespace hb
