#!/usr/bin/env python3
"""A reference reader for the benchmark: the same page loop and cutting as tovalin-export, written
the short way with http.client on one kept-alive connection and Python's own string search.
It prints the number of pages and posts it found, so the run can check it did the same work."""
import http.client
import sys
from urllib.parse import urlsplit

FROM = '来自: <a href="'
CONTENT = '<div class="topic-content">'
SNS = '<div class="sns-bar">'
NEXT = '<span class="next">'
LINK = '<link rel="next" href="'
OPERATION = '<div class="operation_div"'


def cut_past(text, marker):
    # A missing marker keeps the text from the position equal to the marker's length.
    p = text.find(marker)
    start = p + len(marker) if p >= 0 else len(marker) - 1
    return text[start:].strip(''.join(map(chr, range(33))))


def main():
    address = sys.argv[1]
    parts = urlsplit(address)
    conn = http.client.HTTPConnection(parts.hostname, parts.port or 80)

    def get(url):
        u = urlsplit(url)
        conn.request('GET', u.path + ('?' + u.query if u.query else ''))
        body = conn.getresponse().read()
        try:
            return body.decode('utf-8')
        except UnicodeDecodeError:
            return ''

    text = cut_past(get(address), FROM)
    url_end = text.find('">')
    starter_url = text[:url_end].strip() if url_end > 0 else ''
    name_end = text.find('</a>')
    name = text[len(starter_url) + 2:name_end].strip() if name_end >= 0 else ''
    text = cut_past(text, CONTENT)
    first_post = text[:max(text.find(SNS), 0)].strip()
    key = name + ('</a> (' if (name + '</a> (') in text else '</a>')
    posts, pages, seen = [], 1, {address}

    def replies(t):
        at = 0
        while True:
            p = t.find(key, at)
            if p < 0:
                return
            q = t.find('</div>', p + len(key))
            start = q + 6 if q >= 0 else p + len(key)
            while start < len(t) and ord(t[start]) <= 32:
                start += 1
            end = t.find(OPERATION, start)
            posts.append(t[start:end] if end >= 0 else '')
            at = start

    replies(text)
    while text and NEXT in text:
        text = text[text.find(NEXT):]
        link = text.find(LINK)
        if link >= 0:
            text = text[link:]
        end = text.find('"/>')
        nxt = text[23:end].strip() if end > 23 else ''
        if not nxt or '后页' in nxt or nxt in seen:
            break
        seen.add(nxt)
        text = get(nxt)
        pages += 1
        replies(text)
    print(pages, len(posts), len(first_post) > 0)


if __name__ == '__main__':
    main()
