#pragma once
// What the status line on the caption row says about the reading: whether pages are still
// loading, which post of how many is shown, that the last one was reached, and why a load gave
// up. Plain state in, one line of text out (UTF-8); the window puts it on its label.

#include <string>

class TReadingStatus {
  public:
    // A new load begins: everything said about the one before goes.
    void LoadStarted();
    // One more page of the load arrived.
    void PageFetched();
    // A page could not be had after every repeat; reason is "ClassName: message".
    void PageGaveUp(const std::string& reason);
    // A page gave more fragments than a page can and the rest were dropped.
    void PageMalformed();
    // The opening post is on display; topicFound is false when its page named no starter.
    void OpeningShown(bool topicFound);
    // The load has read its last page.
    void LoadEnded();
    // The post on display (-1: the opening post) and the number of posts after the opening one.
    void Showing(int postIndex, int listCount);
    // The next post was asked for on the last one there is.
    void EndReached();

    std::string Text() const;

  private:
    bool loading_ = false;
    int pagesDone_ = 0;  // fetched or given up
    int pagesMalformed_ = 0;
    std::string failure_;  // the first page that gave up, in words
    bool notATopic_ = false;
    bool opening_ = false;  // something of this load is on display
    int postIndex_ = -1;
    int listCount_ = 0;
    bool endReached_ = false;
};

// A loader's failure reason in the reader's words, "连接被拒绝" for a refused connection, say.
std::string FailureWords(const std::string& reason);
