// The main window: three boxes for the logon values, confirm, exit and a file chooser.
#pragma once

#include "ParamStore.h"
#include "ParamWindow.h"

#include <QWidget>

class QFileDialog;
class QLabel;
class QLineEdit;
class QPushButton;

class TForm1 : public QWidget, private TParamWindow {
    Q_OBJECT

public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    QLineEdit *eDatabasename;
    QLineEdit *eUsername;
    QLineEdit *ePassword;
    QLabel *Label1;
    QPushButton *btnPotrdi;
    QLabel *Label2;
    QLabel *Label3;
    QPushButton *btnIzhod;
    QLabel *Label4;
    QLabel *Label5;
    QFileDialog *OpenDialog1;
    QPushButton *btnIsci;
    QLabel *lblDatoteka;

public slots:
    void btnIzhodClick();
    void btnPotrdiClick();
    void FormCreate();
    void AppActivate();
    void eDatabasenameKeyPress(QObject *Sender, char &Key);
    void eUsernameKeyPress(QObject *Sender, char &Key);
    void ePasswordKeyPress(QObject *Sender, char &Key);
    void Label5Click();
    void btnIsciClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void CreateComponents();
    void CreateOpenDialog();
    void ApplyLook();
    void SetTabOrder();
    void ConnectEvents();
    void FitLabel(QLabel *label);
    void FillBoxes();
    void MoveFocusOn(char &Key);
    bool TakeValue(QLineEdit *box, const char *entryName, std::string &value);

    void ShowMessage(const std::string &text, const std::string &path) override;
    void ProcessMessages() override;
    void SetFileLabel(const std::string &path) override;
    std::string ExecutableFolder() override;
};

// Process-wide state of the window, from start to end.
extern TForm1 *Form1;
extern bool FirstActivation;
extern LogonParams LastLoaded;
