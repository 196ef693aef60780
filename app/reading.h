#pragma once
// The reader's companions of the topic handlers: the status line, remembered reading, the
// window-wide step keys and the zoom. The topic handlers call in at three points (a load
// starts, a post was rendered, a step forward found the end); the rest is unit1_reading.cpp.

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <string>

#include "app/reading_memory.h"
#include "app/status_line.h"

class TForm1;
struct TTopicLoaderHooks;

// Per window: what the status line and the memory need to know about the load on display.
class TReading : public QObject {
    Q_OBJECT
  public:
    explicit TReading(TForm1* window);

    TForm1* window;
    TReadingStatus status;
    std::unique_ptr<TReadingMemory> memory;
    // Which load the window follows: reports of an older one are not shown.
    int loadSerial = 0;
    QString topic;            // the address the current load started from
    std::string openingPost;  // for Home
    bool openingShown = false;
    bool published = false;  // the window's list is this load's own
    int restorePost = -1;    // the post to show again once the load has it (-1: none)
    QTimer saveSoon;         // steps are saved in batches, not one file write per step

    // Puts the status on the label now.
    void ShowStatus();
    // The same for a load's progress (pages and posts so far), which changes many times a
    // second: shown at most every so often, the latest text always shown in the end.
    void ShowProgress();

  private:
    QElapsedTimer shownAt_;  // when the label last changed
    QTimer progressSoon_;
};

// A load starts from the address box: the status line and the memory follow it.
void AttachReading(TForm1* window, TTopicLoaderHooks& steps);
// A post was rendered (PostIndex names it).
void ReadingShown(TForm1* window);
// A step forward was refused at the last post.
void ReadingEndReached(TForm1* window);
