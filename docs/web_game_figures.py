"""The browser's game figures: the paddle game at 60 ticks a second with an arrow held
(periodic events a second, the page's main-thread time as a share of a core), what the
browser alone takes for a page that puts a small changed rectangle into a canvas of the
same size 60 times a second, and a mouse moving 1,000 times a second over a program that
listens for motion (move events and wake-ups a second). Needs the pages scripts/test-web.sh
puts together (paddle-60 and game-checks among them).

The main thread's share is given twice: DevTools' TaskDuration (the wall time of its
tasks, which grows when other programs take the processor meanwhile) and the processor
time the kernel counts for the renderer's main thread (Linux).

    /usr/bin/python3 docs/web_game_figures.py PAGES_DIR [SECONDS]"""
import contextlib
import glob
import os
import shutil
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "backends", "web"))
import devtools  # noqa: E402

COUNT_OUTPUT = """(function () {
window.testMoves = 0;
var log = console.log;
console.log = function (line) {
  if (String(line).indexOf('move') === 0) window.testMoves++;
  return log.apply(console, arguments);
};
})();"""

# Moves a synthetic mouse over the canvas 1,000 times a second: every timer callback sends
# the moves due since the start, however late the browser runs it.
MOVE_MOUSE = """(function (seconds) {
var c = document.querySelector('[data-window-class=DrawWndClass] canvas');
var r = c.getBoundingClientRect(), start = performance.now(), sent = 0;
window.testSent = 0;
function tick() {
  var now = performance.now(), due = Math.min(now - start, seconds * 1000) | 0;
  for (; sent < due; sent++)
    c.dispatchEvent(new MouseEvent('mousemove', {bubbles: true,
      clientX: r.left + 10 + sent % 500, clientY: r.top + 10 + (sent / 500 | 0) % 400}));
  window.testSent = sent;
  if (now - start < seconds * 1000) setTimeout(tick, 1);
}
tick();
})(SECONDS)"""


# A page without a program: the canvas of a drawing window, with the pages' context
# attributes, gets a 16 x 16 rectangle that changed, 60 times a second.
FLOOR_PAGE = """<!doctype html><html><head><meta charset="utf-8"></head>
<body style="margin: 16px"><canvas width="585" height="481" style="display: block"></canvas>
<script>
var context = document.querySelector('canvas').getContext('2d', { desynchronized: true });
var image = context.createImageData(585, 481), pixels = new Uint32Array(image.data.buffer);
pixels.fill(0xff993300);
context.putImageData(image, 0, 0);
var ticks = 0, next = performance.now();
function tick() {
  ticks++;
  var x = ticks * 5 % 560;
  for (var y = 100; y < 116; y++) pixels.fill(ticks & 1 ? 0xffffffff : 0xff33cc33, y * 585 + x, y * 585 + x + 16);
  context.putImageData(image, 0, 0, x, 100, 16, 16);
  next += 1000 / 60;
  setTimeout(tick, Math.max(0, next - performance.now()));
}
tick();
</script></body></html>
"""


def main_thread_seconds(browser):
    """Processor time of the main threads of this browser's renderer processes, from /proc
    (other browsers on the machine left out)."""
    parents, renderers = {}, set()
    for stat in glob.glob("/proc/[0-9]*/stat"):
        pid = int(stat.split("/")[2])
        try:
            with open(stat) as f:
                parents[pid] = int(f.read().rsplit(")", 1)[1].split()[1])
            with open("/proc/%d/cmdline" % pid, "rb") as f:
                if b"--type=renderer" in f.read():
                    renderers.add(pid)
        except (OSError, ValueError, IndexError):
            continue
    total = 0.0
    for pid in renderers:
        ancestor = pid
        while ancestor in parents and ancestor != browser.process.pid:
            ancestor = parents[ancestor]
        if ancestor != browser.process.pid:
            continue
        try:
            with open("/proc/%d/task/%d/stat" % (pid, pid)) as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        total += (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")
    return total


def main_thread_share(browser, seconds, before_and_after=None):
    """The main thread's share of a core over the next seconds: by TaskDuration and by
    the processor time counted for it. before_and_after() runs at both ends."""
    tasks, processor, started = task_seconds(browser), main_thread_seconds(browser), time.time()
    first = before_and_after() if before_and_after else None
    time.sleep(seconds)
    last = before_and_after() if before_and_after else None
    wall = time.time() - started
    return (100 * (task_seconds(browser) - tasks) / wall,
            100 * (main_thread_seconds(browser) - processor) / wall, wall, first, last)


def task_seconds(browser):
    metrics = browser.call("Performance.getMetrics")["metrics"]
    return next(m["value"] for m in metrics if m["name"] == "TaskDuration")


def stats(browser):
    return browser.evaluate("Object.assign({}, Module.kanvoPage.stats)")


@contextlib.contextmanager
def page(server, name, measured=False, before_load=None):
    """A browser showing one page of server's, closed at the end; measured pages have
    the Performance domain on."""
    browser = devtools.Browser()
    try:
        if measured:
            browser.call("Performance.enable")
        browser.open(server.url(name), before_load=before_load)
        yield browser
    finally:
        browser.close()


def main():
    pages = sys.argv[1]
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 5.0
    server = devtools.Server(pages)
    try:
        with page(server, "paddle-60.html", measured=True) as browser:
            browser.wait_for("Module.kanvoPage.stats.firstFrameMs >= 0")
            time.sleep(1)
            browser._key("rawKeyDown", "ArrowRight", "ArrowRight", 39, 0)  # held
            tasks, processor, wall, before, after = main_thread_share(
                browser, seconds, lambda: stats(browser))
            wakes = after["wakes"] - before["wakes"]
            print("paddle game, 60 ticks a second, an arrow held: %.1f wake-ups a second, "
                  "%.2f ms of program time each, page main thread %.2f %% of a core "
                  "(processor time %.2f %%)" % (
                      wakes / wall, (after["runMs"] - before["runMs"]) / max(wakes, 1),
                      tasks, processor))
        with page(server, "game-checks.html?arg=listen", before_load=COUNT_OUTPUT) as browser:
            browser.wait_for("Module.kanvoPage.stats.firstFrameMs >= 0")
            time.sleep(1)
            before = stats(browser)
            browser.evaluate(MOVE_MOUSE.replace("SECONDS", str(seconds)))
            time.sleep(seconds + 0.5)
            after = stats(browser)
            sent, moves = browser.evaluate("window.testSent"), browser.evaluate("window.testMoves")
            print("mouse moving %.0f times a second: %.0f move events a second, %.0f wake-ups "
                  "a second" % (sent / seconds, moves / seconds,
                                (after["wakes"] - before["wakes"]) / seconds))
    finally:
        server.stop()
    floor = tempfile.mkdtemp(prefix="kanvo-floor-")
    with open(os.path.join(floor, "floor.html"), "w") as f:
        f.write(FLOOR_PAGE)
    server = devtools.Server(floor)
    try:
        with page(server, "floor.html", measured=True) as browser:
            time.sleep(1)
            tasks, processor, _, _, _ = main_thread_share(browser, seconds)
            print("the browser alone, a 16 x 16 rectangle put 60 times a second: page main "
                  "thread %.2f %% of a core (processor time %.2f %%)" % (tasks, processor))
    finally:
        server.stop()
        shutil.rmtree(floor, ignore_errors=True)


if __name__ == "__main__":
    main()
