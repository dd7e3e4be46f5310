// Parses the key mapping file named on its command line inside a running application,
// as the program does at start, and prints a one-line summary of the model. Tests run
// it as a child process to watch how an unknown element ends the process.
#include "mapping/xmlparser.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    XmlParser parser;
    const auto keyboard = parser.parse(QString::fromLocal8Bit(argv[1]));
    if (!keyboard) {
        std::puts("no file");
        return 0;
    }
    std::printf("%d combinations, %s\n", int(keyboard->items().size()),
                parser.isComplete() ? "complete" : "incomplete");
    return 0;
}
