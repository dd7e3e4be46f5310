#ifndef FINDBUTTON_H
#define FINDBUTTON_H

#include <QPushButton>
#include <QWidget>

// The push button below parent that shows text, as a user would find it; null if none.
inline QPushButton *findButton(const QWidget *parent, const QString &text)
{
    const auto children = parent->findChildren<QPushButton *>();
    for (QPushButton *button : children) {
        if (button->text() == text)
            return button;
    }
    return nullptr;
}

#endif // FINDBUTTON_H
