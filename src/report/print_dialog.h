#pragma once

#include "report/print_report.h"

#include <QDialog>
#include <QStringList>

#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QPrinter;
class QPrintPreviewWidget;
class QPushButton;

namespace velm {

// What the print command offers the user: a choice of reports (the selection's, the
// whole catalogue), a preview of the chosen one, and the printing of it.
struct TPrintRequest {
    QStringList Choices;
    // Draws at most a few pages of the chosen report, for the preview.
    std::function<TPrintOutcome(QPrinter& printer, int choice)> Preview;
    // Prints the chosen report, all of it, with progress and Cancel.
    std::function<void(QPrinter& printer, int choice)> Print;
};

// The print dialog goes through one presenter, so tests can print to a PDF file
// without a printer or a window.
class PrintPresenter {
public:
    virtual ~PrintPresenter() = default;
    virtual void Present(QWidget* parent, const TPrintRequest& request) = 0;
};

// Installs a presenter (nullptr restores the real dialog). Returns the previous one.
PrintPresenter* SetPrintPresenter(PrintPresenter* presenter);

void RunPrintDialog(QWidget* parent, const TPrintRequest& request);

// How many pages a preview shows at most: the preview keeps its pages in memory.
inline constexpr int kPreviewPages = 30;

// The real dialog: the choice of report, its preview, and "Print..." which opens the
// system's print dialog (a printer, or a PDF file) and prints.
class TPrintPreviewDialog : public QDialog {
    Q_OBJECT
public:
    TPrintPreviewDialog(const TPrintRequest& request, QWidget* parent = nullptr);
    ~TPrintPreviewDialog() override;

    QComboBox* ComboBoxPrintWhat() const { return choice_; }
    QPrintPreviewWidget* Preview() const { return preview_; }
    QLabel* LabelPreviewNote() const { return note_; }
    QPushButton* ButtonPrint() const { return print_; }
    QPushButton* ButtonClose() const { return close_; }
    QPrinter& Printer() const { return *printer_; }

private:
    void PaintPreview(QPrinter* printer);
    void ShowPage();
    void PrintClick();

    const TPrintRequest& request_;
    std::unique_ptr<QPrinter> printer_;
    QComboBox* choice_ = nullptr;
    QPrintPreviewWidget* preview_ = nullptr;
    QLabel* page_ = nullptr;
    QLabel* note_ = nullptr;
    QPushButton* print_ = nullptr;
    QPushButton* close_ = nullptr;
};

}  // namespace velm
