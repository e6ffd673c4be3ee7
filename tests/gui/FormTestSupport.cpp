#include "FormTestSupport.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <utility>

namespace {

constexpr int PollMilliseconds = 10;

// Removes what a test may have left beside the executable.
void CleanExeFolder()
{
    QDir folder(QCoreApplication::applicationDirPath());
    for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (name.compare(QStringLiteral("VOBERA.INI"), Qt::CaseInsensitive) == 0 ||
            name.compare(QStringLiteral("VOBERA.OLD"), Qt::CaseInsensitive) == 0 || name.endsWith(".dbp-tmp"))
            folder.remove(name);
    }
}

} // namespace

TMessageAnswerer::TMessageAnswerer() : timer_(new QTimer)
{
    QObject::connect(timer_, &QTimer::timeout, [this] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        seen.push_back(
            {box->text(), box->windowTitle(), static_cast<int>(box->icon()), static_cast<int>(box->buttons().size())});
        QAbstractButton *ok = box->button(QMessageBox::Ok);
        if (ok)
            QTest::mouseClick(ok, Qt::LeftButton);
        else
            box->done(0);
    });
    timer_->start(PollMilliseconds);
}

TMessageAnswerer::~TMessageAnswerer()
{
    delete timer_;
}

QString TMessageAnswerer::OnlyText() const
{
    if (seen.size() != 1) {
        ADD_FAILURE() << "expected one message box, saw " << seen.size();
        return seen.empty() ? QString() : seen.back().text;
    }
    return seen.front().text;
}

TFileDialogAnswerer::TFileDialogAnswerer(std::function<void(QFileDialog *)> answer) : timer_(new QTimer)
{
    QObject::connect(timer_, &QTimer::timeout, [this, answer = std::move(answer)] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (answered || !dialog || !dialog->isVisible())
            return;
        answered = true;
        timer_->stop();
        answer(dialog);
    });
    timer_->start(PollMilliseconds);
}

TFileDialogAnswerer::~TFileDialogAnswerer()
{
    delete timer_;
}

void TypeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        // Letters beyond ASCII arrive as a keyboard layout delivers them: as text.
        if (c.unicode() < 0x80)
            QTest::keyClick(widget, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

void TypeFileName(QFileDialog *dialog, const QString &name)
{
    auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    TypeText(edit, name);
    QTest::keyClick(edit, Qt::Key_Return);
}

void CancelDialog(QFileDialog *dialog)
{
    for (QPushButton *button : dialog->findChildren<QPushButton *>()) {
        if (button->text().remove('&') == QStringLiteral("Cancel")) {
            QTest::mouseClick(button, Qt::LeftButton);
            return;
        }
    }
    ADD_FAILURE() << "the dialog has no Cancel button";
    dialog->reject();
}

void TFormTest::SetUp()
{
    ASSERT_TRUE(temp.isValid());
    CleanExeFolder();
    FirstActivation = true;
    LastLoaded = {};
    SelectedFileName.clear();
}

void TFormTest::TearDown()
{
    form.reset();
    Form1 = nullptr;
    CleanExeFolder();
    SelectedFileName.clear();
}

void TFormTest::StartForm()
{
    // The first activation comes once in a process, as in the program: one test a process.
    ASSERT_NE(QGuiApplication::applicationState(), Qt::ApplicationActive)
        << "run each test in a process of its own (ctest does; by hand, pick one with --gtest_filter)";
    form = std::make_unique<TForm1>();
    Form1 = form.get();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !FirstActivation; }));
}

QString TFormTest::ExeFile(const QString &name) const
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(name);
}

QString TFormTest::TempFile(const QString &name) const
{
    return temp.filePath(name);
}

void TFormTest::TypeInto(QLineEdit *box, const QString &text)
{
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Delete);
    TypeText(box, text);
}

std::vector<TMessageSeen> TFormTest::ClickPotrdi()
{
    TMessageAnswerer answerer;
    QTest::mouseClick(form->btnPotrdi, Qt::LeftButton);
    return answerer.seen;
}

void WriteBytes(const QString &path, const std::string &content)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(content.data(), static_cast<qint64>(content.size())), static_cast<qint64>(content.size()));
}

std::string ReadBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    const QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

LogonParams ParamsIn(const QString &path)
{
    // Read past the window, whose file label must not change.
    TParamWindow *window = ParamWindow();
    SetParamWindow(nullptr);
    const std::string saved = SelectedFileName;
    SelectedFileName = QFile::encodeName(path).toStdString();
    LogonParams params;
    LoadParams(params.database, params.user, params.password);
    SelectedFileName = saved;
    SetParamWindow(window);
    return params;
}

std::string ParamFile(const std::string &database, const std::string &user, const std::string &password)
{
    return "[GENERAL]\r\nTITLE=Vobera\r\n[DATABASE]\r\nDATABASENAME=" + EncodeValue(database, ScrambleKey) +
           "\r\nUSERNAME=" + EncodeValue(user, ScrambleKey) + "\r\nPASSWORD=" + EncodeValue(password, ScrambleKey) +
           "\r\n";
}
