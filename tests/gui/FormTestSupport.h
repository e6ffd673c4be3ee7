// Drives the real main window on Qt's offscreen platform: a fresh window per test over real
// files, with modal dialogs answered from a timer as a user would answer them.
#pragma once

#include "Unit1.h"

#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

class QFileDialog;

// Lets test failures show Qt strings as text.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

// What a message box showed.
struct TMessageSeen {
    QString text;
    QString title;
    int icon = -1;
    int buttons = 0;
};

// Answers every message box that opens while it lives with its OK button, recording it.
class TMessageAnswerer {
public:
    TMessageAnswerer();
    ~TMessageAnswerer();
    TMessageAnswerer(const TMessageAnswerer &) = delete;
    TMessageAnswerer &operator=(const TMessageAnswerer &) = delete;

    std::vector<TMessageSeen> seen;

    // The one message text seen, or a failure.
    QString OnlyText() const;

private:
    class QTimer *timer_;
};

// Runs answer on the file dialog once it is open and modal.
class TFileDialogAnswerer {
public:
    explicit TFileDialogAnswerer(std::function<void(QFileDialog *)> answer);
    ~TFileDialogAnswerer();
    TFileDialogAnswerer(const TFileDialogAnswerer &) = delete;
    TFileDialogAnswerer &operator=(const TFileDialogAnswerer &) = delete;

    bool answered = false;

private:
    class QTimer *timer_;
};

// Types text into widget key by key.
void TypeText(QWidget *widget, const QString &text);

// Types name into the dialog's file name box and presses Enter.
void TypeFileName(QFileDialog *dialog, const QString &name);

// Presses the dialog's Cancel button.
void CancelDialog(QFileDialog *dialog);

class TFormTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the window as the program does and shows it; waits for its first activation.
    void StartForm();

    // The executable's folder, where the default file lives.
    QString ExeFile(const QString &name) const;
    // A file in this test's own folder.
    QString TempFile(const QString &name) const;

    // Replaces the text of box as a user would: select all, then type.
    void TypeInto(class QLineEdit *box, const QString &text);

    // Clicks Potrdi and answers the messages the save shows.
    std::vector<TMessageSeen> ClickPotrdi();

    std::unique_ptr<TForm1> form;
    QTemporaryDir temp;
};

// Writes content to path.
void WriteBytes(const QString &path, const std::string &content);

// Reads the whole file at path; "<missing>" when it cannot.
std::string ReadBytes(const QString &path);

// The three values of a parameter file.
LogonParams ParamsIn(const QString &path);

// A parameter file holding the three values (ANSI bytes) and one unrelated section.
std::string ParamFile(const std::string &database, const std::string &user, const std::string &password);
