#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

namespace velm {

// Drops the user's mouse, key, wheel and drop input to one window while a long
// operation lets the event loop run, so that nothing the user does meanwhile can move
// or edit the rows under it. Painting, timers and closing go on as usual. Holds nest.
class TInputHold : public QObject {
    Q_OBJECT
public:
    explicit TInputHold(QWidget* window);
    ~TInputHold() override;

    void Hold();
    void Release();
    bool Holding() const { return depth_ > 0; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> window_;
    int depth_ = 0;
};

}  // namespace velm
