// The window's ticker: rotation, the update offer, the click and the pointer fonts. The timer is
// driven by hand (tmr_adTimer called directly) and the dialogs and the opener are answered and
// recorded through the seams.
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QFont>
#include <QPalette>
#include <QTest>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "announce/announcement_list.h"
#include "announce/shared_values.h"
#include "app/dialogs.h"
#include "app/unit1.h"

namespace {

struct Prompt {
    QString text;
    QString caption;
};

// A page of `titles` ticker records T1.. with addresses http://a.test/1..; with `version` also
// records 6 to 13, the thirteenth announcing that version with update address " http://update/
// \r\n".
std::string Page(int titles, const std::string& version = "") {
    std::string page = "<html><body>";
    const auto record = [&](const std::string& t, const std::string& a) {
        page += "<P>velkorntitle:" + t + "</P><br><P>velkornurl:" + a + "</P>\n";
    };
    for (int k = 1; k <= titles; ++k) {
        record("T" + std::to_string(k), "http://a.test/" + std::to_string(k));
    }
    if (!version.empty()) {
        for (int k = titles + 1; k <= 12; ++k) {
            record("held" + std::to_string(k), "H" + std::to_string(k));
        }
        record(version, " http://update/ \r\n");
    }
    return page + "</body></html>";
}

class Ticker : public ::testing::Test {
  protected:
    void SetUp() override {
        savedSeams = Dialogs();
        Dialogs().askYesNo = [this](const QString& text, const QString& caption) {
            prompts.push_back({text, caption});
            if (duringPrompt) {
                duringPrompt();
            }
            return answerYes;
        };
        Dialogs().openAddress = [this](const std::string& address) { opened.push_back(address); };
        Dialogs().showError = [this](const QString& text) { errors.push_back(text); };
        form = std::make_unique<TForm1>();
        form->tmr_ad->stop();  // ticks come from the test only
        CurrentVersion = "1.0";
        TickCount = 0;
        NetworkFailed = 0;
        PublishAnnouncements(nullptr);
    }
    void TearDown() override {
        PublishAnnouncements(nullptr);
        form.reset();
        Dialogs() = savedSeams;
    }

    void Publish(const std::string& page) {
        PublishAnnouncements(std::make_shared<const Announcements>(ReadAnnouncements(page)));
    }
    QString Shown() const { return form->lbl_ad1->text(); }
    std::vector<QString> Ticks(int n) {
        std::vector<QString> seen;
        for (int i = 0; i < n; ++i) {
            form->tmr_adTimer(form->tmr_ad);
            seen.push_back(Shown());
        }
        return seen;
    }
    void Click() { form->lbl_ad1Click(form->lbl_ad1); }

    DialogSeams savedSeams;
    std::unique_ptr<TForm1> form;
    std::vector<Prompt> prompts;
    std::vector<std::string> opened;
    std::vector<QString> errors;
    bool answerYes = false;
    std::function<void()> duringPrompt;
};

using Texts = std::vector<QString>;

TEST_F(Ticker, TicksBeforeTheListDoNothing) {
    EXPECT_EQ(Ticks(3), (Texts{"", "", ""}));
    Publish("<html>no records</html>");
    EXPECT_EQ(Ticks(2), (Texts{"", ""}));
    EXPECT_EQ(TickCount, 0);
    Click();
    EXPECT_TRUE(opened.empty());
    EXPECT_TRUE(errors.empty());
}

TEST_F(Ticker, FailedNetworkStopsTicksAndClicks) {
    Publish(Page(5));
    NetworkFailed = 1;
    form->lbl_ad1->setText("T1");
    EXPECT_EQ(Ticks(2), (Texts{"T1", "T1"}));
    EXPECT_EQ(TickCount, 0);
    Click();
    EXPECT_TRUE(opened.empty());
}

TEST_F(Ticker, FiveTitlesRotateAndWrap) {
    Publish(Page(5));
    EXPECT_EQ(Ticks(7), (Texts{"T1", "T2", "T3", "T4", "T5", "T1", "T2"}));
    EXPECT_EQ(TickCount, 7);
    EXPECT_TRUE(prompts.empty());
}

TEST_F(Ticker, ThreeTitlesWrapAndEachClickOpensItsOwnAddress) {
    Publish(Page(3));
    std::vector<QString> seen;
    for (int i = 0; i < 4; ++i) {
        form->tmr_adTimer(form->tmr_ad);
        seen.push_back(Shown());
        Click();
    }
    EXPECT_EQ(seen, (Texts{"T1", "T2", "T3", "T1"}));
    EXPECT_EQ(opened, (std::vector<std::string>{"http://a.test/1", "http://a.test/2",
                                                "http://a.test/3", "http://a.test/1"}));
}

TEST_F(Ticker, OneTitleStays) {
    Publish(Page(1));
    EXPECT_EQ(Ticks(3), (Texts{"T1", "T1", "T1"}));
}

TEST_F(Ticker, FifthTitleClickOpensItem9AndTheNextTickShowsTheFirst) {
    Publish(Page(5));
    Ticks(5);
    ASSERT_EQ(Shown(), "T5");
    Click();
    EXPECT_EQ(opened, std::vector<std::string>{"http://a.test/5"});
    EXPECT_EQ(Ticks(1), Texts{"T1"});
}

TEST_F(Ticker, ClickOnAnUnknownTextWithAShortListRaisesTheIndexError) {
    Publish(Page(3));
    form->lbl_ad1->setText("something else");
    EXPECT_THROW(Click(), std::out_of_range);
    EXPECT_TRUE(opened.empty());
}

TEST_F(Ticker, ClickErrorReachesTheDefaultErrorDisplay) {
    Publish(Page(3));
    form->lbl_ad1->setText("something else");
    form->show();
    QTest::mouseClick(form->lbl_ad1, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    EXPECT_EQ(errors, std::vector<QString>{"List index out of bounds (6)"});
    EXPECT_TRUE(opened.empty());
}

TEST_F(Ticker, AddressesAreOpenedAsStored) {
    Publish("<P>velkorntitle:Only</P><P>velkornurl:HTTPS://x.test/?a=1&amp;b \t</P>");
    Ticks(1);
    Click();
    EXPECT_EQ(opened, std::vector<std::string>{"HTTPS://x.test/?a=1&amp;b \t"});
}

// The opener takes web addresses only: anything else is refused with an error that names it,
// shown by the default error display, and never reaches the opener.
TEST_F(Ticker, ClickOnAnythingButAWebAddressShowsAnErrorAndOpensNothing) {
    form->show();
    for (const std::string address :
         {"file:///etc/passwd", "/usr/bin/xterm", "ssh://host.test/", "javascript:alert(1)",
          " http://x.test/", "http://", "httpx://x.test/", "mailto:a@example.com"}) {
        SCOPED_TRACE(address);
        errors.clear();
        Publish("<P>velkorntitle:Only</P><P>velkornurl:" + address + "</P>");
        Ticks(1);
        QTest::mouseClick(form->lbl_ad1, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_TRUE(errors[0].contains(QString::fromStdString(address))) << errors[0].toStdString();
    }
    EXPECT_TRUE(opened.empty());
}

TEST_F(Ticker, UpdatePromptRefusesAnUpdateAddressThatIsNoWebAddress) {
    std::string page = Page(12);
    page += "<P>velkorntitle:1.1</P><P>velkornurl:file:///usr/bin/xterm</P>";
    Publish(page);
    answerYes = true;
    EXPECT_EQ(Ticks(2), (Texts{"T1", "T2"}));  // the tick goes on to its rotation
    EXPECT_EQ(prompts.size(), 1u);
    EXPECT_TRUE(opened.empty());
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].contains(QStringLiteral("file:///usr/bin/xterm")));
}

TEST_F(Ticker, NewerVersionPromptsOnceOnTheFirstCountedTick) {
    Publish(Page(5, "1.1"));
    answerYes = false;
    EXPECT_EQ(Ticks(6), (Texts{"T1", "T2", "T3", "T4", "T5", "T1"}));
    ASSERT_EQ(prompts.size(), 1u);
    EXPECT_EQ(prompts[0].text,
              QString::fromUtf8("Tovalin澜页检测到最新版本V1.1，您是否要升级到最新版？"));
    EXPECT_EQ(prompts[0].caption, QString::fromUtf8("温馨提醒"));
    EXPECT_TRUE(opened.empty());
}

TEST_F(Ticker, YesOpensTheUpdateAddressTrimmed) {
    Publish(Page(5, "1.1"));
    answerYes = true;
    Ticks(2);
    EXPECT_EQ(prompts.size(), 1u);
    EXPECT_EQ(opened, std::vector<std::string>{"http://update/"});
}

TEST_F(Ticker, TicksDuringTheOpenPromptOnlyRotate) {
    Publish(Page(5, "1.1"));
    answerYes = true;
    // The prompt's own message loop lets further ticks in while it is open.
    duringPrompt = [this] { Ticks(2); };
    // The nested ticks put up T1 and T2; after the answer the first tick rotates on to T3.
    EXPECT_EQ(Ticks(1), Texts{"T3"});
    EXPECT_EQ(prompts.size(), 1u);
    EXPECT_EQ(TickCount, 3);
    EXPECT_EQ(opened, std::vector<std::string>{"http://update/"});
}

TEST_F(Ticker, TimerKeepsTickingWhileThePromptWaitsForItsAnswer) {
    // The real timer at a short pace; the answer comes after the question's own event loop has
    // run for a while, as a modal box's would.
    Publish(Page(5, "1.1"));
    form->tmr_ad->setInterval(20);
    std::vector<QString> seenWhileOpen;
    duringPrompt = [&] {
        // The question's own event loop, as a modal box runs it, left after two more ticks.
        QEventLoop loop;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (TickCount >= 3) {
                loop.quit();
            }
        });
        watch.start(5);
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        loop.exec();
        seenWhileOpen.push_back(Shown());
        form->tmr_ad->stop();
    };
    form->tmr_ad->start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !seenWhileOpen.empty(); }, 5000));
    EXPECT_EQ(prompts.size(), 1u);
    EXPECT_GE(TickCount, 3);
    EXPECT_NE(seenWhileOpen[0], "");  // the nested ticks rotated the label
}

TEST_F(Ticker, WindowClosedWhileThePromptIsOpen) {
    Publish(Page(5, "1.1"));
    answerYes = true;
    TForm1* window = form.get();
    duringPrompt = [this] { form.reset(); };
    window->tmr_adTimer(nullptr);
    EXPECT_EQ(form, nullptr);
    EXPECT_EQ(opened, std::vector<std::string>{"http://update/"});
}

TEST_F(Ticker, ListArrivingLateStillPromptsOnItsFirstCountedTick) {
    Ticks(3);  // the page has not arrived yet
    Publish(Page(5, "1.1"));
    Ticks(1);
    EXPECT_EQ(prompts.size(), 1u);
}

struct VersionCase {
    const char* name;
    const char* latest;
    bool prompts;
};

class TickerVersions : public Ticker, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(TickerVersions, PromptOnlyForAStrictlyNewerDecimal) {
    Publish(Page(5, GetParam().latest));
    EXPECT_EQ(Ticks(3), (Texts{"T1", "T2", "T3"}));
    EXPECT_EQ(prompts.size(), GetParam().prompts ? 1u : 0u) << GetParam().latest;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TickerVersions,
    ::testing::Values(VersionCase{"Newer", "1.1", true}, VersionCase{"Equal", "1.0", false},
                      VersionCase{"Older", "0.9", false}, VersionCase{"OneTen", "1.10", true},
                      VersionCase{"Blanks", " 2 ", true}),
    [](const ::testing::TestParamInfo<VersionCase>& info) { return std::string(info.param.name); });

TEST_F(Ticker, VersionOneTenIsOlderThanOneNine) {
    CurrentVersion = "1.9";
    Publish(Page(5, "1.10"));
    Ticks(1);
    EXPECT_TRUE(prompts.empty());
}

TEST_F(Ticker, VersionThatIsNoNumberKeepsTheFirstTitleUp) {
    Publish(Page(5, "V1.1"));
    EXPECT_EQ(Ticks(4), (Texts{"T1", "T1", "T1", "T1"}));
    EXPECT_TRUE(prompts.empty());
    EXPECT_EQ(TickCount, 4);
}

TEST_F(Ticker, MissingUpdateAddressEndsTheYesTickOnTheFirstTitle) {
    // Item 24 without item 25: Yes reads the missing update address.
    Publish(Page(5, "1.1"));
    const auto shortList = std::make_shared<Announcements>(*PublishedAnnouncements());
    shortList->items.pop_back();
    PublishAnnouncements(shortList);
    answerYes = true;
    EXPECT_EQ(Ticks(2), (Texts{"T1", "T2"}));  // the failed Yes ends its tick on item 0
    EXPECT_EQ(prompts.size(), 1u);
    EXPECT_TRUE(opened.empty());
}

TEST_F(Ticker, EqualTitlesFollowTheText) {
    Publish(
        "<P>velkorntitle:X</P><P>velkornurl:http://a.test/1</P><P>velkorntitle:Y</"
        "P><P>velkornurl:http://a.test/2</P>"
        "<P>velkorntitle:X</P><P>velkornurl:http://a.test/3</P><P>velkorntitle:Z</"
        "P><P>velkornurl:http://a.test/4</P>"
        "<P>velkorntitle:W</P><P>velkornurl:http://a.test/5</P>");
    EXPECT_EQ(Ticks(5), (Texts{"X", "Y", "X", "Y", "X"}));
    Click();
    EXPECT_EQ(opened, std::vector<std::string>{"http://a.test/1"});
}

TEST_F(Ticker, TitlesAreShownAsLocalTextAndMatchedBack) {
    Publish(
        "<P>velkorntitle:<b>\xE6\xBE\x9C\xE9\xA1\xB5 news</P><P>velkornurl:http://u.test/1</P>"
        "<P>velkorntitle:\xE7\x95\x99\xE5\xA3\xB0</P><P>velkornurl:http://u.test/2</P>");
    EXPECT_EQ(Ticks(2), (Texts{QString::fromUtf8("<b>澜页 news"), QString::fromUtf8("留声")}));
    EXPECT_EQ(form->lbl_ad1->textFormat(), Qt::PlainText);
    Click();
    EXPECT_EQ(opened, std::vector<std::string>{"http://u.test/2"});
}

TEST_F(Ticker, PointerOverIsPlainAndLeavingUnderlines) {
    form->lbl_ad1MouseMove(form->lbl_ad1, Qt::NoModifier, 3, 4);
    QFont font = form->lbl_ad1->font();
    EXPECT_FALSE(font.underline());
    EXPECT_FALSE(font.bold());
    EXPECT_FALSE(font.italic());
    EXPECT_EQ(font.pointSize(), 10);
    EXPECT_EQ(form->lbl_ad1->palette().color(QPalette::WindowText), QColor(Qt::black));

    form->lbl_ad1MouseLeave(form->lbl_ad1);
    font = form->lbl_ad1->font();
    EXPECT_TRUE(font.underline());
    EXPECT_EQ(font.pointSize(), 10);
    EXPECT_EQ(form->lbl_ad1->palette().color(QPalette::WindowText), QColor(Qt::black));

    form->lbl_ad1MouseMove(form->lbl_ad1, Qt::NoModifier, 5, 5);
    EXPECT_FALSE(form->lbl_ad1->font().underline());
}

TEST_F(Ticker, OpenInExplorerHandsTheAddressOverUnchanged) {
    form->OpenInExplorer("http://a b/\xE6\xBE\x9C ");
    EXPECT_EQ(opened, std::vector<std::string>{"http://a b/\xE6\xBE\x9C "});
}

}  // namespace
