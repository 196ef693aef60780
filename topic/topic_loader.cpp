#include "topic/topic_loader.h"

#include <string_view>
#include <utility>

#include "topic/starter_values.h"
#include "topic/text_ops.h"
#include "topic/topic_cutting.h"
#include "topic/utf8_decode.h"

TTopicLoader::TTopicLoader(TPageGetter get, TTopicLoaderHooks hooks)
    : get_(std::move(get)), hooks_(std::move(hooks)) {}

namespace {

// Runs a step whose failure must not end the load (telling the window, a failing view); only a
// stop passes through.
template <typename Step>
void Quietly(const Step& step) {
    try {
        step();
    } catch (const ELoadStopped&) {
        throw;
    } catch (...) {
    }
}

}  // namespace

std::string TTopicLoader::FetchPage(const std::function<std::string()>& address) {
    TFetchResult fetched = FetchWithRetries(get_, [&] {
        std::string target(text::trim(address()));
        requested_.insert(target);
        return target;
    });
    if (fetched.Body) {
        pagesFetched_.push_back(fetched.Address);
        if (hooks_.PageFetched) {
            Quietly([&] { hooks_.PageFetched(fetched.Address); });
        }
        return DecodePage(std::move(*fetched.Body));
    }
    // Given up: the steps after a fetch take an empty page and find nothing on it.
    pagesGivenUp_.push_back({fetched.Address, fetched.Reason});
    if (hooks_.PageGaveUp) {
        Quietly([&] { hooks_.PageGaveUp(fetched.Address, fetched.Reason); });
    }
    return {};
}

void TTopicLoader::Publish() {
    if (!hooks_.PublishPosts) {
        return;
    }
    // A failing view or window must not end the load.
    Quietly([this] { hooks_.PublishPosts(WorkerPosts); });
}

void TTopicLoader::Execute() {
    WorkerPosts = std::make_shared<TPostList>();

    auto page = std::make_shared<const std::string>(FetchPage(hooks_.ReadAddress));
    TStarterPieces pieces = CutStarter(*page);
    starterUrl_ = pieces.StarterUrl;
    starterName_ = pieces.StarterName;
    if (hooks_.StarterFound) {
        hooks_.StarterFound(pieces.StarterUrl, pieces.StarterName);
    } else {
        SetStarter(std::move(pieces.StarterUrl), std::move(pieces.StarterName));
    }
    FirstPost = std::move(pieces.FirstPost);

    if (hooks_.ShowStarterPost) {
        try {
            hooks_.ShowStarterPost(FirstPost);
        } catch (const ELoadStopped&) {
            throw;
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
    if (hooks_.LoadEnded) {
        Quietly([this] { hooks_.LoadEnded(); });
    }
}
