#pragma once

#include <QString>

class QLabel;
class QWidget;
struct HBHotKeyState;

// The animations the status panes share.
namespace HBStatusHints {
// The hot-key hint follows the recorder: a new hot key ("values.HotKey") makes it fully visible over
// two seconds unless it already is; the recorder opening ("values.launchedHotkey" true) dims it to 30 %
// over one second, closing brings it back over one second. Other key paths change nothing.
void hotKeyHintChanged(QWidget* hotKeyLabel, const QString& keyPath);
// The notice line says why the hot key does not work, and is hidden while it works.
void showHotKeyNotice(QLabel* notice, const HBHotKeyState& state);
// A quick sideways shake of the status line, to draw the eye to it.
void shake(QWidget* statusLine);
}  // namespace HBStatusHints
