#include "editor/undobar.h"

#include "editor/announcer.h"
#include "editor/keyconfigset.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

namespace {
constexpr int undoTimeoutMs = 10000;
const QKeyCombination undoKey(Qt::ControlModifier, Qt::Key_Z);
} // namespace

UndoBar::UndoBar(KeyConfigSet *list)
    : QFrame(list)
    , m_list(list)
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    hide();
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(6, 6, 6, 6);
    row->setSpacing(6);
    m_label = new QLabel(this);
    m_label->setTextFormat(Qt::PlainText);
    row->addWidget(m_label, 1);
    m_button = new QPushButton(tr("Undo"), this);
    row->addWidget(m_button);
    connect(m_button, &QPushButton::clicked, this, [this] { undo(); });

    // Only while the page is shown; a focused capture button takes Ctrl+Z as a key.
    m_shortcut = new QShortcut(QKeySequence(undoKey), list);
    m_shortcut->setContext(Qt::WindowShortcut);
    m_shortcut->setEnabled(false);
    connect(m_shortcut, &QShortcut::activated, this, [this] { undo(); });

    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    m_timer->setInterval(undoTimeoutMs);
    connect(m_timer, &QTimer::timeout, this, [this] { drop(); });
}

void UndoBar::offer(const QString &text, std::function<void()> undo)
{
    m_undo = std::move(undo);
    m_label->setText(text);
    // Heard when it appears, and with "Undo", which takes the focus after a delete.
    m_button->setAccessibleDescription(text);
    Announcer::announce(this, text);
    show();
    m_shortcut->setEnabled(true);
    qApp->installEventFilter(this);
    m_timer->start();
}

void UndoBar::drop(QWidget *focusAfter)
{
    if (!m_undo)
        return;
    m_undo = nullptr;
    m_timer->stop();
    m_shortcut->setEnabled(false);
    qApp->removeEventFilter(this);
    // Hidden with the focus, the bar would pass it on to the next widget in the chain,
    // perhaps a capture button.
    if (QWidget *focus = QApplication::focusWidget(); isAncestorOf(focus)) {
        if (focusAfter)
            focusAfter->setFocus();
        else
            focus->clearFocus();
    }
    hide();
}

void UndoBar::undo()
{
    // The undo drops the offer itself, with the focus where it belongs: it runs from a copy.
    if (const std::function<void()> undo = m_undo)
        undo();
}

// A replacement field claims Ctrl+Z for its own undo; while a delete or an import can be
// undone, the fields of the list leave it to the undo bar.
bool UndoBar::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride && qobject_cast<QLineEdit *>(watched)
        && m_list->holds(static_cast<QWidget *>(watched))
        && static_cast<QKeyEvent *>(event)->keyCombination() == undoKey) {
        event->ignore();
        return true;
    }
    return QFrame::eventFilter(watched, event);
}
