#include "ui/StyleSheetLoader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

class tst_StyleSheetLoader : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void importsDefinitionsAndSubstitution();
    void commentsAreRemoved();
    void presetVariableWinsOverSheet();
    void firstDefinitionWinsAndValuesAreExpanded();
    void undefinedVariableWritesNothing();
    void recursiveVariablesStop();
    void importRecursionAndRepeats();
    void twoImportsOnOneLine();
    void baseDirectoryTakesPrecedence();
    void missingEmptyAndUnreadableFiles();
    void sizeLimit();
    void contentEndsAtNul();

private:
    QString write(const QString &name, const QByteArray &content);
    QString canonical(const QString &name) const;

    QTemporaryDir *m_dir = nullptr;
    QString m_baseDir;
};

void tst_StyleSheetLoader::init()
{
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("base")));
    m_baseDir = m_dir->filePath(QStringLiteral("base"));
}

void tst_StyleSheetLoader::cleanup()
{
    delete m_dir;
    m_dir = nullptr;
}

QString tst_StyleSheetLoader::write(const QString &name, const QByteArray &content)
{
    QFile file(m_dir->filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return QString();
    return file.fileName();
}

QString tst_StyleSheetLoader::canonical(const QString &name) const
{
    return QFileInfo(m_dir->filePath(name)).canonicalFilePath();
}

void tst_StyleSheetLoader::importsDefinitionsAndSubstitution()
{
    write(QStringLiteral("Defs.qsse"), "$gray-2: #e0e0e0;\n$font-size-l-1: 23px;\n$themePrimary: $gray-2;\n");
    const QString sheet = write(QStringLiteral("style.css"),
                                "@import \"Defs.qsse\";\n"
                                "QLabel {\n"
                                "  color: $themePrimary;   \n"
                                "  font-size: $font-size-l-1;\n"
                                "}\n"
                                "\n"
                                "QPushButton { border: 1px solid $gray-2; }\n");
    StyleSheetLoader loader(m_baseDir);
    QCOMPARE(loader.load(sheet), QStringLiteral("QLabel {\n"
                                                "  color: #e0e0e0;\n"
                                                "  font-size: 23px;\n"
                                                "}\n"
                                                "\n"
                                                "QPushButton { border: 1px solid #e0e0e0; }\n"));
    QCOMPARE(loader.errors(), QStringList());
}

void tst_StyleSheetLoader::commentsAreRemoved()
{
    const QString sheet = write(QStringLiteral("c.css"),
                                "/* head\n   comment */QWidget { color: red; } /* tail */\n"
                                "/* ** stars ** */\n"
                                "QLabel { margin: 0; } /* open\n");
    StyleSheetLoader loader(m_baseDir);
    QCOMPARE(loader.load(sheet), QStringLiteral("QWidget { color: red; }\n"
                                                "\n"
                                                "QLabel { margin: 0; } /* open\n"));
}

void tst_StyleSheetLoader::presetVariableWinsOverSheet()
{
    const QString sheet = write(QStringLiteral("p.css"), "$font-size-m: 20px;\nQLabel { font-size: $font-size-m; }\n");
    StyleSheetLoader loader(m_baseDir);
    loader.setVariable(QStringLiteral("$font-size-m"), QStringLiteral("15px"));
    QCOMPARE(loader.load(sheet), QStringLiteral("QLabel { font-size: 15px; }\n"));
    QCOMPARE(loader.errors(),
             QStringList{QStringLiteral("style sheet variable $font-size-m in \"$font-size-m: 20px;\" in file \"%1\" "
                                        "is already defined.")
                             .arg(canonical(QStringLiteral("p.css")))});

    loader.setVariable(QStringLiteral("$font-size-m"), QStringLiteral("30px"));
    QCOMPARE(loader.errors().last(), QStringLiteral("style sheet variable $font-size-m is already defined."));

    // Variables outlive a load, so a second load meets its own definitions again.
    QCOMPARE(loader.load(sheet), QStringLiteral("QLabel { font-size: 15px; }\n"));
    QCOMPARE(loader.errors().size(), 1);
}

void tst_StyleSheetLoader::firstDefinitionWinsAndValuesAreExpanded()
{
    const QString sheet = write(QStringLiteral("d.css"), "$a: 1px; $b: $a;\n$a: 2px;\nQFrame { margin: $a $b; }\n");
    StyleSheetLoader loader(m_baseDir);
    QCOMPARE(loader.load(sheet), QStringLiteral("QFrame { margin: 1px 1px; }\n"));
    QCOMPARE(loader.errors(),
             QStringList{QStringLiteral("style sheet variable $a in \"$a: 2px;\" in file \"%1\" is already defined.")
                             .arg(canonical(QStringLiteral("d.css")))});
}

void tst_StyleSheetLoader::undefinedVariableWritesNothing()
{
    const QString sheet = write(QStringLiteral("u.css"), "A\n$undefined\nB { color: $missing; }\n");
    StyleSheetLoader loader(m_baseDir);
    QCOMPARE(loader.load(sheet), QStringLiteral("A\nB { color: ; }\n"));
    const QString file = canonical(QStringLiteral("u.css"));
    QCOMPARE(loader.errors(),
             (QStringList{
                 QStringLiteral("style sheet variable $undefined in \"$undefined\" in file \"%1\" is not defined.")
                     .arg(file),
                 QStringLiteral("style sheet variable $missing in \"B { color: $missing; }\" in file \"%1\" "
                                "is not defined.")
                     .arg(file)}));
}

void tst_StyleSheetLoader::recursiveVariablesStop()
{
    const QString sheet = write(QStringLiteral("r.css"), "A { color: $a; }\nB { color: $p $ok $ok; }\n");
    StyleSheetLoader loader(m_baseDir);
    loader.setVariable(QStringLiteral("$a"), QStringLiteral("x $a"));
    loader.setVariable(QStringLiteral("$p"), QStringLiteral("$q"));
    loader.setVariable(QStringLiteral("$q"), QStringLiteral("$p"));
    loader.setVariable(QStringLiteral("$ok"), QStringLiteral("red"));

    QCOMPARE(loader.load(sheet), QStringLiteral("A { color: ; }\nB { color:  red red; }\n"));
    const QString file = canonical(QStringLiteral("r.css"));
    QCOMPARE(loader.errors(),
             (QStringList{
                 QStringLiteral("style sheet variable $a in \"A { color: $a; }\" in file \"%1\" "
                                "is defined recursively.")
                     .arg(file),
                 QStringLiteral("style sheet variable $p in \"B { color: $p $ok $ok; }\" in file \"%1\" "
                                "is defined recursively.")
                     .arg(file)}));
}

void tst_StyleSheetLoader::importRecursionAndRepeats()
{
    write(QStringLiteral("self.css"), "@import \"self.css\";\nS {}\n");
    write(QStringLiteral("once.css"), "O {}\n");
    const QString sheet = write(QStringLiteral("main.css"),
                                "@import \"self.css\";\n@import 'once.css';\n@import \"once.css\";\nM {}\n");
    StyleSheetLoader loader(m_baseDir);
    QCOMPARE(loader.load(sheet), QStringLiteral("S {}\nO {}\nM {}\n"));
    QCOMPARE(loader.errors(),
             (QStringList{QStringLiteral("style sheet file \"%1\" cannot be processed recursively.")
                              .arg(canonical(QStringLiteral("self.css"))),
                          QStringLiteral("style sheet file \"%1\" already processed.")
                              .arg(canonical(QStringLiteral("once.css")))}));
}

void tst_StyleSheetLoader::twoImportsOnOneLine()
{
    write(QStringLiteral("a.css"), "A {}\n");
    write(QStringLiteral("b.css"), "B {}\n");
    const QString sheet = write(QStringLiteral("two.css"), "@import \"a.css\" @import \"b.css\";\nC {}\n");
    StyleSheetLoader loader(m_baseDir);
    QCOMPARE(loader.load(sheet), QStringLiteral("A {}\nB {}\nC {}\n"));
    QCOMPARE(loader.errors(),
             QStringList{QStringLiteral("import clause for \"a.css\" in file \"%1\" not terminated with semicolon.")
                             .arg(canonical(QStringLiteral("two.css")))});
}

void tst_StyleSheetLoader::baseDirectoryTakesPrecedence()
{
    write(QStringLiteral("inc.css"), "LOCAL {}\n");
    write(QStringLiteral("base/inc.css"), "BASE {}\n");
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("sub")));
    write(QStringLiteral("sub/deep.css"), "DEEP {}\n");
    const QString sheet = write(QStringLiteral("main.css"), "@import \"inc.css\";\n@import \"$dir/deep.css\";\n");

    StyleSheetLoader loader(m_baseDir);
    loader.setVariable(QStringLiteral("$dir"), QStringLiteral("sub"));
    QCOMPARE(loader.load(sheet), QStringLiteral("BASE {}\nDEEP {}\n"));
    QCOMPARE(loader.errors(), QStringList());
}

void tst_StyleSheetLoader::missingEmptyAndUnreadableFiles()
{
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("folder.css")));
    const QString sheet = write(QStringLiteral("m.css"),
                                "@import \"gone.css\";\n@import \"$nothing\";\n@import \"folder.css\";\nM {}\n");
    StyleSheetLoader loader(m_baseDir);
    QCOMPARE(loader.load(sheet), QStringLiteral("M {}\n"));
    const QString file = canonical(QStringLiteral("m.css"));
    QCOMPARE(loader.errors(),
             (QStringList{
                 QStringLiteral("style sheet file \"%1\" does not exist.").arg(canonical(QString()) + "/gone.css"),
                 QStringLiteral("style sheet variable $nothing in \"@import \"$nothing\";\" in file \"%1\" "
                                "is not defined.")
                     .arg(file),
                 QStringLiteral("style sheet file \"%1\" contains empty style sheet file name in "
                                "\"@import \"$nothing\";\" - ignoring...")
                     .arg(file),
                 QStringLiteral("style sheet file \"%1\" couldn't be opened.")
                     .arg(canonical(QStringLiteral("folder.css")))}));

    QVERIFY(loader.load(QString()).isNull());
    QCOMPARE(loader.errors(),
             QStringList{QStringLiteral("style sheet file \"\" will be ignored - empty style sheet file name.")});

    QVERIFY(loader.load(m_dir->filePath(QStringLiteral("none.css"))).isNull());
    QCOMPARE(loader.errors(), QStringList{QStringLiteral("style sheet file \"%1\" does not exist.")
                                              .arg(m_dir->filePath(QStringLiteral("none.css")))});
}

void tst_StyleSheetLoader::sizeLimit()
{
    QCOMPARE(StyleSheetLoader::maxFileSize(), 1000000);
    QByteArray content = "L {}\n";
    content.append(QByteArray(1000000 - content.size(), ' '));
    const QString fits = write(QStringLiteral("fits.css"), content);
    const QString big = write(QStringLiteral("big.css"), content + ' ');

    StyleSheetLoader loader(m_baseDir);
    QCOMPARE(loader.load(fits), QStringLiteral("L {}\n\n"));
    QCOMPARE(loader.errors(), QStringList());

    QVERIFY(loader.load(big).isNull());
    QCOMPARE(loader.errors(), QStringList{QStringLiteral("style sheet file \"%1\" exceeds limit of %2 bytes.")
                                              .arg(canonical(QStringLiteral("big.css")),
                                                   QLocale().toString(1000000))});
}

void tst_StyleSheetLoader::contentEndsAtNul()
{
    const QString sheet = write(QStringLiteral("n.css"), QByteArray("A { color: 红; }\n", 20) + '\0' + "B {}\n");
    StyleSheetLoader loader(m_baseDir);
    QCOMPARE(loader.load(sheet), QStringLiteral("A { color: 红; }\n"));
}

QTEST_MAIN(tst_StyleSheetLoader)
#include "tst_stylesheetloader.moc"
