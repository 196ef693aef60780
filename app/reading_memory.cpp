#include "app/reading_memory.h"

#include <QSettings>
#include <algorithm>
#include <cstdio>

namespace {

// No topic has this many posts by one starter: a larger number is no position of ours.
constexpr int kMaxPostIndex = 10'000'000;

const QString kLastTopic = QStringLiteral("reading/last-topic");
const QString kRecent = QStringLiteral("recent");
const QString kTopic = QStringLiteral("topic");
const QString kPost = QStringLiteral("post");
const QString kZoom = QStringLiteral("view/zoom");

bool UsableAddress(const QString& address) {
    if (address.trimmed().isEmpty() || address.size() > TReadingMemory::kMaxAddressChars) {
        return false;
    }
    return std::none_of(address.begin(), address.end(),
                        [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
}

}  // namespace

TReadingMemory::TReadingMemory()
    : settings_(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                            QStringLiteral("tovalin"), QStringLiteral("tovalin"))) {
    Load();
}

TReadingMemory::TReadingMemory(const QString& path)
    : settings_(std::make_unique<QSettings>(path, QSettings::IniFormat)) {
    Load();
}

TReadingMemory::~TReadingMemory() = default;

void TReadingMemory::Load() {
    if (settings_->status() != QSettings::NoError) {
        std::fprintf(stderr, "tovalin: ignoring the settings file %s: it cannot be %s\n",
                     qPrintable(settings_->fileName()),
                     settings_->status() == QSettings::AccessError ? "read" : "parsed");
        settings_->clear();
        return;
    }
    const QVariant last = settings_->value(kLastTopic);
    if (last.canConvert<QString>() && UsableAddress(last.toString())) {
        last_ = last.toString();
    }
    // Only as many entries as are ever written are read, whatever size the file claims.
    const int count = std::min(settings_->beginReadArray(kRecent), kRecentTopics);
    for (int i = 0; i < count; ++i) {
        settings_->setArrayIndex(i);
        const QString topic = settings_->value(kTopic).toString();
        bool ok = false;
        const int post = settings_->value(kPost).toInt(&ok);
        if (UsableAddress(topic) && ok && post >= -1 && post < kMaxPostIndex &&
            PostFor(topic) == -1) {
            recent_.push_back({topic, post});
        }
    }
    settings_->endArray();
    bool ok = false;
    const double zoom = settings_->value(kZoom).toDouble(&ok);
    if (ok && zoom >= kMinZoom && zoom <= kMaxZoom) {
        zoom_ = zoom;
    }
}

QStringList TReadingMemory::RecentTopics() const {
    QStringList topics;
    for (const Entry& e : recent_) {
        topics.append(e.topic);
    }
    return topics;
}

int TReadingMemory::PostFor(const QString& topic) const {
    for (const Entry& e : recent_) {
        if (e.topic == topic) {
            return e.post;
        }
    }
    return -1;
}

void TReadingMemory::TopicOpened(const QString& topic) {
    if (!UsableAddress(topic)) {
        return;
    }
    last_ = topic;
    const auto found = std::find_if(recent_.begin(), recent_.end(),
                                    [&](const Entry& e) { return e.topic == topic; });
    Entry entry{topic, -1};
    if (found != recent_.end()) {
        entry = *found;
        recent_.erase(found);
    }
    recent_.insert(recent_.begin(), entry);
    if (static_cast<int>(recent_.size()) > kRecentTopics) {
        recent_.resize(kRecentTopics);
    }
}

void TReadingMemory::PostShown(const QString& topic, int postIndex) {
    for (Entry& e : recent_) {
        if (e.topic == topic) {
            e.post = std::clamp(postIndex, -1, kMaxPostIndex - 1);
            return;
        }
    }
}

void TReadingMemory::SetZoom(double factor) {
    if (factor >= kMinZoom && factor <= kMaxZoom) {
        zoom_ = factor;
    }
}

void TReadingMemory::Save() {
    settings_->clear();
    if (!last_.isEmpty()) {
        settings_->setValue(kLastTopic, last_);
    }
    settings_->beginWriteArray(kRecent, static_cast<int>(recent_.size()));
    for (int i = 0; i < static_cast<int>(recent_.size()); ++i) {
        settings_->setArrayIndex(i);
        settings_->setValue(kTopic, recent_[static_cast<std::size_t>(i)].topic);
        settings_->setValue(kPost, recent_[static_cast<std::size_t>(i)].post);
    }
    settings_->endArray();
    if (zoom_ > 0) {
        settings_->setValue(kZoom, zoom_);
    }
    settings_->sync();
}
