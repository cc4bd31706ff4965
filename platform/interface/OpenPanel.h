#pragma once

#include "platform/base/URL.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

namespace hb {

enum ModalResponse : int { NSModalResponseCancel = 0, NSModalResponseOK = 1 };

// The open panel: a modal file dialog (Qt's own, not the desktop's, so the enable filter works).
// Every item the user chooses gets a standing access grant for the rest of the run.
class OpenPanel {
public:
    bool canChooseFiles = true;
    bool canChooseDirectories = false;
    bool allowsMultipleSelection = false;
    bool showsHiddenFiles = false;
    bool canCreateDirectories = true;
    std::optional<URL> directoryURL;
    QString title;
    QString message;
    QString prompt;  // the title of the accept button
    // Items it answers false for are shown greyed out and cannot be chosen.
    std::function<bool(const URL&)> shouldEnableURL;
    // Shown below the file list while the panel runs (a check box, say); not owned, and handed back
    // without a parent when the panel closes, so the caller reads it afterwards.
    QPointer<QWidget> accessoryView;

    // NSModalResponseOK with URLs() set, or NSModalResponseCancel.
    int runModal();
    const QList<URL>& URLs() const { return m_urls; }

    // Whether the panel lets the user choose exactly these items (kind, count, enable filter).
    bool acceptsChoice(const QList<URL>& urls) const;

    // Tests install a presenter that answers in place of a person: the chosen URLs, or none for
    // cancel. An answer the panel would not accept counts as cancel.
    using Presenter = std::function<std::optional<QList<URL>>(const OpenPanel&)>;
    static void setPresenter(Presenter presenter);  // null restores the real dialog

private:
    std::optional<QList<URL>> runDialog() const;

    QList<URL> m_urls;
};

}  // namespace hb
