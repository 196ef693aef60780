#!/usr/bin/env python3
"""Writes a generated topic of PAGES pages into DIR, in the community site's layout: about
REPLIES replies a page, about 100 KB a page, every page linking to the next by an absolute
address on BASE. One reply in three is the starter's. Prints the page addresses, one a line."""

import os
import sys

STARTER = "澜页作者"
OTHERS = ["路人甲", "Bob", "小组成员", "JoAnna"]
FILLER = ("这是一段用于测试的回复内容，包含中文与 ASCII text, 以及一些 <b>markup</b>。" * 6)


def reply(index, name):
    return (
        f'<li class="clearfix comment-item" data-cid="{index}">\n'
        f'<div class="reply-doc content"><div class="bg-img-green"><h4>'
        f'<a href="http://site.invalid/people/{index % 97}/" class="">{name}</a> '
        f'(签名 {index})<span class="pubtime">2026-12-10 12:00:{index % 60:02d}</span>'
        f'</h4></div>\n<p class="reply-content">第 {index} 楼: {FILLER}</p>\n'
        f'<div class="operation_div" id="op-{index}"><a href="#">回应</a></div></div></li>\n'
    )


def page(number, pages, base, replies):
    parts = ['<!DOCTYPE html><html><head><meta charset="utf-8"><title>话题</title></head><body>\n']
    if number == 1:
        parts.append(
            f'<div class="topic-doc"><h3><span class="from">来自: <a href="http://site.invalid/people/starter/">'
            f"{STARTER}</a></span></h3>\n"
            f'<div class="topic-content">\n<p>开篇的帖子。{FILLER}</p>\n</div>\n'
            f'<div class="sns-bar">分享到</div></div>\n'
        )
    parts.append('<ul class="topic-reply">\n')
    for r in range(replies):
        index = (number - 1) * replies + r
        parts.append(reply(index, STARTER if index % 3 == 0 else OTHERS[index % len(OTHERS)]))
    parts.append("</ul>\n<div class=\"paginator\">")
    if number < pages:
        nxt = f"{base}/topic/p{number + 1}.html"
        parts.append(f'<span class="next"><link rel="next" href="{nxt}"/>\n'
                     f'<a href="{nxt}">后页&gt;</a></span>')
    else:
        parts.append('<span class="next">\n        后页&gt;\n    </span>')
    parts.append("</div>\n</body></html>\n")
    return "".join(parts)


def main():
    directory, pages, base = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    replies = int(sys.argv[4]) if len(sys.argv) > 4 else 100
    os.makedirs(os.path.join(directory, "topic"), exist_ok=True)
    for number in range(1, pages + 1):
        with open(os.path.join(directory, "topic", f"p{number}.html"), "w", encoding="utf-8") as f:
            f.write(page(number, pages, base, replies))
        print(f"{base}/topic/p{number}.html")


if __name__ == "__main__":
    main()
