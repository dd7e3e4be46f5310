// Fuzz target for the key mapping reader. Besides surviving any bytes, whatever it reads
// must come back unchanged when written with KeyMapFormat and read again.
#include "mapping/keymapformat.h"
#include "mapping/xmlparser.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// An unknown element stops the parse instead of ending the process.
class FuzzParser : public XmlParser
{
public:
    bool sawUnknown = false;

protected:
    void unknownTag(const QString &) override
    {
        sawUnknown = true;
        stop();
    }
};

QString write(const XmlParser::Keyboard &keyboard)
{
    QString document = KeyMapFormat::documentStart();
    for (const XmlParser::KeyConfig &config : keyboard.items()) {
        document += KeyMapFormat::combinationStart();
        for (const XmlParser::Key &key : config.items())
            document += KeyMapFormat::keyLine(key.key(), key.state());
        document += KeyMapFormat::replacementLine(config.replacement());
        document += KeyMapFormat::combinationEnd();
    }
    return document + KeyMapFormat::documentEnd();
}

void check(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "round trip broken: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzParser parser;
    const auto keyboard =
        parser.read(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    check(keyboard != nullptr, "no model");
    check(parser.isComplete() == parser.errorString().isEmpty(), "error string");

    FuzzParser again;
    const auto reread = again.read(KeyMapFormat::encode(write(*keyboard)));
    check(reread != nullptr && again.isComplete() && !again.sawUnknown, "written file unreadable");
    check(reread->items().size() == keyboard->items().size(), "number of combinations");
    for (qsizetype i = 0; i < keyboard->items().size(); ++i) {
        const XmlParser::KeyConfig &before = keyboard->items().at(i);
        const XmlParser::KeyConfig &after = reread->items().at(i);
        check(after.items().size() == before.items().size(), "number of keys");
        for (qsizetype k = 0; k < before.items().size(); ++k) {
            check(after.items().at(k).key() == before.items().at(k).key(), "key code");
            check(after.items().at(k).state() == before.items().at(k).state(), "state");
        }
        // An absent text is written as an empty one.
        const QString text =
            before.replacement().isNull() ? QLatin1String("") : before.replacement();
        check(after.replacement() == text, "replacement text");
    }
    return 0;
}
