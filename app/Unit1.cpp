#include "Unit1.h"

#include "AnsiText.h"
#include "Version.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <climits>

TForm1 *Form1 = nullptr;
bool FirstActivation = true;
LogonParams LastLoaded;

namespace {

// The window's outer frame, in pixels at 96 dots per inch.
constexpr QRect FormBounds(70, 63, 306, 343);

const QColor PureBlue(0, 0, 255);
const QColor White(255, 255, 255);
const QColor Yellow(255, 255, 0);

QFont FontOf(const QStringList &families, int pixelSize, bool bold = false)
{
    QFont font;
    font.setFamilies(families);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

QFont FormFont()
{
    return FontOf({"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "DejaVu Sans"}, 11);
}

QFont FileLabelFont()
{
    return FontOf({"Arial", "Liberation Sans", "DejaVu Sans"}, 9);
}

void SetColour(QWidget *widget, QPalette::ColorRole role, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
}

template <typename TWidget> TWidget *NewControl(QWidget *parent, const char *name, const QRect &bounds)
{
    auto *control = new TWidget(parent);
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(bounds);
    return control;
}

QLabel *NewLabel(QWidget *parent, const char *name, const QRect &bounds, const QString &text)
{
    auto *label = NewControl<QLabel>(parent, name, bounds);
    label->setText(text);
    label->setTextFormat(Qt::PlainText);
    SetColour(label, QPalette::WindowText, White);
    return label;
}

QPushButton *NewButton(QWidget *parent, const char *name, const QRect &bounds, const QString &text)
{
    auto *button = NewControl<QPushButton>(parent, name, bounds);
    button->setText(text);
    button->setAutoDefault(false);
    return button;
}

QLineEdit *NewEdit(QWidget *parent, const char *name, const QRect &bounds)
{
    auto *edit = NewControl<QLineEdit>(parent, name, bounds);
    edit->setMaxLength(INT_MAX);
    return edit;
}

// A modal message with one OK button and no icon, captioned with the application's name.
void ShowMessageBox(QWidget *parent, const QString &text)
{
    QMessageBox box(parent);
    box.setObjectName(QStringLiteral("ParamMessage"));
    box.setWindowTitle(QGuiApplication::applicationDisplayName());
    box.setIcon(QMessageBox::NoIcon);
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.setStandardButtons(QMessageBox::Ok);
    // Some styles dress standard buttons with icons; the message box shows none.
    box.button(QMessageBox::Ok)->setIcon(QIcon());
    box.exec();
}

bool IsEnter(const QKeyEvent *key)
{
    return (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
           !key->modifiers().testFlag(Qt::ControlModifier);
}

} // namespace

TForm1::TForm1(QWidget *parent) : QWidget(parent)
{
    CreateComponents();
    CreateOpenDialog();
    ApplyLook();
    SetTabOrder();
    ConnectEvents();
    FormCreate();
}

TForm1::~TForm1()
{
    if (ParamWindow() == this)
        SetParamWindow(nullptr);
}

void TForm1::CreateComponents()
{
    eDatabasename = NewEdit(this, "eDatabasename", {128, 48, 121, 21});
    eUsername = NewEdit(this, "eUsername", {128, 104, 121, 21});
    ePassword = NewEdit(this, "ePassword", {128, 160, 121, 21});
    Label1 = NewLabel(this, "Label1", {11, 56, 101, 13}, QStringLiteral("DATABASENAME"));
    btnPotrdi = NewButton(this, "btnPotrdi", {40, 216, 75, 25}, QStringLiteral("&Potrdi"));
    Label2 = NewLabel(this, "Label2", {42, 112, 70, 13}, QStringLiteral("USERNAME"));
    Label3 = NewLabel(this, "Label3", {40, 168, 72, 13}, QStringLiteral("PASSWORD"));
    btnIzhod = NewButton(this, "btnIzhod", {176, 216, 75, 25}, QStringLiteral("&Izhod"));
    Label4 = NewLabel(this, "Label4", {33, 272, 209, 13},
                      QString::fromUtf8("Različica %1, %2").arg(ProgramVersionShort, ReleaseMonth));
    Label5 = NewLabel(this, "Label5", {10, 8, 239, 17}, QStringLiteral("Nastavitev parametrov za logiranje v Oracle"));
    btnIsci = NewButton(this, "btnIsci", {264, 8, 33, 17}, QStringLiteral("..."));
    lblDatoteka = NewLabel(this, "lblDatoteka", {10, 24, 247, 17}, QStringLiteral("VOBERA.INI"));
}

void TForm1::CreateOpenDialog()
{
    OpenDialog1 = new QFileDialog(this, QStringLiteral("Izberi datoteko vobera.ini"));
    OpenDialog1->setObjectName(QStringLiteral("OpenDialog1"));
    OpenDialog1->setFileMode(QFileDialog::AnyFile);
    OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
    OpenDialog1->setDefaultSuffix(QStringLiteral("VOBERA.INI"));
    OpenDialog1->setDirectory(QCoreApplication::applicationDirPath());
#ifdef Q_OS_WIN
    OpenDialog1->setNameFilters(
        {QStringLiteral("vobera.ini (vobera.ini)"), QStringLiteral("vse datoteke (*.*) (*.*)")});
#else
    // Names compare without regard to case, as on Windows, and "all files" includes names
    // without a dot; the patterns stay out of sight behind the labels.
    OpenDialog1->setOption(QFileDialog::DontUseNativeDialog);
    OpenDialog1->setOption(QFileDialog::HideNameFilterDetails);
    OpenDialog1->setNameFilters({QStringLiteral("vobera.ini ([vV][oO][bB][eE][rR][aA].[iI][nN][iI])"),
                                 QStringLiteral("vse datoteke (*.*) (*)")});
#endif
    OpenDialog1->selectFile(QStringLiteral("VOBERA.INI"));
}

void TForm1::ApplyLook()
{
    setWindowTitle(QStringLiteral("DBparametri"));
    setFont(FormFont());
    setAutoFillBackground(true);
    SetColour(this, QPalette::Window, PureBlue);
    move(FormBounds.topLeft());
    resize(FormBounds.size());

    for (QLabel *label : {Label5, lblDatoteka}) {
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        label->setWordWrap(true);
    }
    lblDatoteka->setFont(FileLabelFont());

    for (QLabel *label : {Label1, Label2, Label3}) {
        label->setFont(FontOf(font().families(), font().pixelSize(), true));
        label->setAlignment(Qt::AlignRight | Qt::AlignTop);
    }
    SetColour(Label4, QPalette::WindowText, Yellow);
    for (QLabel *label : {Label1, Label2, Label3, Label4})
        FitLabel(label);
    for (QLabel *label : {Label1, Label2, Label3, Label4, Label5, lblDatoteka})
        label->setFocusPolicy(Qt::NoFocus);
}

// Sizes label to its text. A right-aligned label keeps its right edge where it was.
void TForm1::FitLabel(QLabel *label)
{
    const QRect designed = label->geometry();
    label->adjustSize();
    if (label->alignment().testFlag(Qt::AlignRight))
        label->move(designed.left() + designed.width() - label->width(), designed.top());
}

void TForm1::SetTabOrder()
{
    for (QLineEdit *edit : {eDatabasename, eUsername, ePassword})
        edit->setFocusPolicy(Qt::StrongFocus);
    // Potrdi and Izhod are reached by a click or Alt+key, never by Tab.
    btnPotrdi->setFocusPolicy(Qt::ClickFocus);
    btnIzhod->setFocusPolicy(Qt::ClickFocus);
    btnIsci->setFocusPolicy(Qt::StrongFocus);
    setTabOrder(eDatabasename, eUsername);
    setTabOrder(eUsername, ePassword);
    setTabOrder(ePassword, btnPotrdi);
    setTabOrder(btnPotrdi, btnIzhod);
    setTabOrder(btnIzhod, btnIsci);
}

void TForm1::ConnectEvents()
{
    connect(btnIzhod, &QPushButton::clicked, this, &TForm1::btnIzhodClick);
    connect(btnPotrdi, &QPushButton::clicked, this, &TForm1::btnPotrdiClick);
    connect(btnIsci, &QPushButton::clicked, this, &TForm1::btnIsciClick);
    for (QObject *control : std::initializer_list<QObject *>{eDatabasename, eUsername, ePassword, Label5, lblDatoteka,
                                                             btnPotrdi, btnIzhod, btnIsci})
        control->installEventFilter(this);
}

void TForm1::FormCreate()
{
    SetParamWindow(this);
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            AppActivate();
    });
}

void TForm1::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!FirstActivation)
        return;
    // Without a window manager nothing activates a new window; the first load waits for it.
    activateWindow();
    raise();
    QTimer::singleShot(0, this, [this] {
        const QSize frame = frameGeometry().size() - geometry().size();
        resize(FormBounds.size() - frame);
    });
}

void TForm1::AppActivate()
{
    if (!FirstActivation)
        return;
    FirstActivation = false;
    LoadParams(LastLoaded.database, LastLoaded.user, LastLoaded.password);
    FillBoxes();
}

void TForm1::FillBoxes()
{
    eDatabasename->setText(FromAnsi(LastLoaded.database));
    eUsername->setText(FromAnsi(LastLoaded.user));
    ePassword->setText(FromAnsi(LastLoaded.password));
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease && (watched == Label5 || watched == lblDatoteka)) {
        if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            Label5Click();
        return true;
    }
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    if (auto *button = qobject_cast<QPushButton *>(watched)) {
        // A focused push button answers Enter as it answers Space.
        if (!IsEnter(key))
            return false;
        button->click();
        return true;
    }
    const QString text = key->text();
    if (!IsEnter(key) && (text.size() != 1 || text.at(0).unicode() > 0xFF))
        return false;
    char Key = IsEnter(key) ? '\r' : static_cast<char>(text.at(0).unicode());
    if (watched == eDatabasename)
        eDatabasenameKeyPress(watched, Key);
    else if (watched == eUsername)
        eUsernameKeyPress(watched, Key);
    else if (watched == ePassword)
        ePasswordKeyPress(watched, Key);
    return Key == 0;
}

void TForm1::MoveFocusOn(char &Key)
{
    if (Key != '\r')
        return;
    Key = 0;
    focusNextChild();
}

void TForm1::eDatabasenameKeyPress(QObject *, char &Key)
{
    MoveFocusOn(Key);
}

void TForm1::eUsernameKeyPress(QObject *, char &Key)
{
    MoveFocusOn(Key);
}

void TForm1::ePasswordKeyPress(QObject *, char &Key)
{
    MoveFocusOn(Key);
}

void TForm1::Label5Click()
{
    if (OpenDialog1->exec() != QDialog::Accepted || OpenDialog1->selectedFiles().isEmpty())
        return;
    SelectedFileName = ToNativePath(QDir::toNativeSeparators(OpenDialog1->selectedFiles().constFirst()));
    LoadParams(LastLoaded.database, LastLoaded.user, LastLoaded.password);
    FillBoxes();
}

void TForm1::btnIsciClick()
{
    Label5Click();
}

bool TForm1::TakeValue(QLineEdit *box, const char *entryName, std::string &value)
{
    if (ToAnsi(box->text(), value))
        return true;
    ShowMessageBox(this, QString::fromUtf8("Vrednost vsebuje znak, ki ga ni mogoče zapisati: ") +
                             QString::fromLatin1(entryName));
    return false;
}

void TForm1::btnPotrdiClick()
{
    if (!btnPotrdi->isEnabled())
        return;
    std::string database;
    std::string user;
    std::string password;
    if (!TakeValue(eDatabasename, "DATABASENAME", database) || !TakeValue(eUsername, "USERNAME", user) ||
        !TakeValue(ePassword, "PASSWORD", password))
        return;
    // The save lets the window handle its events; a click or Alt+P among them must not start
    // a second save, and a disabled button takes neither.
    QWidget *focused = focusWidget();
    btnPotrdi->setEnabled(false);
    SaveParams(database, user, password);
    btnPotrdi->setEnabled(true);
    if (focused)
        focused->setFocus();
}

void TForm1::btnIzhodClick()
{
    QApplication::quit();
}

void TForm1::ShowMessage(const std::string &text, const std::string &path)
{
    ShowMessageBox(this, FromAnsi(text) + FromNativePath(path));
}

void TForm1::ProcessMessages()
{
    QCoreApplication::processEvents();
}

void TForm1::SetFileLabel(const std::string &path)
{
    lblDatoteka->setText(FromNativePath(path));
}

std::string TForm1::ExecutableFolder()
{
    return ToNativePath(QDir::toNativeSeparators(QCoreApplication::applicationDirPath()));
}
