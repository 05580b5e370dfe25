#include "ui/MainWindow.h"

#include <QApplication>
#include <QIcon>
#include <QTextCodec>

int main(int argc, char* argv[])
{
    // The rounding policy is read when the application object is made.
    QApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    QApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral("ZOLVA.ico")));
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));

    MainWindow window;
    window.show();
    return app.exec();
}
