// How the client reads what a server answers: a table of responses, each with the body it must
// give or the error it must raise, then the cases that need a conversation of their own.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <string>

#include "net/net_http.h"
#include "tests/net/net_test_servers.h"

namespace tovalin::test {
namespace {

struct ResponseRow {
    const char* name;
    std::string bytes;
    bool closeAfter;              // the server closes after sending (else it waits for the client)
    std::string body;             // the body on success
    std::string errorClass = {};  // empty: success expected
    std::string errorMessage = {};
    int errorCode = 0;  // for ENetHTTPProtocolException
};

std::string Outcome(TNetHTTP& http, const std::string& url, std::string& body) {
    try {
        body = http.Get(url);
        return "";
    } catch (const ENetException& e) {
        body.clear();
        if (auto* p = dynamic_cast<const ENetHTTPProtocolException*>(&e)) {
            body = p->body();
            return std::string(e.ClassName()) + "|" + e.what() + "|" + std::to_string(p->code());
        }
        return std::string(e.ClassName()) + "|" + e.what();
    }
}

LoopbackServer::Handler Serve(const ResponseRow& row) {
    std::string bytes = row.bytes;
    bool close = row.closeAfter;
    return [bytes, close](ServerConnection& c) {
        if (c.ReadRequestHead().empty())
            return;
        c.Send(bytes);
        if (close) {
            c.Close();
        } else {
            c.WaitForPeerClose();
        }
    };
}

const std::string kFooBody = "-foo-\n";

class ResponseTable : public ::testing::TestWithParam<ResponseRow> {};

TEST_P(ResponseTable, GivesTheDesignedOutcome) {
    const ResponseRow& row = GetParam();
    LoopbackServer server(Serve(row));
    TNetHTTP http;
    std::string body;
    std::string outcome = Outcome(http, server.Url("/r"), body);
    std::string expected;
    if (!row.errorClass.empty()) {
        expected = row.errorClass + "|" + row.errorMessage;
        if (row.errorClass == "ENetHTTPProtocolException") {
            expected += "|" + std::to_string(row.errorCode);
        }
    }
    EXPECT_EQ(expected, outcome);
    EXPECT_EQ(row.body, body);
}

std::string Repeat(char c, std::size_t n) {
    return std::string(n, c);
}

// A literal that may hold NUL bytes.
template <std::size_t N>
std::string Bytes(const char (&s)[N]) {
    return std::string(s, N - 1);
}

const ResponseRow kRows[] = {
    // Bodies by length, chunked and until close.
    {"Length", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", false, "hello"},
    {"LengthZero", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", false, ""},
    {"LengthShortBodyThenClose", "HTTP/1.1 200 OK\r\nContent-Length: 123\r\n\r\nShort body", true,
     "Short body"},
    {"LengthHugeThenClose", "HTTP/1.1 200 OK\r\nContent-Length: 1000000000000000000\r\n\r\nabc",
     true, "abc"},
    // Not a number, out of range or negative: no length was given, the body ends at the close.
    {"LengthAbove2Pow64", "HTTP/1.1 200 OK\r\nContent-Length: 18446744073709551616\r\n\r\nxyz",
     true, "xyz"},
    {"LengthNegative", "HTTP/1.1 200 OK\r\nContent-Length: -6\r\n\r\nmoooo\n", true, "moooo\n"},
    {"LengthRubbish", "HTTP/1.1 200 OK\r\nContent-Length: crap\r\n\r\n-foo-\n", true, kFooBody},
    {"TwoLengthsFirstCounts",
     "HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: 6\r\n\r\n-foo-\n", false, "-fo"},
    {"LengthWinsOverChunked",
     "HTTP/1.1 200 OK\r\nContent-Length: 10\r\nTransfer-Encoding: chunked\r\n\r\n"
     "5\r\nabcde\r\n0\r\n\r\n",
     false, "5\r\nabcde\r\n"},
    {"UntilClose", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nBody here\n", true, "Body here\n"},
    {"NoContent", "HTTP/1.1 204 No Content\r\n\r\nnot a body", true, ""},
    {"Chunked",
     "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1a\r\n" + Repeat('a', 26) +
         "\r\n5\r\nbbbbb\r\n0\r\n\r\n",
     false, Repeat('a', 26) + "bbbbb"},
    {"ChunkedLeadingZerosBareLfBinary",
     Bytes("HTTP/1.1 200 OK\nTransfer-Encoding: chunked\n\n0a\n\0\0\0\0\0\0\0\0\0\n\n0\n\n"), false,
     std::string(9, '\0') + "\n"},
    // A chunk extension is no part of the size.
    {"ChunkExtension",
     "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4;name=value\r\nabcd\r\n0\r\n\r\n",
     false, "abcd"},
    {"ChunkSizeTrailingBlanks",
     "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3  \r\nabc\r\n0  \r\n\r\n", false,
     "abc"},
    // A size that is no hexadecimal number reads as 0 and ends the body.
    {"ChunkSizeIllegal",
     "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\na\n\r\nILLEGAL\r\nbbbb\r\n", true,
     "a\n"},
    {"ChunkSizeHexPrefix", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n0x5\r\nabcde\r\n",
     true, ""},
    {"ChunkSizeSeventeenDigits",
     "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n12345678123456789\r\naaaa\r\n", false,
     "", "ENetException", "Chunk size too large."},
    {"ChunkSize2Pow64Minus1",
     "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nFFFFFFFFFFFFFFFF\r\n...", false, "",
     "ENetException", "Chunk size too large."},
    {"ChunkSizeBeyondBodyLimit",
     "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n7FFFFFFFFFFFFFFF\r\n...", false, "",
     "ENetException", "Response body too large."},
    {"ChunkedCloseBeforeLastChunk",
     "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n", true, "",
     "ENetConnClosedGracefully", "Connection Closed Gracefully."},
    {"ChunkedCloseMidChunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n9\r\nabc", true,
     "", "ENetConnClosedGracefully", "Connection Closed Gracefully."},
    // A close anywhere before the empty line after the last chunk cuts the body, unless a
    // trailer has begun; right after that empty line the body is whole.
    {"ChunkedCloseInsideSizeLine",
     "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n1", true, "",
     "ENetConnClosedGracefully", "Connection Closed Gracefully."},
    {"ChunkedCloseInsideChunkLineEnd",
     "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r", true, "",
     "ENetConnClosedGracefully", "Connection Closed Gracefully."},
    {"ChunkedCloseInsideLastSizeLine",
     "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0", true, "",
     "ENetConnClosedGracefully", "Connection Closed Gracefully."},
    {"ChunkedCloseRightAfterLastChunk",
     "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n", true, "",
     "ENetConnClosedGracefully", "Connection Closed Gracefully."},
    {"ChunkedCloseAfterTheEmptyLine",
     "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n", true, "abc"},
    // "chunked" counts in its exact letter case only, folded values included.
    {"ChunkedCapitalIsNotChunked",
     "HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n", true,
     "3\r\nabc\r\n0\r\n\r\n"},
    {"ChunkedFoldedValue",
     "HTTP/1.1 200 OK\r\nTransfer-Encoding:\r\n chunked\r\n\r\n5\r\nWorld\r\n0\r\n\r\n", false,
     "World"},
    // Heads.
    {"FoldedHeaders",
     "HTTP/1.1 200 OK\r\nServer: a/\r\n fake\r\nContent-Length:\r\n\t6\r\nConnection: \r\n   "
     "close\r\n\r\n-foo-\n",
     false, kFooBody},
    {"BareCrInsideHeader",
     "HTTP/1.1 200 OK\r\nServer: test-server/\rfake\nContent-Length: 6\r\n\r\n-foo-\n", false,
     kFooBody},
    {"CrCrAfterStatusLine", "HTTP/1.1 200 OK\r\rContent-Length: 4\r\n\r\nEvil", true, "Evil"},
    {"NulInStatusLine", Bytes("HTTP/1.1 200 O\0K\r\nContent-Length: 2\r\n\r\nok"), false, "ok"},
    {"HeaderLine100KiB", "HTTP/1.1 200 OK\r\nLong: " + Repeat('A', 102400) + "\r\n\r\n", false, "",
     "ENetReadLnMaxLineLengthExceeded", "Max line length exceeded."},
    {"HeaderLineAtTheLimit",
     "HTTP/1.1 200 OK\r\nL: " + Repeat('A', 16384 - 4) + "\r\nContent-Length: 1\r\n\r\nz", false,
     "z"},
    {"HeaderLineOneAboveTheLimit",
     "HTTP/1.1 200 OK\r\nL: " + Repeat('A', 16384 - 3) + "\r\nContent-Length: 1\r\n\r\nz", false,
     "", "ENetReadLnMaxLineLengthExceeded", "Max line length exceeded."},
    {"HeadersEndAtClose", "HTTP/1.1 200 OK\r\nContent-Length: 6\r\nServer: x\r\n", true, "",
     "ENetException", "Undefined situation"},
    {"CloseAtStatusLine", "", true, "", "ENetConnClosedGracefully",
     "Connection Closed Gracefully."},
    {"CloseAtFirstHeaderLine", "HTTP/1.1 200 OK\r\n", true, "", "ENetConnClosedGracefully",
     "Connection Closed Gracefully."},
    {"ContinueThenOk",
     "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok", false, "ok"},
    {"ContinueWithoutFinal", "HTTP/1.1 100 Continue\r\nFoo: Bar\r\n\r\n", true, "",
     "ENetConnClosedGracefully", "Connection Closed Gracefully."},
    // The extra line end after the interim head is read as an empty status line.
    {"ContinueExtraLineEndThen404",
     "HTTP/1.1 100 Continue\r\n\r\n\r\nHTTP/1.1 404 Not Found\r\nContent-Length: 14\r\n\r\n"
     "404: Not Found",
     false, "404: Not Found", "ENetHTTPProtocolException", "", -1},
    // Statuses.
    {"NotFoundWithBody", "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found", false,
     "not found", "ENetHTTPProtocolException", "HTTP/1.1 404 Not Found", 404},
    {"RedirectNotFollowed",
     "HTTP/1.1 302 Found\r\nLocation: http://elsewhere/\r\nContent-Length: 0\r\n\r\n", false, "",
     "ENetHTTPProtocolException", "HTTP/1.1 302 Found", 302},
    {"OkWithLocation", "HTTP/1.1 200 OK\r\nLocation: /x\r\nContent-Length: 4\r\n\r\nbody", false,
     "body", "ENetHTTPProtocolException", "HTTP/1.1 200 OK", 200},
    {"NotModified", "HTTP/1.1 304 Not Modified\r\nContent-Length: 0\r\n\r\n", false, "",
     "ENetHTTPProtocolException", "HTTP/1.1 304 Not Modified", 304},
    {"Unauthorized", "HTTP/1.1 401 Unauthorized\r\nContent-Length: 0\r\n\r\n", false, "",
     "ENetHTTPProtocolException", "HTTP/1.1 401 Unauthorized", 401},
    {"StatusNegative", "HTTP/1.1 -12 Odd\r\nContent-Length: 0\r\n\r\n", false, "",
     "ENetHTTPProtocolException", "HTTP/1.1 -12 Odd", -12},
    {"StatusNotANumber", "HTTP/1.1 20X OK\r\nContent-Length: 0\r\n\r\n", false, "",
     "ENetHTTPProtocolException", "HTTP/1.1 20X OK", -1},
    {"StatusHundredDigits", "HTTP/1.1 " + Repeat('2', 100) + " OK\r\nContent-Length: 0\r\n\r\n",
     false, "", "ENetHTTPProtocolException", "HTTP/1.1 " + Repeat('2', 100) + " OK", -1},
    {"StatusWithoutSpace", "garbage\r\nContent-Length: 0\r\n\r\n", false, "",
     "ENetHTTPProtocolException", "garbage", -1},
    // A failing response's body is read with a 2000 ms limit.
    {"ErrorBodyNeverEnds", "HTTP/1.1 500 Internal Server Error\r\n\r\npartial", false, "",
     "ENetReadTimeout", "Read Timeout"},
};

INSTANTIATE_TEST_SUITE_P(Rows, ResponseTable, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HttpResponse, TrailersAreReadSoTheNextRequestOnTheConnectionWorks) {
    LoopbackServer server(Conversation(
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\nabc\n0\nchunky-trailer: data\n"
         "other: x\r\n\r\n",
         HttpResponseWithLength(200, {}, "second")}));
    TNetHTTP http;
    EXPECT_EQ("abc", http.Get(server.Url("/1")));
    EXPECT_EQ("second", http.Get(server.Url("/2")));
    server.Stop();
    EXPECT_EQ(1, server.Connections());
}

TEST(HttpResponse, ExtraBytesAfterTheBodyAreTakenForTheNextStatusLine) {
    // The connection is kept; the stray bytes become the next response's status line.
    LoopbackServer server(Conversation(
        {"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nokEXTRA\r\nContent-Length: 0\r\n\r\n"}));
    TNetHTTP http;
    EXPECT_EQ("ok", http.Get(server.Url("/1")));
    try {
        http.Get(server.Url("/2"));
        FAIL();
    } catch (const ENetHTTPProtocolException& e) {
        EXPECT_STREQ("EXTRA", e.what());
        EXPECT_EQ(-1, e.code());
    }
}

TEST(HttpResponse, ErrorResponseKeepsTheConnectionWhenItAllows) {
    LoopbackServer server(Conversation({HttpResponseWithLength(404, {}, std::string(30, 'n')),
                                        HttpResponseWithLength(200, {}, "ok")}));
    TNetHTTP http;
    try {
        http.Get(server.Url("/missing"));
        FAIL();
    } catch (const ENetHTTPProtocolException& e) {
        EXPECT_EQ(404, e.code());
        EXPECT_EQ(std::string(30, 'n'), e.body());
    }
    EXPECT_EQ("ok", http.Get(server.Url("/there")));
    server.Stop();
    EXPECT_EQ(1, server.Connections());
}

TEST(HttpResponse, AFailureInsideAResponseDropsTheConnection) {
    // After a chunk size that cannot be a size, the rest of the stream cannot be framed.
    std::atomic<int> served{0};
    LoopbackServer server([&served](ServerConnection& c) {
        while (!c.ReadRequestHead().empty()) {
            c.Send(served++ == 0 ? "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                   "11111111111111111\r\n"
                                 : HttpResponseWithLength(200, {}, "fresh"));
        }
    });
    TNetHTTP http;
    EXPECT_THROW(http.Get(server.Url("/1")), ENetException);
    EXPECT_EQ("fresh", http.Get(server.Url("/2")));
    server.Stop();
    EXPECT_EQ(2, server.Connections());
}

TEST(HttpResponse, CookiesOfInterimAndFailingResponsesAreStored) {
    LoopbackServer server(
        Conversation({"HTTP/1.1 100 Continue\r\nSet-Cookie: a=1; path=/\r\n\r\n"
                      "HTTP/1.1 404 Not Found\r\nSet-Cookie: b=2; path=/\r\nSet-Cookie2: c=3; "
                      "Port=\"x,y\"; path=/\r\nContent-Length: 0\r\n\r\n",
                      HttpResponseWithLength(200, {}, "")}));
    TNetHTTP http;
    EXPECT_THROW(http.Get(server.Url("/")), ENetHTTPProtocolException);
    http.Get(server.Url("/"));
    server.Stop();
    EXPECT_NE(std::string::npos, server.Requests().at(1).find("Cookie: c=3; b=2; a=1\r\n"));
}

TEST(HttpResponse, IdleCloseIsNoticedAndIdleResetFailsOnce) {
    LoopbackServer server([](ServerConnection& c) {
        c.ReadRequestHead();
        c.Send(HttpResponseWithLength(200, {}, "ok"));
        // The second connection is reset while idle, the others closed.
        static std::atomic<int> n{0};
        if (n++ == 1) {
            c.Pause(100ms);
            c.Reset();
        } else {
            c.Close();
        }
    });
    TNetHTTP http;
    EXPECT_EQ("ok", http.Get(server.Url("/1")));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ("ok", http.Get(server.Url("/2"))) << "closed idle connection: probe, reconnect";
    std::this_thread::sleep_for(300ms);
    try {
        http.Get(server.Url("/3"));
        FAIL() << "a reset idle connection fails the request";
    } catch (const ENetSocketError& e) {
        EXPECT_EQ(10054, e.code());
        EXPECT_STREQ("Socket Error # 10054\r\nConnection reset by peer.", e.what());
    }
    EXPECT_EQ("ok", http.Get(server.Url("/4")));
    server.Stop();
    EXPECT_EQ(3, server.Connections());
}

TEST(HttpResponse, ResponseInOneBytePiecesArrivesWhole) {
    const std::string response =
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n6\r\n "
        "world\r\n0\r\n\r\n";
    LoopbackServer server([response](ServerConnection& c) {
        c.ReadRequestHead();
        c.SendInPieces(response, 1, 1ms);
        c.WaitForPeerClose();
    });
    TNetHTTP http;
    EXPECT_EQ("hello world", http.Get(server.Url("/")));
}

TEST(HttpResponse, WaitingForASlowServerDoesNotSpin) {
    LoopbackServer server([](ServerConnection& c) {
        c.ReadRequestHead();
        c.Send("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\na");
        c.Pause(700ms);
        c.Send("b");
        c.Pause(700ms);
        c.Send("c");
        c.WaitForPeerClose();
    });
    auto cpu = [] {
        rusage u{};
        getrusage(RUSAGE_THREAD, &u);
        return u.ru_utime.tv_sec * 1e6 + u.ru_utime.tv_usec + u.ru_stime.tv_sec * 1e6 +
               u.ru_stime.tv_usec;
    };
    TNetHTTP http;
    const double before = cpu();
    EXPECT_EQ("abc", http.Get(server.Url("/")));
    EXPECT_LT(cpu() - before, 200000.0) << "the client burnt processor time while waiting";
}

TEST(HttpResponse, ResetMidBodyIsASocketError) {
    LoopbackServer server([](ServerConnection& c) {
        c.ReadRequestHead();
        c.Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nabc");
        c.Pause(200ms);
        c.Reset();
    });
    TNetHTTP http;
    try {
        http.Get(server.Url("/"));
        FAIL();
    } catch (const ENetSocketError& e) {
        EXPECT_EQ(10054, e.code());
    }
}

TEST(HttpResponse, CloseDelimitedBodyBeyondTheLimitFails) {
    LoopbackServer server([](ServerConnection& c) {
        c.ReadRequestHead();
        c.Send("HTTP/1.1 200 OK\r\n\r\n");
        const std::string block(64 * 1024, 'x');
        for (int i = 0; i < 64 && !c.Stopping(); ++i)
            c.Send(block);
        c.Close();
    });
    TNetHTTP http;
    http.MaxBodySize = 1 << 20;
    try {
        http.Get(server.Url("/"));
        FAIL();
    } catch (const ENetException& e) {
        EXPECT_STREQ("Response body too large.", e.what());
    }
}

TEST(HttpResponse, EndlessHeaderLinesAreBounded) {
    LoopbackServer server([](ServerConnection& c) {
        c.ReadRequestHead();
        c.Send("HTTP/1.1 200 OK\r\n");
        const std::string lines = [] {
            std::string s;
            for (int i = 0; i < 1000; ++i)
                s += "X-A: b\r\n";
            return s;
        }();
        for (int i = 0; i < 1000 && !c.Stopping(); ++i)
            c.Send(lines);
        c.Close();
    });
    TNetHTTP http;
    try {
        http.Get(server.Url("/"));
        FAIL();
    } catch (const ENetException& e) {
        EXPECT_STREQ("Response header too large.", e.what());
    }
}

}  // namespace
}  // namespace tovalin::test
