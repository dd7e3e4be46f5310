#include "editor/keyconfig.h"

#include "editor/inputbutton.h"
#include "mapping/keymapformat.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

KeyConfig::KeyConfig(QWidget *parent, const char *name)
    : QWidget(parent)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    setup();
    addButton();
}

KeyConfig::KeyConfig(const QList<XmlParser::Key> &keys, QWidget *parent, const char *name)
    : QWidget(parent)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    setup();
    for (const XmlParser::Key &key : keys)
        insertButton(new InputButton(key.key(), key.state(), this));
}

void KeyConfig::setup()
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(6, 6, 6, 6);
    column->setSpacing(6);

    // A line at the top sets this combination apart from the one above it.
    separator = new QFrame(this);
    separator->setFrameStyle(QFrame::HLine | QFrame::Plain);
    column->addWidget(separator);

    keysLayout = new QHBoxLayout;
    keysLayout->setContentsMargins(0, 0, 0, 0);
    keysLayout->setSpacing(6);
    column->addLayout(keysLayout);
    keysLayout->addWidget(new QLabel(tr("Key(s):"), this));
    auto *more = new QPushButton(QStringLiteral(">>"), this);
    keysLayout->addWidget(more);
    connect(more, &QPushButton::clicked, this, &KeyConfig::addButton);

    auto *replacementRow = new QHBoxLayout;
    replacementRow->setContentsMargins(0, 0, 0, 0);
    replacementRow->setSpacing(column->spacing());
    column->addLayout(replacementRow);
    replacementRow->addWidget(new QLabel(tr("Replacement:"), this));
    replacementEdit = new QLineEdit(this);
    replacementRow->addWidget(replacementEdit);

    auto *deleteRow = new QHBoxLayout;
    deleteRow->setContentsMargins(0, 0, 0, 0);
    deleteRow->setSpacing(column->spacing());
    column->addLayout(deleteRow);
    deleteRow->addStretch(1);
    auto *deleteButton = new QPushButton(tr("delete"), this);
    deleteRow->addWidget(deleteButton);
    connect(deleteButton, &QPushButton::clicked, this, &KeyConfig::del);
}

// Capture buttons always go just before ">>": the label is at index 0.
void KeyConfig::insertButton(InputButton *button)
{
    keysLayout->insertWidget(buttons.size() + 1, button);
    buttons.append(button);
}

void KeyConfig::addButton()
{
    auto *button = new InputButton(this);
    keysLayout->insertWidget(buttons.size() + 1, button);
    button->show();
    buttons.append(button);
}

void KeyConfig::del()
{
    Q_EMIT deleteMe(this);
}

void KeyConfig::setReplacement(const QString &text)
{
    replacementEdit->setText(text);
}

QString KeyConfig::xml() const
{
    // Blanks count as text: only an empty replacement leaves the combination out.
    const QString replacement = replacementEdit->text();
    if (replacement.isEmpty())
        return QString();

    QString fragment = KeyMapFormat::combinationStart();
    bool hasKey = false;
    for (const InputButton *button : buttons) {
        if (!button->hasKey())
            continue;
        fragment += KeyMapFormat::keyLine(button->key(), button->state());
        hasKey = true;
    }
    if (!hasKey)
        return QString();
    fragment += KeyMapFormat::replacementLine(replacement);
    fragment += KeyMapFormat::combinationEnd();
    return fragment;
}
