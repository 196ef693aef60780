// Splitting addresses into their parts and merging them into the current address.
#include <gtest/gtest.h>

#include "net/net_exceptions.h"
#include "net/net_uri.h"

namespace tovalin::test {
namespace {

using tovalin::net::TNetURI;

struct SplitRow {
    const char* address;
    const char* protocol;
    const char* host;
    const char* port;
    const char* path;
    const char* document;
    const char* params;
    const char* bookmark;
    const char* user;
    const char* password;
};

TEST(UriSplit, Table) {
    const SplitRow rows[] = {
        {"http://h/group/topic/123/", "http", "h", "", "/group/topic/123/", "", "", "", "", ""},
        {"http://h", "http", "h", "", "/", "", "", "", "", ""},
        {"http://h:81/a/b.html", "http", "h", "81", "/a/", "b.html", "", "", "", ""},
        {"http://h/a/b?p=1#b", "http", "h", "", "/a/", "b", "?p=1", "b", "", ""},
        {"http://h/a/doc#frag?x", "http", "h", "", "/a/", "doc", "?x", "frag", "", ""},
        {"http://h/a?x/y", "http", "h", "", "/", "a", "?x/y", "", "", ""},
        {"http://h/a/b=c/d", "http", "h", "", "/a/", "b", "=c/d", "", "", ""},
        {"http:\\\\h\\a\\b", "http", "h", "", "/a/", "b", "", "", "", ""},
        {"http://u:pw@h:8080/x", "http", "h", "8080", "/", "x", "", "", "u", "pw"},
        {"http://:pw@h/x", "http", "h", "", "/", "x", "", "", "", ""},
        {"http://a@b@h/x", "http", "b@h", "", "/", "x", "", "", "a", ""},
        {"HTTPS://H/", "HTTPS", "H", "", "/", "", "", "", "", ""},
        // Without "://" the whole text is path, document and parameters.
        {"a/b/c.html", "", "", "", "a/b/", "c.html", "", "", "", ""},
        {"doc#x", "", "", "", "", "doc#x", "", "", "", ""},
        {"doc?q#x", "", "", "", "", "doc", "?q", "x", "", ""},
        {"/abs/p", "", "", "", "/abs/", "p", "", "", "", ""},
        {"", "", "", "", "", "", "", "", "", ""},
    };
    for (const auto& r : rows) {
        TNetURI u = TNetURI::Split(r.address);
        SCOPED_TRACE(r.address);
        EXPECT_EQ(r.protocol, u.Protocol);
        EXPECT_EQ(r.host, u.Host);
        EXPECT_EQ(r.port, u.Port);
        EXPECT_EQ(r.path, u.Path);
        EXPECT_EQ(r.document, u.Document);
        EXPECT_EQ(r.params, u.Params);
        EXPECT_EQ(r.bookmark, u.Bookmark);
        EXPECT_EQ(r.user, u.Username);
        EXPECT_EQ(r.password, u.Password);
    }
}

struct MergeRow {
    const char* first;  // merged into a fresh current address first ("" for none)
    const char* second;
    const char* host;
    const char* port;
    const char* target;
    const char* hostValue;
};

TEST(UriMerge, Table) {
    const MergeRow rows[] = {
        {"", "http://h/group/topic/123/", "h", "80", "/group/topic/123/", "h"},
        {"", "http://h:81/x", "h", "81", "/x", "h:81"},
        {"", "http://h:80/x", "h", "80", "/x", "h"},
        {"", "http://h/x?p=1#b", "h", "80", "/x?p=1", "h"},
        {"", "page.html", "", "80", "page.html", ""},
        {"http://h/a/b/", "c.html", "h", "80", "/a/b/c.html", "h"},
        {"http://h/a/b/", "d/e.html", "h", "80", "/a/b/d/e.html", "h"},
        {"http://h/a/b/", "../c", "h", "80", "/a/c", "h"},
        {"http://h/a/b/", "../../../c", "h", "80", "/c", "h"},
        {"http://h/a/b/", "./c", "h", "80", "/a/b/./c", "h"},
        {"http://h/a/b/", ".//x//y/", "h", "80", "/a/b/./x/y/", "h"},
        {"http://h/a/b/", "/root", "h", "80", "/root", "h"},
        {"http://h/a/b/", "?page=2", "h", "80", "/a/b/?page=2", "h"},
        {"http://h:81/a/", "http://g/z", "g", "81", "/z", "g:81"},
        {"http://h:443/a/", "http://g/z", "g", "80", "/z", "g"},
        {"https://h/a/", "http://h/z", "h", "80", "/z", "h"},
        {"", "https://h/z", "h", "443", "/z", "h:443"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.first) + " then " + r.second);
        TNetURI current;
        current.Port = "80";
        if (*r.first)
            current.Merge(TNetURI::Split(r.first));
        current.Merge(TNetURI::Split(r.second));
        EXPECT_EQ(r.host, current.Host);
        EXPECT_EQ(r.port, current.Port);
        EXPECT_EQ(r.target, current.Target());
        EXPECT_EQ(r.hostValue, current.HostValue());
    }
}

TEST(UriMerge, UnknownProtocolNeedsAPort) {
    TNetURI current;
    current.Port = "80";
    EXPECT_THROW(current.Merge(TNetURI::Split("ftp://h/x")), ENetUnknownProtocol);
    TNetURI withPort;
    withPort.Port = "80";
    withPort.Merge(TNetURI::Split("ftp://h:21/x"));
    EXPECT_EQ("21", withPort.Port);
}

}  // namespace
}  // namespace tovalin::test
