// Hostile responses, one per row: what the server sends and what the client must make of it.
// The network tests already hold the plain cases (lengths of 10^18, 2^64, -6 and "crap", two
// lengths, short bodies, illegal and oversized chunk sizes, extensions, folded "chunked", 100 KiB
// header lines, bare CR, CR CR, NUL, interim responses, odd status lines); the rows here are the
// ones they leave out.
#include <gtest/gtest.h>

#include <string>

#include "tests/hostile/outcome.h"
#include "tests/support/loopback_server.h"

namespace tovalin::test {
namespace {

struct Row {
    const char* name;
    std::string bytes;
    bool closeAfter;  // the server closes after its bytes (else it waits for the client)
    std::string body;
    std::string outcome;  // "" for success, else "class|message[|code]"
};

const std::string kClosed = "ENetConnClosedGracefully|Connection Closed Gracefully.";

std::string Chunked(const std::string& chunks) {
    return "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + chunks;
}

const Row kRows[] = {
    // A length beyond what a signed 64-bit number holds is no number: the body ends at the
    // close. The largest number is a length like any other: what arrives before the close.
    {"LengthInt64Max", "HTTP/1.1 200 OK\r\nContent-Length: 9223372036854775807\r\n\r\nabc", true,
     "abc", ""},
    {"Length2Pow63", "HTTP/1.1 200 OK\r\nContent-Length: 9223372036854775808\r\n\r\nabc", true,
     "abc", ""},
    {"LengthBlankInside", "HTTP/1.1 200 OK\r\nContent-Length: 1 2\r\n\r\nabcdef", true, "abcdef",
     ""},
    // A chunk size that is no hexadecimal number reads as 0: the body ends with the chunks
    // before it, and the next line is read as the end of the trailers.
    {"ChunkSizeOneX", Chunked("2\r\nab\r\n1x\r\nc\r\n"), true, "ab", ""},
    {"ChunkSizePlusFive", Chunked("2\r\nab\r\n+5\r\nabcde\r\n"), true, "ab", ""},
    {"ChunkSizeEmpty", Chunked("2\r\nab\r\n\r\nxyz\r\n\r\n"), true, "ab", ""},
    {"ChunkSizeNegative", Chunked("2\r\nab\r\n-1\r\nz\r\n\r\n"), true, "ab", ""},
    // Trailers are read up to the empty line, under the same line and head limits.
    {"TrailerLineTooLong", Chunked("1\r\na\r\n0\r\nT: " + std::string(20000, 't') + "\r\n\r\n"),
     false, "", "ENetReadLnMaxLineLengthExceeded|Max line length exceeded."},
    {"TrailersThenClose", Chunked("1\r\na\r\n0\r\nT: 1\r\nU: 2\r\n"), true, "a", ""},
    // A status line without a space has no code.
    {"StatusLineMinus12", "-12\r\nContent-Length: 0\r\n\r\n", false, "",
     "ENetHTTPProtocolException|-12|-1"},
    {"StatusLine20X", "20X\r\nContent-Length: 0\r\n\r\n", false, "",
     "ENetHTTPProtocolException|20X|-1"},
    {"StatusLineHundredDigits", std::string(100, '7') + "\r\nContent-Length: 0\r\n\r\n", false, "",
     "ENetHTTPProtocolException|" + std::string(100, '7') + "|-1"},
    {"StatusCodeAboveInt32", "HTTP/1.1 4294967496 OK\r\nContent-Length: 0\r\n\r\n", false, "",
     "ENetHTTPProtocolException|HTTP/1.1 4294967496 OK|-1"},
    {"EmptyStatusLine", "\r\nContent-Length: 0\r\n\r\n", false, "",
     "ENetHTTPProtocolException||-1"},
    // An interim response may come more than once; a close after it with nothing to read fails.
    {"ManyContinuesThenOk",
     [] {
         std::string s;
         for (int i = 0; i < 50; ++i)
             s += "HTTP/1.1 100 Continue\r\n\r\n";
         return s + "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
     }(),
     false, "ok", ""},
    {"ContinueThenHeadersEndAtClose", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\n", true, "",
     kClosed},
    {"HeadCutMidLineAtClose", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nServ", true, "",
     "ENetException|Undefined situation"},
    // Connection: close with a body by length: the body, then the connection is dropped.
    {"CloseAfterLengthBody", "HTTP/1.1 200 OK\r\nConnection: CLOSE \r\nContent-Length: 2\r\n\r\nok",
     false, "ok", ""},
};

class HostileResponse : public ::testing::TestWithParam<Row> {};

TEST_P(HostileResponse, GivesTheDesignedOutcome) {
    const Row& row = GetParam();
    LoopbackServer server([&row](ServerConnection& c) {
        if (c.ReadRequestHead().empty())
            return;
        c.Send(row.bytes);
        if (row.closeAfter) {
            c.Close();
        } else {
            c.WaitForPeerClose();
        }
    });
    TNetHTTP http;
    std::string body;
    EXPECT_EQ(row.outcome, GetOutcome(http, server.Url("/r"), body));
    EXPECT_EQ(row.body, body);
}

INSTANTIATE_TEST_SUITE_P(Rows, HostileResponse, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

// After trailers, the connection carries the next response; after a response that asked to
// close, the next request opens a fresh connection.
TEST(HostileResponse, TrailersDoNotSpillIntoTheNextResponse) {
    LoopbackServer server([](ServerConnection& c) {
        if (c.ReadRequestHead().empty())
            return;
        c.Send(Chunked("3\r\nabc\r\n0\r\nX-Trailer: HTTP/1.1 500 Bad\r\nY: z\r\n\r\n"));
        if (c.ReadRequestHead().empty())
            return;
        c.Send("HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\nsecond");
        c.WaitForPeerClose();
    });
    TNetHTTP http;
    EXPECT_EQ("abc", http.Get(server.Url("/1")));
    EXPECT_EQ("second", http.Get(server.Url("/2")));
    server.Stop();
    EXPECT_EQ(1, server.Connections());
}

}  // namespace
}  // namespace tovalin::test
