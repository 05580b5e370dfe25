#include "ui/StyleSheetLoader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>

namespace {

constexpr int MaxFileSize = 1000000;
// Far more references than a style-sheet line holds. Below it, a line reaches
// it only when inserted values keep forming new references, which no
// written-reference check can see ("$b" holding "$$a" with "$a" holding "b").
constexpr int MaxSubstitutionsPerLine = 1000;

const QString VariablePattern = QStringLiteral("\\$[A-Za-z](?:-?[0-9A-Za-z]+)*");

const QRegularExpression& commentExpression()
{
    static const QRegularExpression expression(QStringLiteral("/\\*(?>(?:(?>[^*]+)|\\*(?!/))*)\\*/"),
                                               QRegularExpression::MultilineOption);
    return expression;
}

const QRegularExpression& trailingBlanksExpression()
{
    static const QRegularExpression expression(QStringLiteral("\\s+$"));
    return expression;
}

const QRegularExpression& variableExpression()
{
    static const QRegularExpression expression(VariablePattern);
    return expression;
}

const QRegularExpression& definitionExpression()
{
    static const QRegularExpression expression(
        QStringLiteral("^(\\s*)(%1)\\s*:\\s*(.+?)\\s*;\\s*").arg(VariablePattern));
    return expression;
}

const QRegularExpression& importExpression()
{
    static const QRegularExpression expression(
        QStringLiteral("^(\\s*)@import\\s*%1\\s*(;?)\\s*").arg(QStringLiteral("([\"'])((?:(?!\\2).)*)\\2")));
    return expression;
}

bool isBlank(const QString& text)
{
    return text.trimmed().isEmpty();
}

int referenceCount(const QString& text)
{
    int count = 0;
    for (QRegularExpressionMatchIterator references = variableExpression().globalMatch(text); references.hasNext();
         references.next())
        ++count;
    return count;
}

} // namespace

StyleSheetLoader::StyleSheetLoader(const QString& baseDir)
    : m_baseDir(baseDir.isEmpty() ? QStringLiteral(":/StyleSheets/") : baseDir)
{
}

QString StyleSheetLoader::load(const QString& fileName)
{
    m_processed.clear();
    m_errors.clear();
    if (fileName.isEmpty()) {
        reportFileError(fileName, QStringLiteral("will be ignored - empty style sheet file name."));
        return QString();
    }
    return processFile(fileName);
}

void StyleSheetLoader::setVariable(const QString& name, const QString& value)
{
    if (m_variables.contains(name)) {
        reportVariableError(name, QStringLiteral("is already defined."));
        return;
    }
    m_variables.insert(name, value);
}

QStringList StyleSheetLoader::errors() const
{
    return m_errors;
}

int StyleSheetLoader::maxFileSize()
{
    return MaxFileSize;
}

QString StyleSheetLoader::processFile(const QString& path)
{
    QString canonical;
    QString importDir;
    if (!resolvePath(path, &canonical, &importDir))
        return QString();
    if (!checkRecursion(canonical))
        return QString();

    m_processed.insert(canonical);
    m_fileStack.append(canonical);
    m_dirStack.append(importDir);

    QString result;
    QString content;
    if (readFile(canonical, &content))
        result = processContent(content);

    m_fileStack.removeLast();
    m_dirStack.removeLast();
    return result;
}

bool StyleSheetLoader::resolvePath(const QString& path, QString* canonical, QString* importDir)
{
    QString resolved = path;
    if (QFileInfo(resolved).isRelative() && !m_dirStack.isEmpty())
        resolved = QDir(m_dirStack.last()).filePath(resolved);

    const QFileInfo info(resolved);
    *importDir = QFileInfo(info.absolutePath()).canonicalFilePath();

    if (!m_baseDir.isEmpty()) {
        const QFileInfo inBase(QDir(m_baseDir).filePath(info.fileName()));
        if (inBase.exists()) {
            *canonical = inBase.canonicalFilePath();
            return true;
        }
    }
    if (info.exists()) {
        *canonical = info.canonicalFilePath();
        return true;
    }
    reportFileError(info.absoluteFilePath(), QStringLiteral("does not exist."));
    return false;
}

bool StyleSheetLoader::checkRecursion(const QString& canonical)
{
    if (m_fileStack.contains(canonical)) {
        reportFileError(canonical, QStringLiteral("cannot be processed recursively."));
        return false;
    }
    if (m_processed.contains(canonical)) {
        reportFileError(canonical, QStringLiteral("already processed."));
        return false;
    }
    return true;
}

bool StyleSheetLoader::readFile(const QString& path, QString* content)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        reportFileError(path, QStringLiteral("couldn't be opened."));
        return false;
    }
    if (file.size() > MaxFileSize) {
        reportFileError(path, QStringLiteral("exceeds limit of %L2 bytes.").arg(MaxFileSize));
        return false;
    }
    QByteArray data = file.readAll();
    const int nul = data.indexOf('\0');
    if (nul >= 0)
        data.truncate(nul);
    *content = QString::fromUtf8(data);
    return true;
}

QString StyleSheetLoader::processContent(const QString& text)
{
    QString uncommented = removeComments(text);
    QTextStream in(&uncommented, QIODevice::ReadOnly);
    QString out;
    while (!in.atEnd()) {
        if (processLine(in.readLine(), out))
            out += QLatin1Char('\n');
    }
    return out;
}

QString StyleSheetLoader::removeComments(const QString& text)
{
    QString result = text;
    return result.remove(commentExpression());
}

bool StyleSheetLoader::processLine(QString line, QString& out)
{
    line.remove(trailingBlanksExpression());
    if (line.isEmpty())
        return true;

    for (;;) {
        if (isBlank(line))
            return false;
        QString imported;
        if (!processImport(line, &imported))
            break;
        out += imported;
    }
    for (;;) {
        if (isBlank(line))
            return false;
        if (!processDefinition(line))
            break;
    }

    const QString savedLine = m_currentLine;
    m_currentLine = line;
    const QString substituted = substituteVariables(line);
    out += substituted;
    m_currentLine = savedLine;
    return !substituted.isNull();
}

bool StyleSheetLoader::processImport(QString& line, QString* imported)
{
    const QRegularExpressionMatch match = importExpression().match(line);
    if (!match.hasMatch())
        return false;

    const QString clause = match.captured(0);
    if (match.captured(4).isEmpty() && !m_fileStack.isEmpty()) {
        m_errors.append(QStringLiteral("import clause for \"%1\" in file \"%2\" not terminated with semicolon.")
                            .arg(match.captured(3), m_fileStack.last()));
    }

    const QString savedLine = m_currentLine;
    m_currentLine = clause;
    const QString name = substituteVariables(match.captured(3));
    if (name.isEmpty()) {
        reportFileError(m_fileStack.value(m_fileStack.size() - 1),
                        QStringLiteral("contains empty style sheet file name in \"%1\" - ignoring...").arg(clause));
        *imported = QString();
    } else {
        *imported = processFile(name);
    }
    line.replace(0, match.capturedLength(0), match.captured(1));
    m_currentLine = savedLine;
    return true;
}

bool StyleSheetLoader::processDefinition(QString& line)
{
    const QRegularExpressionMatch match = definitionExpression().match(line);
    if (!match.hasMatch())
        return false;

    const QString savedLine = m_currentLine;
    m_currentLine = match.captured(0);
    setVariable(match.captured(2), substituteVariables(match.captured(3)));
    line.replace(0, match.capturedLength(0), match.captured(1));
    m_currentLine = savedLine;
    return true;
}

QString StyleSheetLoader::substituteVariables(QString text)
{
    text.remove(trailingBlanksExpression());
    // Each substitution of a written reference removes one; a line that
    // reaches the cap with fewer written than that kept forming new ones.
    const int written = referenceCount(text);
    for (int substitutions = 0;; ++substitutions) {
        if (isBlank(text))
            return QString();
        if (substitutions == MaxSubstitutionsPerLine) {
            const QRegularExpressionMatch next = variableExpression().match(text);
            if (!next.hasMatch())
                return text;
            reportVariableError(
                next.captured(0),
                written >= MaxSubstitutionsPerLine
                    ? QStringLiteral("exceeds limit of %L1 substitutions per line.").arg(MaxSubstitutionsPerLine)
                    : QStringLiteral("is defined recursively."));
            return QString();
        }
        if (!substituteNext(text))
            return text;
    }
}

// The scan restarts at the beginning, so an inserted value is scanned too.
bool StyleSheetLoader::substituteNext(QString& text)
{
    const QRegularExpressionMatch match = variableExpression().match(text);
    if (!match.hasMatch())
        return false;
    text.replace(match.capturedStart(0), match.capturedLength(0), variableValue(match.captured(0)));
    return true;
}

QString StyleSheetLoader::variableValue(const QString& name)
{
    const auto found = m_variables.constFind(name);
    if (found == m_variables.constEnd()) {
        reportVariableError(name, QStringLiteral("is not defined."));
        return QString();
    }
    // Values are scanned again after insertion, so a cycle would never end.
    if (isDefinedRecursively(name)) {
        reportVariableError(name, QStringLiteral("is defined recursively."));
        return QString();
    }
    return found.value();
}

bool StyleSheetLoader::isDefinedRecursively(const QString& name) const
{
    QStringList pending{name};
    QSet<QString> visited;
    while (!pending.isEmpty()) {
        const QString current = pending.takeLast();
        QRegularExpressionMatchIterator references = variableExpression().globalMatch(m_variables.value(current));
        while (references.hasNext()) {
            const QString reference = references.next().captured(0);
            if (reference == name)
                return true;
            if (m_variables.contains(reference) && !visited.contains(reference)) {
                visited.insert(reference);
                pending.append(reference);
            }
        }
    }
    return false;
}

void StyleSheetLoader::reportFileError(const QString& path, const QString& message)
{
    m_errors.append(QStringLiteral("style sheet file \"%1\" ").arg(path) + message);
}

void StyleSheetLoader::reportVariableError(const QString& name, const QString& message)
{
    if (!m_fileStack.isEmpty() && !m_currentLine.isEmpty()) {
        m_errors.append(QStringLiteral("style sheet variable %1 in \"%2\" in file \"%3\" ")
                            .arg(name, m_currentLine, m_fileStack.last())
                        + message);
        return;
    }
    m_errors.append(QStringLiteral("style sheet variable %1 ").arg(name) + message);
}
