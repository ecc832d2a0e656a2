// --help and --version are answered wherever they stand; everything else is
// left to Qt.
#include "commandline.h"

#include <QtTest>

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void onlyInformationOptionsAreAnswered()
    {
        auto answer = [](std::initializer_list<const char *> args) {
            std::vector<char *> argv{const_cast<char *>("tavelin-meters")};
            for (const char *arg : args)
                argv.push_back(const_cast<char *>(arg));
            argv.push_back(nullptr);
            return answerInformationOptions(static_cast<int>(argv.size()) - 1, argv.data());
        };
        QCOMPARE(answer({}), -1);
        QCOMPARE(answer({"-platform", "offscreen", "-help", "--helpful"}), -1);
        QCOMPARE(answer({"-platform", "offscreen", "--version"}), 0);
        QCOMPARE(answer({"--help"}), 0);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)

#include "test_commandline.moc"
