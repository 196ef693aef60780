#include "app/dialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

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
        // The address goes over as typed on the page; what the opener makes of it is its own.
        (void)QDesktopServices::openUrl(QUrl::fromUserInput(
            QString::fromLocal8Bit(address.data(), static_cast<qsizetype>(address.size()))));
    };
    return seams;
}

}  // namespace

DialogSeams& Dialogs() {
    static DialogSeams seams = RealDialogs();
    return seams;
}
