"""The browser's game figures: the paddle game at 60 ticks a second with an arrow held
(periodic events a second, the page's main-thread time as a share of a core), and a mouse
moving 1,000 times a second over a program that listens for motion (move events and
wake-ups a second). Needs the pages scripts/test-web.sh puts together (paddle-60 and
game-checks among them).

    /usr/bin/python3 docs/web_game_figures.py PAGES_DIR [SECONDS]"""
import os
import sys
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


def task_seconds(browser):
    metrics = browser.call("Performance.getMetrics")["metrics"]
    return next(m["value"] for m in metrics if m["name"] == "TaskDuration")


def stats(browser):
    return browser.evaluate("Object.assign({}, Module.kanvoPage.stats)")


def main():
    pages = sys.argv[1]
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 5.0
    server = devtools.Server(pages)
    try:
        browser = devtools.Browser()
        try:
            browser.call("Performance.enable")
            browser.open(server.url("paddle-60.html"))
            browser.wait_for("Module.kanvoPage.stats.firstFrameMs >= 0")
            time.sleep(1)
            browser._key("rawKeyDown", "ArrowRight", "ArrowRight", 39, 0)  # held
            before, tasks, started = stats(browser), task_seconds(browser), time.time()
            time.sleep(seconds)
            after, tasks_after, wall = stats(browser), task_seconds(browser), time.time() - started
            print("paddle game, 60 ticks a second, an arrow held: %.1f wake-ups a second, "
                  "%.2f ms of program time each, page main thread %.2f %% of a core" % (
                      (after["wakes"] - before["wakes"]) / wall,
                      (after["runMs"] - before["runMs"]) / max(after["wakes"] - before["wakes"], 1),
                      100 * (tasks_after - tasks) / wall))
        finally:
            browser.close()
        browser = devtools.Browser()
        try:
            browser.open(server.url("game-checks.html?arg=listen"), before_load=COUNT_OUTPUT)
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
            browser.close()
    finally:
        server.stop()


if __name__ == "__main__":
    main()
