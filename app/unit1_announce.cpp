// The ticker at the foot of the window: the announcement worker's start, the six-second
// rotation with the one-time update offer, the click that opens a title's address and the
// label's font under the pointer.
#include <QColor>
#include <QFont>
#include <QLabel>
#include <QPalette>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <climits>
#include <memory>
#include <string>

#include "announce/ad_thread.h"
#include "announce/announcement_list.h"
#include "announce/shared_values.h"
#include "announce/text_trim.h"
#include "announce/ticker_choice.h"
#include "app/dialogs.h"
#include "app/error_display.h"
#include "app/unit1.h"
#include "app/web_address.h"

namespace {

// Record texts are the page's bytes in the system's encoding.
QString FromPage(const std::string& bytes) {
    return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// The ticker's font under and away from the pointer.
constexpr int kTickerPointSize = 10;

void SetTickerFont(QLabel& label, bool underlined) {
    QFont font = label.font();
    font.setBold(false);
    font.setItalic(false);
    font.setStrikeOut(false);
    font.setUnderline(underlined);
    font.setPointSize(kTickerPointSize);
    label.setFont(font);
    QPalette palette = label.palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    label.setPalette(palette);
}

void ShowOnTicker(TForm1& window, const std::string& item) {
    // Titles come from a page we do not control: shown as they are, never read as markup.
    window.lbl_ad1->setTextFormat(Qt::PlainText);
    window.lbl_ad1->setText(FromPage(item));
}

bool TickerShows(const TForm1& window, const std::string& item) {
    return window.lbl_ad1->text() == FromPage(item);
}

// Hands a web address, unchanged, to the system's opener; a failed launch goes unnoticed. Any
// other address raises EAddressRefused, which names it, and reaches no opener.
void OpenAddress(const std::string& address) {
    if (!IsWebAddress(address)) {
        throw EAddressRefused(address);
    }
    try {
        if (Dialogs().openAddress) {
            Dialogs().openAddress(address);
        }
    } catch (const std::exception&) {
        // The launch itself failing goes unnoticed.
    }
}

// The update offer: a modal Yes/No question; Yes opens the update address (item 25, trimmed).
// It needs nothing of the window, which may be closed while the question is open.
void OfferUpdate(const Announcements& list) {
    const QString text = QString::fromUtf8("Tovalin澜页检测到最新版本V") +
                         FromPage(list.latestVersion) +
                         QString::fromUtf8("，您是否要升级到最新版？");
    const QString caption = QString::fromUtf8("温馨提醒");
    if (Dialogs().askYesNo && Dialogs().askYesNo(text, caption)) {
        try {
            OpenAddress(std::string(TrimBlanks(AnnouncementItem(list.items, kUpdateAddressItem))));
        } catch (const EAddressRefused&) {
            // The tick reports nothing else, but a refused address is shown as any error.
            ShowException(std::current_exception());
        }
    }
}

}  // namespace

void TForm1::StartAnnouncementWorker() {
    // With no announcement address configured, Launch starts nothing.
    QPointer<TForm1> window(this);
    TAdThread::Launch([window](const std::string& firstTitle) {
        if (window == nullptr) {
            return;  // the window went away while the page was loading
        }
        window->lbl_guangbo1->setVisible(true);
        ShowOnTicker(*window, firstTitle);
    });
}

void TForm1::tmr_adTimer(QObject*) {
    // The snapshot stays alive for the whole tick, even if a new list were published during
    // the modal prompt below.
    const std::shared_ptr<const Announcements> list = PublishedAnnouncements();
    if (list == nullptr || list->items.empty()) {
        return;
    }
    const auto shown = [this](const std::string& item) { return TickerShows(*this, item); };
    // The prompt runs a nested event loop; the window may be closed and deleted meanwhile.
    const QPointer<TForm1> self(this);
    try {
        if (NetworkFailed == 1) {
            return;
        }
        if (TickCount < INT_MAX) {
            ++TickCount;
        }
        // TickCount is counted before the prompt, so ticks that arrive while it is open see a
        // count above 1 and only rotate.
        if (ShouldOfferUpdate(list->latestVersion, CurrentVersion, TickCount)) {
            // The ticker keeps running while the question is open. Qt does not fire a timer
            // again while its own handler is still running, so a stand-in with the same pace
            // ticks in its place until the answer comes; it goes with the window.
            QTimer standIn;
            standIn.setInterval(tmr_ad->interval());
            connect(&standIn, &QTimer::timeout, this,
                    [this] { Guarded([this] { tmr_adTimer(tmr_ad); }); });
            if (tmr_ad->isActive()) {
                standIn.start();
            }
            OfferUpdate(*list);
            if (self == nullptr) {
                return;
            }
        }
        ShowOnTicker(*this, NextTickerTitle(list->items, shown));
    } catch (...) {
        // A tick never reports anything: whatever failed, the first title goes back up.
        if (self != nullptr) {
            ShowOnTicker(*this, list->items.front());
        }
    }
}

void TForm1::lbl_ad1Click(QObject*) {
    const std::shared_ptr<const Announcements> list = PublishedAnnouncements();
    if (list == nullptr || list->items.empty() || NetworkFailed == 1) {
        return;
    }
    // Not caught: a list too short for the text on show raises its index error, which the
    // default error display shows.
    OpenInExplorer(ClickedAddress(
        list->items, [this](const std::string& item) { return TickerShows(*this, item); }));
}

void TForm1::lbl_ad1MouseMove(QObject*, Qt::KeyboardModifiers, int, int) {
    SetTickerFont(*lbl_ad1, /*underlined=*/false);
}

void TForm1::lbl_ad1MouseLeave(QObject*) {
    SetTickerFont(*lbl_ad1, /*underlined=*/true);
}

void TForm1::OpenInExplorer(const std::string& address) {
    OpenAddress(address);
}
