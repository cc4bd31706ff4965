#include "platform/desktop/UserScriptTask.h"

#include "platform/base/Locations.h"
#include "platform/base/Log.h"
#include "platform/files/GrantResolver.h"

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

Outcome failure(UserScriptTaskError code, const QString& description) { return {std::nullopt, scriptError(code, description)}; }

Outcome runScript(const QString& program, const AppleEventDescriptor& event, std::chrono::milliseconds timeout)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments({event.subroutineName});
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HARBRILL_EVENT_TARGET"), event.target);
    environment.insert(QStringLiteral("HARBRILL_EVENT_CLASS"), event.eventClass);
    environment.insert(QStringLiteral("HARBRILL_EVENT_ID"), event.eventID);
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

    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(output);
    if (decoder.hasError() || output.contains('\0'))
        return failure(UserScriptTaskOutputNotText, QStringLiteral("The script's answer is not UTF-8 text."));
    return {text.split(u'\n', Qt::SkipEmptyParts), std::nullopt};
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
    scriptPool().start([program = m_scriptURL.path(), event, timeout = m_timeout, completion = std::move(completion)] {
        const Outcome outcome = runScript(program, event, timeout);
        if (outcome.error)
            HBDebug() << "user script" << program << "failed:" << outcome.error->localizedDescription();
        if (completion)
            completion(outcome.lines, outcome.error);
    });
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
