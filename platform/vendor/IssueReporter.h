#pragma once

#include <QString>

namespace hb {

// Reports of unhandled failures. Once installed, a fatal signal (SIGSEGV, SIGBUS, SIGFPE, SIGILL,
// SIGABRT) or an uncaught exception writes a report into the container (program version, what
// failed, the backtrace and the last log lines) and the process then dies as it would have. The next
// start finds the report and offers to mail it to the support address.
namespace IssueReporter {
// Installs the handlers once per process; later calls do nothing.
void installHandlers();
QString reportPath();  // <container>/Issue Reports/<name of the program>.crash
bool hasPendingReport();
// Asks "Send" / "Don't Send" about a pending report (none: nothing happens). Sending opens a new mail
// holding the report; the report is removed once answered, except when the mail program could not be
// opened, so that it is offered again.
void offerPendingReport();
}  // namespace IssueReporter

}  // namespace hb
