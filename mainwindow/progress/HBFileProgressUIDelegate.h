#pragma once

#include "core/engine/HBEngineTypes.h"

class QWidget;

// How a row of the progress window reports the user's answer to its list.
class HBFileProgressUIDelegate {
public:
    virtual ~HBFileProgressUIDelegate() = default;
    virtual void closeRow(QWidget* rowView) = 0;
    virtual void ruleChosen(const Rule& rule, QWidget* cell) = 0;
};
