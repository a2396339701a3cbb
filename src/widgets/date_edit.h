#pragma once

#include <QDate>
#include <QLineEdit>
#include <QPointer>

class QCalendarWidget;
class QFrame;

namespace velm {

// A date box that may also be empty, with a button (and Alt+Down or F4) that drops down
// a calendar. Dates are typed in the locale's short numeric form with a four-digit year.
class TDateEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TDateEdit(QWidget* parent = nullptr);

    // The typed date; null when the box is empty or does not hold a whole date.
    QDate Date() const;
    // A null date empties the box.
    void SetDate(const QDate& date);
    bool IsEmpty() const { return text().trimmed().isEmpty(); }
    // Empty or a whole, valid date.
    bool HasValidDate() const;
    static QString DisplayFormat();

    void ShowCalendar();
    void HideCalendar();
    // The drop-down calendar while it is shown, else null.
    QCalendarWidget* Calendar() const;

signals:
    // The user picked a date in the calendar.
    void dateChosen(const QDate& date);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CalendarPicked(const QDate& date);

    QPointer<QFrame> popup_;
    QCalendarWidget* calendar_ = nullptr;
};

}  // namespace velm
