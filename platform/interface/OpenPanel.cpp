#include "platform/interface/OpenPanel.h"

#include "platform/base/Locations.h"
#include "platform/files/AccessRegistry.h"
#include "platform/interface/Alert.h"

#include <QAbstractItemView>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QLabel>
#include <QSortFilterProxyModel>

namespace hb {

namespace {

OpenPanel::Presenter& presenter()
{
    static OpenPanel::Presenter instance;
    return instance;
}

// Greys out (and makes unselectable) what the panel's enable filter refuses.
class EnableFilterModel : public QSortFilterProxyModel {
public:
    explicit EnableFilterModel(std::function<bool(const URL&)> filter, QObject* parent)
        : QSortFilterProxyModel(parent), m_filter(std::move(filter))
    {
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        Qt::ItemFlags flags = QSortFilterProxyModel::flags(index);
        const QString path = index.data(QFileSystemModel::FilePathRole).toString();
        if (!path.isEmpty() && !m_filter(URL::fileURLWithPath(path)))
            flags &= ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        return flags;
    }

private:
    std::function<bool(const URL&)> m_filter;
};

class PanelDialog : public QFileDialog {
public:
    explicit PanelDialog(const OpenPanel& panel) : m_panel(panel) {}

    QList<URL> chosen;

    void accept() override
    {
        QList<URL> urls;
        bool containsFolder = false;
        for (const QString& file : selectedFiles()) {
            urls << URL::fileURLWithPath(file);
            containsFolder = containsFolder || QFileInfo(file).isDir();
        }
        // A folder that cannot be chosen is opened, as the dialog does by itself.
        if (containsFolder && !m_panel.canChooseDirectories) {
            QFileDialog::accept();
            return;
        }
        if (!m_panel.acceptsChoice(urls))
            return;
        chosen = urls;
        QDialog::accept();
    }

private:
    const OpenPanel& m_panel;
};

}  // namespace

void OpenPanel::setPresenter(Presenter newPresenter)
{
    presenter() = std::move(newPresenter);
}

bool OpenPanel::acceptsChoice(const QList<URL>& urls) const
{
    if (urls.isEmpty() || (urls.size() > 1 && !allowsMultipleSelection))
        return false;
    for (const URL& url : urls) {
        const QFileInfo info(url.path());
        if (url.isEmpty() || !info.exists())
            return false;
        if (info.isDir() ? !canChooseDirectories : !canChooseFiles)
            return false;
        if (shouldEnableURL && !shouldEnableURL(url))
            return false;
    }
    return true;
}

int OpenPanel::runModal()
{
    m_urls.clear();
    std::optional<QList<URL>> answer;
    {
        Modal::Scope modal;
        answer = presenter() ? presenter()(*this) : runDialog();
    }
    if (!answer || !acceptsChoice(*answer))
        return NSModalResponseCancel;
    for (const URL& url : *answer)
        AccessRegistry::grantStanding(url.path());
    m_urls = *answer;
    return NSModalResponseOK;
}

std::optional<QList<URL>> OpenPanel::runDialog() const
{
    PanelDialog dialog(*this);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ReadOnly, !canCreateDirectories);
    if (canChooseDirectories && !canChooseFiles) {
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
    } else if (canChooseDirectories) {
        // Files are listed and selectable too; a double click still opens a folder.
        dialog.setFileMode(QFileDialog::Directory);
    } else {
        dialog.setFileMode(allowsMultipleSelection ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    }
    if (allowsMultipleSelection && canChooseDirectories) {
        for (QAbstractItemView* view : dialog.findChildren<QAbstractItemView*>())
            view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    }
    if (showsHiddenFiles)
        dialog.setFilter(dialog.filter() | QDir::Hidden);
    if (shouldEnableURL)
        dialog.setProxyModel(new EnableFilterModel(shouldEnableURL, &dialog));
    // Without a start folder the panel opens in the home folder, never in the process's working folder.
    dialog.setDirectory(directoryURL ? directoryURL->path() : Locations::userDatabaseHome());
    if (!title.isEmpty())
        dialog.setWindowTitle(title);
    if (!prompt.isEmpty())
        dialog.setLabelText(QFileDialog::Accept, prompt);
    if (!message.isEmpty()) {
        if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
            auto* label = new QLabel(message, &dialog);
            label->setWordWrap(true);
            grid->addWidget(label, grid->rowCount(), 0, 1, grid->columnCount());
        }
    }
    if (accessoryView) {
        if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
            grid->addWidget(accessoryView, grid->rowCount(), 0, 1, grid->columnCount());
    }
    const bool accepted = dialog.exec() == QDialog::Accepted;
    // The dialog deletes its children: the accessory goes back to the caller first.
    if (accessoryView) {
        accessoryView->hide();
        accessoryView->setParent(nullptr);
    }
    if (!accepted)
        return std::nullopt;
    return dialog.chosen;
}

}  // namespace hb
