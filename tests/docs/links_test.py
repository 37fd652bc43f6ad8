#!/usr/bin/env python3
"""Every relative link and picture in README.md and docs/*.md must name a
file that exists, and a #fragment a heading of that page."""
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1]).resolve()
pages = [root / "README.md", *sorted((root / "docs").glob("*.md"))]
link = re.compile(r"!?\[[^\]]*\]\(([^)\s]+)\)")


def anchors(page):
    # GitHub's rule: lower case, punctuation but "-" and "_" dropped, blanks to "-".
    out, in_code = set(), False
    for line in page.read_text(encoding="utf-8").splitlines():
        if line.startswith("```"):
            in_code = not in_code
        elif not in_code and line.startswith("#"):
            text = line.lstrip("#").strip().lower()
            out.add(re.sub(r"[^\w\- ]", "", text).replace(" ", "-"))
    return out


bad = []
for page in pages:
    text = re.sub(r"```.*?```", "", page.read_text(encoding="utf-8"), flags=re.S)
    for target in link.findall(text):
        if re.match(r"[a-z][a-z0-9+.-]*:", target):
            continue  # an address, not a file of the repository
        path, _, fragment = target.partition("#")
        dest = (page.parent / path).resolve() if path else page
        where = f"{page.relative_to(root)}: {target}"
        if not dest.exists():
            bad.append(f"{where}: no such file")
        elif fragment and (dest.suffix != ".md" or fragment not in anchors(dest)):
            bad.append(f"{where}: no heading #{fragment}")
for b in bad:
    print(b)
print(f"{len(pages)} pages, {len(bad)} broken links")
sys.exit(1 if bad else 0)
