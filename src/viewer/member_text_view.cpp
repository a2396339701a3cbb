#include "viewer/member_text_view.h"

#include "kit/messages.h"
#include "kit/window_fit.h"
#include "import/code_pages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QKeySequence>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QStringDecoder>
#include <QTextCursor>
#include <QVBoxLayout>

#include <optional>
#include <utility>

namespace velm {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Marks that reorder the text around them or hide what follows: shown, they could make
// a line read differently from what it holds.
bool ReordersText(char16_t c) {
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

QString Decode(QByteArrayView bytes) {
    const std::optional<QStringConverter::Encoding> marked = QStringConverter::encodingForData(bytes);
    if (marked && *marked != QStringConverter::Utf8) {
        QStringDecoder decoder(*marked);
        return decoder(bytes);
    }
    // Stateful: a character cut in two at the end of what was read is no error.
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    return utf8.hasError() ? DecodeWindows1252(bytes) : text;
}

// Breaks every line longer than the limit into pieces of that length; true when any was.
bool BreakLongLines(QString& text, qsizetype limit) {
    qsizetype run = 0;
    bool longLine = false;
    for (const QChar c : std::as_const(text)) {
        run = c == u'\n' ? 0 : run + 1;
        longLine = longLine || run > limit;
    }
    if (!longLine)
        return false;
    QString broken;
    broken.reserve(text.size() + text.size() / limit);
    run = 0;
    for (const QChar c : std::as_const(text)) {
        if (c != u'\n' && run == limit) {
            broken += u'\n';
            run = 0;
        }
        broken += c;
        run = c == u'\n' ? 0 : run + 1;
    }
    text = std::move(broken);
    return true;
}

}  // namespace

QString DisplayableText(QByteArrayView bytes) {
    const QString text = Decode(bytes);
    QString shown;
    shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'\r') {
            shown += u'\n';
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
        } else if (c == u'\n' || c == u'\t') {
            shown += QChar(c);
        } else if (c == 0x2028 || c == 0x2029) {
            shown += u'\n';
        } else if (c < 0x20 || c == 0x7F) {
            // Caret notation, as cat -v and less show them: every font has the glyphs,
            // which the Unicode control pictures lack in the usual fixed-width fonts.
            shown += u'^';
            shown += QChar(char16_t(c ^ 0x40));
        } else if ((c >= 0x80 && c <= 0x9F) || ReordersText(c)) {
            shown += QChar(kReplacement);
        } else {
            shown += QChar(c);
        }
    }
    return shown;
}

TMemberTextView::TMemberTextView(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("MemberTextView"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    notShown_ = new QLabel(this);
    notShown_->setObjectName(QStringLiteral("LabelNotShown"));
    notShown_->setTextFormat(Qt::PlainText);
    notShown_->hide();
    layout->addWidget(notShown_);
    text_ = new QPlainTextEdit(this);
    text_->setObjectName(QStringLiteral("PlainTextMember"));
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    layout->addWidget(text_);
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
    // A read-only text has no keyboard caret of its own: Ctrl+Home and Ctrl+End move
    // to the text's beginning and end as they would in an editor.
    const auto jumpTo = [this](QTextCursor::MoveOperation where) {
        QTextCursor cursor = text_->textCursor();
        cursor.movePosition(where);
        text_->setTextCursor(cursor);
        text_->ensureCursorVisible();
    };
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Home), this), &QShortcut::activated, this,
            [jumpTo] { jumpTo(QTextCursor::Start); });
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_End), this), &QShortcut::activated, this,
            [jumpTo] { jumpTo(QTextCursor::End); });
    resize(640, 480);
}

bool TMemberTextView::LoadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        errorText_ = file.errorString();
        return false;
    }
    const qint64 total = file.size();
    const QByteArray bytes = file.read(kMaxShownBytes);
    if (file.error() != QFileDevice::NoError) {
        errorText_ = file.errorString();
        return false;
    }
    setWindowTitle(QFileInfo(path).fileName());
    QString text = DisplayableText(bytes);
    const bool broken = BreakLongLines(text, kMaxLineLength);
    text_->setPlainText(text);
    const QLocale locale;
    QStringList notes;
    if (total > bytes.size()) {
        notes << QStringLiteral("Only the first %1 bytes of %2 are shown.")
                     .arg(locale.toString(bytes.size()), locale.toString(total));
    }
    if (broken)
        notes << QStringLiteral("Lines longer than %1 characters are shown in pieces.").arg(locale.toString(kMaxLineLength));
    notShown_->setText(notes.join(u' '));
    notShown_->setVisible(!notes.isEmpty());
    return true;
}

void ShowMemberText(const QString& path, QWidget* owner) {
    auto* view = new TMemberTextView(owner);
    if (!view->LoadFile(path)) {
        const QString reason = view->ErrorText();
        delete view;
        ShowError(QStringLiteral("The file %1 cannot be shown: %2").arg(QDir::toNativeSeparators(path), reason));
        return;
    }
    // On the owner's screen, a little below and right of the owner's corner, and wholly
    // on that screen however small it is.
    const QWidget* ownerWindow = owner ? owner->window() : nullptr;
    const QPoint beside = ownerWindow ? ownerWindow->geometry().topLeft() + QPoint(40, 40) : QPoint();
    if (ownerWindow)
        FitToScreen(view, ScreenFor(ownerWindow), beside);
    else
        CentreOnScreen(view, ScreenFor(nullptr));
    view->show();
    view->raise();
    view->activateWindow();
}

}  // namespace velm
