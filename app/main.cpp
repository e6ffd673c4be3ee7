#include "Unit1.h"
#include "Version.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationVersion(QString::fromLatin1(ProgramVersion));
    Form1 = new TForm1;
    Form1->show();
    const int result = QApplication::exec();
    delete Form1;
    Form1 = nullptr;
    return result;
}
