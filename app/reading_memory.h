#pragma once
// What Tovalin remembers between runs, in the platform's place for settings: the topic read
// last, the post shown last in each of the most recent topics, and the view's zoom.
//
// The file is the user's to break: one that cannot be read or parsed is ignored with a message on
// stderr (the next save writes a sound one), and every value is checked before it is used.

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class QSettings;

class TReadingMemory {
  public:
    // Topics whose last post is kept; older ones drop off the end.
    static constexpr int kRecentTopics = 20;
    // A text longer than this is no address anyone typed: such an entry is dropped.
    static constexpr int kMaxAddressChars = 4096;
    static constexpr double kMinZoom = 0.25;  // the engine's own bounds
    static constexpr double kMaxZoom = 5.0;

    // The platform's place ($XDG_CONFIG_HOME/tovalin/tovalin.ini under X11).
    TReadingMemory();
    // A file of its own (tests).
    explicit TReadingMemory(const QString& path);
    ~TReadingMemory();

    QString LastTopic() const { return last_; }
    // Most recent first.
    QStringList RecentTopics() const;
    // The post shown last in `topic` (-1: the opening post, or nothing known).
    int PostFor(const QString& topic) const;
    // 0 when none was kept.
    double Zoom() const { return zoom_; }

    // `topic` is being read: it becomes the last topic and the most recent one.
    void TopicOpened(const QString& topic);
    void PostShown(const QString& topic, int postIndex);
    void SetZoom(double factor);

    // Writes everything to the file now.
    void Save();

  private:
    struct Entry {
        QString topic;
        int post = -1;
    };
    void Load();

    std::unique_ptr<QSettings> settings_;
    QString last_;
    std::vector<Entry> recent_;  // most recent first
    double zoom_ = 0;
};
