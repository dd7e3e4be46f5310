#include "app/configwidget.h"

#include "editor/keyconfigset.h"
#include "mapping/keymapfile.h"
#include "mapping/keymapformat.h"
#include "mapping/xmlparser.h"
#include "platform/config.h"
#include "platform/global.h"
#include "platform/logging.h"
#include "platform/qcopenvelope.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTextDocumentFragment>
#include <QTimer>
#include <QVBoxLayout>

#include <limits>
#include <utility>

namespace {

const char *const channel = "Tavorin/Private";

QString keyMappingPath()
{
    return Global::applicationFileName(QStringLiteral("tavorin"),
                                       QStringLiteral("hardware-keyboard.xml"));
}

void sendToInputMethod(const char *message)
{
    QCopEnvelope envelope(channel, message);
}

// Told to switch off and not yet on again: switchInputMethodOn() sends "enable()" only
// then, so however many ways of ending meet, it goes out once. A plain static, not a
// member: the program's exit handler needs it, and exit() can come from inside the
// constructor (an unknown element in the key mapping file), before any window exists.
bool inputMethodOff = false;

// A row inside a column: no border of its own, the given gap between its items.
QHBoxLayout *addRow(QVBoxLayout *column, int spacing)
{
    auto *row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(spacing);
    column->addLayout(row);
    return row;
}

} // namespace

ConfigWidget::ConfigWidget(QWidget *parent, const char *name)
    : QTabWidget(parent)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    setWindowTitle(QStringLiteral("Tavorin Settings"));

    // The input method stays off while its settings are edited; this goes out
    // before any page is built.
    sendToInputMethod("disable()");
    inputMethodOff = true;

    auto *general = new QWidget(this);
    addTab(general, QTabWidget::tr("General"));
    auto *generalLayout = new QVBoxLayout(general);
    generalLayout->setContentsMargins(6, 6, 6, 6);
    generalLayout->setSpacing(6);

    QHBoxLayout *symbolsRow = addRow(generalLayout, 6);
    auto *symbolsLabel = new QLabel(QTabWidget::tr("Virtual keyboard:"), general);
    symbolsRow->addWidget(symbolsLabel);
    symbolsEdit = new QLineEdit(general);
    // Each label names its field for assistive technology.
    symbolsLabel->setBuddy(symbolsEdit);
    // Not cut at the line edit's default 32767 characters: what is stored comes back whole.
    symbolsEdit->setMaxLength(std::numeric_limits<int>::max());
    symbolsRow->addWidget(symbolsEdit);

    QHBoxLayout *fontRow = addRow(generalLayout, 6);
    auto *fontLabel = new QLabel(QTabWidget::tr("Virtual keyboard font size: "), general);
    fontRow->addWidget(fontLabel);
    fontSizeBox = new QSpinBox(general);
    fontLabel->setBuddy(fontSizeBox);
    fontSizeBox->setRange(6, 48);
    fontSizeBox->setSingleStep(1);
    fontSizeBox->setValue(12);
    fontRow->addWidget(fontSizeBox);
    fontRow->addStretch(1);

    auto *line = new QFrame(general);
    line->setFrameStyle(QFrame::HLine | QFrame::Plain);
    generalLayout->addWidget(line);

    QHBoxLayout *delayRow = addRow(generalLayout, generalLayout->spacing());
    auto *delayLabel = new QLabel(
        QTabWidget::tr("<qt>Maximum delay between keypair on physical keyboard to be grouped "
                       "for translation</qt>"),
        general);
    // Rich text labels wrap to the space they are given rather than widen the window.
    delayLabel->setWordWrap(true);
    delayRow->addWidget(delayLabel);
    delayBox = new QSpinBox(general);
    delayBox->setRange(100, 10000);
    delayBox->setSingleStep(100);
    delayBox->setSuffix(QStringLiteral("ms"));
    // Named by the label's words, without its markup.
    delayBox->setAccessibleName(QTextDocumentFragment::fromHtml(delayLabel->text()).toPlainText());
    delayRow->addWidget(delayBox);

    generalLayout->addStretch(1);

    auto *keyboard = new QWidget(this);
    addTab(keyboard, QTabWidget::tr("Physical Keyboard"));
    m_keyboardLayout = new QVBoxLayout(keyboard);
    m_keyboardLayout->setContentsMargins(6, 6, 6, 6);
    m_keyboardLayout->setSpacing(6);
    connect(this, &QTabWidget::currentChanged, this, [this, keyboard](int index) {
        if (widget(index) == keyboard)
            keyConfigSet();
    });

    Config config(QStringLiteral("Tavorin"), Config::User);
    config.setGroup(QStringLiteral("Tavorin"));
    symbolsEdit->setText(config.readEntry(QStringLiteral("symbols"), QStringLiteral("\\")));
    // The spin boxes bound stored values that lie outside their range.
    fontSizeBox->setValue(config.readNumEntry(QStringLiteral("fontSize"), 12));
    delayBox->setValue(config.readNumEntry(QStringLiteral("delay"), 1000));

    // Read now, on the window's thread, so that a file with an unknown element ends the
    // program before the window is shown; the list is made from it later (keyConfigSet()).
    const QString path = keyMappingPath();
    XmlParser parser;
    parser.setLimits(KeyMapFile::maxFileSize, KeyMapFile::maxCombinations);
    const std::unique_ptr<XmlParser::Keyboard> read = parser.parse(path);
    prepareKeyConfigSet(path, parser, read.get());
}

void ConfigWidget::switchInputMethodOn()
{
    if (std::exchange(inputMethodOff, false))
        sendToInputMethod("enable()");
}

void ConfigWidget::prepareKeyConfigSet(const QString &path, const XmlParser &parser,
                                       const XmlParser::Keyboard *keyboard)
{
    m_loadedFingerprint = parser.fingerprint();
    if (parser.fileStatus() == KeyMapFile::Status::TooLarge) {
        // Neither loaded nor replaced; the General tab and the messages work as usual.
        qCWarning(lcApp, "%s is too large to edit here (%s); it is left as it is", qPrintable(path),
                  qPrintable(parser.errorString()));
        m_makeKeyConfigSet = [this]() -> KeyConfigSet * {
            m_keyboardLayout->addWidget(new QLabel(
                QTabWidget::tr(
                    "The key mapping file is too large to edit here and is left as it is."),
                m_keyboardLayout->parentWidget()));
            m_keyboardLayout->addStretch(1);
            return nullptr;
        };
        return;
    }
    if (keyboard) {
        if (parser.fileStatus() == KeyMapFile::Status::NotRegular) {
            // Never opened; the save step will not replace it either.
            qCWarning(lcApp, "%s is neither read nor replaced (%s)", qPrintable(path),
                      qPrintable(parser.errorString()));
        } else if (!parser.isComplete()) {
            m_backupBeforeSave = true;
            qCWarning(lcApp, "%s could not be read to its end (%s); showing what was read",
                      qPrintable(path), qPrintable(parser.errorString()));
        }
    }
    // Without a file, the list starts with one empty combination.
    m_makeKeyConfigSet = [this, found = bool(keyboard),
                          items = keyboard ? keyboard->items() : QList<XmlParser::KeyConfig>()] {
        QWidget *page = m_keyboardLayout->parentWidget();
        auto *list = found ? new KeyConfigSet(items, page) : new KeyConfigSet(page);
        m_keyboardLayout->addWidget(list);
        return list;
    };
}

KeyConfigSet *ConfigWidget::keyConfigSet()
{
    if (m_makeKeyConfigSet)
        m_keyConfigSet = std::exchange(m_makeKeyConfigSet, nullptr)();
    return m_keyConfigSet;
}

bool ConfigWidget::event(QEvent *event)
{
    // The list is made once the window's first paint is done, not during it.
    if (event->type() == QEvent::Paint && m_makeKeyConfigSet)
        QTimer::singleShot(0, this, [this] { keyConfigSet(); });
    return QTabWidget::event(event);
}

void ConfigWidget::importKeyMappings(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    KeyConfigSet *list = keyConfigSet();
    if (!list) {
        qCWarning(lcApp, "Not imported, since the key mapping file is too large to edit here: %s",
                  qPrintable(paths.join(QLatin1String(", "))));
        return;
    }
    setCurrentWidget(m_keyboardLayout->parentWidget());
    list->importFiles(paths);
}

void ConfigWidget::saveKeyMappings()
{
    const QString path = keyMappingPath();
    KeyConfigSet *list = keyConfigSet();
    if (!list) {
        qCDebug(lcApp, "%s is left as it is: too large to edit here", qPrintable(path));
        return;
    }
    QString error;
    // Another program may have changed the file since it was read: its content would be
    // lost with the rest of a file read only in part. Only other bytes count as a change;
    // a file grown past the size bound cannot be copied and so is not replaced.
    const KeyMapFile::Contents current = KeyMapFile::read(path);
    const bool changed =
        current.status != KeyMapFile::Status::Missing && current.fingerprint != m_loadedFingerprint;
    // A file shown only in part would lose the rest when replaced: keep it whole
    // beside the new one first, and keep it in place if that is not possible.
    if ((m_backupBeforeSave || changed) && current.status != KeyMapFile::Status::Missing) {
        if (!KeyMapFile::keepBackup(path, &error)) {
            qCDebug(lcApp, "Ups!");
            qCWarning(lcApp, "%s was not replaced: no backup could be made (%s)", qPrintable(path),
                      qPrintable(error));
            return;
        }
        if (changed)
            qCWarning(lcApp,
                      "%s was changed by another program since it was read; its content is "
                      "kept in %s",
                      qPrintable(path), qPrintable(KeyMapFile::backupPath(path)));
        else
            qCWarning(lcApp, "%s could not be read to its end; its original content is kept in %s",
                      qPrintable(path), qPrintable(KeyMapFile::backupPath(path)));
    }
    if (!KeyMapFile::write(path, KeyMapFormat::encode(list->xml()), &error)) {
        qCDebug(lcApp, "Ups!");
        qCWarning(lcApp, "%s was left as it was: %s", qPrintable(path), qPrintable(error));
    }
}

void ConfigWidget::closeEvent(QCloseEvent *event)
{
    // design: the settings are committed before "reread()", so that an input method
    // that re-reads at once finds them.
    Config config(QStringLiteral("Tavorin"), Config::User);
    config.setGroup(QStringLiteral("Tavorin"));
    config.writeEntry(QStringLiteral("symbols"), symbolsEdit->text());
    config.writeEntry(QStringLiteral("fontSize"), fontSizeBox->value());
    config.writeEntry(QStringLiteral("delay"), delayBox->value());
    if (!config.commit()) {
        qCDebug(lcApp, "Ups!");
        qCWarning(lcApp, "%s was left as it was: %s", qPrintable(config.fileName()),
                  qPrintable(config.errorString()));
    }

    // The file is complete and closed before the input method is told to re-read it.
    saveKeyMappings();

    sendToInputMethod("reread()");
    switchInputMethodOn();

    QTabWidget::closeEvent(event);
}
