#pragma once

#include "platform/base/URL.h"

#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

// Points every root the program uses (XDG folders, user-database home, runtime folder) at a fresh
// temporary folder, resets the shared defaults and the access registry, and restores all on teardown.
class TestEnvironment {
public:
    TestEnvironment();
    ~TestEnvironment();

    QString root() const;                                   // the temporary folder everything hangs off
    QString home() const;                                   // root()/home (the redirected user-database home)
    QString makeFolder(const QString& relativePath) const;  // under root(), with intermediates
    QString writeFile(const QString& relativePath, const QByteArray& contents) const;
    // A URL that opens a scope over `path` (as if it came from resolving a security-scoped bookmark).
    hb::URL scopedURL(const QString& path) const;
    // Standing access to `path`, as if the user chose it in an open panel.
    void grant(const QString& path) const;

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QByteArray m_saved[5];
};

// A fixture with its own TestEnvironment.
class HarbrillTest : public ::testing::Test {
protected:
    TestEnvironment env;
};

// Pumps the GUI event loop until `predicate` holds or `timeoutMs` passes; answers the predicate.
bool waitUntil(const std::function<bool()>& predicate, int timeoutMs = 5000);

// Under CI (CI=true, run as root on a fresh machine) a skip would hide a test whose set-up failed.
bool skipsAreFailures();

// Leaves a test whose root-only set-up (a mount, a lock flag, another user) was refused: a skip on a
// developer's machine, a failure under CI.
#define HB_SKIP_WITHOUT_ROOT_SETUP(reason)                                     \
    do {                                                                       \
        if (skipsAreFailures())                                                \
            GTEST_FAIL() << "root-only set-up refused under CI: " << (reason); \
        else                                                                   \
            GTEST_SKIP() << (reason);                                          \
    } while (false)
