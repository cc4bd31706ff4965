#include "core/sources/HBFinderData.h"

#include "core/store/HBConstants.h"
#include "core/ui/HBUIDelegate.h"
#include "platform/base/Bundle.h"
#include "platform/base/Log.h"
#include "platform/base/MainQueue.h"
#include "platform/base/UserDefaults.h"
#include "platform/files/AccessRegistry.h"
#include "platform/files/FileManager.h"

namespace {

// Only absolute paths honour the script's contract; anything else makes the whole answer a failure.
std::optional<QList<hb::URL>> urlsFromLines(const QStringList& lines)
{
    QList<hb::URL> urls;
    urls.reserve(lines.size());
    for (const QString& line : lines) {
        if (!line.startsWith(u'/'))
            return std::nullopt;
        urls << hb::URL::fileURLWithPath(line);
    }
    return urls;
}

// Scripts the program shipped before and that must not run again: the first one answered with the
// clipboard's files, not the selection, so a file copied hours earlier could be moved by mistake.
const QList<QByteArray> retiredScriptDigests{
    QByteArrayLiteral("1ae7722ccc98e94441cdde3f6e45600d0c7e4c2eb7c7001134572f5baae91397"),
};

}  // namespace

bool HBFinderData::installScript() const
{
    return hb::UserDefaults::standard().boolForKey(scriptInstalledDefaultsKey);
}

std::unique_ptr<hb::UserScriptTask> HBFinderData::automationScriptTask() const
{
    hb::Error error;
    const auto folder = hb::UserScriptTask::applicationScriptsDirectory(true, &error);
    if (!folder) {
        HBDebug() << Q_FUNC_INFO << "no Application Scripts folder error =" << error.localizedDescription();
        return nullptr;
    }
    const hb::URL script = folder->appendingPathComponent(scriptFileName);
    if (const auto contents = hb::Bundle::resourceData(scriptFileName))
        hb::UserScriptTask::replaceRetiredScript(script, retiredScriptDigests, *contents);
    auto task = hb::UserScriptTask::create(script, &error);
    if (!task)
        HBDebug() << Q_FUNC_INFO << "no AppleScript task error =" << error.localizedDescription();
    return task;
}

hb::AppleEventDescriptor HBFinderData::finderSelectionEventDescriptor() const
{
    return {bundleIdentifier, QStringLiteral("ascr"), QStringLiteral("psbr"), handlerName};
}

void HBFinderData::getSelectedFinderURLsWithDelegate(std::shared_ptr<FinderTalk> delegate) const
{
    const auto task = automationScriptTask();
    if (!task) {
        hb::UserDefaults::standard().setBool(scriptInstalledDefaultsKey, false);
        return;
    }
    task->execute(finderSelectionEventDescriptor(),
                  [delegate = std::move(delegate)](const std::optional<QStringList>& lines,
                                                   const std::optional<hb::Error>& error) {
                      const std::optional<QList<hb::URL>> urls = error || !lines ? std::nullopt : urlsFromLines(*lines);
                      hb::MainQueue::async([delegate, urls] { delegate->finderURLs(urls); });
                  });
}

bool HBFinderData::installAutomationScript(HBUIDelegate& uiDelegate) const
{
    hb::Error error;
    const auto folder = hb::UserScriptTask::applicationScriptsDirectory(true, &error);
    if (!folder) {
        HBDebug() << Q_FUNC_INFO << "no Application Scripts folder error =" << error.localizedDescription();
        return false;
    }
    HBOpenPanelRequest panel;
    panel.showsHiddenFiles = true;
    panel.directoryURL = *folder;
    panel.canChooseDirectories = true;
    panel.canChooseFiles = false;
    panel.prompt = QStringLiteral("Paste Script");
    panel.message = QStringLiteral("Please select the %1 folder").arg(folder->path());
    const std::optional<QList<hb::URL>> urls = uiDelegate.runOpenPanel(panel);
    if (!urls || urls->isEmpty() || urls->first() != *folder)
        return false;

    const hb::URL chosen = urls->first();
    const auto contents = hb::Bundle::resourceData(scriptFileName);
    if (!contents)
        return false;
    hb::startAccessingSecurityScopedResource(chosen);
    const hb::URL destination = chosen.appendingPathComponent(scriptFileName);
    bool installed = hb::UserScriptTask::writeScriptFile(*contents, destination, &error);
    if (!installed && error.domain == hb::NSCocoaErrorDomain && error.code == hb::NSFileWriteFileExistsError)
        installed = hb::FileManager::defaultManager().removeItem(destination, &error)
                    && hb::UserScriptTask::writeScriptFile(*contents, destination, &error);
    hb::stopAccessingSecurityScopedResource(chosen);
    if (!installed) {
        HBDebug() << Q_FUNC_INFO << "installing the script failed:" << error.localizedDescription();
        return false;
    }
    hb::UserDefaults::standard().setBool(scriptInstalledDefaultsKey, true);
    hb::UserDefaults::standard().synchronize();
    return true;
}
