#include "resources/Resources.h"
#include "ui/StyleSheetLoader.h"
#include "ui/UiScale.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// Each case writes its sheets into a fresh directory (a name ending in "/" is
// a directory) and loads "main.css" with "base/" as the base directory.
// "%D" in the expected messages stands for that directory.
class tst_StyleSheetLoader : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_path = QFileInfo(m_dir->path()).canonicalFilePath();
        QVERIFY(QDir(m_path).mkdir(QStringLiteral("base")));
    }

    void load_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("presets");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QStringList>("errors");

        QTest::newRow("imports, definitions and substitution")
            << QStringList{"base/Defs.qsse", "$gray-2: #e0e0e0;\n$font-size-l-1: 23px;\n$themePrimary: $gray-2;\n",
                           "main.css",
                           "@import \"Defs.qsse\";\nQLabel {\n  color: $themePrimary;   \n  font-size: "
                           "$font-size-l-1;\n}\n"
                           "\nQPushButton { border: 1px solid $gray-2; }\n"}
            << QStringList()
            << "QLabel {\n  color: #e0e0e0;\n  font-size: 23px;\n}\n\nQPushButton { border: 1px solid #e0e0e0; }\n"
            << QStringList();
        QTest::newRow("preset wins")
            << QStringList{"main.css", "$font-size-m: 20px;\nQLabel { font-size: $font-size-m; }\n"}
            << QStringList{"$font-size-m", "15px"} << "QLabel { font-size: 15px; }\n"
            << QStringList{"style sheet variable $font-size-m in \"$font-size-m: 20px;\" in file \"%D/main.css\" "
                           "is already defined."};
        QTest::newRow("undefined")
            << QStringList{"main.css", "A\n$undefined\nB { color: $missing; }\n"} << QStringList()
            << "A\nB { color: ; }\n"
            << QStringList{"style sheet variable $undefined in \"$undefined\" in file \"%D/main.css\" is not defined.",
                           "style sheet variable $missing in \"B { color: $missing; }\" in file \"%D/main.css\" "
                           "is not defined."};
        QTest::newRow("recursive values stop")
            << QStringList{"main.css", "A { color: $a; }\nB { color: $p $ok $ok; }\n"}
            << QStringList{"$a", "x $a", "$p", "$q", "$q", "$p", "$ok", "red"}
            << "A { color: ; }\nB { color:  red red; }\n"
            << QStringList{"style sheet variable $a in \"A { color: $a; }\" in file \"%D/main.css\" "
                           "is defined recursively.",
                           "style sheet variable $p in \"B { color: $p $ok $ok; }\" in file \"%D/main.css\" "
                           "is defined recursively."};
        // "$b" holds "$$a", which forms "$b" again once "$a" is inserted.
        QTest::newRow("cycle formed by insertion ends")
            << QStringList{"main.css", "A { color: $b; }\nB { color: red; }\n"} << QStringList{"$a", "b", "$b", "$$a"}
            << "B { color: red; }\n"
            << QStringList{"style sheet variable $b in \"A { color: $b; }\" in file \"%D/main.css\" "
                           "is defined recursively."};
        QTest::newRow("over-long line") << QStringList{"main.css", "A {" + QString(" $v").repeated(1001) + " }\nB {}\n"}
                                        << QStringList{"$v", "x"} << "B {}\n"
                                        << QStringList{"style sheet variable $v in \"A {"
                                                       + QString(" $v").repeated(1001)
                                                       + " }\" in file \"%D/main.css\" exceeds limit of "
                                                       + QLocale().toString(1000) + " substitutions per line."};
        QTest::newRow("several clauses on one line")
            << QStringList{"a.css",  "A {}\n",   "b.css",
                           "B {}\n", "main.css", "@import \"a.css\" @import 'b.css'; $x: 1px; $y: $x;C { top: $y; }\n"}
            << QStringList() << "A {}\nB {}\nC { top: 1px; }\n"
            << QStringList{"import clause for \"a.css\" in file \"%D/main.css\" not terminated with semicolon."};
        QTest::newRow("definitions alone leave no line")
            << QStringList{"main.css", "$a: 1px; $b: 2px;\n$c: $a $b;\nD { margin: $c; }\n"} << QStringList()
            << "D { margin: 1px 2px; }\n"
            << QStringList();
        QTest::newRow("import recursion and repeats")
            << QStringList{"self.css", "@import \"self.css\";\nS {}\n",
                           "once.css", "O {}\n",
                           "main.css", "@import \"self.css\";\n@import 'once.css';\n@import \"once.css\";\nM {}\n"}
            << QStringList() << "S {}\nO {}\nM {}\n"
            << QStringList{"style sheet file \"%D/self.css\" cannot be processed recursively.",
                           "style sheet file \"%D/once.css\" already processed."};
        QTest::newRow("base directory first, variables in names")
            << QStringList{"inc.css",      "LOCAL {}\n",
                           "base/inc.css", "BASE {}\n",
                           "sub/",         "",
                           "sub/deep.css", "DEEP {}\n",
                           "main.css",     "@import \"inc.css\";\n@import \"$dir/deep.css\";\n"}
            << QStringList{"$dir", "sub"} << "BASE {}\nDEEP {}\n"
            << QStringList();
        QTest::newRow("missing, empty and unreadable imports")
            << QStringList{"folder.css/", "", "main.css",
                           "@import \"gone.css\";\n@import \"$nothing\";\n@import \"folder.css\";\nM {}\n"}
            << QStringList() << "M {}\n"
            << QStringList{"style sheet file \"%D/gone.css\" does not exist.",
                           "style sheet variable $nothing in \"@import \"$nothing\";\" in file \"%D/main.css\" "
                           "is not defined.",
                           "style sheet file \"%D/main.css\" contains empty style sheet file name in "
                           "\"@import \"$nothing\";\" - ignoring...",
                           "style sheet file \"%D/folder.css\" couldn't be opened."};
    }

    void load()
    {
        QFETCH(QStringList, files);
        QFETCH(QStringList, presets);
        QFETCH(QStringList, errors);
        for (int i = 0; i + 1 < files.size(); i += 2)
            QVERIFY(!write(files.at(i), files.at(i + 1).toUtf8()).isEmpty());

        StyleSheetLoader loader(QDir(m_path).filePath(QStringLiteral("base")));
        for (int i = 0; i + 1 < presets.size(); i += 2)
            loader.setVariable(presets.at(i), presets.at(i + 1));
        QTEST(loader.load(QDir(m_path).filePath(QStringLiteral("main.css"))), "output");
        QCOMPARE(loader.errors(), errors.replaceInStrings(QStringLiteral("%D"), m_path));
    }

    // The sheets compiled into the program, with the sizes the window presets.
    void builtInSheets_data()
    {
        QTest::addColumn<int>("screenHeight");
        QTest::newRow("800 px") << 800;
        QTest::newRow("1080 px") << 1080;
    }

    void builtInSheets()
    {
        QFETCH(int, screenHeight);
        ensureResources();
        StyleSheetLoader loader(QStringLiteral(":/etc"));
        for (const auto& variable : UiScale(screenHeight).styleVariables())
            loader.setVariable(variable.first, variable.second);
        const QString sheet = loader.load(QStringLiteral("style.css"));
        QCOMPARE(loader.errors(), QStringList());
        QVERIFY(sheet.contains(QStringLiteral("QwtPlotCanvas")));
        QVERIFY2(!sheet.contains(QLatin1Char('$')), qPrintable(sheet));
    }

    void sizeLimit()
    {
        QByteArray content = "L { top: 1px; }\n";
        content.append(QByteArray(StyleSheetLoader::maxFileSize() - content.size(), ' '));
        StyleSheetLoader loader(m_path + QStringLiteral("/base"));
        QCOMPARE(loader.load(write(QStringLiteral("fits.css"), content)), QStringLiteral("L { top: 1px; }\n\n"));
        const QString big = write(QStringLiteral("big.css"), content + ' ');
        QVERIFY(loader.load(big).isNull());
        QCOMPARE(loader.errors(),
                 QStringList{QStringLiteral("style sheet file \"%1\" exceeds limit of %2 bytes.")
                                 .arg(big, QLocale().toString(1000000))});
    }

private:
    QString write(const QString& name, const QByteArray& content) const
    {
        if (name.endsWith(QLatin1Char('/')))
            return QDir(m_path).mkpath(name) ? name : QString();
        QFile file(QDir(m_path).filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(content) == content.size() ? file.fileName() : QString();
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

QTEST_MAIN(tst_StyleSheetLoader)
#include "tst_stylesheetloader.moc"
