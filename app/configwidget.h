#ifndef CONFIGWIDGET_H
#define CONFIGWIDGET_H

#include <QTabWidget>

QT_BEGIN_NAMESPACE
class QCloseEvent;
class QLineEdit;
class QSpinBox;
class QVBoxLayout;
QT_END_NAMESPACE

class KeyConfigSet;

// The settings window: a "General" tab for the on-screen keyboard and the key-pair
// delay, and a "Physical Keyboard" tab with the key combinations. While it is open
// the input method is switched off; closing it is the one place where everything is
// saved and the input method is told to re-read and switch on again.
//
// It has no meta-object of its own, so its texts are translated in the context of
// its base class, "QTabWidget".
class ConfigWidget : public QTabWidget
{
public:
    explicit ConfigWidget(QWidget *parent = nullptr, const char *name = nullptr);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    friend class ConfigWidgetTest;

    QLineEdit *symbolsEdit = nullptr;
    QSpinBox *fontSizeBox = nullptr;
    KeyConfigSet *keyConfigSet = nullptr;
    QSpinBox *delayBox = nullptr;

    QVBoxLayout *m_keyboardLayout = nullptr; // the Physical Keyboard page's column
};

#endif // CONFIGWIDGET_H
