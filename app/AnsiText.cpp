#include "AnsiText.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace {

#ifdef Q_OS_WIN
QStringEncoder AnsiEncoder()
{
    return QStringEncoder(QStringConverter::System);
}
QStringDecoder AnsiDecoder()
{
    return QStringDecoder(QStringConverter::System);
}
#else
// The application that owns the file runs on Central European Windows.
constexpr const char *AnsiCodePage = "windows-1250";

QStringEncoder AnsiEncoder()
{
    return QStringEncoder(AnsiCodePage);
}
QStringDecoder AnsiDecoder()
{
    return QStringDecoder(AnsiCodePage);
}
#endif

} // namespace

QString FromAnsi(const std::string &text)
{
    QStringDecoder decoder = AnsiDecoder();
    return decoder.decode(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
}

bool ToAnsi(const QString &text, std::string &ansi)
{
    QStringEncoder encoder = AnsiEncoder();
    const QByteArray bytes = encoder.encode(text);
    if (encoder.hasError() || !encoder.isValid())
        return false;
    ansi.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    // The converter may stand a substitute in for a character it cannot hold.
    return FromAnsi(ansi) == text;
}

QString FromNativePath(const std::string &path)
{
    return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

std::string ToNativePath(const QString &path)
{
    const QByteArray bytes = QFile::encodeName(path);
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}
