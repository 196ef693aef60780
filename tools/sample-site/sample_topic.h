#pragma once
// A generated discussion topic laid out like the community site's topic pages: the starter's
// header link, the opening post, replies by several people (the starter's among them), and a
// paginator whose next-page element links the following page.
//
// Every page is built on demand from the reply index alone, so a topic of thousands of pages
// costs no memory until it is asked for. The expected reading (opening post and the starter's
// replies, in page order) is available too, for tests that check a reader against the site.

#include <string>
#include <vector>

struct TopicShape {
    int id = 1001;
    int pages = 12;
    int repliesPerPage = 20;
    std::string title;
};

class SampleTopic {
  public:
    // `base` is the site's own address without a trailing slash, e.g. "http://127.0.0.1:8080".
    SampleTopic(TopicShape shape, std::string base);

    int Id() const { return shape_.id; }
    int Pages() const { return shape_.pages; }
    int RepliesPerPage() const { return shape_.repliesPerPage; }
    // Replies on the given page (0-based); the last page is shorter.
    int RepliesOnPage(int page) const;

    // Address of a page: the first page has no query, later ones "?start=N".
    std::string PageAddress(int page) const;
    // The page (0-based) a "start" query value names, or -1 when it names none.
    int PageForStart(long start) const;
    std::string PageHtml(int page) const;

    // What a reader keeping only the starter's posts must find.
    static const char* StarterName();
    std::string StarterProfile() const;
    std::string OpeningPost() const;
    // Each of the starter's replies as the page holds it between its header and its operation
    // bar, without surrounding blanks; in page order.
    std::vector<std::string> StarterReplies() const;
    bool IsStarterReply(int reply) const;

  private:
    // `ordinal` counts the starter's replies from 1; 0 for anybody else's.
    std::string ReplyHtml(int reply, int ordinal) const;
    std::string ReplyBody(int reply, int starterOrdinal) const;
    int StarterRepliesBefore(int reply) const;
    int PageOf(int reply) const { return reply / shape_.repliesPerPage; }

    TopicShape shape_;
    std::string base_;
};

// The colour of the banner that opens the starter's post number k (0 = opening post), so that
// a screenshot shows which post is on screen. None is the window's transparent key grey.
const char* StarterBannerColour(int k);
constexpr int kStarterBannerColours = 8;
