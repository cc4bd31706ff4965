#pragma once

#include "platform/base/UserDefaults.h"
#include "platform/interface/Alert.h"

#include <QList>
#include <QObject>

// Tells the person, once and in words, that a settings or destinations file could not be read: which
// file it was, where it is kept now, and that what it held was reset. Without it they would only meet
// the first-launch pages again, or an empty grid, and never learn why.
class SetAsideNotice : public QObject {
    Q_OBJECT
public:
    explicit SetAsideNotice(QObject* parent = nullptr) : QObject(parent) {}
    ~SetAsideNotice() override;

    // From now on every file set aside is told as soon as the event loop turns; so are those set aside
    // before.
    void start();

    // One alert for the files set aside together.
    static hb::Alert alertFor(const QList<hb::SetAsideDefaultsFile>& files);

private:
    void tell();
};
