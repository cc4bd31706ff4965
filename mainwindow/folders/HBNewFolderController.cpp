#include "mainwindow/folders/HBNewFolderController.h"

#include "core/store/HBURL.h"
#include "platform/base/MainQueue.h"
#include "platform/files/AccessRegistry.h"
#include "platform/files/FileManager.h"
#include "platform/interface/Alert.h"

#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr qsizetype longestFileName = 255;  // bytes

bool insideFolder(const QString& path, const QString& folder)
{
    if (folder == QLatin1String("/"))
        return path.size() > 1;
    return path.startsWith(folder + QLatin1Char('/'));
}
}  // namespace

HBNewFolderController::HBNewFolderController(QWidget* parent) : hb::ViewController(parent) {}

HBNewFolderController::~HBNewFolderController()
{
    if (HBNewFolderControllerDelegate* item = tile())
        item->newFolderCancelled();
}

HBNewFolderControllerDelegate* HBNewFolderController::tile() const
{
    return dynamic_cast<HBNewFolderControllerDelegate*>(collectionItem.data());
}

void HBNewFolderController::loadView()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);
    auto* status = new QLabel(this);
    status->setAccessibleName(QStringLiteral("New Folder Status"));
    auto* name = new QLineEdit(this);
    name->setAccessibleName(QStringLiteral("New Folder Name"));
    name->setPlaceholderText(QStringLiteral("New Folder"));
    name->setMinimumWidth(220);
    auto* create = new QPushButton(QStringLiteral("Create"), this);
    create->setAccessibleName(QStringLiteral("Create Folder"));
    create->setDefault(true);
    layout->addWidget(status);
    layout->addWidget(name);
    layout->addWidget(create, 0, Qt::AlignRight);
    statusLabel = status;
    nameTextField = name;
    connect(create, &QPushButton::clicked, this, &HBNewFolderController::createFolder);
    connect(name, &QLineEdit::returnPressed, this, &HBNewFolderController::createFolder);
}

void HBNewFolderController::viewWillAppear()
{
    if (statusLabel)
        statusLabel->setText(actionString.value_or(QString()) + QStringLiteral(" selected items to..."));
    if (nameTextField)
        nameTextField->setFocus();
    hb::ViewController::viewWillAppear();
}

std::optional<hb::URL> HBNewFolderController::newFolderURL(const hb::URL& parent, const QString& name)
{
    QStringList components;
    for (const QString& component : name.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (component == QLatin1String(".") || component == QLatin1String("..")
            || component.toUtf8().size() > longestFileName)
            return std::nullopt;
        for (const QChar character : component) {
            if (character.category() == QChar::Other_Control)
                return std::nullopt;
        }
        components << component;
    }
    if (components.isEmpty())
        return std::nullopt;
    hb::URL folder = parent;
    for (const QString& component : components)
        folder = folder.appendingPathComponent(component, true);
    // A link inside the parent may point anywhere: judge where the path really leads.
    if (!insideFolder(hb::AccessRegistry::canonicalPath(folder.path()),
                      hb::AccessRegistry::canonicalPath(parent.path())))
        return std::nullopt;
    return folder;
}

void HBNewFolderController::createFolder()
{
    if (!parentFolder)
        return;
    const std::optional<hb::URL> scoped = HBURL::shared().bookmarkedURL(*parentFolder);
    if (!scoped)
        return;
    const bool started = hb::startAccessingSecurityScopedResource(*scoped);
    const std::optional<hb::URL> folder = newFolderURL(*parentFolder,
                                                       nameTextField ? nameTextField->text() : QString());
    hb::Error error;
    if (folder && hb::FileManager::defaultManager().createDirectory(*folder, true, &error)) {
        HBURL::shared().bookmark(*folder, false);
        if (HBNewFolderControllerDelegate* item = tile())
            item->newFolderCreated(folder->path(), actionString);
    } else {
        hb::MainQueue::async([parent = *parentFolder] { showCreateFolderError(parent); });
    }
    if (window() != this)
        window()->hide();
    if (started)
        hb::stopAccessingSecurityScopedResource(*scoped);
}

void HBNewFolderController::showCreateFolderError(const hb::URL& parentFolder)
{
    hb::Alert alert;
    alert.messageText = QStringLiteral("Subfolder could not be created");
    alert.informativeText = QStringLiteral("Please check the permissions of \"") + parentFolder.lastPathComponent()
                            + QStringLiteral("\" and try again");
    alert.runModal();
}
