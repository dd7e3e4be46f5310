#ifndef INPUTBUTTON_H
#define INPUTBUTTON_H

#include <QPushButton>

QT_BEGIN_NAMESPACE
class QEvent;
class QKeyEvent;
QT_END_NAMESPACE

// Records one key of a key combination. Clicked, it takes the keyboard focus; every key
// pressed while it has the focus is consumed here and, if the key label table knows it,
// becomes the button's key, shown by a short label. Keys and modifiers are held in the
// fixed numbering of the key mapping file (see keycodes.h), not in Qt's.
class InputButton : public QPushButton
{
    Q_OBJECT

public:
    explicit InputButton(QWidget *parent = nullptr, const char *name = nullptr);
    // A button for a key read from the key mapping file. A key without a label leaves
    // the button empty and not changed, but it still holds the key, so that saving
    // writes it back instead of silently dropping it from its combination.
    InputButton(int key, int state, QWidget *parent = nullptr, const char *name = nullptr);

    // Labels the button by the key label table; a key without an entry changes nothing.
    // Deliberately hides QPushButton::setText(const QString &).
    void setText(int key, int state);

    bool changed() const { return changedFlag; }
    int key() const { return keyCode; }
    int state() const { return keyState; }
    // True when there is a key to write: a captured one, or an unlabelled one it was
    // built from.
    bool hasKey() const { return changedFlag || m_holdsUnlabelledKey; }

    // Where the button sits, for assistive technology ("key 2 of combination 3"): its
    // accessible description. The accessible name stays the visible label.
    void setPosition(const QString &position);
    // A note on the combination ("Not saved: no replacement text"), read after the place.
    void setHint(const QString &hint);

    // For a button that takes keys for something else (the list's "Press Keys"): it
    // keeps its own label and key, and only reports each key pressed (keyPressed).
    void setKeepsLabel(bool keeps) { m_keepsLabel = keeps; }

Q_SIGNALS:
    // A key press (or setText) gave the button a key.
    void keyChanged();
    // A key with a label was pressed while the button had the focus.
    void keyPressed(int key, int state);

protected Q_SLOTS:
    void takeFocus();

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool changedFlag = false;
    int keyCode = 0;
    int keyState = 0;

    bool m_holdsUnlabelledKey = false;
    bool m_keepsLabel = false;
    QString m_position;
    QString m_hint;

    void updateDescription();
};

#endif // INPUTBUTTON_H
