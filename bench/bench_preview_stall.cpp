// The longest stall of the main loop while the choose-folder pane draws the preview of four large
// photographs (20 megapixels each, no cached thumbnails): the drawing runs on a worker, so the loop must
// keep ticking. For contrast the same preview is then drawn on the main thread.
// Usage: bench_preview_stall [rounds]
#include "app/identity/HarbrillIdentity.h"
#include "core/store/HBURL.h"
#include "mainwindow/status/HBFilePreview.h"
#include "mainwindow/status/HBStatusChooseFolderController.h"
#include "platform/base/Locations.h"
#include "platform/files/AccessRegistry.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr QSize kPhotoSize(5472, 3648);  // 20 megapixels

void writePhoto(const QString& path, int seed)
{
    QImage image(kPhotoSize, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, kPhotoSize.width(), kPhotoSize.height());
    gradient.setColorAt(0, QColor::fromHsv((seed * 80) % 360, 200, 230));
    gradient.setColorAt(1, QColor::fromHsv((seed * 80 + 120) % 360, 180, 90));
    painter.fillRect(image.rect(), gradient);
    for (int i = 0; i < 400; ++i)
        painter.fillRect((i * 7919 + seed * 31) % kPhotoSize.width(), (i * 104729) % kPhotoSize.height(), 120, 80,
                         QColor::fromHsv((i * 37 + seed) % 360, 255, 255));
    painter.end();
    image.save(path, "JPEG", 90);
}

// Ticks the main loop as fast as it goes and keeps the longest gap between two ticks.
class StallMeter {
public:
    StallMeter()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        });
    }
    void start()
    {
        m_longest = 0;
        m_clock.start();
        m_last = 0;
        m_timer.start(0);
    }
    double stop()
    {
        m_timer.stop();
        return m_longest / 1e6;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

void spin(int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

}  // namespace

int main(int argc, char** argv)
{
    hb::setProgramIdentity(harbrillIdentity());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir base;
    for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"})
        qputenv(variable, (base.path() + "/" + variable).toUtf8());
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    hb::Locations::setUserDatabaseHome(base.path() + "/home");
    const QString folder = base.path() + "/home/Pictures";
    QDir().mkpath(folder);
    QList<hb::URL> photos;
    QElapsedTimer writing;
    writing.start();
    for (int i = 0; i < 4; ++i) {
        const QString path = QStringLiteral("%1/photo%2.jpg").arg(folder).arg(i);
        writePhoto(path, i);
        photos << hb::URL::fileURLWithPath(path, false);
    }
    std::printf("4 photos of %dx%d written in %.1f s\n", kPhotoSize.width(), kPhotoSize.height(),
                writing.elapsed() / 1e3);
    hb::AccessRegistry::grantStanding(folder);
    HBURL::shared().bookmark(hb::URL::fileURLWithPath(folder, true), false);

    HBStatusChooseFolderController pane;
    pane.resize(372, 64);
    pane.show();
    spin(200);

    StallMeter meter;
    double worstStall = 0;
    double worstIdle = 0;
    for (int round = 0; round < rounds; ++round) {
        // The same loop with nothing to draw: what the machine itself costs.
        meter.start();
        spin(150);
        const double idle = meter.stop();
        worstIdle = std::max(worstIdle, idle);

        bool ready = false;
        const auto connection = QObject::connect(&pane.preview(), &HBFilePreview::previewReady,
                                                 [&ready] { ready = true; });
        meter.start();
        spin(20);
        QElapsedTimer drawing;
        drawing.start();
        pane.updateStatus(photos, DataSource::finder);
        const double onMainThread = drawing.nsecsElapsed() / 1e6;
        while (!ready)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const double drawn = drawing.nsecsElapsed() / 1e6;
        spin(20);
        const double stall = meter.stop();
        QObject::disconnect(connection);
        worstStall = std::max(worstStall, stall);
        std::printf("round %d: pane updated in %.2f ms, preview ready after %.1f ms, longest main-loop stall %.2f ms "
                    "(idle loop: %.2f ms)\n",
                    round + 1, onMainThread, drawn, stall, idle);
    }

    QElapsedTimer onMain;
    onMain.start();
    const QImage image = HBFilePreview::getPreviewImageForLastThree(photos);
    const double mainThread = onMain.nsecsElapsed() / 1e6;
    std::printf("the same preview drawn on the main thread would stall it %.1f ms (%dx%d)\n", mainThread, image.width(),
                image.height());
    double load[3] = {0, 0, 0};
    if (getloadavg(load, 3) > 0)
        std::printf("load average while measuring: %.1f; longest stall of the idle loop: %.2f ms\n", load[0],
                    worstIdle);
    std::printf("longest main-loop stall over %d rounds: %.2f ms (limit 16 ms): %s\n", rounds, worstStall,
                worstStall <= 16.0 ? "within" : "OVER");
    return worstStall <= 16.0 ? 0 : 1;
}
