#include "app/dialogs.h"

#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QStringList>

#include "app/web_address.h"

QString ApplicationTitle() {
    return QString::fromUtf8("Tovalin 澜页");
}

namespace {

DialogSeams RealDialogs() {
    DialogSeams seams;
    seams.showMessage = [](const QString& text) {
        QMessageBox::information(QApplication::activeWindow(), ApplicationTitle(), text,
                                 QMessageBox::Ok);
    };
    seams.askYesNo = [](const QString& text, const QString& caption) {
        return QMessageBox::question(QApplication::activeWindow(), caption, text,
                                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    };
    seams.showError = [](const QString& text) {
        QMessageBox::critical(QApplication::activeWindow(), ApplicationTitle(), text,
                              QMessageBox::Ok);
    };
    seams.openAddress = [](const std::string& address) {
        // A web address goes over exactly as the page wrote it, as one argument (no shell, no
        // rewriting into a guessed address); anything else is refused here too.
        if (!IsWebAddress(address)) {
            throw EAddressRefused(address);
        }
        (void)QProcess::startDetached(
            QStringLiteral("xdg-open"),
            {QString::fromLocal8Bit(address.data(), static_cast<qsizetype>(address.size()))});
    };
    return seams;
}

}  // namespace

DialogSeams& Dialogs() {
    static DialogSeams seams = RealDialogs();
    return seams;
}
