#include "platform/interface/Sound.h"

#include "TestEnvironment.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// A sound server of the test's own (PulseAudio from Debian) whose one output is a null sink, so that
// playing has a device and what reaches it can be recorded from the sink's monitor. It must run before
// the process first asks for audio devices.
class PrivateSoundServer {
public:
    explicit PrivateSoundServer(const QString& folder) : m_socket(folder + QStringLiteral("/pulse-native"))
    {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
        if (program.isEmpty())
            return;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), folder);
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), folder);
        m_server.setProcessEnvironment(environment);
        m_server.setStandardErrorFile(folder + QStringLiteral("/pulseaudio.log"));
        m_server.start(program,
                       {QStringLiteral("-n"), QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"),
                        QStringLiteral("--use-pid-file=no"), QStringLiteral("-L"),
                        QStringLiteral("module-native-protocol-unix socket=%1 auth-anonymous=1").arg(m_socket),
                        QStringLiteral("-L"), QStringLiteral("module-null-sink sink_name=harbrill_test")});
        qputenv("PULSE_SERVER", "unix:" + QFile::encodeName(m_socket));
        m_started = m_server.waitForStarted(5000) && waitUntil([&] { return answers(); }, 10000);
    }
    ~PrivateSoundServer()
    {
        m_recorder.kill();
        m_recorder.waitForFinished(2000);
        m_server.kill();
        m_server.waitForFinished(5000);
    }
    bool started() const { return m_started; }

    // Records what the sink plays from now on, as 16-bit mono samples.
    void record()
    {
        m_recorder.start(QStringLiteral("parec"),
                         {QStringLiteral("--server=unix:") + m_socket, QStringLiteral("--device=harbrill_test.monitor"),
                          QStringLiteral("--raw"), QStringLiteral("--format=s16le"), QStringLiteral("--channels=1"),
                          QStringLiteral("--rate=22050")});
        m_recorder.waitForStarted(5000);
    }
    // The loudest sample recorded so far.
    int peak()
    {
        m_recorded += m_recorder.readAllStandardOutput();
        int loudest = 0;
        for (qsizetype i = 0; i + 1 < m_recorded.size(); i += 2) {
            qint16 sample;
            std::memcpy(&sample, m_recorded.constData() + i, 2);
            loudest = std::max(loudest, std::abs(int(sample)));
        }
        return loudest;
    }

private:
    bool answers() const
    {
        QProcess info;
        info.start(QStringLiteral("pactl"), {QStringLiteral("--server=unix:") + m_socket, QStringLiteral("info")});
        return info.waitForFinished(2000) && info.exitStatus() == QProcess::NormalExit && info.exitCode() == 0;
    }

    QString m_socket;
    QProcess m_server;
    QProcess m_recorder;
    QByteArray m_recorded;
    bool m_started = false;
};

TEST(Sound, BundleSoundsAreFoundByNameAndUnknownNamesGiveNone)
{
    const std::optional<hb::Sound> confirm = hb::Sound::named("Confirm");
    ASSERT_TRUE(confirm);
    EXPECT_EQ(confirm->path(), ":/sounds/Confirm.wav");
    EXPECT_FALSE(hb::Sound::named("NoSuchSound"));
    EXPECT_FALSE(hb::Sound::named("../sounds/Confirm"));
}

// The bundled sound, played, reaches the audio output: a null sink of a private sound server.
TEST(Sound, PlayingSendsTheSoundToTheAudioOutput)
{
    TestEnvironment env;
    PrivateSoundServer server(env.root());
    if (!server.started()) {
        if (skipsAreFailures())
            GTEST_FAIL() << "no private sound server (pulseaudio and parec, scripts/install-deps.sh installs them)";
        GTEST_SKIP() << "no pulseaudio here";
    }
    ASSERT_FALSE(QMediaDevices::audioOutputs().isEmpty()) << "the sound server's sink is not an audio output";
    server.record();
    waitUntil([] { return false; }, 300);
    const int before = server.peak();

    std::optional<hb::Sound> confirm = hb::Sound::named("Confirm");
    ASSERT_TRUE(confirm);
    EXPECT_TRUE(confirm->play());
    EXPECT_TRUE(waitUntil([&] { return server.peak() > 1000; }, 5000))
        << "nothing loud reached the output (peak " << server.peak() << ", before playing " << before << ")";
}

}  // namespace
