// Any bytes opened as a project file: the open refuses them (with the
// damaged-file warning or without a message) or opens them, and an open
// project is walked as an operator would (every item selected, every
// export run) and closed. One data model opens every input, as the program
// opens project after project: closing leaves nothing of one for the next.
//
// Input: the file.

#include "platform/DialogHook.h"
#include "project/DataModel_Index.h"
#include "tests/support/ProjectWalk.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>

namespace {

QTemporaryDir* workDir = nullptr;
DataModel_Index* model = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_projectfile";
    static char* argv[] = {name, nullptr};
    // Never deleted, nor the model: they serve every input to the end.
    new QApplication(argc, argv);
    // A damaged file logs a line per failed statement; the run would spend
    // its time printing them.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    DialogHook::setMessageAnswer([](const DialogHook::Message&) {});
    static QTemporaryDir dir;
    workDir = &dir;
    model = new DataModel_Index;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = workDir->filePath(QStringLiteral("fuzz.ZOLVA"));
    // A journal left by an earlier input would be played back into this one.
    QFile::remove(path + QStringLiteral("-journal"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(reinterpret_cast<const char*>(data), qint64(size));
    file.close();

    if (model->openProject(path))
        walkProject(*model);
    model->closeProject();
    return 0;
}
