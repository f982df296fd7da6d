"""kanvo-grade on a synthetic class whose every program has one known fault (see the comment
at the top of each): the grader must name the fault, trace it to the learner's source line,
score it, and write a report whose pages load in a browser.

    test_grade.py faults KANVO_GRADE WORK_DIR
    test_grade.py pages KANVO_GRADE WORK_DIR [SCREENSHOT.png]
"""
import csv
import json
import os
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

HERE = os.path.dirname(os.path.abspath(__file__))
CLASS = os.path.join(HERE, "class")
SCRIPT = os.path.join(HERE, "session.SCR")
EVERYONE = ["correct", "wrong_colour.c", "radius.c", "missing.c", "extra.c", "order.c", "crash.c",
            "endless.c", "no_wait.c", "syntax.c", "clock.c"]


def grade(kanvo_grade, report, submissions, *options):
    if os.path.exists(report):
        shutil.rmtree(report)
    command = [kanvo_grade, "--model", "model.c", "--report", report, "--timeout", "1"]
    command += list(options) + list(submissions)
    done = subprocess.run(command, cwd=CLASS, capture_output=True, text=True, timeout=600)
    assert done.returncode in (0, 1), "kanvo-grade failed (%d):\n%s" % (done.returncode, done.stderr)
    with open(os.path.join(report, "results.json")) as f:
        return done.returncode, {s["name"]: s for s in json.load(f)["submissions"]}


def line_of(source, text):
    """The number of the line of the class's source file that holds text."""
    with open(os.path.join(CLASS, source)) as f:
        for number, line in enumerate(f, 1):
            if text in line:
                return number
    raise AssertionError("%s is not in %s" % (text, source))


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def script_events():
    """Events of the test script, expanded: ticks one by one."""
    events = []
    with open(SCRIPT) as f:
        for line in f:
            kind, _, rest = line.strip().partition("(")
            if kind == "KANVO_PERIODIC":
                events += ["tick"] * int(rest.rstrip(");"))
            elif kind:
                events.append(kind)
    return events


def test_faults(kanvo_grade, work):
    status, results = grade(kanvo_grade, os.path.join(work, "all"), EVERYONE,
                            "--script", SCRIPT, "--ticks", "30", "--jobs", "2")
    check(status == 1, "a class with faults must give exit status 1")
    expected_status = {"correct": "pass", "clock": "pass", "wrong_colour": "fail", "radius": "fail",
                       "missing": "fail", "extra": "fail", "order": "fail", "crash": "crash",
                       "endless": "timeout", "no_wait": "no_wait", "syntax": "compile_error"}
    got = {name: s["status"] for name, s in results.items()}
    check(got == expected_status, "statuses: %s" % got)

    def difference(name, case="session"):
        found = [c for c in results[name]["cases"] if c["case"] == case]
        check(len(found) == 1, "%s has no case %s" % (name, case))
        return found[0]

    # The first differing call, as the model's and the learner's log lines, and where.
    faults = {
        "wrong_colour": ("changed", "yellow circle at (200,170), radius 40",
                         "orange circle at (200,170), radius 40", "wrong_colour.c", "KANVO_ORANGE"),
        "radius": ("changed", "yellow circle at (200,170), radius 40",
                   "yellow circle at (200,170), radius 39", "radius.c", "170, 39)"),
        "missing": ("missing", "red triangle at (-160,0), (-40,0), (-100,60)",
                    "white circle at (", "missing.c", "KANVO_WHITE"),
        "extra": ("extra", "white circle at (", "black line from (-70,20) to (-70,70), width 3",
                  "extra.c", "KANVO_line"),
        "order": ("order", "yellow circle at (200,170), radius 40",
                  "brown rectangle with bounding box (-150,0) to (-50,-100), filled", "order.c",
                  "KANVO_BROWN"),
    }
    for name, (kind, expected, actual, source, text) in faults.items():
        for case in ("session", "ticks-30"):
            d = difference(name, case)["first_difference"]
            check(d is not None, "%s: no first difference" % name)
            check(d["kind"] == kind, "%s: kind %s, not %s" % (name, d["kind"], kind))
            check(d["expected"].startswith(expected), "%s: expected %r" % (name, d["expected"]))
            check(d["actual"].startswith(actual), "%s: actual %r" % (name, d["actual"]))
            check(os.path.basename(d["file"]) == source and d["line"] == line_of(source, text),
                  "%s: made at %s:%d, not at %s:%d" % (name, d["file"], d["line"], source,
                                                       line_of(source, text)))
    # Pixels: a wrong colour, a radius off by one, a missing and an extra shape show;
    # another order of the same shapes does not.
    for name in ("wrong_colour", "radius", "missing", "extra"):
        check(difference(name)["differing_pixels"] > 0, name + " shows no differing pixel")
    check(difference("order")["differing_pixels"] == 0, "order: the pictures are the same")
    check(difference("radius")["differing_pixels"] < difference("wrong_colour")["differing_pixels"],
          "a radius one short changes fewer pixels than a whole sun in another colour")

    # The crash comes at the third click; the frames before it match.
    events = script_events()
    third_click = [i for i, e in enumerate(events) if e == "KANVO_MOUSE"][2]
    crash = difference("crash")
    check(crash["status"] == "crash" and "signal 11" in crash["message"], crash["message"])
    check(crash["checkpoints_passed"] == third_click + 1,
          "crash: %d frames matched, not %d" % (crash["checkpoints_passed"], third_click + 1))
    check(difference("crash", "ticks-30")["status"] == "pass", "crash: no click, no crash")
    check(abs(crash["score"] - 0.5 * (third_click + 1) / crash["checkpoints"]) < 1e-3,
          "crash: half the share of frames matched, %s" % crash["score"])
    # The endless loop starts at the 21st tick.
    endless = difference("endless", "ticks-30")
    check(endless["status"] == "timeout" and endless["checkpoints_passed"] == 21,
          "endless: %s after %d frames" % (endless["status"], endless["checkpoints_passed"]))
    check("did not wait" in endless["message"], endless["message"])
    check(difference("no_wait")["checkpoints_passed"] == 0, "no_wait matched frames")

    # Scores: every case passed gives 1, a compile error 0, a fault a little from the
    # frames before it.
    for name in ("correct", "clock"):
        check(results[name]["score"] == 1, "%s: score %s" % (name, results[name]["score"]))
        check(all(c["first_difference"] is None for c in results[name]["cases"]), name)
    check(results["syntax"]["score"] == 0 and results["syntax"]["cases"] == [], "syntax")
    for name in ("wrong_colour", "radius", "missing", "extra", "order", "endless", "no_wait"):
        check(0 <= results[name]["score"] < 0.5, "%s: score %s" % (name, results[name]["score"]))
    check(0 < results["crash"]["score"] < 1, "crash: score %s" % results["crash"]["score"])

    # The clock: every program seeds from it; graded runs serve one fixed virtual time.
    check(results["clock"]["clock_reads"] == ["gettimeofday"], results["clock"]["clock_reads"])
    check(results["correct"]["clock_reads"] == ["time"], results["correct"]["clock_reads"])

    # The report's files.
    report = os.path.join(work, "all")
    with open(os.path.join(report, "results.csv")) as f:
        rows = list(csv.reader(f))
    check(rows[0][:3] == ["name", "status", "score"], "results.csv header %s" % rows[0])
    check({r[0]: r[1] for r in rows[1:]} == expected_status, "results.csv rows")
    suites = ElementTree.parse(os.path.join(report, "junit.xml")).getroot()
    check(int(suites.get("tests")) == 21 and int(suites.get("failures")) == 21 - 5,
          "junit.xml: %s tests, %s failures" % (suites.get("tests"), suites.get("failures")))
    with open(os.path.join(report, "submissions", "syntax", "index.html")) as f:
        page = f.read()
    check("syntax.c:%d:" % line_of("syntax.c", "ball + 5") in page and "error" in page,
          "syntax: the compiler's message")
    with open(os.path.join(report, "submissions", "radius", "index.html")) as f:
        page = f.read()
    check('<span class="here">%5d  ' % line_of("radius.c", "170, 39)") in page,
          "radius: the source line is shown")
    check("kanvo-run --script session.SCR" in page, "radius: the command to run it at home")

    radius_pixels = difference("radius")["differing_pixels"]
    # Pictures only: another order of the same shapes passes; a wrong colour still fails.
    status, results = grade(kanvo_grade, os.path.join(work, "pictures"),
                            ["order.c", "wrong_colour.c"], "--script", SCRIPT, "--pictures-only")
    check(results["order"]["status"] == "pass" and results["order"]["score"] == 1, "order")
    check(results["wrong_colour"]["status"] == "fail", "wrong_colour with --pictures-only")
    # A tolerance as large as the difference lets the radius pass on pictures.
    status, results = grade(kanvo_grade, os.path.join(work, "tolerant"), ["radius.c"], "--script",
                            SCRIPT, "--pictures-only", "--tolerance", str(radius_pixels))
    check(status == 0 and results["radius"]["status"] == "pass", "radius within the tolerance")

    # Shards merged give the class graded at once.
    few = ["correct", "radius.c", "syntax.c", "order.c", "no_wait.c"]
    _, whole = grade(kanvo_grade, os.path.join(work, "whole"), few, "--ticks", "5")
    for k in (1, 2):
        grade(kanvo_grade, os.path.join(work, "shard%d" % k), few, "--ticks", "5", "--shard", "%d/2" % k)
    merged_dir = os.path.join(work, "merged")
    shutil.rmtree(merged_dir, ignore_errors=True)
    done = subprocess.run([kanvo_grade, "merge", "--report", merged_dir, os.path.join(work, "shard1"),
                           os.path.join(work, "shard2")], capture_output=True, text=True)
    check(done.returncode == 1, "merge: exit status %d: %s" % (done.returncode, done.stderr))
    with open(os.path.join(merged_dir, "results.json")) as f:
        merged = {s["name"]: s for s in json.load(f)["submissions"]}
    check(merged == whole, "the merged shards differ from the class graded at once")
    for name in merged:
        check(os.path.exists(os.path.join(merged_dir, merged[name]["page"])), name + "'s page")

    # Only passing programs: exit status 0. An executable is a submission too.
    executable = os.path.join(work, "built_clock")
    subprocess.run(["cc", "-g", "-o", executable, os.path.join(CLASS, "clock.c")] +
                   results_flags(kanvo_grade), check=True)
    status, results = grade(kanvo_grade, os.path.join(work, "good"), ["correct", "clock.c", executable],
                            "--ticks", "3")
    check(status == 0, "all pass: exit status %d" % status)
    check(results["built_clock"]["status"] == "pass", "the executable")

    # Bad input: a clear message and status 2.
    for arguments, message in ((["--model", "nothing.c", "x.c"], "nothing.c"),
                               (["--model", "model.c", "--shard", "3/2", "x.c"], "--shard"),
                               (["--model", "model.c", "--compile", "cc", "x.c"], "{sources}"),
                               (["--model", "syntax.c", "radius.c"], "the model does not compile")):
        done = subprocess.run([kanvo_grade] + arguments + ["--report", os.path.join(work, "bad")],
                              cwd=CLASS, capture_output=True, text=True)
        check(done.returncode == 2 and message in done.stderr, "%s: %d %s" % (arguments, done.returncode,
                                                                            done.stderr))


def results_flags(kanvo_grade):
    """The build tree's compiler flags, as kanvo-grade uses them (from its --help-compile)."""
    done = subprocess.run([kanvo_grade, "--show-compile"], capture_output=True, text=True)
    command = done.stdout.strip()
    check(done.returncode == 0 and "{sources}" in command, "--show-compile: %s" % command)
    words = command.split()
    return [w for w in words if w.startswith(("-I", "-L", "-l", "-Wl", "-fsanitize", "-fno-omit"))]


def test_pages(kanvo_grade, work, screenshot=None):
    sys.path.insert(0, os.path.join(HERE, "..", "..", "backends", "web"))
    try:
        import devtools
    except ImportError:
        print("python3-websocket is missing; skipped")
        sys.exit(77)
    if not shutil.which("chromium"):
        print("chromium is missing; skipped")
        sys.exit(77)
    report = os.path.join(work, "pages")
    grade(kanvo_grade, report, ["correct", "wrong_colour.c", "radius.c", "missing.c", "order.c",
                                "crash.c", "no_wait.c", "syntax.c", "clock.c"],
          "--script", SCRIPT, "--ticks", "30")
    server = devtools.Server(report)
    browser = devtools.Browser(width=1200, height=900)
    try:
        browser.call("Log.enable")
        pages = ["index.html", "model/index.html"] + ["submissions/%s/index.html" % n for n in
                                                      ("radius", "crash", "syntax", "correct")]
        for page in pages:
            browser.events.clear()
            browser.open(server.url(page))
            browser.wait_for("Array.from(document.images).every(i => i.complete)", what="pictures")
            broken = browser.evaluate(
                "Array.from(document.images).filter(i => i.naturalWidth === 0).map(i => i.src)")
            check(not broken, "%s: pictures that do not load: %s" % (page, broken))
            links = browser.evaluate("Array.from(document.links).map(a => a.href)")
            for link in links:
                if link.startswith("http://127.0.0.1"):
                    status = browser.evaluate("fetch(%s).then(r => r.status)" % json.dumps(link))
                    check(status == 200, "%s: the link %s gives %s" % (page, link, status))
            errors = [e for e in browser.events if e["method"] == "Runtime.exceptionThrown" or
                      (e["method"] == "Runtime.consoleAPICalled" and e["params"]["type"] == "error") or
                      (e["method"] == "Log.entryAdded" and e["params"]["entry"]["level"] == "error")]
            check(not errors, "%s: console errors %s" % (page, errors))
        # The class page sorts by score when its heading is clicked, lowest first.
        browser.open(server.url("index.html"))
        browser.evaluate("document.querySelectorAll('#grades th')[2].click()")
        scores = browser.evaluate("Array.from(document.querySelectorAll('#grades tbody tr'))"
                                  ".map(r => parseFloat(r.cells[2].dataset.value))")
        check(scores == sorted(scores) and len(scores) == 9, "sorted by score: %s" % scores)
        browser.evaluate("document.querySelectorAll('#grades th')[2].click()")
        if screenshot:
            browser.screenshot(screenshot)
    finally:
        browser.close()
        server.stop()


def main():
    what, kanvo_grade, work = sys.argv[1], os.path.abspath(sys.argv[2]), os.path.abspath(sys.argv[3])
    os.makedirs(work, exist_ok=True)
    if what == "faults":
        test_faults(kanvo_grade, work)
    else:
        test_pages(kanvo_grade, work, sys.argv[4] if len(sys.argv) > 4 else None)
    print("ok")


if __name__ == "__main__":
    main()
