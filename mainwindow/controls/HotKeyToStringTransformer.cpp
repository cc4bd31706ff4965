#include "mainwindow/controls/HotKeyToStringTransformer.h"

#include "core/hotkey/HBHotKeyManage.h"

#include <QApplication>
#include <QLabel>

void HBAttributedString::applyTo(QLabel& label) const
{
    label.setFont(font);
    label.setText(string);
    QMargins margins = label.contentsMargins();
    margins.setBottom(int(baselineOffset));
    label.setContentsMargins(margins);
}

QVariant HotKeyToStringTransformer::transformedValue(const QVariant& value) const
{
    const QString text = HBHotKeyManage::sharedInstance().getHotKeyStringFromDictionary(value).toUpper();
    QFont font = QApplication::font();
    font.setPointSizeF(text.size() <= 2 ? kShortTextPointSize : kLongTextPointSize);
    return QVariant::fromValue(HBAttributedString{text, font, kBaselineOffset});
}
