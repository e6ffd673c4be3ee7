#include "FormTestSupport.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

using TFormUseTest = TFormTest;

QString Native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

QString AsciiLower(const QString &text)
{
    QString lower = text;
    for (QChar &c : lower)
        if (c >= 'A' && c <= 'Z')
            c = QChar(c.unicode() + ('a' - 'A'));
    return lower;
}

void ExpectBoxes(const TForm1 &form, const QString &database, const QString &user, const QString &password)
{
    EXPECT_EQ(form.eDatabasename->text(), database);
    EXPECT_EQ(form.eUsername->text(), user);
    EXPECT_EQ(form.ePassword->text(), password);
}

// Runs QApplication::exec until the program is told to end, or fails after a few seconds.
int RunUntilQuit(const std::function<void()> &action)
{
    QTimer::singleShot(0, action);
    QTimer::singleShot(5000, [] { QApplication::exit(99); });
    return QApplication::exec();
}

TEST_F(TFormUseTest, FirstActivationLoadsTheFileBesideTheExecutable)
{
    WriteBytes(ExeFile("VOBERA.INI"), ParamFile("VOBERA", "scott", "tiger"));
    StartForm();
    ExpectBoxes(*form, "VOBERA", "scott", "tiger");
    EXPECT_EQ(form->lblDatoteka->text(), AsciiLower(Native(ExeFile("VOBERA.INI"))));
}

TEST_F(TFormUseTest, WithoutTheFileTheBoxesStayEmpty)
{
    StartForm();
    ExpectBoxes(*form, "", "", "");
    EXPECT_EQ(form->lblDatoteka->text(), "VOBERA.INI");
}

TEST_F(TFormUseTest, LaterActivationsDoNotReload)
{
    WriteBytes(ExeFile("VOBERA.INI"), ParamFile("VOBERA", "scott", "tiger"));
    StartForm();
    TypeInto(form->eUsername, "edited");
    WriteBytes(ExeFile("VOBERA.INI"), ParamFile("other", "other", "other"));

    QWidget elsewhere;
    elsewhere.show();
    elsewhere.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&elsewhere));
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->AppActivate();
    ExpectBoxes(*form, "VOBERA", "edited", "tiger");
}

TEST_F(TFormUseTest, EnterMovesOnAndIsNotTyped)
{
    StartForm();
    form->eDatabasename->setFocus();
    QTest::keyClicks(form->eDatabasename, "ab");
    QWidget *order[] = {form->eDatabasename, form->eUsername, form->ePassword, form->btnIsci};
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(order[i], i == 1 ? Qt::Key_Enter : Qt::Key_Return);
        EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == order[i + 1]; }));
    }
    EXPECT_EQ(form->eDatabasename->text(), "ab");
    EXPECT_EQ(form->eUsername->text(), "");

    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Space}) {
        TFileDialogAnswerer answerer(CancelDialog);
        form->btnIsci->setFocus();
        QTest::keyClick(form->btnIsci, key);
        EXPECT_TRUE(QTest::qWaitFor([&] { return answerer.answered; }));
    }
}

TEST_F(TFormUseTest, PotrdiSavesTrimmedValuesAndKeepsTheBoxes)
{
    const std::string old = ParamFile("VOBERA", "scott", "tiger");
    WriteBytes(ExeFile("VOBERA.INI"), old);
    StartForm();
    TypeInto(form->eDatabasename, " NEWDB ");
    TypeInto(form->eUsername, "ana");
    TypeInto(form->ePassword, "  skrito geslo  ");

    const std::vector<TMessageSeen> seen = ClickPotrdi();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, "DB parametri so zapisani v " + Native(ExeFile("VOBERA.INI")));
    // The program sets no title of its own: the caption is the executable's name.
    EXPECT_EQ(seen[0].title, QFileInfo(QCoreApplication::applicationFilePath()).baseName());
    EXPECT_EQ(seen[0].icon, static_cast<int>(QMessageBox::NoIcon));
    EXPECT_EQ(seen[0].buttons, 1);

    const LogonParams saved = ParamsIn(ExeFile("VOBERA.INI"));
    EXPECT_EQ(saved.database, "NEWDB");
    EXPECT_EQ(saved.user, "ana");
    EXPECT_EQ(saved.password, "skrito geslo");
    EXPECT_EQ(ReadBytes(ExeFile("VOBERA.OLD")), old);
    ExpectBoxes(*form, " NEWDB ", "ana", "  skrito geslo  ");
    EXPECT_EQ(LastLoaded.database, "VOBERA");
    EXPECT_TRUE(form->btnPotrdi->isEnabled());
}

TEST_F(TFormUseTest, SaveWithoutTheFileSaysSo)
{
    StartForm();
    TypeInto(form->eUsername, "ana");
    TMessageAnswerer answerer;
    QTest::keyClick(form.get(), Qt::Key_P, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return answerer.seen.size() == 1u; }));
    EXPECT_EQ(answerer.OnlyText(), "Ni datoteke " + Native(ExeFile("VOBERA.INI")));
    EXPECT_EQ(ReadBytes(ExeFile("VOBERA.INI")), "<missing>");
}

TEST_F(TFormUseTest, IzhodAndClosingEndTheProgramWithoutSaving)
{
    const std::string old = ParamFile("VOBERA", "scott", "tiger");
    WriteBytes(ExeFile("VOBERA.INI"), old);
    StartForm();
    TypeInto(form->eUsername, "unsaved");
    const std::function<void()> ways[] = {
        [this] { QTest::mouseClick(form->btnIzhod, Qt::LeftButton); },
        [this] { QTest::keyClick(form.get(), Qt::Key_I, Qt::AltModifier); },
        [this] { form->close(); },
    };
    for (std::size_t i = 0; i < std::size(ways); ++i) {
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        EXPECT_EQ(RunUntilQuit(ways[i]), 0) << "way " << i;
    }
    EXPECT_EQ(ReadBytes(ExeFile("VOBERA.INI")), old);
}

TEST_F(TFormUseTest, ChoosingAFileLoadsItAndSavesGoThere)
{
    WriteBytes(ExeFile("VOBERA.INI"), ParamFile("VOBERA", "scott", "tiger"));
    const std::string other = ParamFile("OTHERDB", "marko", "geslo");
    WriteBytes(TempFile("other.ini"), other);
    StartForm();
    const struct {
        const char *name;
        std::function<void()> open;
    } ways[] = {
        {"Label5", [this] { QTest::mouseClick(form->Label5, Qt::LeftButton); }},
        {"lblDatoteka", [this] { QTest::mouseClick(form->lblDatoteka, Qt::LeftButton); }},
        {"btnIsci", [this] { QTest::mouseClick(form->btnIsci, Qt::LeftButton); }},
    };
    for (const auto &way : ways) {
        SCOPED_TRACE(way.name);
        TypeInto(form->eUsername, "unsaved");
        QString title;
        TFileDialogAnswerer answerer([&](QFileDialog *dialog) {
            title = dialog->windowTitle();
            TypeFileName(dialog, TempFile("other.ini"));
        });
        way.open();
        EXPECT_TRUE(QTest::qWaitFor([&] { return answerer.answered; }));
        // Which name the dialog offers again depends on when its folder listing arrives;
        // the name it offers first is tested on its own.
        EXPECT_EQ(title, "Izberi datoteko vobera.ini");
        EXPECT_EQ(SelectedFileName, QFile::encodeName(Native(TempFile("other.ini"))).toStdString());
        ExpectBoxes(*form, "OTHERDB", "marko", "geslo");
        EXPECT_EQ(form->lblDatoteka->text(), AsciiLower(Native(TempFile("other.ini"))));
    }

    const std::vector<TMessageSeen> seen = ClickPotrdi();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, "DB parametri so zapisani v " + Native(TempFile("other.ini")));
    EXPECT_EQ(ReadBytes(TempFile("other.OLD")), other);
    EXPECT_EQ(ParamsIn(ExeFile("VOBERA.INI")).database, "VOBERA") << "the default file is left alone";
    EXPECT_EQ(ReadBytes(ExeFile("VOBERA.OLD")), "<missing>");
}

TEST_F(TFormUseTest, TheDialogFirstOffersVoberaIni)
{
    StartForm();
    QString initialName;
    TFileDialogAnswerer answerer([&](QFileDialog *dialog) {
        initialName = dialog->findChild<QLineEdit *>("fileNameEdit")->text();
        CancelDialog(dialog);
    });
    QTest::mouseClick(form->btnIsci, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return answerer.answered; }));
    EXPECT_EQ(initialName, "VOBERA.INI");
}

TEST_F(TFormUseTest, NameWithoutExtensionGetsTheDefaultOne)
{
    StartForm();
    TFileDialogAnswerer answerer([this](QFileDialog *dialog) {
        dialog->setDirectory(temp.path());
        TypeFileName(dialog, "novo");
    });
    QTest::mouseClick(form->btnIsci, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return answerer.answered; }));
    EXPECT_EQ(SelectedFileName, QFile::encodeName(Native(TempFile("novo.VOBERA.INI"))).toStdString());
}

TEST_F(TFormUseTest, CancellingTheDialogChangesNothing)
{
    WriteBytes(ExeFile("VOBERA.INI"), ParamFile("VOBERA", "scott", "tiger"));
    StartForm();
    TypeInto(form->eUsername, "edited");
    const QString label = form->lblDatoteka->text();
    TFileDialogAnswerer answerer(CancelDialog);
    QTest::mouseClick(form->Label5, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return answerer.answered; }));
    ExpectBoxes(*form, "VOBERA", "edited", "tiger");
    EXPECT_TRUE(SelectedFileName.empty());
    EXPECT_EQ(form->lblDatoteka->text(), label);
}

TEST_F(TFormUseTest, ChoosingAMissingFileResetsTheBoxesAndSavesSayNoFile)
{
    WriteBytes(ExeFile("VOBERA.INI"), ParamFile("VOBERA", "scott", "tiger"));
    StartForm();
    const QString label = form->lblDatoteka->text();
    TypeInto(form->eUsername, "edited");
    TFileDialogAnswerer answerer([this](QFileDialog *dialog) { TypeFileName(dialog, TempFile("missing.ini")); });
    QTest::mouseClick(form->btnIsci, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return answerer.answered; }));
    EXPECT_EQ(SelectedFileName, QFile::encodeName(Native(TempFile("missing.ini"))).toStdString());
    EXPECT_EQ(form->lblDatoteka->text(), label);
    ExpectBoxes(*form, "VOBERA", "scott", "tiger");

    const std::vector<TMessageSeen> seen = ClickPotrdi();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, "Ni datoteke " + Native(TempFile("missing.ini")));
    EXPECT_EQ(ReadBytes(TempFile("missing.ini")), "<missing>");
}

// The names the dialog lists in folder under its current filter.
QStringList ListedNames(QFileDialog *dialog, const QString &folder)
{
    auto *model = dialog->findChild<QFileSystemModel *>();
    QStringList names;
    if (!model)
        return names;
    const QModelIndex root = model->index(folder);
    for (int row = 0; row < model->rowCount(root); ++row) {
        const QModelIndex index = model->index(row, 0, root);
        if (index.flags().testFlag(Qt::ItemIsEnabled))
            names << index.data().toString();
    }
    names.sort();
    return names;
}

TEST_F(TFormUseTest, FiltersListVoberaIniInAnyCaseOrAllFiles)
{
    for (const char *name : {"VOBERA.INI", "Vobera.Ini", "other.ini", "noext"})
        WriteBytes(TempFile(name), "X=1\r\n");
    StartForm();
    QStringList voberaOnly;
    QStringList all;
    TFileDialogAnswerer answerer([&](QFileDialog *dialog) {
        dialog->setDirectory(temp.path());
        QTest::qWait(1);
        EXPECT_TRUE(QTest::qWaitFor([&] { return ListedNames(dialog, temp.path()).size() == 2; }, 3000));
        voberaOnly = ListedNames(dialog, temp.path());
        dialog->selectNameFilter(dialog->nameFilters().at(1));
        EXPECT_TRUE(QTest::qWaitFor([&] { return ListedNames(dialog, temp.path()).size() == 4; }, 3000));
        all = ListedNames(dialog, temp.path());
        CancelDialog(dialog);
    });
    QTest::mouseClick(form->btnIsci, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return answerer.answered; }));
    EXPECT_EQ(voberaOnly, (QStringList{"VOBERA.INI", "Vobera.Ini"}));
    EXPECT_EQ(all, (QStringList{"VOBERA.INI", "Vobera.Ini", "noext", "other.ini"}));
}

} // namespace
