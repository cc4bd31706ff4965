#pragma once

#include "platform/base/URL.h"
#include "platform/interface/ViewController.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QString>

#include <optional>

// What the new-folder popover tells the tile that opened it.
class HBNewFolderControllerDelegate {
public:
    virtual ~HBNewFolderControllerDelegate() = default;
    // The folder exists: shift the held files into it.
    virtual void newFolderCreated(const QString& folderPath, const std::optional<QString>& actionString) = 0;
    // The popover went away (after success as well).
    virtual void newFolderCancelled() = 0;
};

// The new-folder popover of a tile: the user names a folder, it is made inside the tile's folder (a "/"
// in the name makes nested folders) and the held files are shifted into it. Names that would lead out of
// the tile's folder or cannot be folder names are refused with the same alert as a failed creation.
class HBNewFolderController : public hb::ViewController {
    Q_OBJECT
public:
    explicit HBNewFolderController(QWidget* parent = nullptr);
    ~HBNewFolderController() override;

    QPointer<QLineEdit> nameTextField;
    QPointer<QLabel> statusLabel;
    std::optional<hb::URL> parentFolder;  // none for the add tile
    QPointer<QObject> collectionItem;     // an HBNewFolderControllerDelegate
    std::optional<QString> actionString;  // "Move" or "Copy"

    void createFolder();
    // The reason the file system gave is not shown.
    static void showCreateFolderError(const hb::URL& parentFolder);

    // The folder a typed name stands for inside `parent`, or none when the name is refused: empty, a
    // component "." or "..", a component too long for a file name, a control character, or a result
    // that does not lie inside `parent` once links are followed.
    static std::optional<hb::URL> newFolderURL(const hb::URL& parent, const QString& name);

protected:
    void loadView() override;
    void viewWillAppear() override;

private:
    HBNewFolderControllerDelegate* tile() const;
};
