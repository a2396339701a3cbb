#pragma once

#include "widgets/field_data_link.h"

#include <QLabel>

namespace velm {

// Read-only text showing a field of the current row.
class TDBText : public QLabel, public TDataAware {
    Q_OBJECT
    Q_PROPERTY(QString DataField READ DataField WRITE SetDataField)
public:
    explicit TDBText(QWidget* parent = nullptr);

private:
    void ShowField();
};

}  // namespace velm
