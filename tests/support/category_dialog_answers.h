#pragma once

#include "import/form_moveto_category.h"
#include "support/modal_dialog.h"

#include <QPushButton>
#include <QString>
#include <QTableWidget>

namespace velm::test {

// Picks a category in the next move dialog and closes it with OK or Cancel.
inline void AnswerMove(const QString& category, bool ok) {
    AnswerNextModal<TFormMovetoCategory>([category, ok](TFormMovetoCategory* dialog) {
        QTableWidget* grid = dialog->DBGridCategories();
        for (int row = 0; row < grid->rowCount(); ++row)
            if (grid->item(row, 0)->text() == category)
                grid->setCurrentCell(row, 0);
        (ok ? dialog->BitBtnOK() : dialog->BitBtnCancel())->click();
    });
}

}  // namespace velm::test
