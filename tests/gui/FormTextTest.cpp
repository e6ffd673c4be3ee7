#include "FileSystem.h"
#include "FormTestSupport.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

using TFormTextTest = TFormTest;

TEST_F(TFormTextTest, CentralEuropeanLettersShowAndSaveBackByteForByte)
{
    // Čebelar, žaba, šifra in Windows-1250.
    const LogonParams values{"\xC8"
                             "ebelar",
                             "\x9E"
                             "aba",
                             "\x9A"
                             "ifra"};
    WriteBytes(ExeFile("VOBERA.INI"), ParamFile(values.database, values.user, values.password));
    StartForm();
    EXPECT_EQ(form->eDatabasename->text(), QString::fromUtf8("Čebelar"));
    EXPECT_EQ(form->eUsername->text(), QString::fromUtf8("žaba"));
    EXPECT_EQ(form->ePassword->text(), QString::fromUtf8("šifra"));

    ASSERT_EQ(ClickPotrdi().size(), 1u);
    const LogonParams saved = ParamsIn(ExeFile("VOBERA.INI"));
    EXPECT_EQ(saved.database, values.database);
    EXPECT_EQ(saved.user, values.user);
    EXPECT_EQ(saved.password, values.password);

    TypeInto(form->eUsername, QString::fromUtf8("ŽĆĐ€"));
    ASSERT_EQ(ClickPotrdi().size(), 1u);
    EXPECT_EQ(ParamsIn(ExeFile("VOBERA.INI")).user, "\x8E\xC6\xD0\x80");
}

TEST_F(TFormTextTest, CharacterTheCodePageCannotHoldIsRefused)
{
    const std::string old = ParamFile("VOBERA", "scott", "tiger");
    WriteBytes(ExeFile("VOBERA.INI"), old);
    StartForm();
    const struct {
        QLineEdit *box;
        QString text;
        const char *entry;
    } cases[] = {
        {form->eDatabasename, QString::fromUtf8("niño"), "DATABASENAME"},
        {form->eUsername, QString::fromUtf8("用户"), "USERNAME"},
        {form->ePassword, QString::fromUtf8("pass\u2603"), "PASSWORD"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.entry);
        const QString before = c.box->text();
        TypeInto(c.box, c.text);
        TMessageAnswerer answerer;
        QTest::mouseClick(form->btnPotrdi, Qt::LeftButton);
        EXPECT_EQ(answerer.OnlyText(),
                  QString::fromUtf8("Vrednost vsebuje znak, ki ga ni mogoče zapisati: ") + c.entry);
        EXPECT_EQ(ReadBytes(ExeFile("VOBERA.INI")), old);
        EXPECT_EQ(ReadBytes(ExeFile("VOBERA.OLD")), "<missing>");
        EXPECT_EQ(c.box->text(), c.text);
        c.box->setText(before);
    }
}

TEST_F(TFormTextTest, TooLongValueIsRefusedInSlovenian)
{
    const std::string old = ParamFile("VOBERA", "scott", "tiger");
    WriteBytes(ExeFile("VOBERA.INI"), old);
    StartForm();
    TypeInto(form->ePassword, QString(31, 'x'));
    const std::vector<TMessageSeen> seen = ClickPotrdi();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, QString::fromUtf8("Vrednost je daljša od 30 znakov: PASSWORD"));
    EXPECT_EQ(ReadBytes(ExeFile("VOBERA.INI")), old);
}

TEST_F(TFormTextTest, FolderWithNonAsciiNameIsChosenShownAndSaved)
{
    ASSERT_TRUE(QDir(temp.path()).mkdir(QString::fromUtf8("Šifre")));
    const QString chosen = QDir::toNativeSeparators(TempFile(QString::fromUtf8("Šifre/VOBERA.INI")));
    const std::string old = ParamFile("VOBERA", "scott", "tiger");
    WriteBytes(chosen, old);
    StartForm();
    TFileDialogAnswerer answerer([&](QFileDialog *dialog) { TypeFileName(dialog, chosen); });
    QTest::mouseClick(form->btnIsci, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return answerer.answered; }));
    EXPECT_EQ(form->eUsername->text(), "scott");
    // Only ASCII letters are lowered: Š stays.
    EXPECT_TRUE(form->lblDatoteka->text().endsWith(QString::fromUtf8("/Šifre/vobera.ini")) ||
                form->lblDatoteka->text().endsWith(QString::fromUtf8("\\Šifre\\vobera.ini")))
        << form->lblDatoteka->text().toStdString();

    TypeInto(form->eUsername, "novi");
    const std::vector<TMessageSeen> seen = ClickPotrdi();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, "DB parametri so zapisani v " + chosen);
    EXPECT_EQ(ParamsIn(chosen).user, "novi");
    EXPECT_EQ(ReadBytes(TempFile(QString::fromUtf8("Šifre/VOBERA.OLD"))), old);
}

TEST_F(TFormTextTest, OneSaveAtATime)
{
    WriteBytes(ExeFile("VOBERA.INI"), ParamFile("VOBERA", "scott", "tiger"));
    StartForm();
    // Once the save has begun, queue a second click and Alt+P for the moment it lets the
    // window handle its events.
    bool queued = false;
    bool ranDuringSave = false;
    ParamFs::SetFaultHook([&](ParamFs::Op op) {
        if (op == ParamFs::Op::Open && !queued) {
            queued = true;
            QTimer::singleShot(0, [&] {
                ranDuringSave = !form->btnPotrdi->isEnabled();
                QTest::mouseClick(form->btnPotrdi, Qt::LeftButton);
                QTest::keyClick(form.get(), Qt::Key_P, Qt::AltModifier);
                form->btnPotrdi->click();
                form->btnPotrdiClick();
            });
        }
        return false;
    });
    {
        TMessageAnswerer answerer;
        QTest::mouseClick(form->btnPotrdi, Qt::LeftButton);
        QTest::qWait(300);
        ParamFs::SetFaultHook({});
        EXPECT_TRUE(ranDuringSave);
        EXPECT_EQ(answerer.seen.size(), 1u);
        EXPECT_TRUE(form->btnPotrdi->isEnabled());
    }

    // Afterwards Potrdi works as before.
    EXPECT_EQ(ClickPotrdi().size(), 1u);
}

} // namespace
