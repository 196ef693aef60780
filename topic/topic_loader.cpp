#include "topic/topic_loader.h"

#include <string_view>
#include <utility>

#include "net/net_exceptions.h"
#include "topic/starter_values.h"
#include "topic/text_ops.h"
#include "topic/topic_cutting.h"
#include "topic/utf8_decode.h"

TTopicLoader::TTopicLoader(TPageGetter get, TTopicLoaderHooks hooks)
    : get_(std::move(get)), hooks_(std::move(hooks)) {}

namespace {

// The error class and message of the exception being handled, for telling why a page gave up.
std::string DescribeCurrentError() {
    try {
        throw;
    } catch (const ENetException& e) {
        return std::string(e.ClassName()) + ": " + e.Message();
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown error";
    }
}

}  // namespace

std::string TTopicLoader::FetchPage(const std::function<std::string()>& address) {
    std::string target;
    std::string reason;
    for (int attempt = 0; attempt <= kMaxRepeats; ++attempt) {
        try {
            target = std::string(text::trim(address()));
            requested_.insert(target);
            std::string body = get_(target);
            pagesFetched_.push_back(target);
            if (hooks_.PageFetched) {
                hooks_.PageFetched(target);
            }
            return DecodePage(std::move(body));
        } catch (...) {
            // Any failed request (or address read) is repeated at once.
            reason = DescribeCurrentError();
        }
    }
    // Given up: the steps after a fetch take an empty page and find nothing on it.
    pagesGivenUp_.push_back({target, reason});
    if (hooks_.PageGaveUp) {
        try {
            hooks_.PageGaveUp(target, reason);
        } catch (...) {
            // Telling about it must not end the load.
        }
    }
    return {};
}

void TTopicLoader::Publish() {
    if (!hooks_.PublishPosts) {
        return;
    }
    try {
        hooks_.PublishPosts(WorkerPosts);
    } catch (...) {
        // A failing view or window must not end the load.
    }
}

void TTopicLoader::Execute() {
    WorkerPosts = std::make_shared<TPostList>();

    auto page = std::make_shared<const std::string>(FetchPage(hooks_.ReadAddress));
    TStarterPieces pieces = CutStarter(*page);
    starterUrl_ = pieces.StarterUrl;
    starterName_ = pieces.StarterName;
    SetStarter(std::move(pieces.StarterUrl), std::move(pieces.StarterName));
    FirstPost = std::move(pieces.FirstPost);

    if (hooks_.ShowStarterPost) {
        try {
            hooks_.ShowStarterPost(FirstPost);
        } catch (...) {
            // The opening post not shown is no reason to stop collecting.
        }
    }

    // The suffix is fixed by the first page; the name is read afresh at every use, since a
    // later load may have replaced it.
    const std::string_view suffix = ChooseSuffix(StarterName(), pieces.Rest);
    const std::function<std::string()> replyKey = [suffix] {
        return ReplyKey(StarterName(), suffix);
    };
    // Fragments are copied while what a page gives stays within the page's own size; past that
    // they overlap (many replies before one operation marker) and are kept as slices of the page.
    // Past the budget the page is malformed: its remaining fragments are dropped and it is named
    // once. The cutting itself goes on, so the next-page link is found where it always was.
    std::size_t copiedFromPage = 0;
    TFragmentBudget budget(page->size());
    std::string pageAddress = pagesFetched_.empty() ? std::string() : pagesFetched_.back();
    const std::function<void(std::string_view)> append = [&](std::string_view fragment) {
        const bool alreadyMalformed = budget.Exceeded();
        if (!budget.Take(fragment.size())) {
            if (!alreadyMalformed) {
                pagesMalformed_.push_back(pageAddress);
                if (hooks_.PageMalformed) {
                    try {
                        hooks_.PageMalformed(pageAddress);
                    } catch (...) {
                        // Telling about it must not end the load.
                    }
                }
            }
            return;
        }
        if (copiedFromPage + fragment.size() <= page->size()) {
            copiedFromPage += fragment.size();
            WorkerPosts->Add(std::string(fragment));
        } else {
            WorkerPosts->AddSlice(page, fragment);
        }
    };

    std::string_view t = CutReplies(pieces.Rest, replyKey, append);
    Publish();

    for (std::size_t pages = 1; pages < kMaxPages; ++pages) {
        const std::string next = NextPageAddress(t);
        if (next.empty() || requested_.count(next) != 0) {
            break;
        }
        page = std::make_shared<const std::string>(FetchPage([&next] { return next; }));
        copiedFromPage = 0;
        budget = TFragmentBudget(page->size());
        pageAddress = next;
        t = CutReplies(*page, replyKey, append);
        Publish();
    }
    Publish();
}
