#!/usr/bin/env python3
"""check --html FOLDER over several files, and its index opened in a real
browser (Debian's chromium, headless, no network), run by ctest natively:
html_index_e2e.py SOURCE-DIR OUT-DIR HOST-COMMAND...

Two meshes of the same name in different folders and one that cannot be
read: each readable one gets its own page, the index a row per file with the
numbers of the JSON report, the unreadable one its reason and no link. The
index runs no script and asks for nothing outside itself; a real click on a
link opens that file's page, whose scripts run without an error. No page or
index ever replaces an input, and --html naming a file is refused."""
import json
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from headless_browser import Browser, BrowserError, find_chromium  # noqa: E402

src, out, host = sys.argv[1], sys.argv[2], sys.argv[3:]
shutil.rmtree(out, ignore_errors=True)
os.makedirs(out)
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL: " + what)
    return condition


def copy(mesh, target):
    os.makedirs(os.path.dirname(target), exist_ok=True)
    shutil.copyfile(os.path.join(src, "tests/data/meshes", mesh), target)


def run(*arguments):
    return subprocess.run(host + ["check"] + list(arguments), capture_output=True, text=True)


meshes = os.path.join(out, "meshes")
copy("suzanne_L0.obj", os.path.join(meshes, "a", "head.obj"))
copy("human_mirror.obj", os.path.join(meshes, "b", "head.obj"))
with open(os.path.join(meshes, "broken.obj"), "w") as f:
    f.write("v 1 2 x\n")
pages = os.path.join(out, "pages")
done = run(meshes, "--recursive", "--plane", "x=0", "--tolerance", "0.1", "--html", pages,
           "--json", os.path.join(out, "files.json"), "--quiet")
check(done.returncode == 1, "check over the folder gave %d (1 expected, one file is unreadable)\n%s%s"
      % (done.returncode, done.stdout, done.stderr))
written = sorted(os.listdir(pages)) if os.path.isdir(pages) else []
check(written == ["a_head.obj.html", "b_head.obj.html", "index.html"],
      "the folder holds %s" % written)
report = os.path.join(out, "files.json")
files = json.load(open(report))["files"] if os.path.exists(report) else []

# A page would be named after an input in the folder: it takes another name,
# and the input is left as it was.
same = os.path.join(out, "same")
copy("suzanne_L0.obj", os.path.join(same, "m.obj"))
copy("suzanne_L0.obj", os.path.join(same, "m.obj.html"))
with open(os.path.join(same, "m.obj.html"), "rb") as f:
    original = f.read()
done = run(os.path.join(same, "m.obj"), os.path.join(same, "m.obj.html"), "--plane", "x=0",
           "--html", same)
with open(os.path.join(same, "m.obj.html"), "rb") as f:
    kept = f.read() == original
check(done.returncode == 0 and kept and os.path.exists(os.path.join(same, "m.obj-2.html")),
      "pages over an input folder gave %d, the input %s, the folder %s\n%s"
      % (done.returncode, "kept" if kept else "changed", sorted(os.listdir(same)), done.stderr))
# --html naming a file with several inputs is refused, the file kept.
done = run(os.path.join(same, "m.obj"), os.path.join(meshes, "a"), "--html",
           os.path.join(same, "m.obj.html"))
with open(os.path.join(same, "m.obj.html"), "rb") as f:
    check(done.returncode == 1 and "names a folder" in done.stderr and f.read() == original,
          "--html FILE over several files gave %d: %s" % (done.returncode, done.stderr))

if not find_chromium():
    print("html_index_e2e: chromium is not installed (scripts/bootstrap installs it)")
    sys.exit(1)
browser = Browser()
try:
    browser.open_page()
    index = "file://" + os.path.join(os.path.abspath(pages), "index.html")
    browser.navigate(index)
    browser.wait_for("document.readyState === 'complete' && !!document.querySelector('#files')")
    check(browser.evaluate("document.scripts.length") == 0, "the index holds a script")
    open(os.path.join(out, "index.png"), "wb").write(browser.screenshot())
    rows = browser.evaluate(
        "Array.from(document.querySelectorAll('#files tbody tr')).map(tr => ({"
        " cells: Array.from(tr.cells).map(td => td.textContent),"
        " link: tr.querySelector('a') ? tr.querySelector('a').getAttribute('href') : ''}))")
    check(len(rows) == 3 and len(files) == 3, "the index has %d rows for %d files"
          % (len(rows), len(files)))
    for row, entry in zip(rows, files):
        cells = row["cells"]
        check(cells[0] == entry["file"], "row %s for file %s" % (cells[0], entry["file"]))
        check(cells[6].startswith(entry["verdict"]), "row %s: verdict %s, JSON %s"
              % (cells[0], cells[6], entry["verdict"]))
        if entry["report"]:
            summary = entry["report"]["summary"]
            check([cells[1], cells[2], cells[3]] ==
                  [str(summary["vertices"]), str(summary["pairs"]), str(summary["offPlane"])],
                  "row %s: %s, JSON summary %s" % (cells[0], cells[1:6], summary))
            check(row["link"] != "", "row %s has no link" % cells[0])
        else:
            check(row["link"] == "" and entry["reasons"] and entry["reasons"][0] in cells[6],
                  "the unreadable file's row: %s link %r, reasons %s"
                  % (cells, row["link"], entry["reasons"]))
    check(not browser.errors(), "the index reported errors: %s" % browser.errors())
    outside = [u for u in browser.requested_urls() if u != index]
    check(not outside and not browser.blocked, "the index asked for %s %s" % (outside, browser.blocked))

    # A real click on the second file's link opens its page, drawn without
    # error (on the link's first line: a long path wraps).
    target = next(i for i, r in enumerate(rows) if "b/head.obj" in r["cells"][0])
    rect = browser.evaluate(
        "(() => { const a = document.querySelectorAll('#files tbody tr')[%d].querySelector('a');"
        " a.scrollIntoView({block: 'center', inline: 'center'}); const r = a.getClientRects()[0];"
        " return {x: r.x + r.width / 2, y: r.y + r.height / 2}; })()" % target)
    browser.click(rect["x"], rect["y"])
    try:
        state = browser.wait_for("location.href.endsWith('/b_head.obj.html') && !!document.body &&"
                                 " document.body.dataset.ready", timeout=120)
    except BrowserError:
        raise BrowserError("clicking at %s on row %d left the browser at %s, ready %s" % (
            rect, target, browser.evaluate("location.href"),
            browser.evaluate("document.body && document.body.dataset.ready")))
    time.sleep(0.3)
    check(state == "drawn", "the linked page did not draw its view: %s" % state)
    check(not browser.errors(), "the linked page's scripts reported errors: %s" % browser.errors())
    text = browser.evaluate("document.getElementById('summary').innerText")
    vertices = rows[target]["cells"][1]
    check(vertices + " vertices" in text, "the linked page says %r, the index %s vertices"
          % (text, vertices))
    print("html_index_e2e: index rows %s; linked page drew %s" %
          ([r["cells"][0] + " " + r["cells"][6][:20] for r in rows], state))
except BrowserError as e:
    check(False, "browser: %s" % e)
finally:
    browser.close()

if failures:
    print("html_index_e2e: %d failures" % len(failures))
    sys.exit(1)
print("html_index_e2e: all checks held")
