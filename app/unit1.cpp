// The window itself: its controls, its shape, creation and first show, dragging, closing,
// minimising, the hover pictures of the four buttons and the right-button filter. The topic and
// ticker handlers live in unit1_topic.cpp and unit1_announce.cpp; this file only routes the
// controls' events to them.

#include "app/unit1.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QShowEvent>
#include <QWindow>

#include "announce/shared_values.h"
#include "app/dialogs.h"
#include "app/error_display.h"
#include "app/window_placement.h"
#include "app/window_shape.h"

TForm1* Form1 = nullptr;

namespace {

constexpr QSize kClientSize(670, 730);
constexpr int kTickerIntervalMs = 6000;

// What the address box offers before any topic was read: a neutral example of the form.
const char* const kDefaultTopicAddress = "http://example.com/group/topic/1/";
// The status line shares the caption's row and font, right-aligned with the view below it.
constexpr QRect kStatusLine(184, 160, 420, 20);

QImage Art(const char* name) {
    return QImage(QStringLiteral(":/art/") + QLatin1String(name));
}

QFont PixelFont(const char* family, int pixelHeight) {
    QFont font(QString::fromUtf8(family));
    font.setPixelSize(pixelHeight);
    return font;
}

// Key codes the key-release handler expects: the arrows as the platform's virtual keys (37 to
// 40). Qt's codes for "%", "&", "'" and "(" are those same numbers; they stand for no key the
// handler knows and are passed as 0, so typing them never steps.
int VirtualKeyCode(int qtKey) {
    constexpr int kFirstArrow = 37;
    constexpr int kLastArrow = 40;
    switch (qtKey) {
        case Qt::Key_Left:
            return 37;
        case Qt::Key_Up:
            return 38;
        case Qt::Key_Right:
            return 39;
        case Qt::Key_Down:
            return 40;
        default:
            return qtKey >= kFirstArrow && qtKey <= kLastArrow ? 0 : qtKey;
    }
}

template <class T>
T* Place(T* control, int left, int top, int width, int height) {
    control->setGeometry(left, top, width, height);
    return control;
}

}  // namespace

TForm1::TForm1(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    Form1 = this;
    setObjectName(QStringLiteral("Form1"));
    // The taskbar shows the application's title (the window has no title bar of its own).
    setWindowTitle(ApplicationTitle());
    BuildControls();
    ConnectEvents();
    FormCreate(this);
    ConnectReading();
}

TForm1::~TForm1() {
    // The application-wide filter outlives this body (it goes with the children, after the
    // window part is already torn down); events sent meanwhile must not reach this window.
    if (aplctnvnts1 != nullptr) {
        aplctnvnts1->OnMessage = nullptr;
    }
    if (Form1 == this) {
        Form1 = nullptr;
    }
}

void TForm1::BuildControls() {
    setFixedSize(kClientSize);
    setFont(PixelFont("MS Sans Serif", 11));

    // Creation order is stacking order: pictures and labels first, the view, the address box
    // and the hidden button last, so those three always lie above every picture and label.
    img_BG = Place(new TImage(this), 0, 0, 670, 730);
    btn_Close = Place(new TNewImage(this), 581, 9, 56, 65);
    img_Close_Normal = Place(new TImage(this), 240, 8, 56, 65);
    img_Close_Over = Place(new TImage(this), 176, 8, 56, 65);
    btn_min = Place(new TNewImage(this), 525, 9, 56, 65);
    img_min_over = Place(new TImage(this), 360, 8, 56, 65);
    img_min_normal = Place(new TImage(this), 424, 8, 56, 65);
    btn_right = Place(new TNewImage(this), 596, 320, 69, 120);
    img_right_normal = Place(new TImage(this), 600, 152, 69, 120);
    img_right_over = Place(new TImage(this), 584, 160, 69, 120);
    btn_left = Place(new TNewImage(this), 5, 328, 69, 120);
    img_left_normal = Place(new TImage(this), 0, 144, 69, 120);
    img_left_over = Place(new TImage(this), 24, 152, 69, 120);
    lbl_ad1 = new TLabel(this);
    tmr_ad = new QTimer(this);
    lbl_LZName = new TLabel(this);
    lbl_guangbo1 = Place(new TLabel(this), 16, 712, 85, 13);
    lbl_status = new TLabel(this);
    lbl_status->setGeometry(kStatusLine);
    wb1 = Place(new TWebBrowser(this), 66, 200, 538, 489);
    edt_directory_URL = Place(new QLineEdit(this), 144, 98, 521, 25);
    btn1 = Place(new QPushButton(QStringLiteral("btn1"), this), 88, 16, 153, 65);
    aplctnvnts1 = new TApplicationEvents(this);

    img_BG->setPicture(Art("background.png"));
    const struct {
        TImage* image;
        const char* art;
    } pictures[] = {
        {btn_Close, "close_normal.png"},          {img_Close_Normal, "close_normal.png"},
        {img_Close_Over, "close_over.png"},       {btn_min, "min_normal.png"},
        {img_min_over, "min_over.png"},           {img_min_normal, "min_normal.png"},
        {btn_right, "next_normal.png"},           {img_right_normal, "next_normal.png"},
        {img_right_over, "next_over.png"},        {btn_left, "previous_normal.png"},
        {img_left_normal, "previous_normal.png"}, {img_left_over, "previous_over.png"},
    };
    for (const auto& p : pictures) {
        p.image->setPicture(Art(p.art));
    }
    for (TImage* holder : {img_Close_Normal, img_Close_Over, img_min_over, img_min_normal,
                           img_right_normal, img_right_over, img_left_normal, img_left_over}) {
        holder->hide();
    }
    const struct {
        TNewImage* button;
        const char* hint;
    } buttons[] = {
        {btn_Close, "关闭"}, {btn_min, "最小化"}, {btn_right, "下一个"}, {btn_left, "上一个"}};
    for (const auto& b : buttons) {
        b.button->setCursor(Qt::PointingHandCursor);
        b.button->setToolTip(QString::fromUtf8(b.hint));
    }

    lbl_ad1->move(104, 712);
    lbl_ad1->setFont(PixelFont("Times New Roman", 13));
    QPalette black = lbl_ad1->palette();
    black.setColor(QPalette::WindowText, Qt::black);
    lbl_ad1->setPalette(black);
    lbl_ad1->setAutoSize(true);

    lbl_LZName->move(40, 160);
    lbl_LZName->setFont(PixelFont("宋体", 17));
    lbl_LZName->setAutoSize(true);

    lbl_status->setFont(lbl_LZName->font());
    lbl_status->setTextFormat(Qt::PlainText);
    lbl_status->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lbl_status->setObjectName(QStringLiteral("lbl_status"));

    lbl_guangbo1->setFont(PixelFont("MS Sans Serif", 13));
    lbl_guangbo1->setText(QString::fromUtf8("澜页留声机 ："));
    lbl_guangbo1->hide();

    edt_directory_URL->setFrame(false);
    edt_directory_URL->setFont(PixelFont("Times New Roman", 17));
    QPalette white = edt_directory_URL->palette();
    white.setColor(QPalette::Base, Qt::white);
    edt_directory_URL->setPalette(white);
    edt_directory_URL->setFocusPolicy(Qt::ClickFocus);  // not a tab stop
    const QByteArray overridden = qgetenv("TOVALIN_TOPIC_URL");
    edt_directory_URL->setText(overridden.isEmpty() ? QString::fromUtf8(kDefaultTopicAddress)
                                                    : QString::fromLocal8Bit(overridden));

    btn1->hide();
    setTabOrder(edt_directory_URL, btn1);
    setTabOrder(btn1, wb1);

    tmr_ad->setInterval(kTickerIntervalMs);

    StartAnnouncements = [this] { StartAnnouncementWorker(); };
}

void TForm1::ConnectEvents() {
    img_BG->OnMouseDown = [this](QObject* sender, Qt::MouseButton button,
                                 Qt::KeyboardModifiers shift, int x,
                                 int y) { img_BGMouseDown(sender, button, shift, x, y); };
    img_BG->installEventFilter(this);
    btn_Close->OnClick = [this](QObject* s) { btn_CloseClick(s); };
    btn_Close->OnMouseEnter = [this](QObject* s) { btn_CloseMouseEnter(s); };
    btn_Close->OnMouseLeave = [this](QObject* s) { btn_CloseMouseLeave(s); };
    btn_min->OnClick = [this](QObject* s) { btn_minClick(s); };
    btn_min->OnMouseEnter = [this](QObject* s) { btn_minMouseEnter(s); };
    btn_min->OnMouseLeave = [this](QObject* s) { btn_minMouseLeave(s); };
    btn_right->OnClick = [this](QObject* s) { btn_rightClick(s); };
    btn_right->OnMouseEnter = [this](QObject* s) { btn_rightMouseEnter(s); };
    btn_right->OnMouseLeave = [this](QObject* s) { btn_rightMouseLeave(s); };
    btn_left->OnClick = [this](QObject* s) { btn_leftClick(s); };
    btn_left->OnMouseEnter = [this](QObject* s) { btn_leftMouseEnter(s); };
    btn_left->OnMouseLeave = [this](QObject* s) { btn_leftMouseLeave(s); };

    lbl_ad1->OnClick = [this](QObject* s) { lbl_ad1Click(s); };
    lbl_ad1->OnMouseMove = [this](QObject* s, Qt::KeyboardModifiers shift, int x, int y) {
        lbl_ad1MouseMove(s, shift, x, y);
    };
    lbl_ad1->OnMouseLeave = [this](QObject* s) { lbl_ad1MouseLeave(s); };

    edt_directory_URL->installEventFilter(this);
    windowKeys_ = new TWindowKeys(this, edt_directory_URL);
    windowKeys_->OnStep = [this](TKeyStep step) { Guarded([&] { StepByKey(step); }); };
    windowKeys_->OnZoom = [this](TZoomKey zoom) { Guarded([&] { ZoomByKey(zoom); }); };
    connect(btn1, &QPushButton::clicked, this, [this] { Guarded([this] { btn1Click(btn1); }); });
    connect(tmr_ad, &QTimer::timeout, this, [this] { Guarded([this] { tmr_adTimer(tmr_ad); }); });
    wb1->OnOpenLink = [](const QUrl& address) {
        Dialogs().openAddress(address.toString(QUrl::FullyEncoded).toStdString());
    };
    aplctnvnts1->OnMessage = [this](QObject* receiver, QEvent* msg, bool& handled) {
        aplctnvnts1Message(receiver, msg, handled);
    };

    // The ticker runs from the moment the window is built; its first tick comes a full interval
    // later, whatever the announcement worker has done by then.
    tmr_ad->start();
}

void TForm1::FormCreate(QObject*) {
    PostList = std::make_shared<TPostList>();
    QPalette face = palette();
    face.setColor(QPalette::Window, QColor(kWindowKeyColour));
    setPalette(face);
    setAutoFillBackground(true);
    TransparentColor = true;
    TransparentColorValue = kWindowKeyColour;
    CurrentVersion = "1.0";
    TickCount = 0;
    ApplyLayering();
}

// The window's outline comes from its face: the background blended over the key grey, with
// every pixel that ends exactly at the key cut out. On X11 the cut is a shape-extension mask on
// the top-level window: the desktop shows through there and clicks reach the window below.
// Where the platform has no shaping, the window stays a plain rectangle with grey corners.
void TForm1::ApplyLayering() {
    if (!TransparentColor) {
        clearMask();
        return;
    }
    const QImage face = BlendOver(img_BG->picture(), palette().color(QPalette::Window).rgb());
    QRegion shape = OpaqueRegion(face, TransparentColorValue).translated(img_BG->pos());
    // Whatever the background does not cover shows the window's own colour; it stays a hole
    // only when that colour is the key.
    if (palette().color(QPalette::Window).rgb() != (TransparentColorValue | 0xFF000000u)) {
        shape += QRegion(rect()).subtracted(QRegion(img_BG->geometry()));
    }
    setMask(shape);
}

void TForm1::FormShow(QObject*) {
    try {
        NetworkFailed = 0;
        lbl_ad1->setCursor(Qt::PointingHandCursor);
        DoubleBuffered = true;
        if (StartAnnouncements) {
            StartAnnouncements();
        }
    } catch (...) {
        // Nothing is reported and the remaining steps are skipped: at worst the ticker stays
        // empty for this run.
    }
}

void TForm1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Restoring from the taskbar shows the window again; only the first show counts.
    if (firstShowDone_) {
        return;
    }
    firstShowDone_ = true;
    FormShow(this);
    const QScreen* desktop = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    if (desktop != nullptr) {
        move(FirstShowOrigin(desktop->virtualSize(), size()));
    }
}

void TForm1::img_BGMouseDown(QObject*, Qt::MouseButton, Qt::KeyboardModifiers, int X, int Y) {
    // The window manager's own move-by-mouse, as if the title bar had been pressed; it takes
    // over the pointer grab that the press gave the background.
    QWindow* window = windowHandle();
    if (window != nullptr && window->startSystemMove()) {
        return;
    }
    // No window manager move here (no WM, or a platform without it): follow the pointer until
    // the button comes up.
    dragging_ = true;
    dragGrabGlobal_ = img_BG->mapToGlobal(QPointF(X, Y));
    dragWindowStart_ = pos();
}

void TForm1::KeepDragging(const QPointF& globalPosition) {
    move(dragWindowStart_ + (globalPosition - dragGrabGlobal_).toPoint());
}

void TForm1::btn_CloseClick(QObject*) {
    close();
}

void TForm1::btn_minClick(QObject*) {
    showMinimized();
}

void TForm1::btn_CloseMouseEnter(QObject*) {
    btn_Close->setPicture(img_Close_Over->picture());
}
void TForm1::btn_CloseMouseLeave(QObject*) {
    btn_Close->setPicture(img_Close_Normal->picture());
}
void TForm1::btn_minMouseEnter(QObject*) {
    btn_min->setPicture(img_min_over->picture());
}
void TForm1::btn_minMouseLeave(QObject*) {
    btn_min->setPicture(img_min_normal->picture());
}
void TForm1::btn_rightMouseEnter(QObject*) {
    btn_right->setPicture(img_right_over->picture());
}
void TForm1::btn_rightMouseLeave(QObject*) {
    btn_right->setPicture(img_right_normal->picture());
}
void TForm1::btn_leftMouseEnter(QObject*) {
    btn_left->setPicture(img_left_over->picture());
}
void TForm1::btn_leftMouseLeave(QObject*) {
    btn_left->setPicture(img_left_normal->picture());
}

void TForm1::aplctnvnts1Message(QObject*, QEvent* Msg, bool& Handled) {
    if (IsRightButtonPress(Msg)) {
        Handled = true;
    }
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edt_directory_URL) {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            boxKeys_.Press(key->key(), key->timestamp(), key->isAutoRepeat());
            const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
            if (enter && key->isAutoRepeat()) {
                return false;  // one load per press: a held Enter starts no more
            }
            if (enter || !key->text().isEmpty()) {
                QChar typed = enter ? QChar(13) : key->text().front();
                Guarded([&] { edt_directory_URLKeyPress(edt_directory_URL, typed); });
                if (typed.isNull()) {
                    return true;  // the handler swallowed the key
                }
            }
        } else if (event->type() == QEvent::KeyRelease) {
            // Holding a key down repeats presses and releases; only the release that ends the
            // physical press counts, so a held arrow steps once.
            const auto* key = static_cast<QKeyEvent*>(event);
            if (boxKeys_.Release(key->key(), key->timestamp(), key->isAutoRepeat())) {
                Guarded([&] {
                    edt_directory_URLKeyUp(edt_directory_URL, VirtualKeyCode(key->key()),
                                           key->modifiers());
                });
            }
        }
        return false;
    }
    if (watched == img_BG && dragging_) {
        if (event->type() == QEvent::MouseMove) {
            KeepDragging(static_cast<QMouseEvent*>(event)->globalPosition());
            return true;
        }
        if (event->type() == QEvent::MouseButtonRelease) {
            KeepDragging(static_cast<QMouseEvent*>(event)->globalPosition());
            dragging_ = false;
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
