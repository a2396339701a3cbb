#pragma once

#include <QDialog>
#include <QPixmap>

#include <memory>

class QLabel;

namespace Ui {
class FormAbout;
}

namespace velm {

// The about box: name, version, credit and a picture on black. A click anywhere closes
// it, except on the icon and on the years. Created for one use.
class TFormAbout : public QDialog {
    Q_OBJECT
public:
    explicit TFormAbout(QWidget* parent = nullptr);
    ~TFormAbout() override;

    QLabel* ImageProgramIcon() const;
    QLabel* LabelProductName() const;
    QLabel* LabelVersion() const;
    QLabel* LabelCopyright() const;
    QLabel* LabelAuthor() const;
    QLabel* ImagePicture() const;
    QLabel* LabelDescription() const;
    QLabel* LabelScope() const;
    // The catalogue folder in use (empty without a data module).
    QLabel* LabelCatalogueFolder() const;

    // The pictures, drawn at run time.
    static QPixmap ProgramIcon(qreal devicePixelRatio);
    static QPixmap Picture(qreal devicePixelRatio);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void FormClick();

    std::unique_ptr<Ui::FormAbout> ui_;
};

// Shows the about box modally and releases it.
void RunAboutBox(QWidget* parent);

}  // namespace velm
