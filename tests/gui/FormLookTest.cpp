#include "FormTestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

using TFormLookTest = TFormTest;

QColor TextColour(const QWidget *widget)
{
    return widget->palette().color(QPalette::WindowText);
}

TEST_F(TFormLookTest, WindowAsDesigned)
{
    StartForm();
    EXPECT_EQ(form->windowTitle(), "DBparametri");
    EXPECT_EQ(form->frameGeometry().topLeft(), QPoint(70, 63));
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->frameGeometry().size() == QSize(306, 343); }));
    EXPECT_EQ(form->frameGeometry().size(), QSize(306, 343));
    EXPECT_EQ(form->palette().color(QPalette::Window), QColor(0, 0, 255));
    EXPECT_TRUE(form->autoFillBackground());
    EXPECT_EQ(form->font().pixelSize(), 11);
    EXPECT_EQ(form->font().families().value(0), "MS Sans Serif");
    EXPECT_FALSE(form->windowFlags().testFlag(Qt::MSWindowsFixedSizeDialogHint));
}

TEST_F(TFormLookTest, ControlsAsDesigned)
{
    StartForm();
    const struct {
        QWidget *widget;
        const char *name;
        QRect bounds;
    } controls[] = {
        {form->Label5, "Label5", {10, 8, 239, 17}},          {form->lblDatoteka, "lblDatoteka", {10, 24, 247, 17}},
        {form->btnIsci, "btnIsci", {264, 8, 33, 17}},        {form->eDatabasename, "eDatabasename", {128, 48, 121, 21}},
        {form->eUsername, "eUsername", {128, 104, 121, 21}}, {form->ePassword, "ePassword", {128, 160, 121, 21}},
        {form->btnPotrdi, "btnPotrdi", {40, 216, 75, 25}},   {form->btnIzhod, "btnIzhod", {176, 216, 75, 25}},
    };
    for (const auto &c : controls) {
        EXPECT_EQ(c.widget->objectName(), c.name);
        EXPECT_EQ(c.widget->geometry(), c.bounds) << c.name;
        EXPECT_EQ(form->findChild<QWidget *>(c.name), c.widget) << c.name;
    }

    const struct {
        QLabel *label;
        QString text;
        QColor colour;
    } labels[] = {
        {form->Label5, "Nastavitev parametrov za logiranje v Oracle", Qt::white},
        {form->lblDatoteka, "VOBERA.INI", Qt::white},
        {form->Label1, "DATABASENAME", Qt::white},
        {form->Label2, "USERNAME", Qt::white},
        {form->Label3, "PASSWORD", Qt::white},
        {form->Label4, QString::fromUtf8("Različica 1.1, december 2026"), Qt::yellow},
    };
    for (const auto &l : labels) {
        EXPECT_EQ(l.label->text(), l.text);
        EXPECT_EQ(TextColour(l.label), l.colour) << l.text.toStdString();
    }
    for (QLabel *label : {form->Label5, form->lblDatoteka}) {
        EXPECT_TRUE(label->wordWrap());
        EXPECT_TRUE(label->alignment().testFlag(Qt::AlignHCenter));
    }
    EXPECT_EQ(form->lblDatoteka->font().pixelSize(), 9);
    EXPECT_EQ(form->lblDatoteka->font().families().value(0), "Arial");

    EXPECT_EQ(form->btnPotrdi->text(), "&Potrdi");
    EXPECT_EQ(form->btnIzhod->text(), "&Izhod");
    EXPECT_EQ(form->btnIsci->text(), "...");
    for (QPushButton *button : {form->btnPotrdi, form->btnIzhod, form->btnIsci}) {
        EXPECT_FALSE(button->isDefault());
        EXPECT_FALSE(button->autoDefault());
    }
    for (QLineEdit *edit : {form->eDatabasename, form->eUsername, form->ePassword}) {
        EXPECT_EQ(edit->echoMode(), QLineEdit::Normal);
        EXPECT_EQ(edit->maxLength(), INT_MAX);
    }
}

TEST_F(TFormLookTest, HeadingLabelsSizeThemselvesAndKeepTheirRightEdge)
{
    StartForm();
    for (QLabel *label : {form->Label1, form->Label2, form->Label3}) {
        EXPECT_TRUE(label->font().bold());
        EXPECT_TRUE(label->alignment().testFlag(Qt::AlignRight));
        EXPECT_EQ(label->geometry().right() + 1, 112) << label->text().toStdString();
        EXPECT_EQ(label->size(), label->sizeHint());
    }
    EXPECT_EQ(form->Label4->pos(), QPoint(33, 272));
    EXPECT_EQ(form->Label4->size(), form->Label4->sizeHint());
    EXPECT_GE(form->Label3->width(), form->Label2->fontMetrics().horizontalAdvance("PASSWORD"));
}

TEST_F(TFormLookTest, TabWalksTheEditBoxesAndTheBrowseButton)
{
    StartForm();
    form->eDatabasename->setFocus();
    const QWidget *const expected[] = {form->eUsername, form->ePassword, form->btnIsci, form->eDatabasename};
    for (const QWidget *next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == next; }));
    }
    EXPECT_EQ(form->btnPotrdi->focusPolicy(), Qt::ClickFocus);
    EXPECT_EQ(form->btnIzhod->focusPolicy(), Qt::ClickFocus);
}

TEST_F(TFormLookTest, OpenDialogAsDesigned)
{
    StartForm();
    QFileDialog *dialog = form->OpenDialog1;
    EXPECT_EQ(dialog->windowTitle(), "Izberi datoteko vobera.ini");
    EXPECT_EQ(dialog->defaultSuffix(), "VOBERA.INI");
    EXPECT_EQ(dialog->fileMode(), QFileDialog::AnyFile);
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
    ASSERT_EQ(dialog->nameFilters().size(), 2);
    auto *types = dialog->findChild<QComboBox *>("fileTypeCombo");
    ASSERT_NE(types, nullptr);
    ASSERT_EQ(types->count(), 2);
    EXPECT_EQ(types->itemText(0), "vobera.ini");
    EXPECT_EQ(types->itemText(1), "vse datoteke (*.*)");
    EXPECT_EQ(types->currentIndex(), 0);
}

} // namespace
