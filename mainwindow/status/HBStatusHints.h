#pragma once

#include <QString>

class QWidget;

// The animations the status panes share.
namespace HBStatusHints {
// The hot-key hint follows the recorder: a new hot key ("values.HotKey") makes it fully visible over
// two seconds unless it already is; the recorder opening ("values.launchedHotkey" true) dims it to 30 %
// over one second, closing brings it back over one second. Other key paths change nothing.
void hotKeyHintChanged(QWidget* hotKeyLabel, const QString& keyPath);
// A quick sideways shake of the status line, to draw the eye to it.
void shake(QWidget* statusLine);
}  // namespace HBStatusHints
