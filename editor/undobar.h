#ifndef UNDOBAR_H
#define UNDOBAR_H

#include <QCoreApplication>
#include <QFrame>

#include <functional>

QT_BEGIN_NAMESPACE
class QLabel;
class QPushButton;
class QShortcut;
class QTimer;
QT_END_NAMESPACE

class KeyConfigSet;

// The bar above the list that offers, for ten seconds, to take back the last delete or
// import: a sentence, "Undo" and Ctrl+Z. Hidden (and so taking no room) while there is
// nothing to take back.
class UndoBar : public QFrame
{
    // Its texts keep the context of the list they were first written for.
    Q_DECLARE_TR_FUNCTIONS(KeyConfigSet)

public:
    explicit UndoBar(KeyConfigSet *list);

    // Shows text and offers undo, in place of what was offered before.
    void offer(const QString &text, std::function<void()> undo);
    // Takes the offer back; focusAfter takes the focus if the bar had it.
    void drop(QWidget *focusAfter = nullptr);
    bool isOffering() const { return bool(m_undo); }
    // What "Undo" and Ctrl+Z do; nothing while nothing is offered.
    void undo();
    QPushButton *button() const { return m_button; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend class KeyConfigSetTest;

    KeyConfigSet *m_list;
    QLabel *m_label = nullptr;
    QPushButton *m_button = nullptr;
    QShortcut *m_shortcut = nullptr;
    QTimer *m_timer = nullptr;
    std::function<void()> m_undo; // empty: nothing to undo
};

#endif // UNDOBAR_H
