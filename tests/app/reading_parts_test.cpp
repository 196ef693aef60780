// The parts behind the status line and the remembered reading: the words for each failure, the
// line's texts through a load, and the settings file kept across runs (and ignored when broken).
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

#include "app/reading_memory.h"
#include "app/status_line.h"

namespace {

TEST(FailureWords, NameEachFailureClass) {
    const struct {
        const char* reason;
        const char* words;
    } cases[] = {
        {"ENetSocketError: Socket Error # 11001\r\nHost not found.", "找不到主机"},
        {"ENetSocketError: Socket Error # 10061\r\nConnection refused.", "连接被拒绝"},
        {"ENetSocketError: Socket Error # 10060\r\nConnection timed out.", "连接超时"},
        {"ENetSocketError: Socket Error # 10054\r\nConnection reset by peer.", "网络错误 10054"},
        {"ENetTLSCertificateError: certificate has expired", "证书不被信任"},
        {"ENetTLSError: handshake failure", "安全连接失败"},
        {"ENetRedirectError: https to http refused", "重定向被拒绝"},
        {"ENetHTTPProtocolException: HTTP/1.1 404 Not Found", "服务器回应 HTTP 404"},
        {"ENetHTTPProtocolException: garbage", "服务器回应出错"},
        {"ENetIOHandlerPropInvalid: IOHandler value is not valid", "不支持 https 地址"},
        {"EConvertError: 'x' is not a valid integer value", "地址无效"},
        {"std::runtime_error: something", "网络错误"},
        {"", "网络错误"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FailureWords(c.reason), c.words) << c.reason;
    }
}

TEST(ReadingStatus, FollowsALoadFromFirstPageToTheEnd) {
    TReadingStatus s;
    EXPECT_EQ(s.Text(), "");
    s.LoadStarted();
    EXPECT_EQ(s.Text(), "正在载入第 1 页…");
    s.PageFetched();
    s.OpeningShown(true);
    s.Showing(-1, 0);
    EXPECT_EQ(s.Text(), "第 1 / 1 帖　正在载入第 2 页…");
    s.Showing(-1, 4);  // the first page's replies
    s.PageFetched();
    EXPECT_EQ(s.Text(), "第 1 / 5 帖　正在载入第 3 页…");
    s.Showing(3, 4);
    s.EndReached();
    EXPECT_EQ(s.Text(), "第 5 / 5 帖　已是目前最后一帖　正在载入第 3 页…");
    s.Showing(3, 6);  // more posts arrived: the end is no longer the end
    EXPECT_EQ(s.Text(), "第 5 / 7 帖　正在载入第 3 页…");
    s.PageMalformed();
    s.LoadEnded();
    s.EndReached();
    EXPECT_EQ(s.Text(), "第 5 / 7 帖　已是最后一帖　1 页内容异常，未收全");
    s.LoadStarted();  // a new load forgets all of it
    EXPECT_EQ(s.Text(), "正在载入第 1 页…");
}

TEST(ReadingStatus, SaysWhyALoadFoundNothing) {
    TReadingStatus refused;
    refused.LoadStarted();
    refused.PageGaveUp("ENetSocketError: Socket Error # 10061\r\nConnection refused.");
    refused.OpeningShown(false);  // the empty page's caption and post still show
    refused.LoadEnded();
    EXPECT_EQ(refused.Text(), "第 1 / 1 帖　载入失败：连接被拒绝");

    TReadingStatus notATopic;
    notATopic.LoadStarted();
    notATopic.PageFetched();
    notATopic.OpeningShown(false);
    notATopic.Showing(-1, 0);
    EXPECT_EQ(notATopic.Text(), "此页不是话题页面");
    notATopic.LoadEnded();
    EXPECT_EQ(notATopic.Text(), "此页不是话题页面");

    TReadingStatus laterPage;
    laterPage.LoadStarted();
    laterPage.PageFetched();
    laterPage.OpeningShown(true);
    laterPage.Showing(-1, 2);
    laterPage.PageGaveUp("ENetHTTPProtocolException: HTTP/1.1 503 Service Unavailable");
    EXPECT_EQ(laterPage.Text(), "第 1 / 3 帖　第 2 页载入失败：服务器回应 HTTP 503");
}

class ReadingMemoryTest : public ::testing::Test {
  protected:
    QString File() const { return dir.filePath("tovalin.ini"); }
    QTemporaryDir dir;
};

TEST_F(ReadingMemoryTest, KeepsTheLastTopicThePostPerRecentTopicAndTheZoom) {
    {
        TReadingMemory memory(File());
        EXPECT_EQ(memory.LastTopic(), "");
        EXPECT_EQ(memory.Zoom(), 0.0);
        for (int i = 0; i < TReadingMemory::kRecentTopics + 5; ++i) {
            const QString topic = QString("http://example.com/group/topic/%1/").arg(i);
            memory.TopicOpened(topic);
            memory.PostShown(topic, i);
        }
        memory.TopicOpened("http://example.com/group/topic/10/");  // read again: first now
        memory.PostShown("http://example.com/nowhere/", 3);        // not a recent topic: ignored
        memory.SetZoom(1.5);
        memory.SetZoom(99);  // out of the engine's range
        memory.Save();
    }
    TReadingMemory again(File());
    EXPECT_EQ(again.LastTopic(), "http://example.com/group/topic/10/");
    const QStringList recent = again.RecentTopics();
    ASSERT_EQ(recent.size(), TReadingMemory::kRecentTopics);
    EXPECT_EQ(recent.front(), "http://example.com/group/topic/10/");
    EXPECT_EQ(recent[1], "http://example.com/group/topic/24/");
    EXPECT_FALSE(recent.contains("http://example.com/group/topic/4/")) << "the oldest dropped off";
    EXPECT_EQ(again.PostFor("http://example.com/group/topic/10/"), 10);
    EXPECT_EQ(again.PostFor("http://example.com/group/topic/20/"), 20);
    EXPECT_EQ(again.PostFor("http://example.com/nowhere/"), -1);
    EXPECT_EQ(again.Zoom(), 1.5);
}

// A broken file, or nonsense in a sound one, is no reason to stop: it is ignored (with a word
// on stderr) and the next save writes a sound file.
TEST_F(ReadingMemoryTest, IgnoresABrokenFileAndNonsenseValues) {
    const QByteArray files[] = {
        QByteArray("[reading]\nlast-topic=\"unterminated\n\x00\xff\xfe[[[\n=\n", 40),
        "[reading]\nlast-topic=\n[recent]\nsize=99999999\n1\\topic=http://a/\n1\\post=abc\n"
        "2\\topic=http://b/\n2\\post=-7\n3\\topic=http://c/\n3\\post=4\n[view]\nzoom=nan\n",
        QByteArray(70000, 'x'),
    };
    for (const QByteArray& content : files) {
        QFile file(File());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
        file.close();
        TReadingMemory memory(File());
        EXPECT_EQ(memory.LastTopic(), "");
        EXPECT_EQ(memory.Zoom(), 0.0);
        EXPECT_EQ(memory.PostFor("http://a/"), -1);
        EXPECT_EQ(memory.PostFor("http://b/"), -1);
        EXPECT_LE(memory.RecentTopics().size(), 1);
        memory.TopicOpened("http://example.com/t/");
        memory.Save();
        EXPECT_EQ(TReadingMemory(File()).LastTopic(), "http://example.com/t/");
    }
    // A folder where the file should be: unreadable, ignored, no crash.
    ASSERT_TRUE(QDir(dir.path()).mkpath("folder.ini"));
    TReadingMemory folder(dir.filePath("folder.ini"));
    EXPECT_EQ(folder.LastTopic(), "");
    folder.TopicOpened("http://example.com/t/");
    folder.Save();
}

}  // namespace
