#pragma once

#include <QSize>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>

class QTextBrowser;
class QToolButton;

namespace Ui {
class FormHelp;
}

namespace velm {

// The help window: the help pages in a browser of our own, so help works on a machine
// without a desktop browser. The pages' links, Back and Forward move within it. One
// window serves the whole run; it is not a main window, so closing the main window
// still ends the program while it is open.
class TFormHelp : public QWidget {
    Q_OBJECT
public:
    explicit TFormHelp(QWidget* parent = nullptr);
    ~TFormHelp() override;

    // Brings the window up at the topic's page (kHelpContentsTopic: the contents), or
    // says which page is missing and where it was looked for. Opened from a modal
    // dialog, the window stays usable while the dialog is up.
    void ShowTopic(int topic);

    // The file of the page shown; empty while a missing page is reported.
    QString PagePath() const;

    QTextBrowser* TextBrowserHelp() const;
    QToolButton* ButtonBack() const;
    QToolButton* ButtonForward() const;
    QToolButton* ButtonContents() const;

private:
    void ShowMissingPage(int topic);
    void KeepUsableOver(QWidget* modalDialog);
    void UpdateTitle();

    std::unique_ptr<Ui::FormHelp> ui_;
    bool missingPage_ = false;
    bool placed_ = false;
    QSize designedSize_;  // what a screen large enough shows
};

// The program's help window, made on first use and discarded when the main loop ends.
TFormHelp* HelpWindow();

}  // namespace velm
