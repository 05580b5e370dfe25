#pragma once

#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

// Turns a style sheet written with comments, @import clauses and $variables
// into plain Qt style-sheet text. Problems never stop the work; each one is
// recorded in errors().
class StyleSheetLoader
{
public:
    explicit StyleSheetLoader(const QString& baseDir = QString());

    QString load(const QString& fileName);
    void setVariable(const QString& name, const QString& value);
    QStringList errors() const;
    static int maxFileSize();

private:
    QString processFile(const QString& path);
    bool resolvePath(const QString& path, QString* canonical, QString* importDir);
    bool checkRecursion(const QString& canonical);
    bool readFile(const QString& path, QString* content);
    QString processContent(const QString& text);
    static QString removeComments(const QString& text);
    bool processLine(QString line, QString& out);
    bool processImport(QString& line, QString* imported);
    bool processDefinition(QString& line);
    QString substituteVariables(QString text);
    bool substituteNext(QString& text);
    QString variableValue(const QString& name);
    bool isDefinedRecursively(const QString& name) const;
    void reportFileError(const QString& path, const QString& message);
    void reportVariableError(const QString& name, const QString& message);

    QString m_baseDir;
    QStringList m_fileStack;
    QStringList m_dirStack;
    QSet<QString> m_processed;
    QMap<QString, QString> m_variables;
    QString m_currentLine;
    QStringList m_errors;
};
