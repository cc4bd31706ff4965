#include "platform/vendor/IssueReporter.h"

#include "platform/base/Locations.h"
#include "platform/base/Log.h"
#include "platform/base/ProgramIdentity.h"
#include "platform/interface/Alert.h"
#include "platform/interface/Workspace.h"
#include "platform/vendor/Mailto.h"
#include "platform/vendor/ProgramVersion.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <execinfo.h>
#include <fcntl.h>
#include <typeinfo>
#include <unistd.h>

#include <cxxabi.h>

namespace hb::IssueReporter {

namespace {

// Everything the handlers write is prepared here beforehand: in a signal handler only write(2),
// open(2), backtrace_symbols_fd and raise(3) are used.
char reportFile[4096];
char header[1024];
std::size_t headerSize = 0;
constexpr int fatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
char failureLines[std::size(fatalSignals)][96];
char exceptionLine[1024];
std::atomic<bool> reportClaimed{false};
// A stack of its own, so a stack overflow can still be reported.
alignas(16) char alternateStack[64 * 1024];

constexpr std::size_t maximumMailedReport = 32 * 1024;

void writeText(int fd, const char* text, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, text, size);
        if (written <= 0)
            return;
        text += written;
        size -= static_cast<std::size_t>(written);
    }
}

void writeText(int fd, const char* text)
{
    writeText(fd, text, std::strlen(text));
}

void writeReport(const char* failureLine)
{
    const int fd = ::open(reportFile, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    writeText(fd, header, headerSize);
    writeText(fd, failureLine);
    writeText(fd, "\nBacktrace:\n");
    void* frames[128];
    const int count = ::backtrace(frames, int(std::size(frames)));
    ::backtrace_symbols_fd(frames, count, fd);
    writeText(fd, "\nLast log lines:\n");
    Log::writeRecentLines(fd);
    ::close(fd);
}

void onFatalSignal(int signalNumber)
{
    if (!reportClaimed.exchange(true)) {
        for (std::size_t index = 0; index < std::size(fatalSignals); ++index) {
            if (fatalSignals[index] == signalNumber)
                writeReport(failureLines[index]);
        }
    }
    // The handler was reset on entry: the signal now takes its default action.
    ::raise(signalNumber);
}

const char* signalName(int signalNumber)
{
    switch (signalNumber) {
    case SIGSEGV:
        return "SIGSEGV, invalid memory access";
    case SIGBUS:
        return "SIGBUS, bus error";
    case SIGFPE:
        return "SIGFPE, arithmetic error";
    case SIGILL:
        return "SIGILL, illegal instruction";
    default:
        return "SIGABRT, abort";
    }
}

QByteArray currentExceptionDescription()
{
    std::exception_ptr current = std::current_exception();
    if (!current)
        return "std::terminate called without an exception";
    const std::type_info* type = abi::__cxa_current_exception_type();
    QByteArray typeName = type ? type->name() : "unknown type";
    int status = 0;
    if (char* demangled = abi::__cxa_demangle(typeName.constData(), nullptr, nullptr, &status)) {
        typeName = demangled;
        std::free(demangled);
    }
    try {
        std::rethrow_exception(current);
    } catch (const std::exception& exception) {
        return "uncaught exception " + typeName + ": " + exception.what();
    } catch (...) {
        return "uncaught exception " + typeName;
    }
}

[[noreturn]] void onTerminate()
{
    if (!reportClaimed.exchange(true)) {
        std::snprintf(exceptionLine, sizeof exceptionLine, "Failure: %s\n", currentExceptionDescription().constData());
        writeReport(exceptionLine);
    }
    std::signal(SIGABRT, SIG_DFL);
    std::abort();
}

void prepareReport()
{
    const QByteArray text = QStringLiteral("%1 issue report\nVersion: %2\nProcess: %3\nStarted: %4\n")
                                .arg(programIdentity().name, programVersion(), QString::number(::getpid()),
                                     QDateTime::currentDateTimeUtc().toString(Qt::ISODate))
                                .toUtf8();
    headerSize = std::min(std::size_t(text.size()), sizeof header);
    std::memcpy(header, text.constData(), headerSize);
    std::snprintf(reportFile, sizeof reportFile, "%s", QFile::encodeName(reportPath()).constData());
    for (std::size_t index = 0; index < std::size(fatalSignals); ++index)
        std::snprintf(failureLines[index], sizeof failureLines[index], "Failure: signal %d (%s)\n", fatalSignals[index],
                      signalName(fatalSignals[index]));
    // The first backtrace loads the unwinder, which must not happen inside a signal handler.
    void* frame[1];
    ::backtrace(frame, 1);
}

}  // namespace

QString reportPath()
{
    return Locations::containerDirectory() + QStringLiteral("/Issue Reports/") + programIdentity().name
           + QStringLiteral(".crash");
}

bool hasPendingReport()
{
    return QFileInfo(reportPath()).size() > 0;
}

void installHandlers()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    Log::keepRecentLines();
    QDir().mkpath(QFileInfo(reportPath()).path());
    prepareReport();

    stack_t stack{};
    stack.ss_sp = alternateStack;
    stack.ss_size = sizeof alternateStack;
    ::sigaltstack(&stack, nullptr);
    struct sigaction action {};
    action.sa_handler = onFatalSignal;
    action.sa_flags = SA_RESETHAND | SA_NODEFER | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (const int signalNumber : fatalSignals)
        ::sigaction(signalNumber, &action, nullptr);
    std::set_terminate(onTerminate);
}

void offerPendingReport()
{
    if (!hasPendingReport())
        return;
    QFile file(reportPath());
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QString report = QString::fromUtf8(file.read(maximumMailedReport));
    file.close();

    const QString& program = programIdentity().name;
    Alert alert;
    alert.messageText = QStringLiteral("%1 quit unexpectedly the last time it ran.").arg(program);
    alert.informativeText = QStringLiteral("A report of the problem was saved: the version of %1, what went "
                                           "wrong and where. Send it to its maker by mail? Your mail program opens "
                                           "with the report, so you can read it before sending.")
                                .arg(program);
    alert.addButtonWithTitle(QStringLiteral("Send"));
    alert.addButtonWithTitle(QStringLiteral("Don't Send"));
    if (alert.runModal() == NSAlertFirstButtonReturn
        && !Workspace::openURL(
            Mailto::compose(Mailto::supportAddress(), program + QStringLiteral(" issue report"), report))) {
        HBDebug() << "Issue report kept: no mail program opened";
        return;
    }
    QFile::remove(reportPath());
}

}  // namespace hb::IssueReporter
