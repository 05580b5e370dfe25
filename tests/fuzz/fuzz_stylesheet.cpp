// The style-sheet preprocessor over a small set of files that the input
// writes: it must finish, with or without errors, whatever the sheets hold.
//
// Input: sections separated by lines "%%". The first holds preset variables,
// one "name: value" a line, set before the sheet loads as the main window
// does. The next four are the contents of "style.css" and "Defs.qsse" in a
// fresh base directory and "sub/a.qss" and "sub/b.qss" below it; a file the
// input does not give does not exist. The sheet is loaded by its full path,
// so relative imports resolve only among these files.

#include "ui/StyleSheetLoader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <iterator>

namespace {

const char* const FileNames[] = {"style.css", "Defs.qsse", "sub/a.qss", "sub/b.qss"};

QTemporaryDir* workDir = nullptr;

QList<QByteArray> Sections(const QByteArray& input)
{
    QList<QByteArray> sections;
    for (int from = 0;;) {
        const int separator = input.indexOf("\n%%\n", from);
        sections.append(input.mid(from, separator < 0 ? -1 : separator - from));
        if (separator < 0)
            return sections;
        from = separator + 4;
    }
}

void WriteFiles(const QList<QByteArray>& sections)
{
    for (int i = 0; i < int(std::size(FileNames)); ++i) {
        QFile file(workDir->filePath(QString::fromLatin1(FileNames[i])));
        if (i + 1 >= sections.size()) {
            file.remove();
            continue;
        }
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(sections.at(i + 1));
    }
}

void Preset(StyleSheetLoader& loader, const QByteArray& presets)
{
    for (const QByteArray& line : presets.split('\n')) {
        const int colon = line.indexOf(':');
        if (colon >= 0)
            loader.setVariable(QString::fromUtf8(line.left(colon)).trimmed(),
                               QString::fromUtf8(line.mid(colon + 1)).trimmed());
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    static QTemporaryDir dir;
    workDir = &dir;
    QDir(dir.path()).mkpath(QStringLiteral("sub"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QList<QByteArray> sections =
        Sections(QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size)));
    WriteFiles(sections);

    StyleSheetLoader loader(workDir->path());
    Preset(loader, sections.first());
    // A second load meets every definition again.
    const QString sheet = workDir->filePath(QStringLiteral("style.css"));
    loader.load(sheet);
    loader.load(sheet);
    return 0;
}
